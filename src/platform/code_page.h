// Single-byte code pages whose letter case the tool knows. Pure functions, no OS calls:
// the platform layer picks the code page in use, everything else maps through here.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

enum class CodePage {
  Windows1252,  // Western European: a-z, a-grave..thorn (not the division sign), s/z caron, oe, y
                // diaeresis
  AsciiOnly,    // the C locale and other code sets: only a-z have a case
  System,       // whatever the platform's own single-character case mapping says (Windows)
  Utf8,         // UTF-8: a single byte folds as in AsciiOnly; a search that holds letters of
                // several bytes folds them by Unicode's simple case folding
};

// The code page for an LC_CTYPE code-set name such as "UTF-8", "CP1252" or "ISO-8859-15".
CodePage CodePageFromCodeSetName(std::string_view codeSetName);

uint8_t UpperCaseByte(CodePage codePage, uint8_t byte);
// The platform's own mapping of one byte, behind CodePage::System.
uint8_t SystemUpperCaseByte(uint8_t byte);
uint8_t SystemLowerCaseByte(uint8_t byte);
uint8_t LowerCaseByte(CodePage codePage, uint8_t byte);

}  // namespace platform
