// RegexComponent: the regular-expression component that PatternObject drives. Its members mirror
// the platform's expression object: three options, the pattern, Execute giving a match collection,
// and Replace. Strings are UTF-16 and every index counts UTF-16 code units, 0-based.
//
// Dialect of Pattern (close to ECMAScript 3): the dot matches any code unit but LF, CR, U+2028 and
// U+2029; \w, \d and \s are the ASCII classes [A-Za-z0-9_], [0-9] and [ \f\n\r\t\v]; IgnoreCase
// folds as ECMAScript's Canonicalize does; Multiline lets ^ and $ match at every line terminator,
// and without it $ matches only at the very end; look-ahead, non-greedy quantifiers, non-capturing
// groups, back-references (an unset group matches empty), \uXXXX, \xXX, \cX and octal escapes.
// Look-behind and named groups do not exist: such a pattern is rejected, and a rejected pattern
// makes Execute and Replace fail.
//
// Failure is an empty value, never an exception: a null collection, match or group list, nullopt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The capture groups of one match.
class RegexSubMatches {
 public:
  virtual ~RegexSubMatches() = default;
  // Number of capture groups of the pattern.
  virtual int Count() const = 0;
  // Text of group index (0-based); nullopt for a group that took no part in the match and for an
  // index outside 0..Count()-1.
  virtual std::optional<std::u16string> Item(std::int64_t index) const = 0;
};

class RegexMatch {
 public:
  virtual ~RegexMatch() = default;
  virtual std::u16string Value() const = 0;
  // 0-based index of the match in the subject, in UTF-16 code units.
  virtual int FirstIndex() const = 0;
  virtual std::shared_ptr<RegexSubMatches> SubMatches() const = 0;
};

class RegexMatchCollection {
 public:
  virtual ~RegexMatchCollection() = default;
  virtual int Count() const = 0;
  // Match index (0-based); null outside 0..Count()-1.
  virtual std::shared_ptr<RegexMatch> Item(std::int64_t index) const = 0;
};

class RegexComponent {
 public:
  virtual ~RegexComponent() = default;

  virtual bool IgnoreCase() const = 0;  // false on a new component
  virtual void SetIgnoreCase(bool value) = 0;
  virtual bool Multiline() const = 0;  // false on a new component
  virtual void SetMultiline(bool value) = 0;
  virtual bool Global() const = 0;  // false on a new component: only the first match
  virtual void SetGlobal(bool value) = 0;
  virtual std::u16string Pattern() const = 0;  // as written; empty on a new component
  virtual void SetPattern(std::u16string value) = 0;

  // Runs the pattern over source: every non-overlapping match from left to right when Global,
  // else the first. After an empty match the search moves on by one code unit, so an empty match
  // at the very end is reported too. The collection reads its texts from source on demand and
  // keeps it alive. Null when the pattern is rejected or the engine gives up on its limits.
  virtual std::shared_ptr<RegexMatchCollection> Execute(
      std::shared_ptr<const std::u16string> source) = 0;
  std::shared_ptr<RegexMatchCollection> Execute(std::u16string_view source) {
    return Execute(std::make_shared<const std::u16string>(source));
  }

  // source with the matches of Execute replaced by replacement, in which $1..$99 (two digits when
  // that group exists, else one), $&, $`, $' and $$ stand for what they do in ECMAScript; a "$"
  // that forms none of them, and a group number that does not exist, stay literal text.
  // nullopt when Execute would fail.
  virtual std::optional<std::u16string> Replace(std::u16string_view source,
                                                std::u16string_view replacement) = 0;
};

// Makes a new component through the current factory; null when creation fails.
std::shared_ptr<RegexComponent> CreateRegexComponent();

using RegexComponentFactory = std::function<std::shared_ptr<RegexComponent>()>;

// Replaces the factory (tests use this to make creation fail or to watch the components made) and
// returns the previous one. An empty function restores the platform's own.
RegexComponentFactory SetRegexComponentFactory(RegexComponentFactory factory);

// The platform's own component; what CreateRegexComponent makes unless a test replaced it.
std::shared_ptr<RegexComponent> MakePlatformRegexComponent();

}  // namespace morvane
