// Running the real quorve executable on real files in a temporary folder.
// QUORVE_BINARY overrides the executable; QUORVE_RUNNER (for example "wine")
// is put in front of it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temp_folder.h"

extern char** environ;

namespace e2e {

struct RunResult {
  int exitCode = -1;
  std::string out;  // standard output, bytes as written
  std::string err;  // standard error
};

inline std::string QuorveBinary() {
  const char* override_binary = std::getenv("QUORVE_BINARY");
  if (override_binary && *override_binary) return override_binary;
#ifdef QUORVE_BINARY
  return QUORVE_BINARY;
#else
  return "build/quorve";
#endif
}

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

// The command that starts quorve with the arguments: the runner (if any), the
// program, then the arguments as they are (no shell).
inline std::vector<std::string> QuorveCommand(const std::vector<std::string>& args) {
  std::vector<std::string> command;
  if (const char* runner = std::getenv("QUORVE_RUNNER"); runner && *runner) {
    command.push_back(runner);
  }
  command.push_back(QuorveBinary());
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

inline std::vector<char*> ArgvOf(std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (auto& s : command) argv.push_back(s.data());
  argv.push_back(nullptr);
  return argv;
}

// Starts the command (no shell) in workDir with the three standard handles given
// and, when extraFd is not -1, that descriptor as descriptor 3; returns its pid.
inline pid_t StartCommand(std::vector<std::string> command, const std::filesystem::path& workDir,
                          int inFd, int outFd, int errFd, int extraFd = -1) {
  std::vector<char*> argv = ArgvOf(command);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inFd, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
  posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + command[0]);
  return pid;
}

// Waits for the process and gives its exit code (128 + the signal when a signal
// ended it).
inline int WaitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts quorve in workDir with the three standard handles given, waits for it and
// gives its exit code (128 + the signal when a signal ended it).
inline int SpawnQuorve(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                       int inFd, int outFd, int errFd) {
  return WaitForExit(StartCommand(QuorveCommand(args), workDir, inFd, outFd, errFd));
}

// Runs the command in the folder workDir; standard input is empty, standard output
// and error are captured.
inline RunResult RunCommand(const std::vector<std::string>& command,
                            const std::filesystem::path& workDir) {
  auto capture_dir = std::filesystem::temp_directory_path();
  std::string out_name = (capture_dir / ("quorve-out-XXXXXX")).string();
  std::string err_name = (capture_dir / ("quorve-err-XXXXXX")).string();
  int out_fd = mkstemp(out_name.data());
  int err_fd = mkstemp(err_name.data());
  int in_fd = open("/dev/null", O_RDONLY);
  if (out_fd < 0 || err_fd < 0 || in_fd < 0) throw std::runtime_error("cannot capture output");

  RunResult result;
  try {
    result.exitCode = WaitForExit(StartCommand(command, workDir, in_fd, out_fd, err_fd));
  } catch (...) {
    close(in_fd);
    close(out_fd);
    close(err_fd);
    throw;
  }
  close(in_fd);
  close(out_fd);
  close(err_fd);
  result.out = ReadFile(out_name);
  result.err = ReadFile(err_name);
  std::filesystem::remove(out_name);
  std::filesystem::remove(err_name);
  return result;
}

// Runs quorve with the arguments in the folder workDir; standard input is empty,
// standard output and error are captured.
inline RunResult RunQuorve(const std::vector<std::string>& args,
                           const std::filesystem::path& workDir) {
  return RunCommand(QuorveCommand(args), workDir);
}

// This process's environment with changes: "NAME=value" sets a variable, "NAME"
// alone removes it.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(environment, [&](const std::string& entry) {
      return entry.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (change.find('=') != std::string::npos) environment.push_back(change);
  }
  return environment;
}

// A terminal that shows colour, whatever the environment the tests run in says.
inline std::vector<std::string> ColourTerminalEnvironment() {
  const char* term = std::getenv("TERM");
  const bool usable = term != nullptr && *term != '\0' && std::string(term) != "dumb";
  return {"NO_COLOR", usable ? std::string("TERM=") + term : "TERM=xterm"};
}

struct TerminalRunResult {
  int exitCode = -1;
  std::string out;       // standard output when it is a file, not the terminal
  std::string terminal;  // everything written to the terminal (standard error)
};

struct TerminalOptions {
  int columns = 80;
  int timeoutSeconds = 30;
  bool outputOnTerminal = false;  // standard output too, else to a file
};

// Runs a command in workDir with standard error (and standard output, if asked) on
// a pseudo-terminal of 24 rows, standard input empty, and the environment given
// ("NAME=value" entries). A run that outlives the time-out is killed.
inline TerminalRunResult RunOnTerminal(std::vector<std::string> command,
                                       const std::filesystem::path& workDir,
                                       std::vector<std::string> environment,
                                       const TerminalOptions& options) {
  std::vector<char*> argv = ArgvOf(command);
  std::vector<char*> envp = ArgvOf(environment);
  std::string dir = workDir.string();

  std::string out_name = (std::filesystem::temp_directory_path() / "quorve-tty-XXXXXX").string();
  int out_fd = mkstemp(out_name.data());
  int in_fd = open("/dev/null", O_RDONLY);
  if (out_fd < 0 || in_fd < 0) throw std::runtime_error("cannot capture output");

  struct winsize size = {};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(options.columns);
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("cannot open a pseudo-terminal");
  if (pid == 0) {
    dup2(in_fd, 0);
    if (!options.outputOnTerminal) dup2(out_fd, 1);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in_fd);
  close(out_fd);

  TerminalRunResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  char buffer[4096];
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      break;
    }
    struct pollfd ready = {master, POLLIN, 0};
    int polled = poll(&ready, 1, 100);
    if (polled < 0 && errno != EINTR) break;
    if (polled <= 0) continue;
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program and its terminal are gone
    result.terminal.append(buffer, static_cast<std::size_t>(n));
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFile(out_name);
  std::filesystem::remove(out_name);
  return result;
}

inline bool TestingWindowsBuild();
inline std::string ScreenText(const std::string& terminal);

// Runs quorve like RunQuorve, but with standard error on a pseudo-terminal of 80
// columns and 24 rows; standard input is empty and standard output goes to a file.
// The environment is one of a terminal that shows colour, then the changes given
// (as EnvironmentWith takes them). A run that outlives timeoutSeconds is killed.
inline TerminalRunResult RunQuorveOnTerminal(
    const std::vector<std::string>& args, const std::filesystem::path& workDir,
    int timeoutSeconds = 30, const std::vector<std::string>& environmentChanges = {}) {
  std::vector<std::string> changes = ColourTerminalEnvironment();
  changes.insert(changes.end(), environmentChanges.begin(), environmentChanges.end());
  TerminalOptions options;
  options.timeoutSeconds = timeoutSeconds;
  TerminalRunResult run =
      RunOnTerminal(QuorveCommand(args), workDir, EnvironmentWith(changes), options);
  // Now and then, on a loaded machine, wine's console never draws its screen before
  // the program ends (a CI run saw a blank terminal after 51 ms where a run takes
  // seconds); one more run tells that apart from a program that writes nothing.
  if (TestingWindowsBuild() &&
      ScreenText(run.terminal).find_first_not_of(" \r\n") == std::string::npos) {
    run = RunOnTerminal(QuorveCommand(args), workDir, EnvironmentWith(changes), options);
  }
  return run;
}

inline bool RunningAsRoot() {
  return geteuid() == 0;
}

// True when the program under test is the Windows build (run through wine).
inline bool TestingWindowsBuild() {
  const std::string binary = QuorveBinary();
  return binary.size() >= 4 && binary.compare(binary.size() - 4, 4, ".exe") == 0;
}

// The full name the program under test prints for a path of this machine: wine
// shows the Windows build the root folder as drive Z:.
inline std::string ProgramPath(const std::filesystem::path& path) {
  std::string name = path.string();
  if (!TestingWindowsBuild()) return name;
  std::replace(name.begin(), name.end(), '/', '\\');
  return "Z:" + name;
}

// The full name the program shows for a name given relative to the folder (its
// working folder).
inline std::string Shown(const TempFolder& folder, const std::string& name) {
  return ProgramPath(folder.path() / name);
}

// Whether text is the system's message for a failure: exactly the C library's
// posixText for the POSIX build. The Windows build asks the system for its texts,
// which differ between Windows versions and wine, so there any one-line text counts.
inline bool IsSystemText(const std::string& text, const std::string& posixText) {
  if (!TestingWindowsBuild()) return text == posixText;
  return !text.empty() && text.find_first_of("\r\n") == std::string::npos;
}

// An existing regular file that this process cannot open for reading: a mode-000
// file for an ordinary user; for root, a kernel file without a read operation, if
// there is one here. Empty when there is none.
inline std::string UnreadableFile(const TempFolder& dir) {
  if (!RunningAsRoot()) {
    dir.Write("locked.txt", "secret\r\n");
    std::filesystem::permissions(dir / "locked.txt", std::filesystem::perms::none);
    return dir / "locked.txt";
  }
  for (const char* candidate : {"/proc/sys/vm/drop_caches", "/sys/bus/cpu/uevent"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && !std::ifstream(candidate)) {
      return candidate;
    }
  }
  return "";
}

// What a terminal shows of the bytes written to it, its control sequences left
// out. The POSIX status writer writes each text in one piece; wine draws the Windows
// build's console cells in pieces, with cursor moves and colours in between.
inline std::string ScreenText(const std::string& terminal) {
  std::string shown;
  for (std::size_t i = 0; i < terminal.size(); ++i) {
    if (terminal[i] != '\x1b' || i + 1 == terminal.size()) {
      shown += terminal[i];
      continue;
    }
    const char kind = terminal[++i];
    if (kind == '[') {  // parameters and intermediates, then a final byte
      while (i + 1 < terminal.size() && !(terminal[i + 1] >= 0x40 && terminal[i + 1] <= 0x7E)) {
        ++i;
      }
      ++i;
    } else if (kind == ']') {  // up to BEL or ESC backslash
      while (i + 1 < terminal.size() && terminal[i + 1] != '\a' && terminal[i + 1] != '\x1b') ++i;
      ++i;
      if (i < terminal.size() && terminal[i] == '\x1b') ++i;
    }
  }
  return shown;
}

}  // namespace e2e
