// The Resolve command: finds the share link in the input box, fetches the page behind it, finds the
// video identifier there and writes the play address into the result box. It never reports an
// error: any failing step leaves an empty value, and the result box then gets the prefix alone.
#pragma once

#include <functional>

#include "app/box_access.h"
#include "app/build_settings.h"
#include "text/bytes.h"
#include "text/text.h"

namespace morvane {

inline constexpr const char* SHARE_LINK_PATTERN = "http.*";
inline constexpr const char* VIDEO_ID_PATTERN = R"(uri":"(\w{32}))";

// Fetches the body behind a link. The command's own fetch is a plain WebRequest of the link;
// tests hand in one with a short time-out.
using PageFetch = std::function<ByteArray(const Text& link)>;
ByteArray FetchPage(const Text& link);

class ShareLinkResolver {
 public:
  explicit ShareLinkResolver(BoxAccess& boxes, PageFetch fetch = FetchPage)
      : boxes_(boxes), fetch_(std::move(fetch)) {}

  void Resolve();

 private:
  BoxAccess& boxes_;
  PageFetch fetch_;
};

}  // namespace morvane
