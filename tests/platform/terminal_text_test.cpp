#include "platform/terminal_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::TabRule;
using platform::TerminalSafeText;

struct Case {
  const char* name;
  std::string text;
  std::string utf8;     // as a UTF-8 terminal is given it
  std::string iso8859;  // as a one-byte terminal is given it
};

TEST(TerminalSafeText, EveryControlSequenceBecomesOnePlaceholder) {
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"plain text stays", "name.txt", "name.txt", "name.txt"},
      {"tab stays", "a\tb", "a\tb", "a\tb"},
      {"C0 controls, escape and DEL", "a\x1b]0;pwned\x07z\r\n\x7f", "a?]0;pwned?z???",
       "a?]0;pwned?z???"},
      {"byte 0", "x\0y"s, "x?y", "x?y"},
      {"raw CSI byte",
       "\x9b"
       "2J",
       "?2J", "?2J"},
      {"C1 spelled in UTF-8",
       "\xc2\x9b"
       "2J",
       "?2J", "\xc2?2J"},
      {"letters of both", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2?\xac \xf0???"},
      {"Latin-1 letter", "caf\xe9", "caf?", "caf\xe9"},
      {"no-break space", "\xc2\xa0\xa0", "\xc2\xa0?", "\xc2\xa0\xa0"},
      {"cut sequence at the end", "ab\xe2\x82", "ab?", "ab\xe2?"},
      {"cut sequence before ASCII", "\xe2\x82z", "?z", "\xe2?z"},
      {"overlong slash", "\xc0\xaf", "??", "\xc0\xaf"},
      {"overlong three bytes", "\xe0\x80\xaf", "???", "\xe0?\xaf"},
      {"surrogate half", "\xed\xa0\x80", "???", "\xed\xa0?"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", "????", "\xf4???"},
      {"last code point", "\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf", "\xf4?\xbf\xbf"},
      {"lone continuation bytes", "\x80\xbf", "??", "?\xbf"},
      {"empty", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TerminalSafeText(c.text, platform::Utf8Terminal(), TabRule::Keep), c.utf8) << c.name;
    EXPECT_EQ(TerminalSafeText(c.text, platform::Iso8859Terminal(), TabRule::Keep), c.iso8859)
        << c.name;
  }
}

TEST(TerminalSafeText, TabFollowsItsRule) {
  for (const auto& encoding : {platform::Utf8Terminal(), platform::Iso8859Terminal()}) {
    EXPECT_EQ(TerminalSafeText("a\tb", encoding, TabRule::Replace), "a?b");
    EXPECT_EQ(TerminalSafeText("a\tb", encoding, TabRule::Keep), "a\tb");
  }
}

TEST(TerminalSafeText, AOneByteCodePageSaysWhichBytesAreControls) {
  // A code page whose 0x80..0x9F are letters (as in Windows-1252) keeps them.
  platform::TerminalEncoding encoding = platform::Iso8859Terminal();
  for (unsigned int code = 0x80; code <= 0x9F; ++code) encoding.controlByte[code] = false;
  encoding.controlByte[0x81] = true;
  EXPECT_EQ(TerminalSafeText("\x80\x81\x9b\x1b", encoding, TabRule::Keep), "\x80?\x9b?");
}

}  // namespace
