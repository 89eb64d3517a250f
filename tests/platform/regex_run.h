// Runs a RegexComponent and flattens its collection into plain values for comparison.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/regex_component.h"

namespace morvane::testing_regex {

struct Flags {
  bool ignoreCase = false;
  bool multiline = false;
  bool global = false;
};

// "i", "m", "g" in any order.
inline Flags ParseFlags(std::string_view f) {
  return {f.find('i') != f.npos, f.find('m') != f.npos, f.find('g') != f.npos};
}

struct Found {
  int index = 0;
  std::u16string value;
  std::vector<std::optional<std::u16string>> groups;
  friend bool operator==(const Found&, const Found&) = default;
};

// nullopt when Execute failed.
using Outcome = std::optional<std::vector<Found>>;

inline std::shared_ptr<RegexComponent> Make(std::u16string_view pattern, Flags flags) {
  auto regex = MakePlatformRegexComponent();
  regex->SetIgnoreCase(flags.ignoreCase);
  regex->SetMultiline(flags.multiline);
  regex->SetGlobal(flags.global);
  regex->SetPattern(std::u16string(pattern));
  return regex;
}

inline Outcome Collect(const std::shared_ptr<RegexMatchCollection>& matches) {
  if (!matches) return std::nullopt;
  std::vector<Found> out;
  for (int i = 0; i < matches->Count(); ++i) {
    auto match = matches->Item(i);
    Found f{match->FirstIndex(), match->Value(), {}};
    auto groups = match->SubMatches();
    for (int g = 0; g < groups->Count(); ++g) f.groups.push_back(groups->Item(g));
    out.push_back(std::move(f));
  }
  return out;
}

inline Outcome Exec(std::u16string_view pattern, std::u16string_view subject, Flags flags = {}) {
  return Collect(Make(pattern, flags)->Execute(subject));
}

inline std::string Show(std::u16string_view s) { return Utf16ToUtf8(s); }

inline std::string Show(const Outcome& outcome) {
  if (!outcome) return "(fails)";
  std::string out;
  for (const Found& f : *outcome) {
    if (!out.empty()) out += " ";
    out += "[" + std::to_string(f.index) + " \"" + Show(f.value) + "\"";
    for (const auto& g : f.groups) out += g ? " \"" + Show(*g) + "\"" : " -";
    out += "]";
  }
  return out.empty() ? "(no match)" : out;
}

}  // namespace morvane::testing_regex
