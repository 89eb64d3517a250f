#include "text/text.h"

#include <gtest/gtest.h>

#include <climits>

#include "text/text_list.h"

namespace morvane {
namespace {

const Text kFullWidthSpace = "\xA1\xA1";

TEST(Text, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(Text(std::string_view("A\0B", 3)), Text("A"));
  EXPECT_EQ(Text(std::string("\0B", 2)), Text());
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text());
  EXPECT_EQ(ConcatText("a", std::string_view("b\0c", 3), "d"), Text("abd"));
}

TEST(TextLength, CountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength("\xC4\xE3\xBA\xC3"), 4);
}

TEST(LeftRightMid, CutByBytes) {
  struct Row {
    Text got, want;
  } rows[] = {
      {LeftText("abc", 5), "abc"},   {LeftText("abc", 0), ""},
      {LeftText("abc", -2), ""},     {LeftText("abc", 2), "ab"},
      {LeftText("\xC4\xE3", 1), "\xC4"},  // may cut a two-byte character
      {RightText("abc", 2), "bc"},   {RightText("abc", 9), "abc"},
      {RightText("abc", 0), ""},     {RightText("abc", INT_MIN), ""},
      {RightText("", 3), ""},        {MidText("abcdef", 3, 10), "cdef"},
      {MidText("abc", 4, 1), ""},    {MidText("abc", 0, 2), ""},
      {MidText("abc", 1, 0), ""},    {MidText("abc", 2, -1), ""},
      {MidText("abc", 3, INT_MAX), "c"}, {MidText("abc", INT_MAX, 1), ""},
      {MidText("abc", 2, 1), "b"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.got, row.want);
}

TEST(FindText, Table) {
  struct Row {
    Text text, sought;
    int start;
    bool ignoreCase;
    int want;
  } rows[] = {
      {"abc", "", 1, false, 1},
      {"abc", "", 3, false, 1},  // empty sought gives 1, not the start
      {"abc", "", 4, false, -1},
      {"", "", 1, false, -1},
      {"", "a", 1, false, -1},
      {"abc", "c", 4, false, -1},
      {"abc", "a", 0, false, 1},
      {"abc", "a", INT_MIN, false, 1},
      {"abc", "c", INT_MAX, false, -1},
      {"abcabc", "bc", 3, false, 5},
      {"abc", "abcd", 1, false, -1},
      {"aXbc", "xb", 1, true, 2},
      {"aXbc", "xb", 1, false, -1},
      {"[@`{", "{", 1, true, 4},  // only A-Z fold: '[' is not '{' and '@' is not '`'
      {"@", "`", 1, true, -1},
      {"\xB0" "AA", "A", 1, false, 3},
      {"\xB0" "AA", "A", 2, false, 2},  // a start inside a pair is taken as a character start
      {"\xC1\xC1\xC1", "\xC1\xC1", 1, false, 1},
      {"a\xC1\xC1\xC1", "\xC1\xC1", 1, false, 2},
      {"\xC1" "a\xC1\xC1", "a\xC1", 1, false, -1},  // the only "a\xC1" straddles characters
      {"\xB0", "\xB0", 1, false, 1},                  // a lone start byte is tried once
      {"a\xB0", "b", 1, false, -1},
      {"\xB0X", "\xB0x", 1, true, 1},               // folding reaches second bytes too
      {"\xC4" "A", "\xC4" "a", 1, true, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text) + " / " + testing::PrintToString(row.sought));
    EXPECT_EQ(FindText(row.text, row.sought, row.start, row.ignoreCase), row.want);
  }
}

TEST(FindText, StaysLinearOnRepetitiveInput) {
  // A naive search would compare ~n*m bytes here; this must finish at once.
  const std::string text(1 << 20, 'a');
  const std::string sought = std::string(1 << 16, 'a') + "b";
  EXPECT_EQ(FindText(text, sought), -1);
  EXPECT_EQ(FindText(text, sought, 1, true), -1);
  std::string pairs = "a";
  for (int i = 0; i < (1 << 19); ++i) pairs += "\xC1" "b";
  EXPECT_EQ(FindText(pairs, "b\xC1"), -1);  // every hit straddles two characters
}

TEST(TrimBothEnds, Table) {
  struct Row {
    Text in, want;
  } rows[] = {
      {ConcatText(kFullWidthSpace, " a b\t "), "a b\t"},
      {"", ""},
      {"   ", ""},
      {ConcatText(kFullWidthSpace, " ", kFullWidthSpace), ""},
      {"a", "a"},
      {"\ta\t", "\ta\t"},
      {" a \xB0", "a "},  // lone start byte cut alone, the space before it stays
      {"\xB0", ""},
      {"\xA1", ""},
      {" \xA1", ""},
      {"a\xA1 ", "a\xA1 "},            // 0xA1 0x20 is one character, not a space
      {"a\xC1\xA1\xA1", "a\xC1\xA1"},  // the last 0xA1 is a lone start byte, not a space
      {"a\xC1\xA1\xA1\xA1 ", "a\xC1\xA1"},
      {"\xA1\xA1\xA1", ""},  // a space, then a lone start byte
      {"x\xA1\xA1\xA1", "x\xA1\xA1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.in));
    EXPECT_EQ(TrimBothEnds(row.in), row.want);
  }
}

TEST(RemoveAllSpaces, Table) {
  struct Row {
    Text in, want;
  } rows[] = {
      {"a = b; c", "a=b;c"},
      {"", ""},
      {ConcatText("a", kFullWidthSpace, "b"), "ab"},
      {"a\xC1\xA1\xA1" "b", "a\xC1\xA1\xA1" "b"},  // pairs 0xC1 0xA1 and 0xA1 'b'
      {"a\xC1\xA1\xA1\xA1" "b", "a\xC1\xA1" "b"},
      {"a\t\r\n", "a\t\r\n"},
      {"ab \xB0", "ab"},
      {"0123456789 abcdefghij klmnop", "0123456789abcdefghijklmnop"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.in));
    EXPECT_EQ(RemoveAllSpaces(row.in), row.want);
  }
}

TEST(ReplaceText, Table) {
  struct Row {
    Text text, sought, replacement;
    int start, count;
    bool caseSensitive;
    Text want;
  } rows[] = {
      {"aaa", "aa", "b", 1, -1, true, "ba"},
      {"x-y-z", "-", "", 1, -1, true, "xyz"},
      {"SET-cookie: a", "Set-Cookie", "Set-Cookie", 1, -1, false, "Set-Cookie: a"},
      {"SET-cookie: a", "Set-Cookie", "Set-Cookie", 1, -1, true, "SET-cookie: a"},
      {"a-b-c-d", "-", "+", 1, 2, true, "a+b+c-d"},
      {"a-b-c-d", "-", "+", 3, -1, true, "a-b+c+d"},
      {"a-b-c-d", "-", "+", 0, -1, true, "a+b+c+d"},
      {"a-b", "-", "+", 1, 0, true, "a-b"},
      {"a-b", "-", "+", 1, -7, true, "a+b"},
      {"a-b", "-", "+", 4, -1, true, "a-b"},
      {"a-b", "", "+", 1, -1, true, "a-b"},
      {"", "-", "+", 1, -1, true, ""},
      {"aaaa", "a", "aa", 1, -1, true, "aaaaaaaa"},  // a replacement is never searched again
      {"\xC1" "a\xC1" "a", "a\xC1", "#", 1, -1, true, "\xC1" "a\xC1" "a"},
      {"\xC1\xC1" "a", "\xC1" "a", "#", 1, -1, true, "\xC1\xC1" "a"},
      {"a\xC1\xC1", "\xC1", "#", 1, -1, true, "a##"},  // the scan goes on right after a match
      {"ab\xB0", "x", "y", 1, -1, true, "ab"},          // unmatched lone start byte is dropped
      {"ab\xB0", "xy", "z", 1, -1, true, "ab\xB0"},     // fewer bytes than sought: copied
      {"ab\xB0", "\xB0", "z", 1, -1, true, "abz"},
      {"a-b\xB0", "-", "+", 1, 1, true, "a+b\xB0"},     // after count the rest is copied as is
      {"\xB0" "a", "a", "b", 2, -1, true, "\xB0" "b"},  // start inside a pair counts as a start
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text) + " / " + testing::PrintToString(row.sought));
    EXPECT_EQ(ReplaceText(row.text, row.sought, row.replacement, row.start, row.count,
                          row.caseSensitive),
              row.want);
  }
}

TEST(SplitText, Table) {
  struct Row {
    Text text, separator;
    TextList want;
  } rows[] = {
      {"a;b;", ";", {"a", "b"}},
      {";a", ";", {"", "a"}},
      {"a;;b", ";", {"a", "", "b"}},
      {"abc", ";", {"abc"}},
      {"", ";", {}},
      {"abc", "", {"abc"}},
      {";", ";", {""}},
      {"a\r\nb\r\n\r\n", "\r\n", {"a", "b", ""}},
      {"A;a", "a", {"A;"}},  // exact: letter case matters
      {"\xC1;\xC1", ";", {"\xC1;\xC1"}},
      {"x\xC1;y", ";", {"x\xC1;y"}},
      {"x;\xB0", ";", {"x", "\xB0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text));
    EXPECT_EQ(SplitText(row.text, row.separator), row.want);
  }
}

TEST(ConcatText, JoinsInOrder) {
  EXPECT_EQ(ConcatText("a", "", "bc", Text("d")), Text("abcd"));
  EXPECT_EQ(ConcatText("", ""), Text(""));
}

TEST(CompareText, OrdersBytesAsUnsigned) {
  EXPECT_EQ(CompareText("", ""), 0);
  EXPECT_EQ(CompareText("abc", "abc"), 0);
  EXPECT_NE(CompareText("a", "A"), 0);
  EXPECT_GT(CompareText("a", "A"), 0);
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_GT(CompareText("\xB0", "a"), 0);  // unsigned: 0xB0 sorts after ASCII
}

TEST(CharCode, SignedByteAtPosition) {
  EXPECT_EQ(CharCode("\xB0"), -80);
  EXPECT_EQ(CharCode("AB", 2), 66);
  EXPECT_EQ(CharCode("AB", 0), 0);
  EXPECT_EQ(CharCode("AB", 3), 0);
  EXPECT_EQ(CharCode(""), 0);
  EXPECT_EQ(CharCode("\x7F\x80", 2), -128);
}

TEST(TextList, OneBasedAccessAndAppend) {
  TextList list;
  EXPECT_EQ(ItemCount(list), 0);
  AppendItem(list, "a");
  Text b = "b";
  AppendItem(list, b);
  b = "changed";  // the list holds its own copy
  EXPECT_EQ(ItemCount(list), 2);
  EXPECT_EQ(ItemAt(list, 1), Text("a"));
  EXPECT_EQ(ItemAt(list, 2), Text("b"));
}

}  // namespace
}  // namespace morvane
