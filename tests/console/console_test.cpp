// The status writer runs in a child process whose standard handles are files or a
// pseudo-terminal, so that what reaches each of them can be read back exactly.
#include "console/console.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using namespace std::string_literals;

class ScratchFile {
 public:
  explicit ScratchFile(const char* stem) {
    path_ = (std::filesystem::temp_directory_path() /
             (std::string(stem) + "-" + std::to_string(::getpid()) + "-XXXXXX"))
                .string();
    fd_ = ::mkstemp(path_.data());
    if (fd_ < 0) throw std::runtime_error("cannot create " + path_);
  }
  ~ScratchFile() {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  std::string Content() const {
    std::string bytes;
    char chunk[4096];
    for (off_t at = 0;;) {
      const ssize_t got = ::pread(fd_, chunk, sizeof chunk, at);
      if (got <= 0) break;
      bytes.append(chunk, static_cast<std::size_t>(got));
      at += got;
    }
    return bytes;
  }

 private:
  std::string path_;
  int fd_ = -1;
};

// Runs body in a child whose standard output and standard error are the given
// descriptors; returns the child's exit code (-1 when it did not exit normally).
int RunInChild(int stdoutFd, int stderrFd, const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    ::dup2(stdoutFd, STDOUT_FILENO);
    ::dup2(stderrFd, STDERR_FILENO);
    body();
    std::fflush(nullptr);
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ManyStatusLines() {
  ConsoleStartUp();
  WriteAndAdvance("Quorve status line", kStatusColour);
  for (int row = 0; row < 40; ++row) {
    WriteAndAdvance("line " + std::to_string(row), kStatusColour);
    WriteInPlace("progress " + std::to_string(row), kStatusColour);
  }
  WriteInPlace(""s, kStatusColour);
  WriteAndAdvance("nul \0 cr \r lf \n end"s, kStatusColour);
  WriteAndAdvance(std::string(5000, 'w'), kStatusColour);
}

TEST(Console, WritesNothingWhenStandardErrorIsAFile) {
  ScratchFile out("quorve-console-out");
  ScratchFile err("quorve-console-err");
  ASSERT_EQ(RunInChild(out.fd(), err.fd(), ManyStatusLines), 0);
  EXPECT_EQ(out.Content(), "");
  EXPECT_EQ(err.Content(), "");
}

// A pseudo-terminal standing in for the user's console.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ < 0) throw std::runtime_error("cannot open the pseudo-terminal");
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    ::ioctl(slave_, TIOCSWINSZ, &size);
  }
  ~PseudoTerminal() {
    if (slave_ >= 0) ::close(slave_);
    ::close(master_);
  }
  int slave() const { return slave_; }

  // Everything the child wrote, once the child has exited.
  std::string Drain() {
    ::close(slave_);
    slave_ = -1;
    std::string bytes;
    char chunk[4096];
    for (;;) {
      pollfd ready{master_, POLLIN, 0};
      if (::poll(&ready, 1, 200) <= 0) break;
      const ssize_t got = ::read(master_, chunk, sizeof chunk);
      if (got <= 0) break;  // EIO once the terminal has no writer left
      bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

std::string TerminalBytesOf(const std::function<void()>& writes, std::string& standardOutput) {
  PseudoTerminal terminal;
  ScratchFile out("quorve-console-out");
  const int exitCode = RunInChild(out.fd(), terminal.slave(), [&] {
    ConsoleStartUp();
    writes();
  });
  if (exitCode != 0) throw std::runtime_error("the child failed");
  standardOutput = out.Content();
  return terminal.Drain();
}

TEST(Console, StatusLinesReachTheTerminalAndNeverStandardOutput) {
  std::string standardOutput;
  const std::string shown = TerminalBytesOf(
      [] {
        for (int row = 0; row < 40; ++row) {
          WriteAndAdvance("advance " + std::to_string(row), kStatusColour);
        }
        WriteInPlace("in place", kStatusColour);
      },
      standardOutput);
  // Past row 21 status lines still put no line break into redirected output.
  EXPECT_EQ(standardOutput, "");
  EXPECT_NE(shown.find("advance 0"), std::string::npos);
  EXPECT_NE(shown.find("advance 39"), std::string::npos);
  EXPECT_NE(shown.find("in place"), std::string::npos);
  EXPECT_LT(shown.find("advance 39"), shown.find("in place"));
}

}  // namespace
