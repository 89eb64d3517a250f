#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace morvane {
namespace {

std::u16string W(std::u16string_view s) { return std::u16string(s); }

TEST(CodePage, SingleBytesAndEdges) {
  struct Row {
    Text in;
    std::u16string want;
  } rows[] = {
      {"", u""},
      {"Az\x01\x7F", u"Az\x01\x7F"},
      {"\x80", u"\u20AC"},
      {"\xFF", u"\uF8F5"},
      {"\xC4\xE3\xBA\xC3", u"你好"},
      {"abcdefgh\xC4\xE3" "ijklmnopq\xC4", u"abcdefgh你ijklmnopq?"},  // across 8-byte blocks
      {"\xA1\xA1", u"\u3000"},
      {"\xC4", u"?"},                 // a start byte at the end
      {"a\xC4", u"a?"},
      {"\x81\x80", u"\u4E90"},        // 0x80 is a second byte like any other
      {"\x81" "0", u"?0"},             // invalid pair: its second byte stands alone and stays
      {"\xC4 ", u"? "},
      {"\x81\x7F", u"?\x7F"},
      {"\x81\xFF", u"?\uF8F5"},
      {"\xAA\xA1", u"\uE000"},        // user-defined areas, as the platform maps them
      {"\xA1" "A", u"\uE4C7"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.in));
    EXPECT_EQ(ToWide(row.in), row.want);
  }
}

TEST(CodePage, BackFromWide) {
  EXPECT_EQ(FromWide(u"你好"), Text("\xC4\xE3\xBA\xC3"));
  EXPECT_EQ(FromWide(u"\u20AC\uF8F5"), Text("\x80\xFF"));
  EXPECT_EQ(FromWide(u"\u0E01"), Text("?"));           // Thai: not in the code page
  EXPECT_EQ(FromWide(u"a\U0001F600b"), Text("a?b"));   // one character beyond the plane, one "?"
  EXPECT_EQ(FromWide(W(u"a\xD800")), Text("a?"));      // an unpaired surrogate
  EXPECT_EQ(FromWide(std::u16string(u"ab\0cd", 5)), Text("ab"));  // ends at U+0000
  EXPECT_EQ(FromWide(u"\uE000"), Text("\xAA\xA1"));
}

TEST(CodePage, Utf8BothWays) {
  EXPECT_EQ(ToUtf8("\xC4\xE3 a\x80"), "\xE4\xBD\xA0 a\xE2\x82\xAC");
  EXPECT_EQ(FromUtf8("\xE4\xBD\xA0 a"), Text("\xC4\xE3 a"));
  EXPECT_EQ(FromUtf8("a\xFF" "b"), Text("a?b"));  // invalid UTF-8
  EXPECT_EQ(FromUtf8("\xC3\xA9"), Text("\xA8\xA6"));  // é is in the code page
  EXPECT_EQ(FromUtf8("\xC3\xBF"), Text("?"));         // ÿ is not
}

// Every pair, both ways, against Python's "gbk" codec, an implementation independent of ours.
// The platform's code page defines every pair with a second byte from 0x40 to 0xFE (but 0x7F):
// those GBK leaves undefined (the user-defined areas and a few more) go to the private use area.
TEST(CodePage, EveryPairAgainstAnIndependentCodec) {
  const char* script =
      "python3 -c \"\n"
      "for l in range(0x81, 0xFF):\n"
      "  for t in range(0x40, 0xFF):\n"
      "    try:\n"
      "      u = bytes([l, t]).decode('gbk')\n"
      "      print('%02X%02X %04X' % (l, t, ord(u)))\n"
      "    except UnicodeDecodeError:\n"
      "      pass\n"
      "\"";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(script, "r"), pclose);
  ASSERT_TRUE(pipe);
  std::map<unsigned, char16_t> reference;
  unsigned pair = 0, unit = 0;
  while (fscanf(pipe.get(), "%4X %4X", &pair, &unit) == 2) reference[pair] = static_cast<char16_t>(unit);
  ASSERT_GT(reference.size(), 21000u);

  int decodedAlike = 0, privateUse = 0;
  std::vector<std::string> differences;
  for (unsigned l = 0x81; l <= 0xFE; ++l) {
    for (unsigned t = 0x40; t <= 0xFE; ++t) {
      if (t == 0x7F) continue;
      const std::string bytes{static_cast<char>(l), static_cast<char>(t)};
      const std::u16string ours = ToWide(bytes);
      char where[64];
      std::snprintf(where, sizeof where, "%02X%02X", l, t);
      auto found = reference.find(l << 8 | t);
      if (found != reference.end()) {
        if (ours != std::u16string(1, found->second)) {
          differences.push_back(std::string(where) + " decodes differently");
        } else if (FromWide(ours) != Text(bytes)) {
          differences.push_back(std::string(where) + " does not come back");
        } else {
          ++decodedAlike;
        }
      } else if (ours.size() == 1 && ours[0] >= 0xE000 && ours[0] <= 0xF8FF &&
                 FromWide(ours) == Text(bytes)) {
        ++privateUse;
      } else {
        differences.push_back(std::string(where) + " is neither GBK nor private use");
      }
    }
  }
  EXPECT_EQ(decodedAlike, static_cast<int>(reference.size()));
  EXPECT_EQ(decodedAlike + privateUse, 126 * 190);
  EXPECT_TRUE(differences.empty()) << differences.size() << " differences, first "
                                   << (differences.empty() ? "" : differences.front());
}

}  // namespace
}  // namespace morvane
