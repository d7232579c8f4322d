// The fixed messages: banner with pair echo, syntax lines, help page, error exit.
#pragma once

#include <string_view>

void ShowBanner();
void ShowSyntax();
[[noreturn]] void ShowHelp();
[[noreturn]] void FailWith(std::string_view message);
