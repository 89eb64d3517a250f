// PatternObject: one regular-expression run over a subject, and read access to its matches.
// Compile sets the options and the pattern and runs it once; the other operations read what the
// last Compile left. Matches and groups are numbered from 1; a failure gives an empty value.
#pragma once

#include <memory>
#include <optional>

#include "text/text.h"

namespace morvane {

class PatternObject {
 public:
  PatternObject();
  PatternObject(const PatternObject& other);  // shares the component objects, copies the subject
  PatternObject& operator=(const PatternObject& other);
  ~PatternObject();

  // Left-out options differ from given ones: caseSensitive false, multiline true, global true,
  // quoteMarker false. True when the component produced a match collection, also an empty one.
  bool Compile(const Text& pattern, const Text& subject, std::optional<bool> caseSensitive = {},
               std::optional<bool> multiline = {}, std::optional<bool> global = {},
               std::optional<bool> quoteMarker = {});
  void Reserved();
  Text GetPattern() const;
  Text ReplaceMatches(const Text& replacement) const;
  int MatchCount() const;
  // position, when given, receives the 0-based byte offset of the text in the subject (-2 when
  // the lookup does not find it); when null nothing is looked up.
  Text MatchText(int matchIndex, int* position = nullptr) const;
  Text SubmatchText(int matchIndex, int submatchIndex, int* position = nullptr) const;
  int SubmatchCount() const;

 private:
  struct Fields;
  std::unique_ptr<Fields> fields_;
};

}  // namespace morvane
