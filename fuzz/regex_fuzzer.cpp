// Fuzz target for the expression parser and its lowering: any byte string either
// compiles into a pattern the matching library accepts, or fails with one of the
// module's codes and a position inside the expression. Never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "regex/compiled_expression.h"
#include "regex/lowering.h"
#include "regex/parser.h"
#include "regex/regex_errors.h"

namespace {

const std::set<std::int32_t> kKnownCodes = {102, 103, 104, 106, 107, 108, 109, 110, 111,
                                            112, 113, 115, 116, 122, 124, 125, 127, 1014,
                                            1015, 1016};

void CheckFailure(const ERegExpr& failure, std::size_t expressionLength) {
  if (kKnownCodes.count(failure.FailureCode) == 0) std::abort();
  if (failure.FailurePosition < 0 ||
      static_cast<std::size_t>(failure.FailurePosition) > expressionLength) {
    std::abort();
  }
  if (failure.Message().empty()) std::abort();
}

void Exercise(std::string_view expression, platform::CodePage codePage) {
  const regex_case::CaseMap cases(codePage);
  try {
    const regex_tree::ParsedExpression parsed = regex_parser::Parse(expression, cases);
    if (parsed.groupCount > regex_parser::kMaxGroups) std::abort();
    regex_lowering::LowerToPattern(parsed, cases);
    // Compiled by the library: a lowering mistake shows up as a refused pattern.
    const regex_engine::CompiledExpression compiled(expression, codePage);
    regex_engine::MatchData matchData = regex_engine::NewMatchData();
    for (std::string_view input : {"", "a", "aB\r\n\xe9_9 x", "\r\r\n\nabcabcABC"}) {
      try {
        compiled.Search(input, 0, matchData.get());
      } catch (const ERegExpr& failure) {
        CheckFailure(failure, expression.size());
      }
    }
  } catch (const ERegExpr& failure) {
    CheckFailure(failure, expression.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view expression(reinterpret_cast<const char*>(data), size);
  expression = regex_engine::UpToFirstNul(expression);
  if (expression.size() > 512) return 0;  // long texts add time, not coverage
  Exercise(expression, platform::CodePage::Windows1252);
  Exercise(expression, platform::CodePage::AsciiOnly);
  return 0;
}
