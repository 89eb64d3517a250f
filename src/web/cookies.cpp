#include "web/cookies.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>

#include "text/helpers.h"

namespace morvane {
namespace {

constexpr const char* kSeparator = "; ";
constexpr const char* kDeletionMarker = "=deleted";

// Drops the separator after the last item; an empty text stays empty.
Text CutLastSeparator(std::string joined) {
  joined.resize(joined.size() - std::min<std::size_t>(joined.size(), 2));
  return Text(std::string_view(joined));
}

}  // namespace

Text CaptureResponseCookies(const Text& responseHeaders) {
  // Built in one growing string so that thousands of Set-Cookie lines cost linear time.
  std::string result;
  for (const Text& line : SplitText(responseHeaders, "\r\n")) {
    if (FindText(line, "Set-Cookie") == -1) continue;
    Text item;
    if (FindText(line, ";") == -1) {
      item = TrimBothEnds(ReplaceText(line, "Set-Cookie:", {}, 1, -1, false));
    } else {
      // A line naming Set-Cookie without the colon, or with no ";" after it, gives an empty item:
      // the separators it leaves behind are part of the result.
      item = TrimBothEnds(TextBetween(line, "Set-Cookie:", ";", 0, false));
    }
    result.append(item.view());
    result.append(kSeparator);
  }
  return CutLastSeparator(std::move(result));
}

Text MergeCookies(Text& old, Text& fresh) {
  old = RemoveAllSpaces(old);
  fresh = RemoveAllSpaces(fresh);
  const TextList oldItems = SplitText(old, ";");
  TextList merged = SplitText(fresh, ";");

  // The names of every item in merged, kept beside it: the same answers as asking HasCookieNamed
  // of the growing list, without rescanning it for each old item.
  std::unordered_set<std::string> names;
  for (const Text& item : merged) names.insert(CookieName(item).str());
  for (const Text& item : oldItems) {
    if (names.insert(CookieName(item).str()).second) AppendItem(merged, item);
  }

  std::string kept;
  for (const Text& item : merged) {
    if (CompareText(RightText(item, 8), kDeletionMarker) == 0) continue;
    kept.append(item.view());
    kept.append(kSeparator);
  }
  old = DedupeList(CutLastSeparator(std::move(kept)), kSeparator);
  return old;
}

Text CookieName(const Text& item) {
  const int p = FindText(item, "=");
  return TrimBothEnds(p == -1 ? item : LeftText(item, p - 1));
}

bool HasCookieNamed(const TextList& items, const Text& name) {
  const int count = ItemCount(items);
  for (int i = 1; i <= count; ++i) {
    if (CompareText(CookieName(ItemAt(items, i)), name) == 0) return true;
  }
  return false;
}

}  // namespace morvane
