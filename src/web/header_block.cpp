#include "web/header_block.h"

#include "text/text_list.h"

namespace morvane {

Text HeaderName(const Text& line) {
  const int p = FindText(line, ":");
  if (p == -1) return {};
  return TrimBothEnds(LeftText(line, p - 1));
}

Text HeaderValue(const Text& line) {
  const int p = FindText(line, ":");
  if (p == -1) return {};
  return TrimBothEnds(RightText(line, TextLength(line) - p));
}

void CompleteDefaultHeaders(Text& headers, const Text& url, int method) {
  auto appendIfMissing = [&headers](const char* test, const Text& line) {
    if (FindText(headers, test) == -1) headers = ConcatText(headers, "\r\n", line);
  };
  if (headers.empty()) {
    headers = DEFAULT_ACCEPT;
  } else {
    appendIfMissing("Accept:", DEFAULT_ACCEPT);
  }
  appendIfMissing("Referer:", ConcatText("Referer: ", url));
  appendIfMissing("Accept-Language:", DEFAULT_ACCEPT_LANGUAGE);
  appendIfMissing("User-Agent:", DEFAULT_USER_AGENT);
  if (method == 1) appendIfMissing("Content-Type:", DEFAULT_FORM_CONTENT_TYPE);
}

std::vector<std::pair<Text, Text>> HeaderPairs(const Text& block) {
  std::vector<std::pair<Text, Text>> pairs;
  if (FindText(block, "\r\n") == -1) {
    if (!block.empty()) pairs.emplace_back(HeaderName(block), HeaderValue(block));
    return pairs;
  }
  for (const Text& line : SplitText(block, "\r\n")) {
    if (line.empty()) continue;
    pairs.emplace_back(HeaderName(line), HeaderValue(line));
  }
  return pairs;
}

}  // namespace morvane
