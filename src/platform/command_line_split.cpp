#include "platform/command_line_split.h"

namespace platform {

namespace {

class CommandLineScanner {
 public:
  CommandLineScanner(std::string_view commandLine, LeadByteTest isLeadByte)
      : text_(commandLine.substr(0, commandLine.find('\0'))), isLeadByte_(isLeadByte) {}

  // The next argument; empty once the command line is used up.
  std::string TakeArgument() {
    SkipSeparators();
    std::string argument;
    while (position_ < text_.size() && !IsSeparator(Byte(position_))) {
      if (text_[position_] == '"') {
        TakeQuotedStretch(argument);
      } else {
        TakeCharacter(argument);
      }
    }
    return argument;
  }

 private:
  unsigned char Byte(std::size_t at) const { return static_cast<unsigned char>(text_[at]); }
  static bool IsSeparator(unsigned char byte) { return byte <= 32; }

  bool TwoQuotesAhead() const {
    return position_ + 1 < text_.size() && text_[position_] == '"' && text_[position_ + 1] == '"';
  }

  // Blanks and control bytes, and any "" pairs met between them.
  void SkipSeparators() {
    for (;;) {
      while (position_ < text_.size() && IsSeparator(Byte(position_))) ++position_;
      if (!TwoQuotesAhead()) return;
      position_ += 2;
    }
  }

  // One character of the code page: a lead byte takes its trail byte with it.
  void TakeCharacter(std::string& argument) {
    std::size_t length =
        isLeadByte_ && isLeadByte_(Byte(position_)) && position_ + 1 < text_.size() ? 2 : 1;
    argument.append(text_.substr(position_, length));
    position_ += length;
  }

  void TakeQuotedStretch(std::string& argument) {
    ++position_;  // the opening quote
    while (position_ < text_.size() && text_[position_] != '"') TakeCharacter(argument);
    if (position_ < text_.size()) ++position_;  // the closing quote
  }

  std::string_view text_;
  LeadByteTest isLeadByte_;
  std::size_t position_ = 0;
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine, LeadByteTest isLeadByte) {
  CommandLineScanner scanner(commandLine, isLeadByte);
  scanner.TakeArgument();  // the program name
  std::vector<std::string> arguments;
  for (std::string argument = scanner.TakeArgument(); !argument.empty();
       argument = scanner.TakeArgument()) {
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace platform
