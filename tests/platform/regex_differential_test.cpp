// The component's dialect against an independent ECMAScript engine (Node.js), run by this test
// over a corpus of patterns and subjects: match count, texts, first indexes, group texts and the
// result of Replace. The dialect is VBScript's; where that and today's ECMAScript part ways, the
// row says how, and the test checks that the two really do differ there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "regex_run.h"

namespace morvane {
namespace {

using testing_regex::ParseFlags;
using testing_regex::Show;

struct Case {
  std::u16string pattern;
  std::u16string subject;
  const char* flags;
  std::u16string replacement;
  const char* differs = nullptr;  // how the dialect departs from today's ECMAScript here
};

std::u16string AllUnits() {
  std::u16string all(65536, u'\0');
  for (unsigned u = 0; u < 65536; ++u) all[u] = static_cast<char16_t>(u);
  return all;
}

const char* const kGroupsNotReset =
    "a group inside a repeated group keeps its text from an earlier repetition (PCRE's rule); "
    "ECMAScript clears it at each repetition";
const char* const kNarrowSpace =
    "\\s is [ \\f\\n\\r\\t\\v] as VBScript documents it; ECMAScript adds U+00A0, U+FEFF and "
    "the Unicode space separators";
const char* const kLookBehind = "the dialect has no look-behind; ECMAScript 2018 added it";
const char* const kNamed = "the dialect has no named groups; ECMAScript 2018 added them";

std::vector<Case> Corpus() {
  const std::u16string all = AllUnits();
  return {
      // The resolver's two patterns.
      {u"http.*", u"share http://v.example/AbC x \r\nnext http://b", "gim", u"<$&>"},
      {u"http.*", u"HTTP://A.example/\nwordhttp://b", "gim", u"[$&]"},
      {u"uri\":\"(\\w{32})", u"{\"uri\":\"0123456789abcdefABCDEF0123456789x\"}", "gim", u"$1"},
      {u"uri\":\"(\\w{32})", u"\"URI\":\"0123456789abcdefABCDEF012345678\"", "gim", u"$1"},
      {u"uri\":\"(\\w{32})", u"\u4e2d\u6587uri\":\"0123456789abcdefABCDEF0123456789\u6587", "gim",
       u"$1"},
      // Dot, anchors, line terminators.
      {u".+", u"a\nb\rc\u2028d\u2029e\u0085f\x0Bg", "g", u"<$&>"},
      {u"^\\w*$", u"ab\ncd\r\nef\u2028gh\u2029", "gm", u"[$&]"},
      {u"^", u"a\r\nb\n", "gm", u"^"},
      {u"$", u"a\r\nb\n", "gm", u"$$"},
      {u"$", u"a\nb\n", "g", u"!"},
      {u"^b|a$", u"a\nb", "g", u"!"},
      {u"\\bfoo\\b", u"foo foo_ foo. \u00e9foo", "g", u"X"},
      {u"\\B.", u"ab c", "g", u"-"},
      // Empty matches and global stepping.
      {u"a*", u"baaac", "g", u"<$&>"},
      {u"", u"abc", "g", u"-"},
      {u"x*", u"", "g", u"-"},
      {u"a|", u"ab", "g", u"<$&>"},
      {u"a*?", u"aa", "g", u"<$&>"},
      {u"(?=a)", u"aba", "g", u"^"},
      {u"a", u"aaa", "", u"x"},
      // Groups and back-references.
      {u"(a)|(b)", u"ab", "g", u"[$1$2]"},
      {u"(a)?b", u"b", "", u"[$1]"},
      {u"(a)?\\1b", u"b ab aab", "g", u"[$1]"},
      {u"\\1(a)", u"aa", "g", u"[$1]"},
      {u"(a)\\1", u"aaaa", "g", u"[$1]"},
      {u"(a\\1)", u"aa", "g", u"[$1]"},
      {u"(?=(a+))a*b\\1", u"baaabac", "", u"[$1]"},
      {u"(.*?)a(?!(a+)b\\2c)\\2(.*)", u"baaabaac", "", u"[$1|$2|$3]"},
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10", u"abcdefghijj", "", u"$10$11$1$0"},
      {u"(?:ab)+|(c)", u"ababab c", "g", u"<$1>"},
      {u"(a*)+", u"b", "", u"[$1]"},
      {u"(a|ab)(c|bcd)(d*)", u"abcd", "", u"[$1|$2|$3]"},
      {u"a[a-z]{2,4}|a[a-z]{2,4}?", u"abcdefghi abc", "g", u"<$&>"},
      {u"(aa|aabaac|ba|b|c)*", u"aabaac", "", u"[$1]"},
      {u"^(?:(\\d+)\\.){3}(\\d+)$", u"10.0.0.255", "", u"[$1|$2]"},
      {u"(z)((a+)?(b+)?(c))*", u"zaacbbbcac", "", u"[$3|$4]", kGroupsNotReset},
      {u"(?:(a)|b)+", u"ab", "", u"[$1]", kGroupsNotReset},
      {u"(a*)*", u"b", "", u"[$1]",
       "an empty repetition sets its group to empty; ECMAScript discards that repetition and "
       "leaves the group unset"},
      // Numbered escapes: VBScript reads the longest existing group number and leaves the rest
      // as digits; ECMAScript (Annex B) reads all the digits and falls back to octal.
      {u"(a)\\12", u"aa2 a\n", "g", u"<$&>",
       "\\12 with one group is group 1 and a \"2\"; ECMAScript reads octal \\12 (a line feed)"},
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\11", u"abcdefghija1 abcdefghij\t", "g", u"<$&>",
       "\\11 with ten groups is group 1 and a \"1\"; ECMAScript reads octal \\11 (a tab)"},
      {u"\\101\\60\\0\\400\\0011\\8\\9",
       std::u16string(u"A0\0 0\x01"
                      u"189",
                      9),
       "g", u"!"},
      // Other escapes.
      {u"\\u0041\\x42\\x4\\u12\\cJ\\q\\/\\-", u"ABx4u12\nq/-", "", u"!"},
      {u"\\c1", u"c1 \\c1", "g", u"!",
       "\\c before a non-letter is a \"c\" (VBScript's rule); ECMAScript reads a backslash "
       "and a \"c\""},
      {u"[\\c1]+", u"c1\\\x11", "g", u"!",
       "\\c before a non-letter in a class is a \"c\"; ECMAScript reads a backslash and a "
       "\"c\" there too"},
      // Quantifiers, look-ahead, braces.
      {u"a{2,3}|b{2,}?|c{2}", u"aaaaaaa bbbb cc", "g", u"<$&>"},
      {u"a+?b??", u"aab", "g", u"<$&>"},
      {u"a{,2}|a{|}|]", u"a{,2}a{}]", "g", u"<$&>"},
      {u"a(?!b)(?=.)", u"abacad", "g", u"<$&>"},
      {u"(?=a)*b", u"b", "", u"<$&>"},
      // Classes.
      {u"[a-c]+|[^a-z ]+", u"abcd XYZ", "g", u"<$&>"},
      {u"[]|[^]", u"a\n", "g", u"<$&>"},
      {u"[\\]\\-a-]+|[\\w-]+", u"]-a-b!z-", "g", u"<$&>"},
      {u"[\\d-z]+", u"5-zy", "g", u"<$&>"},
      {u"[\\b\\1\\B]+",
       u"\x08\x01"
       u"B",
       "g", u"<$&>"},
      {u"\\w+|\\d+", u"abc_12 \u00e9 \u4e2d \u0663\u0664 x", "g", u"<$&>"},
      {u"\\s+", u"a b\tc\u00a0d\x0B\x0C\r\ne\u3000f\ufeffg", "g", u"_", kNarrowSpace},
      {u"[\\S]+", u"a b\u00a0c", "g", u"_", kNarrowSpace},
      {u"\\s+", u"a b\tc\x0B\x0C\r\ne", "g", u"_"},
      {u"\\ud83d.", u"\U0001F600x", "g", u"<$&>"},
      // Case ignored.
      {u"abc|\u00e9+", u"ABC aBc \u00c9\u00e9", "gi", u"<$&>"},
      {u"[\u00e0-\u00ff]+", u"\u00c0\u00c9\u0178\u00d7", "gi", u"<$&>"},
      {u"\u03c3|k|s|\u00b5|\u00df|\u0130|\u01c6",
       u"\u03a3\u03c3\u03c2 kK\u212a sS\u017f \u00b5\u03bc\u039c \u00df\u1e9e \u0130i "
       u"\u01c4\u01c5\u01c6",
       "gi", u"<$&>"},
      {u"[^a]|[^\u00e9]", u"aA\u00e9\u00c9x", "gi", u"<$&>"},
      {u"\\W", u"\u017f\u212ak", "gi", u"<$&>"},
      {u"(a)\\1", u"aA", "gi", u"<$&>"},
      {u"(\u00e9)\\1", u"\u00e9\u00c9", "gi", u"<$&>",
       "a back-reference with case ignored folds ASCII letters only (PCRE without Unicode "
       "case tables); ECMAScript folds every letter"},
      {u"ABC", u"abc", "g", u"!"},
      // Every code unit at once.
      {u".", all, "g", u""},
      {u"\\w", all, "gi", u""},
      {u"\\b", all, "g", u""},
      {u"^", all, "gm", u""},
      {u"[\u0100-\u017f\u0370-\u03ff\u0400-\u04ff]", all, "gi", u""},
      {u"[^\u00e0-\u00fe]", all, "gi", u""},
      // Replacement strings.
      {u"(a)(b)?", u"ab a", "g", u"[$1|$2|$&|$`|$'|$$|$3|$0|$01|$10|$<x>|$]"},
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", u"abcdefghij", "", u"$10$11$1$00$99"},
      // Rejected by both.
      {u"(", u"", "", u""},
      {u"a)", u"", "", u""},
      {u"a**", u"", "", u""},
      {u"*a", u"", "", u""},
      {u"a{2,1}", u"", "", u""},
      {u"{1}", u"", "", u""},
      {u"a{1}{2}", u"", "", u""},
      {u"[b-a]", u"", "", u""},
      {u"[a", u"", "", u""},
      {u"\\", u"", "", u""},
      {u"(?x)", u"", "", u""},
      {u"^*", u"", "", u""},
      {u"\\b+", u"", "", u""},
      // Rejected by the dialect only.
      {u"(?<=a)b", u"ab", "g", u"", kLookBehind},
      {u"(?<!a)b", u"ab", "g", u"", kLookBehind},
      {u"(?<n>a)", u"a", "g", u"", kNamed},
      {u"a{65536}", u"a", "g", u"",
       "counts above 65535 are rejected (PCRE's limit); ECMAScript takes any count"},
  };
}

std::string Hex(std::u16string_view s) {
  std::string out;
  char buffer[8];
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%s%x", i ? "," : "", static_cast<unsigned>(s[i]));
    out += buffer;
  }
  return out;
}

std::string Encode(const std::optional<std::u16string>& s) { return s ? "=" + Hex(*s) : "-"; }

// The component's outcome in the reference's format.
std::string Ours(const Case& c) {
  auto regex = testing_regex::Make(c.pattern, ParseFlags(c.flags));
  const auto outcome = testing_regex::Collect(regex->Execute(c.subject));
  if (!outcome) return "ERR";
  std::string out;
  for (const auto& f : *outcome) {
    if (!out.empty()) out += ' ';
    out += std::to_string(f.index) + ':' + Encode(f.value);
    for (const auto& g : f.groups) out += ':' + Encode(g);
  }
  return out + " R" + Encode(regex->Replace(c.subject, c.replacement));
}

std::vector<std::string> Reference(const std::vector<Case>& corpus) {
  const char* source = std::getenv("MORVANE_SOURCE_DIR");
  const std::string script =
      std::string(source ? source : ".") + "/tests/platform/ecma_reference.js";
  const std::string input =
      ::testing::TempDir() + "regex_corpus_" + std::to_string(getpid()) + ".txt";
  {
    std::ofstream file(input);
    for (const Case& c : corpus) {
      file << c.flags << '\t' << Hex(c.pattern) << '\t' << Hex(c.subject) << '\t'
           << Hex(c.replacement) << '\n';
    }
  }
  std::vector<std::string> lines;
  if (FILE* node = popen(("node '" + script + "' '" + input + "'").c_str(), "r")) {
    std::string line;
    for (int ch; (ch = std::fgetc(node)) != EOF;) {
      if (ch == '\n') {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        line += static_cast<char>(ch);
      }
    }
    EXPECT_EQ(pclose(node), 0) << "node failed";
  }
  std::remove(input.c_str());
  return lines;
}

TEST(RegexDifferential, AgainstNode) {
  const std::vector<Case> corpus = Corpus();
  const std::vector<std::string> reference = Reference(corpus);
  ASSERT_EQ(reference.size(), corpus.size()) << "is Node.js installed (scripts/setup.sh)?";
  int differing = 0;
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    const Case& c = corpus[i];
    SCOPED_TRACE("/" + Show(c.pattern).substr(0, 60) + "/" + c.flags + " over " +
                 Show(c.subject).substr(0, 60));
    const std::string ours = Ours(c);
    if (c.differs) {
      ++differing;
      EXPECT_NE(ours, reference[i]) << "marked as differing, but agrees: " << c.differs;
      std::cout << "differs from ECMAScript: /" << Show(c.pattern) << "/: " << c.differs << "\n";
    } else {
      EXPECT_EQ(ours.substr(0, 2000), reference[i].substr(0, 2000));
      EXPECT_EQ(ours == reference[i], true) << "(outcomes differ past the first 2000 characters)";
    }
  }
  EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace morvane
