#include "platform/colour_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ColourChoice, NoColorInAnyValueOrADumbTerminalRulesColourOut) {
  struct Case {
    const char* noColour;  // null: not set
    const char* term;
    bool colour;
    bool dumb;
  };
  const Case cases[] = {
      {nullptr, nullptr, true, false}, {nullptr, "xterm-256color", true, false},
      {"1", "xterm", false, false},    {"", "xterm", false, false},  // set, though empty
      {"0", nullptr, false, false},    {nullptr, "dumb", false, true},
      {"1", "dumb", false, true},      {nullptr, "dumb-ish", true, false},  // only the name itself
      {nullptr, "DUMB", true, false},  {nullptr, "", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.noColour ? c.noColour : "(unset)") + " / " +
                 (c.term ? c.term : "(unset)"));
    EXPECT_EQ(platform::ColourWantedBy(c.noColour, c.term), c.colour);
    EXPECT_EQ(platform::TerminalIsDumb(c.term), c.dumb);
  }
}

}  // namespace
