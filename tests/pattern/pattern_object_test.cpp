#include "pattern/pattern_object.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/regex_component.h"
#include "text/helpers.h"

namespace morvane {
namespace {

// Code page 936 bytes from readable UTF-8.
Text G(const char* utf8) { return FromUtf8(utf8); }

// Replaces the component factory for one test and restores it afterwards.
class ScopedFactory {
 public:
  explicit ScopedFactory(RegexComponentFactory factory)
      : previous_(SetRegexComponentFactory(std::move(factory))) {}
  ~ScopedFactory() { SetRegexComponentFactory(std::move(previous_)); }

 private:
  RegexComponentFactory previous_;
};

// The real component, watched: which components and collections exist.
class Watched final : public RegexComponent {
 public:
  explicit Watched(std::vector<std::weak_ptr<RegexMatchCollection>>* collections)
      : real_(MakePlatformRegexComponent()), collections_(collections) {}
  bool IgnoreCase() const override { return real_->IgnoreCase(); }
  void SetIgnoreCase(bool v) override { real_->SetIgnoreCase(v); }
  bool Multiline() const override { return real_->Multiline(); }
  void SetMultiline(bool v) override { real_->SetMultiline(v); }
  bool Global() const override { return real_->Global(); }
  void SetGlobal(bool v) override { real_->SetGlobal(v); }
  std::u16string Pattern() const override { return real_->Pattern(); }
  void SetPattern(std::u16string v) override { real_->SetPattern(std::move(v)); }
  std::shared_ptr<RegexMatchCollection> Execute(
      std::shared_ptr<const std::u16string> source) override {
    auto matches = real_->Execute(std::move(source));
    collections_->push_back(matches);
    return matches;
  }
  std::optional<std::u16string> Replace(std::u16string_view s, std::u16string_view r) override {
    return real_->Replace(s, r);
  }

 private:
  std::shared_ptr<RegexComponent> real_;
  std::vector<std::weak_ptr<RegexMatchCollection>>* collections_;
};

// What every object must show after a Compile: counts agree with the texts there are, and each
// text found by position stands at that position in the subject.
void ExpectConsistent(const PatternObject& p, const Text& subject) {
  const int count = p.MatchCount();
  ASSERT_GE(count, 0);
  EXPECT_EQ(p.MatchText(count + 1), Text());
  if (count == 0) {
    EXPECT_EQ(p.SubmatchCount(), 0);
  }
  for (int m = 1; m <= count; ++m) {
    int position = -5;
    const Text text = p.MatchText(m, &position);
    EXPECT_EQ(MidText(subject, position + 1, TextLength(text)), text) << m;
    for (int g = 1; g <= p.SubmatchCount(); ++g) {
      const Text group = p.SubmatchText(m, g, &position);
      if (!group.empty()) {
        EXPECT_EQ(MidText(subject, position + 1, TextLength(group)), group) << m << "/" << g;
      }
    }
  }
}

std::string Texts(const PatternObject& p) {
  std::string out;
  for (int i = 1; i <= p.MatchCount(); ++i) out += (i > 1 ? "|" : "") + p.MatchText(i).str();
  return out;
}

TEST(PatternObject, OptionsAndTheirDefaults) {
  const std::optional<bool> left{}, no{false}, yes{true};
  struct Row {
    const char* note;
    Text pattern, subject;
    std::optional<bool> caseSensitive, multiline, global, quoteMarker;
    const char* want;  // the match texts, joined by "|"
  } rows[] = {
      {"case ignored when left out", "HTTP", "see http", left, left, left, left, "http"},
      {"case ignored when given false", "HTTP", "see http", no, left, left, left, "http"},
      {"case kept when given true", "HTTP", "see http", yes, left, left, left, ""},
      {"multiline when left out", "^b.", "a\nb1\rb2", left, left, left, left, "b1|b2"},
      {"multiline given true", "^b.", "a\nb1", left, yes, left, left, "b1"},
      {"multiline given false", "^b.", "a\nb1", left, no, left, left, ""},
      {"$ at the end only without multiline", "\\d$", "1\n2", left, no, left, left, "2"},
      {"global when left out", "a.", "a1a2a3", left, left, left, left, "a1|a2|a3"},
      {"global given false", "a.", "a1a2a3", left, left, no, left, "a1"},
      {"the dot stops at CR and LF", "x.*", "x1\r\nx2", left, left, left, left, "x1|x2"},
      {"quote marker when given true", ConcatText("k", QUOTE_MARKER, ":(\\d)"), "k\":1", left, left,
       left, yes, "k\":1"},
      {"marker literal when left out", ConcatText("k", QUOTE_MARKER), ConcatText("k", QUOTE_MARKER),
       left, left, left, left, "k#\xD2\xFD\xBA\xC5"},
      {"marker literal when given false", ConcatText("k", QUOTE_MARKER), "k\"", left, left, left,
       no, ""},
      {"double-byte text", G("中(.)"), G("中文中字"), left, left, left, left,
       "\xD6\xD0\xCE\xC4|\xD6\xD0\xD7\xD6"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.note);
    PatternObject p;
    EXPECT_TRUE(p.Compile(row.pattern, row.subject, row.caseSensitive, row.multiline, row.global,
                          row.quoteMarker));
    EXPECT_EQ(Texts(p), row.want);
    ExpectConsistent(p, row.subject);
  }
}

TEST(PatternObject, GetPatternIsAfterTheQuoteMarkerStep) {
  PatternObject p;
  EXPECT_EQ(p.GetPattern(), Text());
  p.Compile(ConcatText("a", QUOTE_MARKER, "b", QUOTE_MARKER), "", {}, {}, {}, true);
  EXPECT_EQ(p.GetPattern(), Text("a\"b\""));
  p.Compile(ConcatText("a", QUOTE_MARKER), "");
  EXPECT_EQ(p.GetPattern(), ConcatText("a", QUOTE_MARKER));
  p.Compile(G("(中"), "");
  EXPECT_EQ(p.GetPattern(), G("(中"));  // rejected, still held
}

TEST(PatternObject, ReplaceMatches) {
  struct Row {
    Text pattern, subject;
    std::optional<bool> global;
    Text replacement, want;
  } rows[] = {
      {"a", "aaa", {}, "b", "bbb"},
      {"a", "aaa", false, "b", "baa"},
      {"(\\w+)@(\\w+)", "x@y z@w", {}, "$2@$1", "y@x w@z"},
      {"a", G("中a文a"), {}, G("字"), G("中字文字")},
      {"(a)", "a", {}, "$2$$1", "$2$1"},
      {"z", "abc", {}, "x", "abc"},
      {"a", "abc", {}, "", "bc"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pattern.str() + " " + row.replacement.str());
    PatternObject p;
    p.Compile(row.pattern, row.subject, {}, {}, row.global);
    EXPECT_EQ(p.ReplaceMatches(row.replacement), row.want);
  }
}

TEST(PatternObject, IndexesOutsideTheMatchesGiveEmptyTexts) {
  PatternObject p;
  ASSERT_TRUE(p.Compile("(\\d)(x)?", "1 2"));
  ASSERT_EQ(p.MatchCount(), 2);
  ASSERT_EQ(p.SubmatchCount(), 2);
  for (int m : {0, -1, 3, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(m);
    int position = 7;
    EXPECT_EQ(p.MatchText(m, &position), Text());
    EXPECT_EQ(position, -2);
    EXPECT_EQ(p.SubmatchText(m, 1), Text());
  }
  for (int g : {0, -1, 3, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(g);
    int position = 7;
    EXPECT_EQ(p.SubmatchText(1, g, &position), Text());
    EXPECT_EQ(position, -2);
  }
  int position = 7;
  EXPECT_EQ(p.SubmatchText(2, 2, &position), Text());  // took no part
  EXPECT_EQ(position, -2);
  EXPECT_EQ(p.SubmatchText(2, 1, &position), Text("2"));
  EXPECT_EQ(position, 2);
  EXPECT_EQ(p.MatchText(2), Text("2"));  // without position nothing is written
}

void ExpectEmptyResults(const PatternObject& p, const Text& pattern) {
  EXPECT_EQ(p.GetPattern(), pattern);
  EXPECT_EQ(p.MatchCount(), 0);
  EXPECT_EQ(p.SubmatchCount(), 0);
  int position = 7;
  EXPECT_EQ(p.MatchText(1, &position), Text());
  EXPECT_EQ(position, -2);
  EXPECT_EQ(p.SubmatchText(1, 1), Text());
  EXPECT_EQ(p.ReplaceMatches("x"), Text());
}

TEST(PatternObject, RejectedPatterns) {
  for (const char* pattern : {"(", "a)", "[a", "a**", "(?<=a)b", "(?<n>a)", "\\", "a{3,2}"}) {
    SCOPED_TRACE(pattern);
    PatternObject p;
    p.Compile("a", "aaa");  // earlier results go with the next Compile
    EXPECT_FALSE(p.Compile(pattern, "a(b)"));
    ExpectEmptyResults(p, pattern);
  }
}

TEST(PatternObject, BeforeCompileAndWhenTheComponentCannotBeMade) {
  PatternObject fresh;
  ExpectEmptyResults(fresh, "");
  fresh.Reserved();
  ExpectEmptyResults(fresh, "");

  PatternObject p;
  ASSERT_TRUE(p.Compile("a", "a"));
  int made = 0;
  {
    ScopedFactory failing([&]() -> std::shared_ptr<RegexComponent> {
      ++made;
      return nullptr;
    });
    EXPECT_FALSE(p.Compile("a", "a"));
    EXPECT_EQ(made, 1);
    ExpectEmptyResults(p, "");
  }
  EXPECT_TRUE(p.Compile("a", "a"));  // each Compile makes a new component
  EXPECT_EQ(p.MatchCount(), 1);
}

TEST(PatternObject, FindsNothing) {
  PatternObject p;
  EXPECT_TRUE(p.Compile("uri\":\"(\\w{32})", "no marker here"));
  EXPECT_EQ(p.MatchCount(), 0);
  EXPECT_EQ(p.SubmatchCount(), 0);
  EXPECT_EQ(p.SubmatchText(1, 1), Text());
  EXPECT_EQ(p.GetPattern(), Text("uri\":\"(\\w{32})"));
  EXPECT_EQ(p.ReplaceMatches("x"), Text("no marker here"));
}

TEST(PatternObject, BytePositions) {
  struct Row {
    const char* note;
    Text pattern, subject;
    int match, group;  // group 0: the match itself
    std::optional<bool> caseSensitive;
    Text want;
    int position;
  } rows[] = {
      {"single bytes: the index", "a", "aaa", 2, 0, {}, "a", 1},
      {"after two double-byte characters", "abc", G("中文abc"), 1, 0, {}, "abc", 4},
      {"between double-byte characters", "a", G("中a文a"), 2, 0, {}, "a", 5},
      // A search from the UTF-16 index (byte 4) would stop at the first "a".
      {"an equal text before the match", "a", G("中中aXa"), 2, 0, {}, "a", 6},
      {"a group", "y=(\\d)", G("中x=1;y=1"), 1, 1, {}, "1", 8},
      // Groups carry no index: the first equal text within the match is taken.
      {"a group whose text occurs earlier in the match", "ab(b)", "xabb", 1, 1, {}, "b", 2},
      // The search folds case when the component ignores it.
      {"case ignored", "a.(A)", "aXA", 1, 1, {}, "A", 0},
      {"case kept", "a.(A)", "aXA", 1, 1, true, "A", 2},
      {"an empty match lies where it matched", "$", G("中文"), 1, 0, {}, "", 4},
      {"a group that took no part", "(x)?a", G("中a"), 1, 1, {}, "", -2},
      {"double-byte match text", G("文."), G("中文字"), 1, 0, {}, G("文字"), 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.note);
    PatternObject p;
    ASSERT_TRUE(p.Compile(row.pattern, row.subject, row.caseSensitive));
    int position = 99;
    const Text text = row.group ? p.SubmatchText(row.match, row.group, &position)
                                : p.MatchText(row.match, &position);
    EXPECT_EQ(text, row.want);
    EXPECT_EQ(position, row.position);
  }
}

TEST(PatternObject, CopiesShareTheComponentObjects) {
  std::vector<std::weak_ptr<RegexComponent>> components;
  std::vector<std::weak_ptr<RegexMatchCollection>> collections;
  ScopedFactory watching([&]() -> std::shared_ptr<RegexComponent> {
    auto made = std::make_shared<Watched>(&collections);
    components.push_back(made);
    return made;
  });
  auto original = std::make_unique<PatternObject>();
  original->Compile("(\\w)\\d", "a1 b2");
  ASSERT_EQ(components.size(), 1u);

  auto copy = std::make_unique<PatternObject>(*original);
  PatternObject assigned;
  assigned = *original;
  EXPECT_EQ(components.size(), 1u);  // nothing new made
  EXPECT_EQ(collections.size(), 1u);
  original.reset();
  EXPECT_FALSE(components[0].expired());
  EXPECT_FALSE(collections[0].expired());
  EXPECT_EQ(copy->MatchText(2), Text("b2"));
  EXPECT_EQ(copy->SubmatchText(2, 1), Text("b"));
  EXPECT_EQ(assigned.ReplaceMatches("<$1>"), Text("<a> <b>"));

  // A new Compile on a copy leaves the other copy's results alone.
  copy->Compile("x", "x");
  EXPECT_EQ(components.size(), 2u);
  EXPECT_EQ(copy->MatchText(1), Text("x"));
  EXPECT_EQ(assigned.MatchText(2), Text("b2"));
  int position = 0;
  EXPECT_EQ(assigned.MatchText(2, &position), Text("b2"));
  EXPECT_EQ(position, 3);  // the subject travelled with the copy
  copy.reset();
  EXPECT_TRUE(components[1].expired());
  EXPECT_FALSE(components[0].expired());
  assigned.Compile("y", "y");
  EXPECT_TRUE(components[0].expired());
  EXPECT_TRUE(collections[0].expired());
}

// The resolver's link finder: "http.*" with every option left out, match 1.
TEST(PatternObject, LinkFinderOverShareTexts) {
  struct Row {
    const char* note;
    Text input, want;
  } rows[] = {
      {"one line", G("看看这个视频 http://v.example.com/AbC12/ 复制此链接"),
       G("http://v.example.com/AbC12/ 复制此链接")},
      {"several lines", "look http://a.example/x y\nsecond http://b.example/",
       "http://a.example/x y"},
      {"CR LF line ends", "http://a.example/x\r\nhttp://b.example/", "http://a.example/x"},
      {"capitals", G("链接HTTPS://A.EXAMPLE/X"), "HTTPS://A.EXAMPLE/X"},
      {"inside a word", "xhttpy http://z.example/", "httpy http://z.example/"},
      {"no link", G("没有链接"), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.note);
    PatternObject finder;
    finder.Compile("http.*", row.input);
    EXPECT_EQ(finder.MatchText(1), row.want);
  }
}

// The resolver's identifier finder: `uri":"(\w{32})` with every option left out, group 1 of
// match 1. Pages arrive as bytes and are read as code page 936, also when they are UTF-8.
TEST(PatternObject, IdentifierFinderOverPages) {
  const std::string id = "0123456789abcdefABCDEF0123456789";
  struct Row {
    const char* note;
    Text page, want;
  } rows[] = {
      {"exactly 32", Text("{\"uri\":\"" + id + "\"}"), Text(id)},
      {"fewer than 32", Text("{\"uri\":\"" + id.substr(0, 31) + "\"}"), ""},
      {"more than 32: the first 32", Text("{\"uri\":\"" + id + "xyz\"}"), Text(id)},
      {"capitals in the marker", Text("{\"URI\":\"" + id + "\"}"), Text(id)},
      {"a non-word character within", Text("\"uri\":\"" + id.substr(0, 20) + "-" + id), ""},
      {"a short first marker: the next full one", Text("\"uri\":\"abc\" \"uri\":\"" + id + "\""),
       Text(id)},
      {"UTF-8 page, Chinese around the marker",
       Text("<p>\xE8\xA7\x86\xE9\xA2\x91</p>{\"uri\":\"" + id + "\",\"\xE6\xA0\x87\"}"), Text(id)},
      {"UTF-8 page, two Chinese characters right before it",
       Text("\xE8\xA7\x86\xE9\xA2\x91uri\":\"" + id + "\xE6\xA0\x87"), Text(id)},
      // Read as code page 936, the last byte of a three-byte character pairs with the "u".
      {"UTF-8 page, one Chinese character right before it", Text("\xE8\xA7\x86uri\":\"" + id), ""},
      {"code page 936 page", ConcatText(G("标题：视频"), "\"uri\":\"", id, G("”")), Text(id)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.note);
    PatternObject finder;
    EXPECT_TRUE(finder.Compile("uri\":\"(\\w{32})", row.page));
    EXPECT_EQ(finder.SubmatchText(1, 1), row.want);
    EXPECT_EQ(finder.SubmatchCount(), row.want.empty() ? 0 : 1);
  }
}

}  // namespace
}  // namespace morvane
