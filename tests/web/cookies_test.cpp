#include "web/cookies.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace morvane {
namespace {

TEST(CaptureResponseCookies, Table) {
  struct Row {
    Text headers;
    Text want;
  } rows[] = {
      {"", ""},
      {"Content-Type: text/html\r\nContent-Length: 3\r\n\r\n", ""},
      {"Set-Cookie: a=1; Path=/; HttpOnly\r\n\r\n", "a=1"},
      {"Set-Cookie: a=1\r\n\r\n", "a=1"},
      {"Set-Cookie:a=1;Path=/\r\n\r\n", "a=1"},
      {"Set-Cookie: a=1; Path=/\r\nX: y\r\nSet-Cookie: b=2\r\n\r\n", "a=1; b=2"},
      {"Set-Cookie: q=x y; Path=/\r\n\r\n", "q=x y"},  // inner space kept before a merge
      {"Set-Cookie:   \xA1\xA1q=1 ; Path=/\r\n", "q=1"},  // full-width space trimmed too
      // The name without its colon elsewhere in a line: the whole line without ";", an empty item
      // with one, which leaves two separators in a row or one at the end.
      {"X-Note: Set-Cookie later\r\nSet-Cookie: a=1\r\n", "X-Note: Set-Cookie later; a=1"},
      {"Set-Cookie: a=1\r\nX-Note: Set-Cookie; later\r\nSet-Cookie: b=2\r\n", "a=1; ; b=2"},
      {"Set-Cookie: a=1\r\nX-Note: Set-Cookie; later\r\n", "a=1; "},
      {"Set-Cookie: a=1; b=2 Set-Cookie: c=3\r\n", "a=1"},
      {"set-cookie: a=1\r\n", ""},  // the name is matched case-sensitively here
      // Without CR LF the block is one line.
      {"Set-Cookie: a=1\nSet-Cookie: b=2", "a=1\n b=2"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.headers.str());
    EXPECT_EQ(CaptureResponseCookies(row.headers), row.want);
  }
}

TEST(MergeCookies, Table) {
  struct Row {
    Text old, fresh, want, freshAfter;
  } rows[] = {
      {"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
      {"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
      {"a=1", "", "a=1", ""},
      {"", "", "", ""},
      {"", "a=1; b=2", "a=1; b=2", "a=1;b=2"},
      {"a=1; a=2", "", "a=1", ""},
      {"", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
      {"", "a=1; a=1", "a=1", "a=1;a=1"},
      {"x", "x=5", "x=5", "x=5"},
      {"a = 1 ;b=2", "", "a=1; b=2", ""},
      {"a=1;;b=2", "c=3", "c=3; a=1; ; b=2", "c=3"},
      {"q=x y", "r=\xA1\xA1z", "r=z; q=xy", "r=z"},
      {"a=deleted; b=2", "", "b=2", ""},               // an old deletion marker goes as well
      {"a=1; b=2; a=3", "c=deleted; c=4", "c=4; a=1; b=2", "c=deleted;c=4"},
      {"a=1; b=2;", "b=2", "b=2; a=1", "b=2"},         // trailing separator: no empty item
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.old.str() + " | " + row.fresh.str());
    Text old = row.old;
    Text fresh = row.fresh;
    EXPECT_EQ(MergeCookies(old, fresh), row.want);
    EXPECT_EQ(old, row.want);
    EXPECT_EQ(fresh, row.freshAfter);
  }
}

TEST(CookieName, TrimsAndStopsAtFirstEquals) {
  EXPECT_EQ(CookieName(" a = 1=2 "), "a");
  EXPECT_EQ(CookieName(" x "), "x");
  EXPECT_EQ(CookieName("=v"), "");
  EXPECT_EQ(CookieName(""), "");
  EXPECT_TRUE(HasCookieNamed({"a=1", " b =2"}, "b"));
  EXPECT_FALSE(HasCookieNamed({"a=1", "B=2"}, "b"));
  EXPECT_FALSE(HasCookieNamed({}, ""));
  EXPECT_TRUE(HasCookieNamed({"x", ""}, ""));
}

// Thousands of Set-Cookie lines: the merge must not rescan the list per item. Bounded by ctest's
// time-out only; the figure that matters is in the benchmark.
TEST(MergeCookies, ManyCookiesKeepOrderAndCount) {
  std::string headers;
  std::string old;
  for (int i = 0; i < 20000; ++i) {
    headers += "Set-Cookie: n" + std::to_string(i) + "=v; Path=/\r\n";
    old += "o" + std::to_string(i) + "=1; ";
  }
  old += "n5=old";
  Text fresh = CaptureResponseCookies(Text(headers));
  Text oldText(old);
  const Text merged = MergeCookies(oldText, fresh);
  const std::string& s = merged.str();
  EXPECT_EQ(s.rfind("n0=v; n1=v; ", 0), 0u);
  EXPECT_EQ(s.find("n5=old"), std::string::npos);
  EXPECT_NE(s.find("n19999=v; o0=1; "), std::string::npos);
  EXPECT_EQ(s.substr(s.size() - 8), "o19999=1");
}

}  // namespace
}  // namespace morvane
