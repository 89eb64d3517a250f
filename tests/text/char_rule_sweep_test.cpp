// The character-aware operations against plain reference walkers that follow the rules step by
// step, over every start byte and a spread of second bytes, then over random short texts drawn
// from the bytes that matter (spaces, separators, letters in both cases, start bytes).
#include <gtest/gtest.h>

#include <random>

#include "text/text.h"
#include "text/text_list.h"

namespace morvane {
namespace {

using Bytes = std::string;

bool IsStart(unsigned char c) { return c >= 0x80; }
unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

bool MatchesAt(const Bytes& s, std::size_t i, const Bytes& t, bool fold) {
  if (s.size() - i < t.size()) return false;
  for (std::size_t k = 0; k < t.size(); ++k) {
    unsigned char a = s[i + k], b = t[k];
    if (fold ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

int RefFind(const Bytes& s, const Bytes& t, int start, bool fold) {
  std::size_t i = static_cast<std::size_t>(std::max(start, 1)) - 1;
  if (i >= s.size()) return -1;
  if (t.empty()) return 1;
  while (s.size() - i >= t.size()) {
    if (MatchesAt(s, i, t, fold)) return static_cast<int>(i + 1);
    if (IsStart(s[i])) {
      if (i + 1 == s.size()) return -1;
      i += 2;
    } else {
      i += 1;
    }
  }
  return -1;
}

Bytes RefReplace(const Bytes& s, const Bytes& t, const Bytes& r, int start, int count, bool exact) {
  std::size_t i = static_cast<std::size_t>(std::max(start, 1)) - 1;
  if (s.empty() || t.empty() || i >= s.size() || count == 0) return s;
  Bytes out = s.substr(0, i);
  int done = 0;
  while (s.size() - i >= t.size()) {
    if (count > 0 && done == count) break;
    if (MatchesAt(s, i, t, !exact)) {
      out += r;
      i += t.size();
      ++done;
    } else if (IsStart(s[i])) {
      if (i + 1 == s.size()) return out;  // dropped
      out += s.substr(i, 2);
      i += 2;
    } else {
      out += s[i++];
    }
  }
  return out + s.substr(std::min(i, s.size()));
}

TextList RefSplit(const Bytes& s, const Bytes& sep) {
  if (s.empty()) return {};
  if (sep.empty()) return {Text(s)};
  TextList items;
  std::size_t i = 0, itemStart = 0;
  while (i < s.size()) {
    if (MatchesAt(s, i, sep, false)) {
      items.emplace_back(s.substr(itemStart, i - itemStart));
      i += sep.size();
      itemStart = i;
    } else if (IsStart(s[i])) {
      if (i + 1 == s.size()) break;
      i += 2;
    } else {
      i += 1;
    }
  }
  if (itemStart < s.size()) items.emplace_back(s.substr(itemStart));
  return items;
}

// Splits into characters; a lone start byte at the end is its own one-byte character.
std::vector<Bytes> Chars(const Bytes& s) {
  std::vector<Bytes> chars;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = IsStart(s[i]) && i + 1 < s.size() ? 2 : 1;
    chars.push_back(s.substr(i, n));
    i += n;
  }
  return chars;
}

bool IsSpace(const Bytes& c) { return c == " " || c == "\xA1\xA1"; }
bool IsLone(const Bytes& c) { return c.size() == 1 && IsStart(c[0]); }

Bytes RefTrim(const Bytes& s) {
  std::vector<Bytes> chars = Chars(s);
  bool lone = !chars.empty() && IsLone(chars.back());
  if (lone) chars.pop_back();
  std::size_t a = 0;
  while (a < chars.size() && IsSpace(chars[a])) ++a;
  std::size_t b = chars.size();
  if (!lone) {
    while (b > a && IsSpace(chars[b - 1])) --b;
  }
  Bytes out;
  for (std::size_t k = a; k < b; ++k) out += chars[k];
  return out;
}

Bytes RefRemoveSpaces(const Bytes& s) {
  Bytes out;
  for (const Bytes& c : Chars(s)) {
    if (!IsSpace(c) && !IsLone(c)) out += c;
  }
  return out;
}

void CheckAll(const Bytes& s, const Bytes& t) {
  SCOPED_TRACE(testing::PrintToString(Text(s)) + " sought " + testing::PrintToString(Text(t)));
  for (int start : {-1, 1, 2, 3}) {
    for (bool fold : {false, true}) {
      ASSERT_EQ(FindText(s, t, start, fold), RefFind(s, t, start, fold))
          << "start " << start << " fold " << fold;
      ASSERT_EQ(ReplaceText(s, t, "<>", start, -1, !fold), Text(RefReplace(s, t, "<>", start, -1, !fold)))
          << "start " << start << " fold " << fold;
    }
    ASSERT_EQ(ReplaceText(s, t, "", start, 1, true), Text(RefReplace(s, t, "", start, 1, true)));
  }
  ASSERT_EQ(SplitText(s, t), RefSplit(s, t));
  ASSERT_EQ(TrimBothEnds(s), Text(RefTrim(s)));
  ASSERT_EQ(RemoveAllSpaces(s), Text(RefRemoveSpaces(s)));
}

TEST(CharRule, EveryStartByteWithASpreadOfSecondBytes) {
  const unsigned char seconds[] = {0x01, 0x09, 0x20, 0x3B, 0x40, 0x41, 0x61, 0x7E,
                                   0x7F, 0x80, 0x81, 0xA0, 0xA1, 0xC1, 0xFE, 0xFF};
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (unsigned char second : seconds) {
      const Bytes L(1, static_cast<char>(lead)), T(1, static_cast<char>(second));
      const Bytes texts[] = {L + T,        "x" + L + T + " ", L,           " " + L,
                             L + T + L,    T + L + T + T,     L + L + T,   " " + L + T + " " + L,
                             "a" + L + T + "\xA1\xA1" + L + T + "\xA1\xA1", T + T + L + T + L};
      const Bytes soughts[] = {T, L + T, T + L, L, " ", "\xA1\xA1", "A" + T, T + " "};
      for (const Bytes& s : texts) {
        for (const Bytes& t : soughts) CheckAll(s, t);
      }
    }
  }
}

TEST(CharRule, RandomShortTexts) {
  const char alphabet[] = {'a', 'A', 'b', ' ', ';', '\t', '\xA1', '\xC1', '\x80', '\xFF'};
  std::mt19937 random(20261211);
  auto pick = [&](std::size_t maxLength) {
    Bytes s(random() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[random() % sizeof alphabet];
    return s;
  };
  for (int n = 0; n < 20000; ++n) CheckAll(pick(12), pick(3));
}

}  // namespace
}  // namespace morvane
