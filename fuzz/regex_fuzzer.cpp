// Fuzz target for the expression parser and both lowerings: any byte string
// either compiles into a pattern each matching library accepts (or, for RE2, is
// refused and runs on PCRE2), or fails with one of the module's codes and a
// position inside the expression. Where RE2 or the word scan runs an expression
// they must find PCRE2's matches with the same groups. Never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "regex/compiled_expression.h"
#include "regex/lowering.h"
#include "regex/parser.h"
#include "regex/regex_errors.h"

namespace {

using regex_engine::CompiledExpression;
using regex_engine::EnginePolicy;
using regex_engine::MatchOffsets;

const std::set<std::int32_t> kKnownCodes = {102, 103, 104, 106, 107, 108, 109, 110,  111,  112,
                                            113, 115, 116, 122, 124, 125, 127, 1014, 1015, 1016};

const std::string_view kInputs[] = {"", "a", "aB\r\n\xe9_9 x", "\r\r\n\nabcabcABC",
                                    "\n\xc9\xe9 \r b\r\n\r\n1"};

void CheckFailure(const ERegExpr& failure, std::size_t expressionLength) {
  if (kKnownCodes.count(failure.FailureCode) == 0) std::abort();
  if (failure.FailurePosition < 0 ||
      static_cast<std::size_t>(failure.FailurePosition) > expressionLength) {
    std::abort();
  }
  if (failure.Message().empty()) std::abort();
}

// Every match of the replace loop's walk over input, all entries, as text; or
// the code of the failure a search raised.
std::string Walk(const CompiledExpression& compiled, std::string_view input) {
  std::string seen;
  try {
    const regex_engine::SubjectSearch search(compiled, input);
    MatchOffsets offsets{};
    std::size_t start = 0;
    while (start <= input.size() && search.Search(start, offsets)) {
      for (int n = 0; n <= compiled.GroupCount(); ++n) {
        seen += std::to_string(offsets[2 * n]) + "," + std::to_string(offsets[2 * n + 1]) + " ";
      }
      seen += ";";
      start = offsets[0] == offsets[1] ? offsets[1] + 1 : offsets[1];
    }
  } catch (const ERegExpr& failure) {
    seen += "error " + std::to_string(failure.FailureCode);
  }
  return seen;
}

std::unique_ptr<CompiledExpression> CompiledUnder(EnginePolicy policy, std::string_view expression,
                                                  platform::CodePage codePage) {
  regex_engine::SetEnginePolicy(policy);
  return std::make_unique<CompiledExpression>(expression, codePage);
}

void Exercise(std::string_view expression, platform::CodePage codePage) {
  const regex_case::CaseMap cases(codePage);
  try {
    const regex_tree::ParsedExpression parsed = regex_parser::Parse(expression, cases);
    if (parsed.groupCount > regex_parser::kMaxGroups) std::abort();
    regex_lowering::LowerToPattern(parsed, cases, regex_lowering::Dialect::Linear);
    // Compiled by each library: a lowering mistake shows up as a refused pattern
    // (PCRE2) or as different matches.
    const auto linear = CompiledUnder(EnginePolicy::LinearWherePossible, expression, codePage);
    const auto automatic = CompiledUnder(EnginePolicy::Automatic, expression, codePage);
    const auto backtracking = CompiledUnder(EnginePolicy::BacktrackingOnly, expression, codePage);
    for (std::string_view input : kInputs) {
      const std::string onBacktracking = Walk(*backtracking, input);
      // The step limit may end a backtracking search that the others finish.
      if (onBacktracking.find("error 1015") != std::string::npos) continue;
      if (linear->Engine() == regex_engine::EngineKind::Linear &&
          Walk(*linear, input) != onBacktracking) {
        std::abort();
      }
      if (automatic->Engine() == regex_engine::EngineKind::Literal &&
          Walk(*automatic, input) != onBacktracking) {
        std::abort();
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
