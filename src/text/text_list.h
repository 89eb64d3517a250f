// TextList: an ordered list of Text items, numbered from 1 for callers. Items may be empty; the list
// owns copies of them.
#pragma once

#include <vector>

#include "text/text.h"

namespace morvane {

using TextList = std::vector<Text>;

// Number of items.
int ItemCount(const TextList& list);

// The item at the 1-based index; callers stay within 1..ItemCount.
const Text& ItemAt(const TextList& list, int index);

// A copy of text becomes the new last item.
void AppendItem(TextList& list, const Text& text);

// The pieces between exact occurrences of separator, found at character starts. A leading
// separator gives an empty first item, adjacent ones an empty item between them, a trailing one no
// empty last item. An empty text gives no items, an empty separator the whole text as one item.
// SplitText("a;;b;", ";") == {"a", "", "b"}. Character-aware.
TextList SplitText(const Text& text, const Text& separator);

}  // namespace morvane
