// HttpRequestComponent: the HTTP request component that the web request routine drives, one
// synchronous exchange at a time. Each platform provides its own implementation behind this
// interface; nothing here names the library underneath.
//
// Every operation reports only success or failure (true/false) or gives the empty value of its
// kind after a failure; nothing is thrown or logged. Texts are code page 936 and go on the wire
// as UTF-8; bodies are bytes and cross unchanged.
#pragma once

#include <functional>
#include <memory>

#include "text/bytes.h"
#include "text/text.h"

namespace morvane {

class HttpRequestComponent {
 public:
  // Option indexes of SetOption.
  static constexpr int OPTION_SSL_ERROR_IGNORE_FLAGS = 4;
  static constexpr int OPTION_ENABLE_REDIRECTS = 6;

  // Flags of OPTION_SSL_ERROR_IGNORE_FLAGS: the certificate errors that may be ignored.
  static constexpr int IGNORE_UNKNOWN_CA = 0x0100;
  static constexpr int IGNORE_WRONG_USAGE = 0x0200;
  static constexpr int IGNORE_CERT_CN_INVALID = 0x1000;
  static constexpr int IGNORE_CERT_DATE_INVALID = 0x2000;
  static constexpr int IGNORE_ALL_CERT_ERRORS = 0x3300;

  // SetProxy settings: 0 and 1 connect directly, 2 names the proxy server.
  static constexpr int PROXY_SETTING_DEFAULT = 0;
  static constexpr int PROXY_SETTING_DIRECT = 1;
  static constexpr int PROXY_SETTING_PROXY = 2;

  // Time-outs in milliseconds that apply when SetTimeouts was never called.
  static constexpr int DEFAULT_CONNECT_TIMEOUT_MS = 60000;
  static constexpr int DEFAULT_SEND_TIMEOUT_MS = 30000;
  static constexpr int DEFAULT_RECEIVE_TIMEOUT_MS = 30000;

  virtual ~HttpRequestComponent() = default;

  // Milliseconds; 0 or a negative value means no limit. Resolving and connecting (TLS handshake
  // and proxy tunnel included) share one limit, the sum of the first two values (none when the
  // connect value gives none); send and receive are idle limits: the exchange ends when no byte
  // moved for that long.
  virtual bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;

  // setting 2 with "host:port" or "http://host:port" (port 80 when left out) sends every request
  // through that proxy; 0 or 1 connects directly. Proxy settings of the environment never apply.
  // A proxy text that names no HTTP proxy is refused, and requests fail until the next setting
  // that succeeds: they never go out directly in its place.
  virtual bool SetProxy(int setting, const Text& proxy) = 0;

  // Starts a new request: forgets the previous request's headers and response. Time-outs, proxy
  // and options stay. Fails for an address that is not absolute http or https, for a method that
  // is not a token, and for asynchronous use, which is not offered.
  virtual bool Open(const Text& method, const Text& url, bool async) = 0;

  // OPTION_ENABLE_REDIRECTS: 0 stops redirects from being followed (default: followed, at most
  // 10, never from https to http). OPTION_SSL_ERROR_IGNORE_FLAGS: IGNORE_* flags (default 0).
  virtual bool SetOption(int index, int value) = 0;

  // Refuses an empty name and a name or value holding CR or LF. A later header of the same name
  // (letter case ignored) replaces the earlier one. Needs Open first.
  virtual bool SetRequestHeader(const Text& name, const Text& value) = 0;

  // Runs the exchange and returns when it is over; true when a response arrived in full.
  virtual bool SendBytes(const ByteArray& body) = 0;
  virtual bool SendText(const Text& body) = 0;  // the body goes out as UTF-8

  // The final response: its body, its header lines (each ending in CR LF, then one more CR LF;
  // no status line) and its status. Empty, empty and 0 when no response arrived.
  virtual ByteArray ResponseBody() = 0;
  virtual Text GetAllResponseHeaders() = 0;
  virtual int Status() = 0;

  // ResponseBody without a copy, for the instance's only user: the body moves out, and later
  // reads give the empty body. Spares a second copy of a large body in memory.
  virtual ByteArray TakeResponseBody() { return ResponseBody(); }
};

using HttpRequestComponentFactory = std::function<std::shared_ptr<HttpRequestComponent>()>;

// A new instance from the current factory; null when it cannot be made.
std::shared_ptr<HttpRequestComponent> CreateHttpRequestComponent();

// Replaces the factory (tests make creation fail or hand out fakes); an empty one restores the
// platform's own. Not thread-safe: set it before requests run.
void SetHttpRequestComponentFactory(HttpRequestComponentFactory factory);

}  // namespace morvane
