// Four small routines over the primitives: Base64, the text between two markers, and list
// de-duplication with its index lookup. All are pure and report no error.
#pragma once

#include "text/bytes.h"
#include "text/text.h"
#include "text/text_list.h"

namespace morvane {

// "#引号" in code page 936. Callers write it where a marker or pattern has to hold a double quote.
inline constexpr const char* QUOTE_MARKER = "#\xD2\xFD\xBA\xC5";

// Standard Base64 of RFC 4648 with "=" padding, one line. Base64Encode(ToBytes("ab")) == "YWI=".
Text Base64Encode(const ByteArray& data);

// The bytes between the first left marker at or after start and the first right marker after it;
// empty when either is missing or the right one follows the left at once. QUOTE_MARKER in either
// marker stands for a double quote. TextBetween("k=v;", "k=", ";") == "v".
Text TextBetween(const Text& text, const Text& left, const Text& right, int start = 0,
                 bool ignoreCase = false);

// The items of SplitText(list, separator), each kept once in first-seen order (compared byte for
// byte), joined by separator. DedupeList("a; b; a", "; ") == "a; b". An empty separator gives the
// list back unchanged.
Text DedupeList(const Text& list, const Text& separator);

// The 1-based index of the first item equal to sought, or -1.
int IndexInList(const TextList& items, const Text& sought);

}  // namespace morvane
