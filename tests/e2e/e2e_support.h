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

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = base / ("quorve-e2e-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  void Write(const std::string& name, const std::string& bytes) const {
    WriteFileBytes(path_ / name, bytes);
  }
  std::string Read(const std::string& name) const { return ReadFileBytes(path_ / name); }

 private:
  std::filesystem::path path_;
};

// Runs quorve with the arguments (passed as they are, no shell) in the folder
// workDir; standard input is empty, standard output and error are captured.
inline RunResult RunQuorve(const std::vector<std::string>& args,
                           const std::filesystem::path& workDir) {
  std::vector<std::string> argv_strings;
  if (const char* runner = std::getenv("QUORVE_RUNNER"); runner && *runner) {
    argv_strings.push_back(runner);
  }
  argv_strings.push_back(QuorveBinary());
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  auto capture_dir = std::filesystem::temp_directory_path();
  std::string out_name = (capture_dir / ("quorve-out-XXXXXX")).string();
  std::string err_name = (capture_dir / ("quorve-err-XXXXXX")).string();
  int out_fd = mkstemp(out_name.data());
  int err_fd = mkstemp(err_name.data());
  int in_fd = open("/dev/null", O_RDONLY);
  if (out_fd < 0 || err_fd < 0 || in_fd < 0) throw std::runtime_error("cannot capture output");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in_fd);
  close(out_fd);
  close(err_fd);
  if (rc != 0) throw std::runtime_error("cannot start " + argv_strings[0]);

  int status = 0;
  waitpid(pid, &status, 0);
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFileBytes(out_name);
  result.err = ReadFileBytes(err_name);
  std::filesystem::remove(out_name);
  std::filesystem::remove(err_name);
  return result;
}

struct TerminalRunResult {
  int exitCode = -1;
  std::string out;       // standard output (a file, not the terminal)
  std::string terminal;  // everything written to the terminal (standard error)
};

// Runs quorve like RunQuorve, but with standard error on a pseudo-terminal of 80
// columns and 24 rows; standard input is empty and standard output goes to a file.
// A run that outlives timeoutSeconds is killed.
inline TerminalRunResult RunQuorveOnTerminal(const std::vector<std::string>& args,
                                             const std::filesystem::path& workDir,
                                             int timeoutSeconds = 30) {
  std::vector<std::string> argv_strings;
  if (const char* runner = std::getenv("QUORVE_RUNNER"); runner && *runner) {
    argv_strings.push_back(runner);
  }
  argv_strings.push_back(QuorveBinary());
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::string dir = workDir.string();

  std::string out_name = (std::filesystem::temp_directory_path() / "quorve-tty-XXXXXX").string();
  int out_fd = mkstemp(out_name.data());
  int in_fd = open("/dev/null", O_RDONLY);
  if (out_fd < 0 || in_fd < 0) throw std::runtime_error("cannot capture output");

  struct winsize size = {};
  size.ws_row = 24;
  size.ws_col = 80;
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("cannot open a pseudo-terminal");
  if (pid == 0) {
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in_fd);
  close(out_fd);

  TerminalRunResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
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
  result.out = ReadFileBytes(out_name);
  std::filesystem::remove(out_name);
  return result;
}

inline bool RunningAsRoot() {
  return geteuid() == 0;
}

}  // namespace e2e
