#include "console/console.h"

#include "platform/console.h"

namespace {

// Only the foreground bits of a colour are the caller's; the background stays the console's.
int ForegroundOf(int colour) {
  return colour & 0x0F;
}

}  // namespace

void ConsoleStartUp() {
  platform::ConsoleStartUp();
}

void WriteInPlace(std::string_view text, int colour) {
  platform::ConsoleWriteRow(text, ForegroundOf(colour), platform::AfterRow::StayOnRow);
}

void WriteAndAdvance(std::string_view text, int colour) {
  platform::ConsoleWriteRow(text, ForegroundOf(colour), platform::AfterRow::NextRow);
}
