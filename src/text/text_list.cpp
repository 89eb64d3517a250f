#include "text/text_list.h"

#include "text/char_rule.h"

namespace morvane {

int ItemCount(const TextList& list) { return static_cast<int>(list.size()); }

const Text& ItemAt(const TextList& list, int index) {
  return list.at(static_cast<std::size_t>(index) - 1);
}

void AppendItem(TextList& list, const Text& text) { list.push_back(text); }

TextList SplitText(const Text& text, const Text& separator) {
  if (text.empty()) return {};
  if (separator.empty()) return {text};

  const std::string_view s = text.view();
  text_internal::Searcher searcher(s, separator.view(), 0, true);
  text_internal::CharStarts starts(s, 0);
  TextList items;
  std::size_t itemStart = 0;
  std::size_t from = 0;
  for (;;) {
    const std::size_t pos = searcher.Find(from);
    if (pos == std::string_view::npos) break;
    from = starts.AtOrAfter(pos);
    if (from != pos) continue;  // inside a two-byte character
    items.emplace_back(s.substr(itemStart, pos - itemStart));
    from = itemStart = pos + separator.size();
    starts.Restart(from);
  }
  if (itemStart < s.size()) items.emplace_back(s.substr(itemStart));
  return items;
}

}  // namespace morvane
