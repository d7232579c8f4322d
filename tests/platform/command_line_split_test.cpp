#include "platform/command_line_split.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::string>;
using platform::SplitCommandLine;

TEST(SplitCommandLine, Examples) {
  struct Case {
    std::string commandLine;
    Arguments expected;
  } cases[] = {
      {"quorve \"-o=out dir\\x.txt\" a=b \"my file.txt\"",
       {"-o=out dir\\x.txt", "a=b", "my file.txt"}},
      {"quorve x\"y z\"w v", {"xy zw", "v"}},
      {"quorve a=b \"\"", {"a=b"}},
      {"quorve \"", {}},
      {"quorve a\tb", {"a", "b"}},
      {"quorve", {}},
      {"", {}},
      {"   quorve   a   ", {"a"}},
      {"\"C:\\Program Files\\quorve.exe\" x", {"x"}},
      {"quorve \"\" \"\"  a", {"a"}},
      {"quorve \"\"\"\"a", {"a"}},
      {"quorve \" \" b", {" ", "b"}},
      {"quorve \"unterminated x", {"unterminated x"}},
      {"quorve a\"\"b", {"ab"}},
      {"quorve a\x01"
       "b\x1f"
       "c",
       {"a", "b", "c"}},
      {"quorve \"in\tside\"", {"in\tside"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.commandLine), c.expected) << c.commandLine;
  }
}

TEST(SplitCommandLine, NoArgumentHoldsAQuote) {
  for (const Arguments& arguments :
       {SplitCommandLine("p \"a\"\"b\" \"\"\"\" c\"\"\"d"), SplitCommandLine("p \"\"\"x")}) {
    for (const std::string& argument : arguments) {
      EXPECT_EQ(argument.find('"'), std::string::npos) << argument;
      EXPECT_FALSE(argument.empty());
    }
  }
}

TEST(SplitCommandLine, NulEndsTheCommandLine) {
  EXPECT_EQ(SplitCommandLine(std::string("p a\0b c", 7)), Arguments({"a"}));
}

TEST(SplitCommandLine, HighBytesAreOrdinaryArgumentBytes) {
  EXPECT_EQ(SplitCommandLine("p \xe9t\xe9 \xa0x"), Arguments({"\xe9t\xe9", "\xa0x"}));
}

bool ShiftJisLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(SplitCommandLine, DoubleByteCharactersAreTakenWhole) {
  // 0x81 0x22: the trail byte is a double quote but belongs to the character.
  EXPECT_EQ(SplitCommandLine("p a\x81\"b c", ShiftJisLead), Arguments({"a\x81\"b", "c"}));
  // Inside a quoted stretch a trail quote does not close it.
  EXPECT_EQ(SplitCommandLine("p \"\x81\" x\" y", ShiftJisLead), Arguments({"\x81\" x", "y"}));
  // A trail byte of 0x20 does not end the argument.
  EXPECT_EQ(SplitCommandLine("p \x81 z", ShiftJisLead), Arguments({"\x81 z"}));
  // A lead byte at the very end stands alone.
  EXPECT_EQ(SplitCommandLine("p ab\x81", ShiftJisLead), Arguments({"ab\x81"}));
  // Without the predicate the same bytes split as single bytes.
  EXPECT_EQ(SplitCommandLine("p \x81 z"), Arguments({"\x81", "z"}));
}

}  // namespace
