#include "text/helpers.h"

#include <string_view>
#include <unordered_set>

namespace morvane {

Text Base64Encode(const ByteArray& data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (data.empty()) return {};
  const std::size_t rest = data.size() % 3;
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < data.size(); i += 3) {
    const unsigned b0 = data[i];
    const unsigned b1 = i + 1 < data.size() ? data[i + 1] : 0;
    const unsigned b2 = i + 2 < data.size() ? data[i + 2] : 0;
    out += kAlphabet[b0 >> 2];
    out += kAlphabet[((b0 & 3) << 4) + (b1 >> 4)];
    out += kAlphabet[((b1 & 15) << 2) + (b2 >> 6)];
    out += kAlphabet[b2 & 63];
  }
  if (rest == 1) out.replace(out.size() - 2, 2, "==");
  if (rest == 2) out.back() = '=';
  return Text(std::move(out));
}

Text TextBetween(const Text& text, const Text& left, const Text& right, int start, bool ignoreCase) {
  const Text leftMarker = ReplaceText(left, QUOTE_MARKER, "\"");
  const Text rightMarker = ReplaceText(right, QUOTE_MARKER, "\"");
  int p = FindText(text, leftMarker, start, ignoreCase);
  if (p != -1) p += TextLength(leftMarker);
  const int q = FindText(text, rightMarker, p, ignoreCase);
  if (p == -1 || q == -1) return {};
  return MidText(text, p, q - p);
}

Text DedupeList(const Text& list, const Text& separator) {
  const TextList items = SplitText(list, separator);
  std::unordered_set<std::string_view> seen;  // views into items, which outlive the set
  std::string out;
  out.reserve(list.size() + separator.size());
  for (const Text& item : items) {
    if (!seen.insert(item.view()).second) continue;
    out.append(item.view());
    out.append(separator.view());
  }
  out.resize(out.size() - std::min(out.size(), separator.size()));
  return Text(std::move(out));
}

int IndexInList(const TextList& items, const Text& sought) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (CompareText(items[i], sought) == 0) return static_cast<int>(i + 1);
  }
  return -1;
}

}  // namespace morvane
