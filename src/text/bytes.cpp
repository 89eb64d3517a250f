#include "text/bytes.h"

#include <algorithm>

namespace morvane {

ByteArray ToBytes(const Text& text) { return ByteArray(text.view().begin(), text.view().end()); }

Text BytesToText(const ByteArray& bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), 0);
  return Text(std::string(bytes.begin(), zero));
}

ByteArray BlankBytes(int n) { return n > 0 ? ByteArray(static_cast<std::size_t>(n), 0) : ByteArray{}; }

int BytesLength(const ByteArray& bytes) { return static_cast<int>(bytes.size()); }

ByteArray ConcatBytes(std::initializer_list<const ByteArray*> parts) {
  std::size_t total = 0;
  for (const ByteArray* part : parts) total += part->size();
  ByteArray out;
  out.reserve(total);
  for (const ByteArray* part : parts) out.insert(out.end(), part->begin(), part->end());
  return out;
}

int CompareBytes(const ByteArray& a, const ByteArray& b) { return a == b ? 0 : 1; }

}  // namespace morvane
