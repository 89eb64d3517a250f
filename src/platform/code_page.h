// Conversions between Text (code page 936 bytes) and the wide strings that components take.
//
// Fixed at code page 936 whatever the machine's locale, converting as that code page does at the
// platform's component boundary:
//   * bytes 0x00-0x7F are ASCII, 0x80 is U+20AC and 0xFF is U+F8F5;
//   * 0x81-0xFE start a pair; a pair the code page does not define gives "?", and its second byte
//     is read again on its own when it can stand alone (0x00-0x80, 0xFF);
//   * a start byte at the very end gives "?";
//   * a character the code page cannot hold (a surrogate pair counts as one character) gives "?";
//   * a wide string ends at its first U+0000.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace morvane {

std::u16string ToWide(const Text& text);
Text FromWide(std::u16string_view wide);

// The same conversions through UTF-8 for the wire and the terminal. Invalid UTF-8 gives "?".
std::string ToUtf8(const Text& text);
Text FromUtf8(std::string_view utf8);

// UTF-16 <-> UTF-8 without the code page; unpaired surrogates and invalid input give U+FFFD.
std::string Utf16ToUtf8(std::u16string_view wide);
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace morvane
