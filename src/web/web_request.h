// WebRequest: one synchronous HTTP exchange through the HTTP request component.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "text/bytes.h"
#include "text/text.h"

namespace morvane {

class HttpRequestComponent;

inline constexpr std::array<const char*, 8> METHOD_NAMES = {
    "GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};

// The seventeen parameters in order. Out and in/out parameters point at the caller's variable;
// null means left out (the value is still computed, then discarded).
struct WebRequestParams {
  Text url;                               // the absolute address; also the default Referer
  int method = 0;                         // index into METHOD_NAMES; outside 0..7 means GET
  Text postText;                          // body as text, sent when postBytes is empty
  Text* cookies = nullptr;                // in/out: sent as "Cookie"; merged into when given
  Text* returnedCookies = nullptr;        // out: cookies the response set, or the merged text
  Text* headers = nullptr;                // in/out: extra header block, completed with defaults
  Text* responseHeaders = nullptr;        // out: the response's header block
  int* status = nullptr;                  // out: status code, 0 when no response arrived
  bool noRedirect = false;                // true: redirects are not followed
  ByteArray postBytes;                    // body as bytes; wins over postText when not empty
  Text proxy;                             // named proxy "host:port"; empty: none
  int timeoutSeconds = 0;                 // -1: component defaults; >= 1: seconds; else 15
  Text proxyUser;                         // Basic proxy credentials
  Text proxyPassword;
  std::optional<int> proxyAuthMode;       // left out: 1 (Basic); anything else: no credentials
  std::optional<std::shared_ptr<HttpRequestComponent>> requestObject;  // given: used, not made
  std::optional<bool> autoMergeCookies;   // left out: true
};

// The response body; empty when there is none or the request failed.
ByteArray WebRequest(const WebRequestParams& params);

}  // namespace morvane
