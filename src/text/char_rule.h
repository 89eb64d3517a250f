// Implementation details only, shared by the character-aware operations of text.cpp and
// text_list.cpp. Not for use outside src/text.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace morvane::text_internal {

// Where characters start, found lazily from left to right.
//
// A position is a character start exactly when the run of bytes >= 0x80 just before it, back to a
// byte below 0x80 or to a known start, has even length: a byte below 0x80 is never a first byte, so
// the position after it is always a start. Asking in increasing order keeps the total cost linear,
// because each question only looks back as far as the answer to the previous one.
class CharStarts {
 public:
  CharStarts(std::string_view text, std::size_t knownStart)
      : bytes_(reinterpret_cast<const unsigned char*>(text.data())), known_(knownStart) {}

  // pos when a character starts there, otherwise pos + 1 (pos is then a second byte).
  // pos must not lie before the previous answer or restart point.
  std::size_t AtOrAfter(std::size_t pos) {
    assert(pos >= known_);
    std::size_t j = pos;
    while (j > known_ && bytes_[j - 1] >= 0x80) --j;
    known_ = (pos - j) % 2 == 0 ? pos : pos + 1;
    return known_;
  }

  // Declares pos a character start, as the scans do directly after an occurrence they consumed.
  void Restart(std::size_t pos) { known_ = pos; }

 private:
  const unsigned char* bytes_;
  std::size_t known_;
};

// Lower-cases 'A'..'Z' only, byte by byte; in and out have the same length.
void FoldInto(std::string_view in, char* out);

// Finds sought in text at byte offsets >= from, exactly or with A-Z folded, in linear time
// (glibc's memmem is linear in the worst case). Folding copies the text from begin on once.
class Searcher {
 public:
  Searcher(std::string_view text, std::string_view sought, std::size_t begin, bool caseSensitive);
  std::size_t Find(std::size_t from) const;  // npos when there is none

 private:
  std::string_view text_;
  std::string_view sought_;
  std::size_t offset_ = 0;  // text_[0] stands at this offset of the original text
  std::string folded_;
  std::string foldedSought_;
};

// True when eight bytes are all ASCII and none is a space: eight characters that the space
// removal keeps as they are.
inline bool PlainAsciiWord(const unsigned char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  if (w & kHigh) return false;
  const std::uint64_t x = w ^ (kOnes * 0x20);  // a zero byte where w holds a space
  return ((x - kOnes) & ~x & kHigh) == 0;
}

}  // namespace morvane::text_internal
