#include "regex/regexpr.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/byte_buffer.h"
#include "platform/system.h"
#include "regex/backtracking_engine.h"
#include "regex/compiled_expression.h"
#include "regex/regex_errors.h"
#include "regex/template_expansion.h"
#include "regex/tree.h"

namespace {

using regex_engine::CompiledExpression;
using regex_engine::UpToFirstNul;

// The code page whose letter case "(?i)" follows; read once at start-up.
platform::CodePage ModuleCodePage = platform::CodePage::AsciiOnly;

using regex_engine::MatchOffsets;
using regex_engine::SubjectSearch;

regex_template::MatchTable TableOf(std::string_view subject, const MatchOffsets& offsets,
                                   std::uint32_t entries) {
  regex_template::MatchTable table;
  table.subject = subject;
  table.offsets = offsets.data();
  table.entries = entries;
  return table;
}

// Where the next search starts after a match [start, end): at its end, or one
// further after an empty match; past the subject's end there is no next search.
bool NextStart(std::size_t start, std::size_t end, std::size_t subjectLength, std::size_t& next) {
  next = start == end ? end + 1 : end;
  return next <= subjectLength;
}

// Room for the result in one piece. A large buffer gets slack for replacements
// longer than their matches (untouched pages cost nothing) and a huge-page hint,
// since faulting in a fresh buffer page by page costs more than the search.
void ReserveOutput(std::string& output, std::size_t inputSize) {
  if (output.capacity() >= inputSize) return;
  const std::size_t slack = inputSize >= platform::kLargeBufferSize ? inputSize / 4 : 0;
  platform::ReserveBytes(output, inputSize + slack);
}

// The replace loop's result as pieces handed to a sink instead of one buffer;
// an expanded template is built in a scratch buffer first.
class PieceOutput {
 public:
  explicit PieceOutput(const RegexPieceSink& sink) : sink_(sink) {}
  void clear() {}
  void append(std::string_view piece) {
    if (!piece.empty()) sink_(piece);
  }
  void append(const char* data, std::size_t size) { append(std::string_view(data, size)); }
  std::string& Scratch() {
    scratch_.clear();
    return scratch_;
  }

 private:
  const RegexPieceSink& sink_;
  std::string scratch_;
};

void ReserveOutput(PieceOutput&, std::size_t) {}

void AppendExpansionTo(std::string& output, std::string_view replacement,
                       const regex_template::MatchTable& table) {
  regex_template::AppendExpansion(output, replacement, table);
}

void AppendExpansionTo(PieceOutput& output, std::string_view replacement,
                       const regex_template::MatchTable& table) {
  std::string& expansion = output.Scratch();
  regex_template::AppendExpansion(expansion, replacement, table);
  output.append(expansion);
}

// Every match replaced, leftmost first, without overlap. The search sees subject
// (input cut at its first NUL); the stretches between matches come from input,
// so whatever follows a NUL is kept after the last match.
template <class Output>
std::size_t ReplaceAllMatches(Output& output, const CompiledExpression& compiled,
                              std::string_view input, std::string_view replacement,
                              ReplacementKind kind, std::size_t most) {
  const SubjectSearch search(compiled, UpToFirstNul(input));
  const std::string_view subject = search.Subject();
  MatchOffsets offsets;
  const bool literal = kind == ReplacementKind::Literal || regex_template::IsPlainText(replacement);
  // Only the entries the template refers to are asked of the library.
  const std::uint32_t entries =
      literal ? 1
              : std::min(static_cast<std::uint32_t>(compiled.GroupCount()) + 1,
                         regex_template::EntriesReferenced(replacement));
  output.clear();
  ReserveOutput(output, input.size());
  if (most == 0 || !search.Search(0, offsets, entries)) {
    output.append(input);
    return 0;
  }
  const regex_template::MatchTable table = TableOf(subject, offsets, entries);
  std::size_t copied = 0;
  std::size_t replaced = 0;
  for (;;) {
    const std::size_t start = offsets[0];
    const std::size_t end = offsets[1];
    output.append(input.data() + copied, start - copied);
    if (literal) {
      output.append(replacement);
    } else {
      AppendExpansionTo(output, replacement, table);
    }
    copied = end;
    ++replaced;
    std::size_t next = 0;
    if (replaced == most || !NextStart(start, end, subject.size(), next)) break;
    if (!search.Search(next, offsets, entries)) break;
  }
  output.append(input.data() + copied, input.size() - copied);
  return replaced;
}

// Whether text points into the buffer of buffer, which the replace loop clears.
bool LiesIn(std::string_view text, const std::string& buffer) {
  if (text.empty()) return false;
  const std::less_equal<const char*> notAfter;
  return notAfter(buffer.data(), text.data()) &&
         notAfter(text.data(), buffer.data() + buffer.capacity());
}

}  // namespace

struct TRegExpr::State {
  explicit State(platform::CodePage page) : codePage(page) {}

  platform::CodePage codePage;
  std::string expression;
  std::shared_ptr<const CompiledExpression> compiled;
  bool hasInput = false;
  std::string input;
  // Searches of the compiled expression over input; made anew by Exec.
  std::optional<SubjectSearch> search;
  MatchOffsets offsets{};
  bool matched = false;
  std::int32_t failurePosition = 0;

  const std::size_t* Offsets() const { return offsets.data(); }
  SubjectSearch& Search() {
    if (!search) search.emplace(*compiled, input);
    return *search;
  }
};

TRegExpr::TRegExpr() : TRegExpr(ModuleCodePage) {}
TRegExpr::TRegExpr(platform::CodePage codePage) : state_(std::make_unique<State>(codePage)) {}
TRegExpr::~TRegExpr() = default;

void TRegExpr::SetExpression(std::string_view expression) {
  state_->expression.assign(UpToFirstNul(expression));
  state_->search.reset();
  state_->compiled.reset();
}

const std::string& TRegExpr::Expression() const {
  return state_->expression;
}

namespace {

// Compiles when there is no compiled form; failures go through the object's
// own RaiseError.
template <class Raise>
void EnsureCompiled(std::shared_ptr<const CompiledExpression>& compiled,
                    const std::string& expression, platform::CodePage codePage,
                    std::int32_t& failurePosition, Raise raise) {
  if (compiled) return;
  if (expression.empty()) raise(regex_errors::kNoExpression);
  try {
    compiled = regex_engine::TheExpressionCache().Get(expression, codePage);
  } catch (const ERegExpr& failure) {
    failurePosition = failure.FailurePosition;
    raise(failure.FailureCode);
  }
}

}  // namespace

bool TRegExpr::Exec(std::string_view input) {
  State& s = *state_;
  s.search.reset();
  s.input.assign(UpToFirstNul(input));
  s.hasInput = true;
  s.matched = false;
  EnsureCompiled(s.compiled, s.expression, s.codePage, s.failurePosition,
                 [this](std::int32_t code) { RaiseError(code); });
  s.matched = s.Search().Search(0, s.offsets);
  return s.matched;
}

bool TRegExpr::ExecNext() {
  State& s = *state_;
  if (!s.matched) RaiseError(regex_errors::kExecNextWithoutExec);
  std::size_t next = 0;
  const bool inside = NextStart(s.offsets[0], s.offsets[1], s.input.size(), next);
  s.matched = false;
  EnsureCompiled(s.compiled, s.expression, s.codePage, s.failurePosition,
                 [this](std::int32_t code) { RaiseError(code); });
  if (!inside) return false;
  s.matched = s.Search().Search(next, s.offsets);
  return s.matched;
}

std::int64_t TRegExpr::GroupStart(std::int32_t n) const {
  const State& s = *state_;
  if (n < 0 || n > regex_tree::kMaxGroups || !s.hasInput || !s.matched || !s.compiled) return -1;
  if (n > s.compiled->GroupCount()) return -1;
  const std::size_t start = s.Offsets()[2 * n];
  if (start == regex_engine::kUnsetOffset) return -1;
  return static_cast<std::int64_t>(start) + 1;
}

std::int64_t TRegExpr::GroupLength(std::int32_t n) const {
  if (GroupStart(n) < 0) return -1;
  const std::size_t* offsets = state_->Offsets();
  return static_cast<std::int64_t>(offsets[2 * n + 1] - offsets[2 * n]);
}

std::string TRegExpr::ExpandTemplate(std::string_view templ) {
  State& s = *state_;
  EnsureCompiled(s.compiled, s.expression, s.codePage, s.failurePosition,
                 [this](std::int32_t code) { RaiseError(code); });
  if (!s.hasInput) RaiseError(regex_errors::kNoInput);
  std::string result;
  regex_template::MatchTable table =
      TableOf(s.input, s.offsets, static_cast<std::uint32_t>(s.compiled->GroupCount()) + 1);
  if (!s.matched) table.entries = 0;
  regex_template::AppendExpansion(result, templ, table);
  return result;
}

std::string TRegExpr::ReplaceMatches(std::string_view input, std::string_view replacement,
                                     ReplacementKind kind) {
  std::string result;
  if (!Exec(input)) return std::string(input);
  std::size_t copied = 0;
  do {
    const std::size_t start = static_cast<std::size_t>(GroupStart(0) - 1);
    result.append(input.substr(copied, start - copied));
    result +=
        kind == ReplacementKind::Template ? ExpandTemplate(replacement) : std::string(replacement);
    copied = start + static_cast<std::size_t>(GroupLength(0));
  } while (ExecNext());
  result.append(input.substr(copied));
  return result;
}

void TRegExpr::RaiseError(std::int32_t code) {
  const std::int32_t position = regex_errors::IsCompileError(code) ? state_->failurePosition : 0;
  throw ERegExpr(regex_errors::FullMessage(ErrorText(code), code, position), code, position);
}

std::string TRegExpr::ErrorText(std::int32_t code) const {
  return regex_errors::DefaultErrorText(code);
}

bool RegexMatches(std::string_view expression, std::string_view input) {
  const auto& compiled = regex_engine::TheExpressionCache().Get(expression, ModuleCodePage);
  MatchOffsets offsets;
  return compiled->Search(UpToFirstNul(input), 0, offsets, 0);
}

std::size_t RegexReplaceInto(std::string& output, std::string_view expression,
                             std::string_view input, std::string_view replacement,
                             ReplacementKind kind, std::size_t most) {
  const auto& compiled = regex_engine::TheExpressionCache().Get(expression, ModuleCodePage);
  if (LiesIn(input, output) || LiesIn(replacement, output)) {
    std::string separate;
    const std::size_t replaced =
        ReplaceAllMatches(separate, *compiled, input, replacement, kind, most);
    output.swap(separate);
    return replaced;
  }
  return ReplaceAllMatches(output, *compiled, input, replacement, kind, most);
}

std::size_t RegexReplaceTo(const RegexPieceSink& sink, std::string_view expression,
                           std::string_view input, std::string_view replacement,
                           ReplacementKind kind, std::size_t most) {
  const auto& compiled = regex_engine::TheExpressionCache().Get(expression, ModuleCodePage);
  PieceOutput output(sink);
  return ReplaceAllMatches(output, *compiled, input, replacement, kind, most);
}

std::string RegexReplace(std::string_view expression, std::string_view input,
                         std::string_view replacement, ReplacementKind kind) {
  std::string output;
  RegexReplaceInto(output, expression, input, replacement, kind);
  return output;
}

void RegExprStartUp() {
  ModuleCodePage = platform::ActiveCodePage();
}

void RegExprThreadEnd() {
  regex_engine::ReleaseThreadCache();
  regex_backtracking::ReleaseThreadMatchResources();
}

platform::CodePage RegExprCodePage() {
  return ModuleCodePage;
}
