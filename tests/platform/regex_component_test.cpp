// The component's dialect, its limits and its factory, on the real PCRE2-backed component.
#include "platform/regex_component.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/posix/ecma_pattern.h"
#include "regex_run.h"

namespace morvane {
namespace {

using testing_regex::Exec;
using testing_regex::Make;
using testing_regex::ParseFlags;
using testing_regex::Show;

struct Row {
  std::u16string pattern;
  std::u16string subject;
  const char* flags;
  const char* want;  // testing_regex::Show of the outcome
};

void RunRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(row.pattern) + " over " + Show(row.subject) + " /" + row.flags);
    EXPECT_EQ(Show(Exec(row.pattern, row.subject, ParseFlags(row.flags))), row.want);
  }
}

TEST(RegexDialect, LineTerminatorsDotAndAnchors) {
  RunRows({
      // The dot stops at LF, CR, U+2028 and U+2029, not at other controls.
      {u"http.*", u"go http://a/b c\r\nnext", "g", R"([3 "http://a/b c"])"},
      {u".+", u"a\nb\rc\u2028d\u2029e\u0085\x0B", "g",
       "[0 \"a\"] [2 \"b\"] [4 \"c\"] [6 \"d\"] [8 \"e\u0085\x0B\"]"},
      // Multiline: ^ after and $ before every terminator, also between CR and LF.
      {u"^", u"a\r\nb\u2028c", "gm", R"([0 ""] [2 ""] [3 ""] [5 ""])"},
      {u"$", u"a\r\nb\u2029", "gm", R"([1 ""] [2 ""] [4 ""] [5 ""])"},
      {u"^\\w+$", u"ab\ncd\r\nef", "gm", R"([0 "ab"] [3 "cd"] [7 "ef"])"},
      // Without it, ^ only at the start and $ only at the very end (not before a final LF).
      {u"^b", u"a\nb", "g", "(no match)"},
      {u"a$", u"a\n", "g", "(no match)"},
      {u"$", u"a\nb\n", "g", R"([4 ""])"},
      {u"^a", u"aaa", "g", R"([0 "a"])"},
  });
}

TEST(RegexDialect, GlobalAndEmptyMatches) {
  RunRows({
      {u"a", u"aaa", "g", R"([0 "a"] [1 "a"] [2 "a"])"},
      {u"a", u"aaa", "", R"([0 "a"])"},
      // After an empty match the search moves one code unit on; the end gives an empty match.
      {u"a*", u"baaac", "g", R"([0 ""] [1 "aaa"] [4 ""] [5 ""])"},
      {u"", u"ab", "g", R"([0 ""] [1 ""] [2 ""])"},
      {u"x*", u"", "g", R"([0 ""])"},
      {u"a|", u"ab", "g", R"([0 "a"] [1 ""] [2 ""])"},
      {u"\\b", u"ab cd", "g", R"([0 ""] [2 ""] [3 ""] [5 ""])"},
  });
}

TEST(RegexDialect, GroupsAndBackReferences) {
  RunRows({
      {u"(a)|(b)", u"ab", "g", R"([0 "a" "a" -] [1 "b" - "b"])"},
      {u"(a)?b", u"b", "", R"([0 "b" -])"},
      // A reference to a group that took no part, or is not set yet, matches empty.
      {u"(a)?\\1b", u"b", "", R"([0 "b" -])"},
      {u"\\1(a)", u"aa", "g", R"([0 "a" "a"] [1 "a" "a"])"},
      {u"(a)\\1", u"aaaa", "g", R"([0 "aa" "a"] [2 "aa" "a"])"},
      {u"(?:ab)+", u"ababab ab", "g", R"([0 "ababab"] [7 "ab"])"},
      {u"(?=(a+))a*b\\1", u"baaabac", "", R"([3 "aba" "a"])"},
      {u"(.*?)a(?!(a+)b\\2c)\\2(.*)", u"baaabaac", "", R"([0 "baaabaac" "ba" - "abaac"])"},
      // Ten groups: \10 is group 10; \11 is group 1 and a literal 1.
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10", u"abcdefghijj", "",
       R"([0 "abcdefghijj" "a" "b" "c" "d" "e" "f" "g" "h" "i" "j"])"},
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\11", u"abcdefghija1", "",
       R"([0 "abcdefghija1" "a" "b" "c" "d" "e" "f" "g" "h" "i" "j"])"},
      {u"(a)\\12", u"aa2", "", R"([0 "aa2" "a"])"},
  });
}

TEST(RegexDialect, QuantifiersAndLookahead) {
  RunRows({
      {u"a+?", u"aaa", "g", R"([0 "a"] [1 "a"] [2 "a"])"},
      {u"a??b", u"ab", "g", R"([0 "ab"])"},
      {u"a{2,3}", u"aaaaaaa", "g", R"([0 "aaa"] [3 "aaa"])"},
      {u"a{2,}?", u"aaaaa", "g", R"([0 "aa"] [2 "aa"])"},
      {u"a{2}", u"aaaaa", "g", R"([0 "aa"] [2 "aa"])"},
      // Braces that form no quantifier are literal, as are ] and } alone.
      {u"a{,2}", u"a{,2}", "", R"([0 "a{,2}"])"},
      {u"a{x}{", u"a{x}{", "", R"([0 "a{x}{"])"},
      {u"]}", u"]}", "", R"([0 "]}"])"},
      {u"a(?!b)", u"abac", "g", R"([2 "a"])"},
      {u"(?=a)*b", u"b", "", R"([0 "b"])"},
  });
}

TEST(RegexDialect, EscapesAndClasses) {
  RunRows({
      {u"\\u0041\\x42\\103\\60", u"ABC0", "", R"([0 "ABC0"])"},
      {u"\\400", u" 0", "", R"([0 " 0"])"},  // octal stays within one byte: \40 then "0"
      {u"\\0011",
       std::u16string(u"\x01"
                      u"1"),
       "",
       "[0 \"\x01"
       "1\"]"},
      {u"\\8\\9", u"89", "", R"([0 "89"])"},
      {u"\\xZ\\u12", u"xZu12", "", R"([0 "xZu12"])"},
      {u"\\cJ\\cj", u"\n\n", "", "[0 \"\n\n\"]"},
      {u"\\c1", u"c1", "", R"([0 "c1"])"},  // no control letter: the "c" alone
      {u"\\q\\/\\-\\.", u"q/-.", "", R"([0 "q/-."])"},
      {u"[a-c]+", u"abcd", "g", R"([0 "abc"])"},
      {u"[^a-c]+", u"abcd e", "g", R"([3 "d e"])"},
      {u"[]", u"a", "g", "(no match)"},
      {u"[^]", u"a\n", "g", "[0 \"a\"] [1 \"\n\"]"},
      {u"[\\]]", u"]", "", R"([0 "]"])"},
      {u"[a\\-z]+", u"-az", "", R"([0 "-az"])"},
      {u"[\\w-]+", u"a-!", "", R"([0 "a-"])"},
      {u"[\\d-z]+", u"5-zy", "", R"([0 "5-z"])"},
      {u"[-a][a-]", u"-aa-", "g", R"([0 "-a"] [2 "a-"])"},
      {u"[\\b][\\1][\\B]",
       u"\x08\x01"
       u"B",
       "",
       "[0 \"\x08\x01"
       "B\"]"},
      {u"\\w+", u"abc_12 \u00e9 \u4e2d x", "g", R"([0 "abc_12"] [11 "x"])"},
      {u"\\d+", u"12 \u0663\u0664 5", "g", R"([0 "12"] [6 "5"])"},
      {u"\\s+", u"a b\tc\u00a0d\x0B\x0C\r\ne", "g", "[1 \" \"] [3 \"\t\"] [7 \"\x0B\x0C\r\n\"]"},
      {u"\\ud83d", u"\U0001F600", "g", "[0 \"\xEF\xBF\xBD\"]"},  // code units, not characters
  });
}

TEST(RegexDialect, IgnoreCaseFoldsAsCanonicalize) {
  RunRows({
      {u"abc", u"ABC aBc", "gi", R"([0 "ABC"] [4 "aBc"])"},
      {u"\u00e9+", u"\u00c9\u00e9", "gi", "[0 \"\u00c9\u00e9\"]"},
      // U+00D7 is not the capital of U+00F7, though they sit where such pairs do.
      {u"[\u00e0-\u00ff]+", u"\u00c0\u00c9\u0178\u00d7", "gi", "[0 \"\u00c0\u00c9\u0178\"]"},
      {u"\u03c3", u"\u03a3\u03c3\u03c2", "gi", "[0 \"\u03a3\"] [1 \"\u03c3\"] [2 \"\u03c2\"]"},
      // The Kelvin sign and the long s fold to ASCII only in Unicode's folding, not here.
      {u"k", u"kK\u212a", "gi", R"([0 "k"] [1 "K"])"},
      {u"s", u"sS\u017f", "gi", R"([0 "s"] [1 "S"])"},
      {u"[a-z]+", u"ABC\u212a", "gi", R"([0 "ABC"])"},
      {u"\u00df", u"\u00df\u1e9eSS", "gi", "[0 \"\u00df\"]"},
      {u"\u00b5", u"\u00b5\u03bc\u039c", "gi", "[0 \"\u00b5\"] [1 \"\u03bc\"] [2 \"\u039c\"]"},
      {u"[^a]", u"aAb", "gi", R"([2 "b"])"},
      {u"[^\u00e9]", u"\u00e9\u00c9x", "gi", R"([2 "x"])"},
      {u"\\W", u"\u017f\u212a", "gi", "[0 \"\u017f\"] [1 \"\u212a\"]"},
      {u"(a)\\1", u"aA", "i", R"([0 "aA" "a"])"},
      {u"ABC", u"abc", "g", "(no match)"},
  });
}

TEST(RegexDialect, RejectedPatternsMakeExecuteAndReplaceFail) {
  for (std::u16string pattern :
       {u"(",       u")",       u"a)",      u"(a",       u"a**",  u"*a",    u"+",
        u"?",       u"a{2,1}",  u"{1}",     u"a{1}{2}",  u"a*??", u"[b-a]", u"[a",
        u"\\",      u"a|*",     u"(?",      u"(?x)",     u"^*",   u"$+",    u"\\b*",
        u"(?<=a)b", u"(?<!a)b", u"(?<n>a)", u"a{65536}", u"(?i)a"}) {
    SCOPED_TRACE(Show(pattern));
    auto regex = Make(pattern, ParseFlags("g"));
    EXPECT_EQ(regex->Execute(u"abc"), nullptr);
    EXPECT_EQ(regex->Replace(u"abc", u"x"), std::nullopt);
    EXPECT_EQ(regex->Pattern(), pattern);  // still held as written
  }
  // Nesting beyond the limit is rejected; up to it, it works.
  const std::size_t deep = ecma::MAX_NESTING;
  EXPECT_NE(Make(std::u16string(deep, u'(') + u"a" + std::u16string(deep, u')'), {})->Execute(u"a"),
            nullptr);
  EXPECT_EQ(Make(std::u16string(deep + 1, u'(') + u"a" + std::u16string(deep + 1, u')'), {})
                ->Execute(u"a"),
            nullptr);
}

TEST(RegexDialect, OptionsAndPatternCanChangeBetweenRuns) {
  auto regex = Make(u"^b", {});
  EXPECT_EQ(Show(testing_regex::Collect(regex->Execute(u"a\nB"))), "(no match)");
  regex->SetMultiline(true);
  regex->SetIgnoreCase(true);
  EXPECT_EQ(Show(testing_regex::Collect(regex->Execute(u"a\nB"))), R"([2 "B"])");
  regex->SetPattern(u"(");
  EXPECT_EQ(regex->Execute(u"a"), nullptr);
  regex->SetPattern(u"a");
  EXPECT_NE(regex->Execute(u"a"), nullptr);
}

TEST(RegexComponent, DefaultsAndOutOfRangeItems) {
  auto regex = MakePlatformRegexComponent();
  EXPECT_FALSE(regex->IgnoreCase());
  EXPECT_FALSE(regex->Multiline());
  EXPECT_FALSE(regex->Global());
  EXPECT_EQ(regex->Pattern(), u"");
  regex->SetPattern(u"(a)(x)?");
  regex->SetGlobal(true);
  auto matches = regex->Execute(u"aa");
  ASSERT_NE(matches, nullptr);
  ASSERT_EQ(matches->Count(), 2);
  for (std::int64_t bad : {-1LL, 2LL, 1LL << 40}) EXPECT_EQ(matches->Item(bad), nullptr) << bad;
  auto groups = matches->Item(1)->SubMatches();
  EXPECT_EQ(groups->Count(), 2);
  EXPECT_EQ(groups->Item(0), u"a");
  EXPECT_EQ(groups->Item(1), std::nullopt);  // took no part
  for (std::int64_t bad : {-1LL, 2LL}) EXPECT_EQ(groups->Item(bad), std::nullopt) << bad;
  // A match outlives its collection and the component.
  auto match = matches->Item(1);
  matches.reset();
  regex.reset();
  EXPECT_EQ(match->Value(), u"a");
  EXPECT_EQ(match->FirstIndex(), 1);
}

TEST(RegexComponent, Replace) {
  struct R {
    std::u16string pattern, subject;
    const char* flags;
    std::u16string replacement, want;
  } rows[] = {
      {u"(a)(b)?", u"ab a", "g", u"[$1|$2|$&|$`|$'|$$|$3|$0|$01|$10|$]",
       u"[a|b|ab|| a|$|$3|$0|a|a0|$] [a||a|ab ||$|$3|$0|a|a0|$]"},
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", u"abcdefghij", "", u"$10$11$1", u"ja1a"},
      {u"a", u"aaa", "", u"x", u"xaa"},
      {u"a", u"aaa", "g", u"x", u"xxx"},
      {u"", u"abc", "g", u"-", u"-a-b-c-"},
      {u"a*", u"baaac", "g", u"<$&>", u"<>b<aaa><>c<>"},
      {u"z", u"abc", "g", u"x", u"abc"},
      {u"B", u"abc", "gi", u"$$", u"a$c"},
  };
  for (const R& row : rows) {
    SCOPED_TRACE(Show(row.pattern) + " " + Show(row.replacement));
    EXPECT_EQ(Make(row.pattern, ParseFlags(row.flags))->Replace(row.subject, row.replacement),
              row.want);
  }
}

// Every code unit against the ASCII classes, the dot and \b: PCRE2's own tables must not widen
// them.
TEST(RegexDialect, ClassesOverEveryCodeUnit) {
  std::u16string all(65536, u'\0');
  for (unsigned u = 0; u < 65536; ++u) all[u] = static_cast<char16_t>(u);
  auto indexes = [&](std::u16string_view pattern, const char* flags) {
    std::vector<int> out;
    const auto found = Exec(pattern, all, ParseFlags(flags));
    if (found) {
      for (const auto& f : *found) out.push_back(f.index);
    }
    return out;
  };
  auto expect = [&](std::u16string_view pattern, const char* flags, auto member) {
    std::vector<int> want;
    for (int u = 0; u < 65536; ++u) {
      if (member(u)) want.push_back(u);
    }
    EXPECT_EQ(indexes(pattern, flags), want) << Show(pattern) << " /" << flags;
  };
  auto word = [](int u) {
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_';
  };
  auto space = [](int u) { return (u >= 9 && u <= 13) || u == ' '; };
  expect(u"\\w", "g", word);
  expect(u"\\w", "gi", word);
  expect(u"\\W", "gi", [&](int u) { return !word(u); });
  expect(u"\\d", "g", [](int u) { return u >= '0' && u <= '9'; });
  expect(u"\\s", "g", space);
  expect(u"[^\\S]", "g", space);
  expect(u".", "gi", [](int u) { return u != 10 && u != 13 && u != 0x2028 && u != 0x2029; });
  // \b between two units exactly where one is a word unit and the other is not.
  std::vector<int> boundaries;
  for (int u = 0; u <= 65536; ++u) {
    const bool before = u > 0 && word(u - 1), after = u < 65536 && word(u);
    if (before != after) boundaries.push_back(u);
  }
  EXPECT_EQ(indexes(u"\\b", "g"), boundaries);
}

// A literal with case ignored matches exactly the units of the same canonical unit.
TEST(RegexDialect, IgnoreCaseClassesMatchCanonicalize) {
  std::map<char16_t, std::u16string> classes;
  for (unsigned u = 0; u < 65536; ++u) {
    classes[ecma::Canonicalize(static_cast<char16_t>(u))] += static_cast<char16_t>(u);
  }
  int checked = 0;
  for (const auto& [canon, members] : classes) {
    if (members.size() < 2) continue;
    for (char16_t unit : members) {
      const std::u16string pattern = u"\\u" + [&] {
        std::u16string hex;
        for (int shift = 12; shift >= 0; shift -= 4)
          hex += u"0123456789abcdef"[(unit >> shift) & 15];
        return hex;
      }();
      // Subject: the class and its neighbours in code point order.
      std::u16string subject = members;
      for (char16_t m : members) {
        if (m > 0) subject += static_cast<char16_t>(m - 1);
        if (m < 0xFFFF) subject += static_cast<char16_t>(m + 1);
      }
      const auto found = Exec(pattern, subject, ParseFlags("gi"));
      std::u16string matched;
      for (const auto& f : *found) {
        if (f.index < static_cast<int>(members.size()))
          matched += f.value;
        else if (ecma::Canonicalize(f.value[0]) != canon)
          matched += u"!";
      }
      EXPECT_EQ(matched, members) << "U+" << std::hex << static_cast<int>(unit);
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

// Subjects of several MiB: the resolver's patterns, and patterns whose backtracking grows with
// the subject, must neither exhaust the stack nor take a wrong turn.
TEST(RegexComponent, SubjectsOfSeveralMiB) {
  const std::size_t size = 6 << 20;
  std::u16string page(size, u'x');
  page.replace(size - 100, 38, u"uri\":\"0123456789abcdef0123456789ABCDEF");
  auto found = Exec(u"uri\":\"(\\w{32})", page, ParseFlags("gim"));
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ((*found)[0].groups[0], u"0123456789abcdef0123456789ABCDEF");

  std::u16string line = u"http://" + std::u16string(size, u'a') + u"\r\nnext";
  found = Exec(u"http.*", line, ParseFlags("gim"));
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ((*found)[0].value.size(), size + 7);

  // One backtracking point per unit, millions deep.
  std::u16string ab;
  for (std::size_t i = 0; i < size / 2; ++i) ab += u"ab";
  found = Exec(u"^(a|b)*$", ab, {});
  ASSERT_TRUE(found) << "gave up";
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ((*found)[0].value.size(), size);
  EXPECT_EQ((*found)[0].groups[0], u"b");

  found = Exec(u"(?:a|b)*?c", ab + u"c", {});
  ASSERT_TRUE(found) << "gave up";
  EXPECT_EQ((*found)[0].value.size(), size + 1);

  // Exponential work ends in a failed Execute, not in a hang or a crash.
  EXPECT_EQ(Exec(u"^(a+)+$", std::u16string(5000, u'a') + u"b", {}), std::nullopt);
}

TEST(RegexComponentFactory, ReplacedFailingAndRestored) {
  EXPECT_NE(CreateRegexComponent(), nullptr);
  int made = 0;
  auto previous = SetRegexComponentFactory([&]() -> std::shared_ptr<RegexComponent> {
    ++made;
    return nullptr;
  });
  EXPECT_EQ(CreateRegexComponent(), nullptr);
  EXPECT_EQ(made, 1);
  SetRegexComponentFactory(std::move(previous));
  EXPECT_NE(CreateRegexComponent(), nullptr);
  EXPECT_EQ(made, 1);
}

}  // namespace
}  // namespace morvane
