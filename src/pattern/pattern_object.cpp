// PatternObject over RegexComponent. Everything that goes wrong reaches this file as an empty
// value (a null component, collection, match or group list, or nullopt), and every step on an
// empty value gives the empty value of its own result, so no step tests an earlier one.
#include "pattern/pattern_object.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/code_page.h"
#include "platform/regex_component.h"
#include "text/helpers.h"

namespace morvane {

struct PatternObject::Fields {
  std::shared_ptr<RegexComponent> regex;          // null before Compile and when creation failed
  std::shared_ptr<RegexMatchCollection> matches;  // null before Compile and when Execute failed
  // The subject of the last Compile as the component's string. Never modified once made, so
  // copies of the object may share it. Nothing reads it before Compile sets it.
  std::shared_ptr<const std::u16string> subject = std::make_shared<const std::u16string>();
};

namespace {

Text AsText(const std::optional<std::u16string>& wide) { return wide ? FromWide(*wide) : Text(); }

// The 0-based byte offset in subject of text, which belongs to match (the match's own text or one
// of its groups): the first occurrence of text at or after the match's first byte, under the
// component's case rule. The match's first byte is worked out exactly from its UTF-16 index, so
// the search cannot stop at an equal text that lies before the match. An empty text lies at the
// match's first byte. -2 when there is no such match or group, or the text is not found.
int BytePosition(const std::shared_ptr<RegexComponent>& regex, const std::u16string& subject,
                 const std::shared_ptr<RegexMatch>& match, const std::optional<Text>& text) {
  if (!match || !text) return -2;
  const std::size_t firstIndex = static_cast<std::size_t>(match->FirstIndex());
  const int byteStart = TextLength(FromWide(std::u16string_view(subject).substr(
      0, firstIndex < subject.size() ? firstIndex : subject.size())));
  if (text->empty()) return byteStart;
  const bool ignoreCase = regex ? regex->IgnoreCase() : false;
  return FindText(FromWide(subject), *text, byteStart + 1, ignoreCase) - 1;
}

}  // namespace

PatternObject::PatternObject() : fields_(std::make_unique<Fields>()) {}

PatternObject::PatternObject(const PatternObject& other)
    : fields_(std::make_unique<Fields>(*other.fields_)) {}

PatternObject& PatternObject::operator=(const PatternObject& other) {
  if (this != &other) *fields_ = *other.fields_;
  return *this;
}

PatternObject::~PatternObject() = default;

bool PatternObject::Compile(const Text& pattern, const Text& subject,
                            std::optional<bool> caseSensitive, std::optional<bool> multiline,
                            std::optional<bool> global, std::optional<bool> quoteMarker) {
  const bool ignoreCase = !caseSensitive.value_or(false);
  Fields& f = *fields_;
  f.matches.reset();
  f.regex = CreateRegexComponent();
  if (f.regex) {
    f.regex->SetIgnoreCase(ignoreCase);
    f.regex->SetMultiline(multiline.value_or(true));
    f.regex->SetGlobal(global.value_or(true));
    const Text source =
        quoteMarker.value_or(false) ? ReplaceText(pattern, QUOTE_MARKER, "\"") : pattern;
    f.regex->SetPattern(ToWide(source));
  }
  f.subject = std::make_shared<const std::u16string>(ToWide(subject));
  if (f.regex) f.matches = f.regex->Execute(f.subject);
  return f.matches != nullptr;
}

void PatternObject::Reserved() {}

Text PatternObject::GetPattern() const {
  return fields_->regex ? FromWide(fields_->regex->Pattern()) : Text();
}

Text PatternObject::ReplaceMatches(const Text& replacement) const {
  const Fields& f = *fields_;
  if (!f.regex) return {};
  return AsText(f.regex->Replace(*f.subject, ToWide(replacement)));
}

int PatternObject::MatchCount() const { return fields_->matches ? fields_->matches->Count() : 0; }

Text PatternObject::MatchText(int matchIndex, int* position) const {
  const Fields& f = *fields_;
  const auto match =
      f.matches ? f.matches->Item(static_cast<std::int64_t>(matchIndex) - 1) : nullptr;
  const Text text = match ? FromWide(match->Value()) : Text();
  if (position) *position = BytePosition(f.regex, *f.subject, match, text);
  return text;
}

Text PatternObject::SubmatchText(int matchIndex, int submatchIndex, int* position) const {
  const Fields& f = *fields_;
  const auto match =
      f.matches ? f.matches->Item(static_cast<std::int64_t>(matchIndex) - 1) : nullptr;
  const auto groups = match ? match->SubMatches() : nullptr;
  const auto wide = groups ? groups->Item(static_cast<std::int64_t>(submatchIndex) - 1)
                           : std::optional<std::u16string>();
  if (position) {
    *position = BytePosition(f.regex, *f.subject, match,
                             wide ? std::optional<Text>(FromWide(*wide)) : std::nullopt);
  }
  return AsText(wide);
}

int PatternObject::SubmatchCount() const {
  const auto match = fields_->matches ? fields_->matches->Item(0) : nullptr;
  const auto groups = match ? match->SubMatches() : nullptr;
  return groups ? groups->Count() : 0;
}

}  // namespace morvane
