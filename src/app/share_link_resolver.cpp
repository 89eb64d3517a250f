#include "app/share_link_resolver.h"

#include "pattern/pattern_object.h"
#include "web/web_request.h"

namespace morvane {

ByteArray FetchPage(const Text& link) { return WebRequest({.url = link}); }

// The steps run in a fixed order and none looks at the result of an earlier one: an empty link
// still goes to the fetch (which refuses it without sending anything), and an empty identifier
// still gives the prefix alone.
void ShareLinkResolver::Resolve() {
  PatternObject linkFinder;
  PatternObject identifierFinder;
  Text input = boxes_.GetBoxText(Box::INPUT);

  linkFinder.Compile(SHARE_LINK_PATTERN, input);
  input = linkFinder.MatchText(1);

  Text page;
  {
    const ByteArray body = fetch_(input);
    page = BytesToText(body);
  }

  identifierFinder.Compile(VIDEO_ID_PATTERN, page);
  const Text identifier = identifierFinder.SubmatchText(1, 1);
  const Text address = ConcatText(PLAY_ADDRESS_PREFIX, identifier);
  boxes_.SetBoxText(Box::RESULT, address);
}

}  // namespace morvane
