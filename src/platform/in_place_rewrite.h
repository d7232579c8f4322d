// Rewriting an existing file in place when a new file cannot take over its identity
// (more links than one, an attribute that cannot be copied). The steps are the same
// on every platform; the few calls they need that the public file layer does not
// offer are declared here and made by each platform. Internal to the platform layer.
#pragma once

#include <string>

#include "platform/files.h"

namespace platform {

// The original's bytes are copied to a backup file beside it, which is flushed to
// the disk (and its folder, where that exists); then the bytes of newContent (from its
// start) are written over the original, which is cut to their length and flushed;
// then the backup is removed. A failure before the original is touched removes the
// backup and leaves everything as it was. A failure while the original is rewritten
// restores it from the backup; a backup that cannot be put back stays, and its name
// is set in keptBackup. A killed run leaves the backup.
ErrorCode RewriteInPlace(const std::string& target, FileHandle newContent, std::string& keptBackup);

namespace in_place {

// ".<name>.quorve-backup-<process id>" (the name cut to 200 bytes) in the target's
// folder; attempt > 0 adds "-<attempt>".
std::string BackupNameBeside(const std::string& target, int attempt);
// Creates the backup file: new (never an existing one: nameTaken is then set), read
// and write, private to its owner, who is the original's where the platform lets the
// program say so.
ErrorCode CreateBackupFile(const std::string& name, FileHandle original, FileHandle& handle,
                           bool& nameTaken);
ErrorCode RemoveFile(const std::string& name);
// Makes a new name in the path's folder durable (POSIX: fsync of the folder).
void FlushFolderOf(const std::string& path);

}  // namespace in_place

}  // namespace platform
