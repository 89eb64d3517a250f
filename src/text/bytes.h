// ByteArray: a counted byte sequence that may hold zero bytes (a response body, a block to encode).
// None of these operations converts between character sets: bytes cross unchanged.
#pragma once

#include <vector>

#include "text/text.h"

namespace morvane {

using ByteArray = std::vector<unsigned char>;

// The bytes of the text, no terminator. ToBytes("AB") == {0x41, 0x42}.
ByteArray ToBytes(const Text& text);

// The bytes before the first zero byte (all of them when there is none). {0x41, 0, 0x42} -> "A".
Text BytesToText(const ByteArray& bytes);

// n zero bytes; empty when n <= 0.
ByteArray BlankBytes(int n);

// Number of bytes.
int BytesLength(const ByteArray& bytes);

// The bytes of all arguments in order.
ByteArray ConcatBytes(std::initializer_list<const ByteArray*> parts);
template <typename... Rest>
ByteArray ConcatBytes(const ByteArray& a, const ByteArray& b, const Rest&... rest) {
  return ConcatBytes({&a, &b, &rest...});
}

// 0 when both have the same length and bytes; nonzero otherwise.
int CompareBytes(const ByteArray& a, const ByteArray& b);

}  // namespace morvane
