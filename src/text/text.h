// Text: byte strings in code page 936, and the operations every other folder is written against.
//
// Encoding contract, shared by every operation marked "character-aware" below:
//   * A byte from 0x80 to 0xFF starts a two-byte character together with the byte after it, whatever
//     that byte is; every other byte is a character by itself. Character-aware operations try a
//     match only where a character starts and step over a two-byte character whole.
//   * A start byte that is the last byte of a text has no second byte. Each operation says what it
//     does with it.
//   * Spaces are the half-width space 0x20 and the full-width space 0xA1 0xA1, nothing else: tab,
//     CR and LF are ordinary characters here.
//   * Where case is ignored, bytes 'A'..'Z' equal 'a'..'z' at every byte position (also the second
//     byte of a two-byte character) and all other bytes compare exactly; no locale is consulted.
//   * Lengths, positions and counts are bytes; positions are 1-based; -1 means "not found".
//
// A Text never holds a zero byte: every way of making one stops at the first zero byte. The empty
// Text stands for "no text"; there is no separate absent value.
#pragma once

#include <compare>
#include <initializer_list>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace morvane {

class Text {
 public:
  Text() = default;
  Text(const char* bytes) : bytes_(bytes ? bytes : "") {}  // NOLINT: implicit by design
  Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}  // NOLINT
  Text(std::string bytes) : bytes_(std::move(bytes)) {  // NOLINT
    if (auto zero = bytes_.find('\0'); zero != std::string::npos) bytes_.resize(zero);
  }

  std::string_view view() const noexcept { return bytes_; }
  operator std::string_view() const noexcept { return bytes_; }  // NOLINT
  const std::string& str() const noexcept { return bytes_; }
  const char* c_str() const noexcept { return bytes_.c_str(); }
  bool empty() const noexcept { return bytes_.empty(); }
  std::size_t size() const noexcept { return bytes_.size(); }
  unsigned char operator[](std::size_t i) const noexcept {
    return static_cast<unsigned char>(bytes_[i]);
  }

  friend bool operator==(const Text&, const Text&) = default;
  friend std::strong_ordering operator<=>(const Text& a, const Text& b) {
    return a.bytes_.compare(b.bytes_) <=> 0;
  }

 private:
  std::string bytes_;
};

// Prints a Text for test failures: printable ASCII as is, every other byte as \xHH.
void PrintTo(const Text& text, std::ostream* out);

// Number of bytes. TextLength("ab") == 2.
int TextLength(const Text& text);

// The first min(n, length) bytes; empty when n <= 0. Counts bytes: may cut a two-byte character.
Text LeftText(const Text& text, int n);

// The last min(n, length) bytes; empty when n <= 0. RightText("abc", 2) == "bc".
Text RightText(const Text& text, int n);

// At most n bytes from the 1-based position on; empty when the position is below 1 or past the
// end, or n <= 0. MidText("abcdef", 3, 10) == "cdef".
Text MidText(const Text& text, int position, int n);

// 1-based position of the first occurrence of sought at a character start at or after byte
// max(start, 1), or -1. An empty sought gives 1 (not start) unless start lies past the end.
// A start position is taken as a character start even inside a two-byte character. A start byte
// at the very end ends the search once tried. Character-aware.
// FindText("aXbc", "xb", 1, true) == 2; FindText("\xB0" "AA", "A") == 3.
int FindText(const Text& text, const Text& sought, int start = 1, bool ignoreCase = false);

// Spaces removed from both ends; inner spaces and other whitespace stay. A start byte at the very
// end is cut off alone and the spaces before it remain. Character-aware.
// TrimBothEnds("\xA1\xA1 a b\t ") == "a b\t".
Text TrimBothEnds(const Text& text);

// Every space removed, and a start byte at the very end. Character-aware.
// RemoveAllSpaces("a = b; c") == "a=b;c".
Text RemoveAllSpaces(const Text& text);

// Non-overlapping occurrences of sought, from start (below 1 counts as 1) on, replaced left to right;
// a negative count means no limit. The text comes back unchanged when it or sought is empty, start
// lies past the end or count is 0. A start byte at the very end that does not match is dropped,
// unless fewer bytes than sought has remain. Note the flag's sense: case is folded when
// caseSensitive is false. Character-aware.
// ReplaceText("aaa", "aa", "b") == "ba".
Text ReplaceText(const Text& text, const Text& sought, const Text& replacement = {}, int start = 1,
                 int count = -1, bool caseSensitive = true);

namespace text_internal {
Text Concat(std::initializer_list<std::string_view> parts);
}  // namespace text_internal

// The bytes of all arguments in order. ConcatText("a", text, "c").
template <typename... Parts>
  requires(sizeof...(Parts) >= 2)
Text ConcatText(const Parts&... parts) {
  return text_internal::Concat({std::string_view(parts)...});
}

// 0 when both hold the same bytes; otherwise the sign of the first differing byte taken as
// unsigned, a proper prefix being the smaller. CompareText("a", "A") > 0.
int CompareText(const Text& a, const Text& b);

// The byte at the 1-based position (1 when left out) as a signed value, -128..127; 0 outside the
// text. CharCode("\xB0") == -80.
int CharCode(const Text& text, int position = 1);

}  // namespace morvane
