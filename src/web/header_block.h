// Header blocks: header lines "name: value" separated by CR LF, the one text form that request
// headers (what a caller adds) and response headers (what a server sent) share.
//
// Lines are separated by CR LF only: a block without any CR LF is a single line, whatever else it
// holds. A line's name is the text before its first colon, its value everything after it, both
// trimmed of spaces (half-width and full-width; a tab is not a space). A line without a colon has
// an empty name and value. An empty line carries no header.
#pragma once

#include <utility>
#include <vector>

#include "text/text.h"

namespace morvane {

inline constexpr const char* DEFAULT_ACCEPT = "Accept: */*";
inline constexpr const char* DEFAULT_ACCEPT_LANGUAGE = "Accept-Language: zh-cn";
inline constexpr const char* DEFAULT_USER_AGENT =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
inline constexpr const char* DEFAULT_FORM_CONTENT_TYPE =
    "Content-Type: application/x-www-form-urlencoded";

// "Host: example:80" -> "Host"; " X-Y : z" -> "X-Y"; "no colon" -> "".
Text HeaderName(const Text& line);

// Everything after the first colon, trimmed. "Host: example:80" -> "example:80".
Text HeaderValue(const Text& line);

// Completes a request header block in place with the default lines that it lacks, each test a
// case-sensitive search anywhere in the block: "Accept:", "Referer:" (the default carries url),
// "Accept-Language:", "User-Agent:" and, for method 1 (POST) only, "Content-Type:". A missing line
// is appended after CR LF; an empty block becomes "Accept: */*" alone.
void CompleteDefaultHeaders(Text& headers, const Text& url, int method);

// The (name, value) pairs a block stands for, in order. Empty lines give none; a line without a
// colon gives a pair of empty texts.
std::vector<std::pair<Text, Text>> HeaderPairs(const Text& block);

}  // namespace morvane
