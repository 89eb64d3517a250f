// Text to and from a terminal: the terminal speaks the character set of the user's locale (UTF-8
// on a typical machine), Text is code page 936 whatever the locale.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace morvane {

class TerminalText {
 public:
  // codeset as nl_langinfo(CODESET) names it. The plain ASCII of the "C" locale is read as UTF-8,
  // of which it is a subset, so that scripts run without a locale still pass Chinese text through.
  explicit TerminalText(std::string_view codeset);

  Text FromTerminal(std::string_view bytes) const;
  // Characters the terminal's set cannot hold come out as "?".
  std::string ToTerminal(const Text& text) const;

 private:
  enum class Kind { UTF8, CODE_PAGE_936, OTHER } kind_;
  std::string codeset_;
};

}  // namespace morvane
