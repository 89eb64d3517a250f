#include "text/text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string.h>  // memmem

#include "text/char_rule.h"

namespace morvane {

void PrintTo(const Text& text, std::ostream* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  *out << '"';
  for (unsigned char c : text.view()) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      *out << static_cast<char>(c);
    } else {
      *out << "\\x" << kHex[c >> 4] << kHex[c & 15];
    }
  }
  *out << '"';
}

int TextLength(const Text& text) { return static_cast<int>(text.size()); }

Text LeftText(const Text& text, int n) {
  if (n <= 0) return {};
  return Text(text.view().substr(0, static_cast<std::size_t>(n)));
}

Text RightText(const Text& text, int n) {
  if (n <= 0) return {};
  const std::size_t take = std::min(text.size(), static_cast<std::size_t>(n));
  return Text(text.view().substr(text.size() - take));
}

Text MidText(const Text& text, int position, int n) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size() || n <= 0) return {};
  return Text(text.view().substr(static_cast<std::size_t>(position) - 1, static_cast<std::size_t>(n)));
}

int FindText(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const std::size_t begin = static_cast<std::size_t>(std::max(start, 1)) - 1;
  if (begin >= text.size()) return -1;
  if (sought.empty()) return 1;

  text_internal::Searcher searcher(text.view(), sought.view(), begin, !ignoreCase);
  text_internal::CharStarts starts(text.view(), begin);
  std::size_t from = begin;
  for (;;) {
    const std::size_t pos = searcher.Find(from);
    if (pos == std::string_view::npos) return -1;
    const std::size_t at = starts.AtOrAfter(pos);
    if (at == pos) return static_cast<int>(pos + 1);
    from = at;
  }
}

Text TrimBothEnds(const Text& text) {
  const std::string_view s = text.view();
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t len = s.size();

  std::size_t first = 0;
  while (first < len) {
    if (b[first] == 0x20) {
      first += 1;
    } else if (b[first] == 0xA1 && first + 1 < len && b[first + 1] == 0xA1) {
      first += 2;
    } else {
      break;
    }
  }
  if (first == len) return {};

  // Only the tail can change the end: the last run of bytes that can belong to a space (0x20, 0xA1),
  // walked from its first character start. Finding that start costs the run of lead-range bytes
  // before it, not the whole text.
  std::size_t tail = len;
  while (tail > first && (b[tail - 1] == 0x20 || b[tail - 1] == 0xA1)) --tail;
  text_internal::CharStarts starts(s, first);
  std::size_t i = starts.AtOrAfter(tail);
  std::size_t runStart = len;  // where the current run of spaces began; len when not in a run
  while (i < len) {
    if (b[i] >= 0x80 && i + 1 == len) break;  // a lone start byte: cut alone, spaces before it stay
    const bool space = b[i] == 0x20 || (b[i] == 0xA1 && b[i + 1] == 0xA1);
    if (!space) {
      runStart = len;
    } else if (runStart == len) {
      runStart = i;
    }
    i += b[i] >= 0x80 ? 2 : 1;
  }
  if (i != len) return Text(s.substr(first, len - 1 - first));
  return Text(s.substr(first, runStart - first));
}

Text RemoveAllSpaces(const Text& text) {
  const std::string_view s = text.view();
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t len = s.size();
  std::string out;
  out.reserve(len);

  std::size_t kept = 0;  // bytes from kept to i are still to be copied
  std::size_t i = 0;
  while (i < len) {
    // Eight ASCII bytes without a space are eight characters to keep.
    if (i + 8 <= len && text_internal::PlainAsciiWord(b + i)) {
      i += 8;
      continue;
    }
    const unsigned char c = b[i];
    if (c < 0x80) {
      if (c == 0x20) {
        out.append(s, kept, i - kept);
        kept = i + 1;
      }
      i += 1;
    } else if (i + 1 == len) {
      out.append(s, kept, i - kept);  // a lone start byte at the end is left out
      kept = len;
      i = len;
    } else {
      if (c == 0xA1 && b[i + 1] == 0xA1) {
        out.append(s, kept, i - kept);
        kept = i + 2;
      }
      i += 2;
    }
  }
  out.append(s, std::min(kept, len));
  return Text(std::move(out));
}

Text ReplaceText(const Text& text, const Text& sought, const Text& replacement, int start, int count,
                 bool caseSensitive) {
  const std::string_view s = text.view();
  const std::size_t len = s.size();
  const std::size_t m = sought.size();
  const std::size_t begin = static_cast<std::size_t>(std::max(start, 1)) - 1;
  if (len == 0 || m == 0 || begin >= len || count == 0) return text;

  std::string out;
  out.reserve(len);
  out.append(s, 0, begin);

  text_internal::Searcher searcher(s, sought.view(), begin, caseSensitive);
  text_internal::CharStarts starts(s, begin);
  std::size_t i = begin;
  for (int done = 0; count < 0 || done < count;) {
    const std::size_t pos = searcher.Find(i);
    if (pos == std::string_view::npos) {
      // The scan would walk on to the end; with a one-byte sought it reaches a lone start byte at
      // the very end, which it drops.
      const auto last = static_cast<unsigned char>(s[len - 1]);
      if (m == 1 && i < len && last >= 0x80 && starts.AtOrAfter(len - 1) == len - 1) {
        out.append(s, i, len - 1 - i);
        i = len;
      }
      break;
    }
    const std::size_t at = starts.AtOrAfter(pos);
    if (at == pos) {
      out.append(s, i, pos - i);
      out.append(replacement.view());
      i = pos + m;
      starts.Restart(i);
      ++done;
    } else {
      out.append(s, i, at - i);
      i = at;
    }
  }
  if (i < len) out.append(s, i);
  return Text(std::move(out));
}

namespace text_internal {

Text Concat(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (auto part : parts) total += part.size();
  std::string out;
  out.reserve(total);
  for (auto part : parts) out.append(part.substr(0, part.find('\0')));  // each part is a Text
  return Text(std::move(out));
}

Searcher::Searcher(std::string_view text, std::string_view sought, std::size_t begin,
                   bool caseSensitive)
    : text_(text), sought_(sought) {
  if (!caseSensitive) {
    folded_.resize(text.size() - begin);
    FoldInto(text.substr(begin), folded_.data());
    foldedSought_.resize(sought.size());
    FoldInto(sought, foldedSought_.data());
    text_ = folded_;
    sought_ = foldedSought_;
    offset_ = begin;
  }
}

std::size_t Searcher::Find(std::size_t from) const {
  const std::size_t local = from - offset_;
  if (local > text_.size() || text_.size() - local < sought_.size()) return std::string_view::npos;
  const void* hit =
      memmem(text_.data() + local, text_.size() - local, sought_.data(), sought_.size());
  if (hit == nullptr) return std::string_view::npos;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) + offset_;
}

void FoldInto(std::string_view in, char* out) {
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto c = static_cast<unsigned char>(in[i]);
    out[i] = static_cast<char>(static_cast<unsigned>(c - 'A') < 26u ? c + 32 : c);
  }
}

}  // namespace text_internal

int CompareText(const Text& a, const Text& b) {
  const int order = a.view().compare(b.view());  // char_traits<char> compares as unsigned
  return (order > 0) - (order < 0);
}

int CharCode(const Text& text, int position) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return 0;
  return static_cast<signed char>(text[static_cast<std::size_t>(position) - 1]);
}

}  // namespace morvane
