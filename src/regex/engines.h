// The regular-expression engines linked into the program, as --version names them.
#pragma once

#include <string>
#include <vector>

struct RegexEngineFacts {
  std::string name;     // "PCRE2"
  std::string version;  // the library's own version text
  bool jit = false;     // expressions are compiled to machine code here and now
};

// One entry per engine, in the order --version lists them: PCRE2 first, then RE2.
std::vector<RegexEngineFacts> RegexEngines();
