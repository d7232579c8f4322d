#include "platform/colour_choice.h"

#include <cstdlib>
#include <string_view>

namespace platform {

bool TerminalIsDumb(const char* term) {
  return term != nullptr && std::string_view(term) == "dumb";
}

bool ColourWantedBy(const char* noColour, const char* term) {
  return noColour == nullptr && !TerminalIsDumb(term);
}

bool ColourWanted() {
  return ColourWantedBy(std::getenv("NO_COLOR"), std::getenv("TERM"));
}

bool TerminalIsDumb() {
  return TerminalIsDumb(std::getenv("TERM"));
}

}  // namespace platform
