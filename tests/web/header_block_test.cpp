#include "web/header_block.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

constexpr const char* kUa = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

TEST(HeaderBlock, NameAndValue) {
  struct Row {
    Text line, name, value;
  } rows[] = {
      {"Host: example:80", "Host", "example:80"},
      {" X-Y : z ", "X-Y", "z"},
      {"\xA1\xA1N\xA1\xA1:\xA1\xA1v", "N", "v"},
      {"Tab:\tv\t", "Tab", "\tv\t"},  // a tab is no space
      {"no colon", "", ""},
      {":v", "", "v"},
      {"k:", "k", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line.str());
    EXPECT_EQ(HeaderName(row.line), row.name);
    EXPECT_EQ(HeaderValue(row.line), row.value);
  }
}

TEST(HeaderBlock, DefaultCompletion) {
  const Text url = "http://h/p";
  const Text defaults = ConcatText("Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n", kUa);
  struct Row {
    Text given;
    int method;
    Text want;
  } rows[] = {
      {"", 0, defaults},
      {"", 2, defaults},
      {"", 1, ConcatText(defaults, "\r\nContent-Type: application/x-www-form-urlencoded")},
      {"Content-Type: text/plain", 1,
       ConcatText("Content-Type: text/plain\r\nAccept: */*\r\nReferer: http://h/p\r\n"
                  "Accept-Language: zh-cn\r\n", kUa)},
      // The tests are case-sensitive searches anywhere in the block.
      {"accept: text/html", 0,
       ConcatText("accept: text/html\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n", kUa)},
      {"X-Accept: 1", 0,
       ConcatText("X-Accept: 1\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n", kUa)},
      {"Referer: http://other/", 0,
       ConcatText("Referer: http://other/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n", kUa)},
      {"X: 1\r\n", 0,
       ConcatText("X: 1\r\n\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n", kUa)},
      {"Accept: a\nReferer: r\nAccept-Language: l\nUser-Agent: u", 0,
       "Accept: a\nReferer: r\nAccept-Language: l\nUser-Agent: u"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.given.str() + " method " + std::to_string(row.method));
    Text headers = row.given;
    CompleteDefaultHeaders(headers, url, row.method);
    EXPECT_EQ(headers, row.want);
  }
}

TEST(HeaderBlock, Pairs) {
  using P = std::vector<std::pair<Text, Text>>;
  EXPECT_EQ(HeaderPairs("A: 1\r\n\r\nnocolon\r\nB : 2 \r\n"),
            (P{{"A", "1"}, {"", ""}, {"B", "2"}}));
  // No CR LF: one header, named by the text before the first colon.
  EXPECT_EQ(HeaderPairs("Accept: a\nReferer: r"), (P{{"Accept", "a\nReferer: r"}}));
  EXPECT_EQ(HeaderPairs(""), P{});
}

}  // namespace
}  // namespace morvane
