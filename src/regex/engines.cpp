// What the program can say about its engines at run time, asked of the libraries
// themselves: a package may bring a newer shared library than the build saw, and
// JIT support compiled into PCRE2 may still be refused by the system (no memory
// that may be both written and run), so a trial compilation decides.
#include "regex/engines.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

std::string Pcre2Version() {
  const int size = pcre2_config(PCRE2_CONFIG_VERSION, nullptr);
  if (size <= 0) return "unknown";
  std::string version(static_cast<std::size_t>(size), '\0');
  pcre2_config(PCRE2_CONFIG_VERSION, version.data());
  version.resize(static_cast<std::size_t>(size - 1));  // the size counts the closing NUL
  return version;
}

bool Pcre2JitWorks() {
  std::uint32_t built = 0;
  if (pcre2_config(PCRE2_CONFIG_JIT, &built) != 0 || built == 0) return false;
  int errorNumber = 0;
  PCRE2_SIZE errorOffset = 0;
  pcre2_code* code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>("a"), 1, 0, &errorNumber, &errorOffset, nullptr);
  if (code == nullptr) return false;
  const bool compiled = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
  pcre2_code_free(code);
  return compiled;
}

}  // namespace

std::vector<RegexEngineFacts> RegexEngines() {
  std::vector<RegexEngineFacts> engines;
  engines.push_back({"PCRE2", Pcre2Version(), Pcre2JitWorks()});
  // RE2 has no call that tells its version: this is the release the lowering is
  // written for (Debian 12's, the last without Abseil), which both builds use.
  // It compiles to automata, never to machine code: its JIT is always off.
  engines.push_back({"RE2", "2022-06-01 (linear time)", false});
  return engines;
}
