// The fixed messages: banner with pair echo, syntax lines, help page, error exit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

void ShowBanner();
void ShowSyntax();
[[noreturn]] void ShowHelp();
[[noreturn]] void FailWith(std::string_view message);
// A status line for a run that waits while another run writes the file it is to
// write (shown also under -q: the wait would look like a hang).
void ShowWaitingFor(const std::string& file);
// Line-by-line -w: the output file it writes instead of the input (shown also
// under -q: the user asked to overwrite and gets another file).
void ShowOutputFileInstead(const std::string& outputs);
// The version lines on standard output, then process exit with code 0 (1 when
// they cannot be written).
[[noreturn]] void ShowVersion();

// The texts the messages are made of, from the settings and pair lists as they are now.
std::string BannerText();
std::vector<std::string> PairEchoTexts();
std::vector<std::string> SyntaxTexts();
const std::vector<std::string>& HelpPageLines();
// "quorve <version>", then one line per regular-expression engine.
std::vector<std::string> VersionLines();
