// The component's pattern dialect (see regex_component.h), translated into the syntax of PCRE2's
// 16-bit library used without UTF mode, so that PCRE2 works on UTF-16 code units as the dialect
// does. The translation spells out what PCRE2's options cannot express: the dialect's dot, its
// ASCII classes, its line terminators for ^ and $, its octal and back-reference rules and its case
// folding beyond ASCII.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvane::ecma {

struct PcrePattern {
  // To be compiled with PCRE2_CASELESS exactly when case is ignored (it then folds ASCII letters;
  // every other case pair is written out as a class) and PCRE2_MATCH_UNSET_BACKREF.
  std::u16string source;
  int groupCount = 0;
};

// Nesting of groups and classes deeper than this is rejected, as PCRE2 would reject it.
inline constexpr int MAX_NESTING = 200;
// The largest count a {n,m} quantifier may give.
inline constexpr int MAX_REPEAT = 65535;

// nullopt when the dialect rejects the pattern.
std::optional<PcrePattern> Translate(std::u16string_view pattern, bool ignoreCase, bool multiline);

// The dialect's Canonicalize: the full upper case of unit when that is a single code unit and does
// not take a non-ASCII unit to ASCII; unit itself otherwise. Two units match each other when case
// is ignored exactly when their canonical units are equal.
char16_t Canonicalize(char16_t unit);

}  // namespace morvane::ecma
