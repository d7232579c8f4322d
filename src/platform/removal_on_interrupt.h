// Names of files that must not outlive an interrupted run: a replacement's new file
// while it has a name. The handlers of SIGINT, SIGTERM and SIGHUP (POSIX) and of the
// console's control events (Windows) remove them before the process goes. The
// registry is a fixed table of lock-free slots, so that a signal handler may read it
// while the program adds and drops names; it is the one piece of process-wide state
// here, because a signal handler has no other way to find the names.
#pragma once

#include <string_view>

namespace platform {

// Registers the name; the slot to drop it again, or -1 when the table is full or
// the name too long (the file then stays after an interruption, as it would have).
int RegisterRemovalOnInterrupt(std::string_view name);
// Drops the slot's name (a slot of -1 is nothing).
void DropRemovalOnInterrupt(int slot);
// Calls remove for every registered name. Async-signal-safe when remove is.
void RemoveRegisteredFiles(void (*remove)(const char* name));

}  // namespace platform
