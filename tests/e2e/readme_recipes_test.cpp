// The README's recipes, run as written: every ```console block is a session of
// "$ " commands and what a terminal then shows. The commands of a block run one
// after the other in one shell, in a fresh folder, with quorve on the PATH and
// standard output and standard error on a terminal; what the terminal shows must be
// the block, byte for byte (colours left out, a CR LF shown as a line end, as on
// the screen). QUORVE_README_SHOW=1 prints each session as the terminal showed it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using test_support::TempFolder;

#ifndef QUORVE_SOURCE_DIR
#error "the build names the source folder (QUORVE_SOURCE_DIR)"
#endif

struct Recipe {
  int line = 0;  // of the block's opening fence in README.md
  std::vector<std::string> commands;
  std::string screen;  // the block: commands with their "$ " and what follows them
};

std::vector<Recipe> ReadmeRecipes() {
  std::ifstream readme(std::string(QUORVE_SOURCE_DIR) + "/README.md");
  std::vector<Recipe> recipes;
  std::string line;
  bool inside = false;
  for (int number = 1; std::getline(readme, line); ++number) {
    if (!inside && line == "```console") {
      inside = true;
      recipes.push_back(Recipe{number, {}, ""});
    } else if (inside && line == "```") {
      inside = false;
    } else if (inside) {
      if (line.rfind("$ ", 0) == 0) recipes.back().commands.push_back(line.substr(2));
      recipes.back().screen += line + "\n";
    }
  }
  return recipes;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// One shell script: each command shown after "$ ", then run.
std::string SessionScript(const std::vector<std::string>& commands) {
  std::string script;
  for (const std::string& command : commands) {
    script += "printf '%s\\n' " + ShellQuoted("$ " + command) + "\n" + command + "\n";
  }
  return script;
}

// What a terminal shows of the bytes written to it: rows of text, a CR going back
// to the row's start, ESC [ K clearing the rest of the row, other sequences (the
// colours) drawing nothing.
std::string RenderedScreen(const std::string& bytes) {
  std::vector<std::string> rows(1);
  std::size_t row = 0;
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      std::size_t end = i + 2;
      while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
      if (end < bytes.size() && bytes[end] == 'K' && rows[row].size() > column) {
        rows[row].resize(column);
      }
      i = end;
    } else if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      if (++row == rows.size()) rows.emplace_back();
    } else {
      if (rows[row].size() <= column) rows[row].resize(column + 1, ' ');
      rows[row][column++] = c;
    }
  }
  // The cursor's row, when empty, is where the next prompt would go.
  if (rows.back().empty()) rows.pop_back();
  std::string screen;
  for (std::string& shown : rows) {
    shown.erase(shown.find_last_not_of(' ') + 1);
    screen += shown + "\n";
  }
  return screen;
}

// Runs the script with bash in the folder, its output on a terminal of 200 columns.
std::string TerminalSession(const std::string& script, const TempFolder& folder) {
  TempFolder scripts;
  scripts.Write("session.sh", script);
  const std::string programFolder =
      std::filesystem::absolute(e2e::QuorveBinary()).parent_path().string();
  const char* path = std::getenv("PATH");
  const std::vector<std::string> command = {"bash", "--noprofile", "--norc",
                                            scripts / "session.sh"};
  const std::vector<std::string> environment =
      e2e::EnvironmentWith({"NO_COLOR", "TERM=xterm", "LC_ALL=C.UTF-8", "LANG=C.UTF-8",
                            "PATH=" + programFolder + ":" + (path ? path : "/usr/bin:/bin")});
  e2e::TerminalOptions options;
  options.columns = 200;
  options.timeoutSeconds = 120;
  options.outputOnTerminal = true;
  return e2e::RunOnTerminal(command, folder.path(), environment, options).terminal;
}

TEST(ReadmeRecipes, EachSessionShowsWhatTheReadmeShows) {
  if (e2e::TestingWindowsBuild()) GTEST_SKIP() << "the recipes are for a POSIX shell";
  const std::vector<Recipe> recipes = ReadmeRecipes();
  ASSERT_GE(recipes.size(), 10u) << "README.md has fewer recipes than it should";
  const bool show = std::getenv("QUORVE_README_SHOW") != nullptr;
  for (const Recipe& recipe : recipes) {
    SCOPED_TRACE("README.md line " + std::to_string(recipe.line));
    ASSERT_FALSE(recipe.commands.empty());
    TempFolder folder;
    const std::string screen =
        RenderedScreen(TerminalSession(SessionScript(recipe.commands), folder));
    if (show) std::cout << "README.md line " << recipe.line << ":\n" << screen << "\n";
    EXPECT_EQ(screen, recipe.screen);
  }
}

TEST(ReadmeRecipes, TheScreenIsRenderedAsATerminalShowsIt) {
  struct Case {
    std::string bytes;
    std::string screen;
  };
  const Case cases[] = {
      {"a\r\nb\r\n\r\n", "a\nb\n\n"},  // an empty row before the cursor's own is shown
      {"\r\x1b[93mProcessing 1\x1b[K\x1b[0m\r\r\x1b[93mDone\x1b[K\x1b[0m\n", "Done\n"},
      {"\rlonger row\r$ ls\r\n", "$ lser row\n"},
      {"one\n", "one\n"},  // a line feed alone keeps the column
      {"x\n  y\r\n", "x\n   y\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(RenderedScreen(c.bytes), c.screen) << c.bytes;
}

}  // namespace
