#include "text/helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace morvane {
namespace {

TEST(Base64Encode, Table) {
  struct Row {
    ByteArray in;
    Text want;
  } rows[] = {
      {ToBytes("abc"), "YWJj"},  {ToBytes("ab"), "YWI="},     {ToBytes("a"), "YQ=="},
      {{}, ""},                  {{0xFF}, "/w=="},            {{0, 0, 0}, "AAAA"},
      {{0xFB, 0xEF, 0xBE}, "++++"}, {{0xFF, 0xFF, 0xFF}, "////"},
      {ToBytes("user:p\xC3\xA4ss"), "dXNlcjpww6Rzcw=="},
      {ToBytes("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
  };
  for (const Row& row : rows) EXPECT_EQ(Base64Encode(row.in), row.want);
}

TEST(TextBetween, Table) {
  const std::string quote = QUOTE_MARKER;
  struct Row {
    Text text, left, right;
    int start;
    bool ignoreCase;
    Text want;
  } rows[] = {
      {"Set-Cookie: sid=1; path=/", "Set-Cookie:", ";", 0, false, " sid=1"},
      {"k=v;", "k=", ";", 0, false, "v"},
      {"k=;", "k=", ";", 0, false, ""},
      {"a=1;", "b=", ";", 0, false, ""},
      {"k=v", "k=", ";", 0, false, ""},
      {";k=v", "k=", ";", 0, false, ""},  // right marker only before the left one
      {"k=v;", "k=", "", 0, false, ""},   // empty right marker
      {"abc;d", "", ";", 0, false, "abc"},
      {"abc;d", "", ";", 3, false, "abc"},  // empty left: from the first byte, whatever start is
      {"abc;d", "", ";", 9, false, ""},
      {"k=1;k=2;", "k=", ";", 3, false, "2"},
      {"K=v;", "k=", ";", 0, true, "v"},
      {"K=v;", "k=", ";", 0, false, ""},
      {"x\"abc\"y", quote, quote, 0, false, "abc"},
      {"id:\"42\"", ConcatText("id:", quote), quote, 0, false, "42"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text));
    EXPECT_EQ(TextBetween(row.text, row.left, row.right, row.start, row.ignoreCase), row.want);
  }
}

TEST(DedupeList, Table) {
  struct Row {
    Text list, separator, want;
  } rows[] = {
      {"a; b; a", "; ", "a; b"}, {"b;a;b;", ";", "b;a"}, {"a;;a;", ";", "a;"},
      {"", ";", ""},             {"a;A", ";", "a;A"},      {"a; a", ";", "a; a"},
      {"a;b", "", "a;b"},        {";;", ";", ""},          {"x", ";", "x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.list));
    EXPECT_EQ(DedupeList(row.list, row.separator), row.want);
  }
}

TEST(DedupeList, LargeListsStayLinear) {
  // 200,000 items, half of them repeats: a quadratic look-up would take minutes.
  std::string list;
  std::string want;
  for (int i = 0; i < 200000; ++i) {
    const std::string item = "k" + std::to_string(i % 100000) + "=v";
    list += item + "; ";
    if (i < 100000) want += item + "; ";
  }
  want.resize(want.size() - 2);
  EXPECT_EQ(DedupeList(list, "; "), Text(want));
}

TEST(IndexInList, FirstEqualItem) {
  const TextList items = {"a", "b", "b", ""};
  EXPECT_EQ(IndexInList(items, "b"), 2);
  EXPECT_EQ(IndexInList(items, "c"), -1);
  EXPECT_EQ(IndexInList(items, ""), 4);
  EXPECT_EQ(IndexInList(items, "B"), -1);
  EXPECT_EQ(IndexInList({}, "a"), -1);
}

}  // namespace
}  // namespace morvane
