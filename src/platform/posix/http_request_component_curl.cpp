// HttpRequestComponent over one libcurl easy handle per instance, TLS through OpenSSL.
//
// Redirects are followed here rather than by libcurl, hop by hop, because the rules differ from
// libcurl's: an https page redirected to plain http gives back the redirect response itself, a
// Cookie header stays with the host it was meant for, and the method and body change as browsers
// change them. Certificate checks are made by our own OpenSSL verify callback, which lets exactly
// the ignorable kinds through and fails every other error.
#include "platform/posix/http_request_component_curl.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/code_page.h"

namespace morvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 10;
constexpr std::int64_t kMaxBody = INT32_MAX;
// A Content-Length is only a promise: memory is set aside for at most this much up front.
constexpr std::int64_t kMaxReserve = std::int64_t{1} << 30;
// Bodies from this size on are kept in memory that the kernel may back with huge pages.
constexpr std::size_t kHugePageThreshold = std::size_t{8} << 20;
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
// The receive buffer of the curl program: fewer, larger writes for big bodies.
constexpr long kReceiveBufferSize = 100 * 1024;
// libcurl has no "no limit" for connecting; a day stands in for it.
constexpr long kNoConnectLimitMs = 24L * 60 * 60 * 1000;

// Sets room for size bytes aside. A large body costs one page fault per 4 KiB page touched, more
// than the copying itself on some machines; huge pages cut that by a factor of 512.
void ReserveBody(ByteArray& body, std::size_t size) {
  body.reserve(size);
  if (size < kHugePageThreshold) return;
  const auto start = reinterpret_cast<std::uintptr_t>(body.data());
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (start + body.capacity()) & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// Bytes that may not stand in a request line go out percent-encoded; "%" itself is left alone so
// that an address already encoded stays as it is.
std::string EncodeAddress(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    const bool ok = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                    (b != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
    if (!ok) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    if (b < 0x80) {
      extra = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// Response header bytes as text: UTF-8 when they are valid UTF-8, otherwise each byte is the
// Latin-1 character of that number, as HTTP/1.1 historically read them.
Text HeaderBytesToText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return FromUtf8(bytes);
  std::u16string wide;
  wide.reserve(bytes.size());
  for (const char c : bytes) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return FromWide(wide);
}

// The parts of an absolute address that the redirect rules look at.
struct Address {
  std::string url;     // as libcurl will send it
  std::string scheme;  // lower case
  std::string host;    // lower case
};

// Parses url (relative to base when base is not empty); false unless the result is http or https.
bool ParseAddress(const std::string& base, const std::string& url, Address& out) {
  CURLU* handle = curl_url();
  if (handle == nullptr) return false;
  bool ok = true;
  if (!base.empty()) ok = curl_url_set(handle, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK;
  ok = ok && curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
  char* full = nullptr;
  char* scheme = nullptr;
  char* host = nullptr;
  ok = ok && curl_url_get(handle, CURLUPART_URL, &full, 0) == CURLUE_OK &&
       curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
       curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK;
  if (ok) {
    out.url = full;
    out.scheme = AsciiLower(scheme);
    out.host = AsciiLower(host);
    ok = (out.scheme == "http" || out.scheme == "https") && !out.host.empty();
  }
  curl_free(full);
  curl_free(scheme);
  curl_free(host);
  curl_url_cleanup(handle);
  return ok;
}

int SslExIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

bool Ignorable(int error, int flags) {
  using C = HttpRequestComponent;
  switch (error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return (flags & C::IGNORE_UNKNOWN_CA) != 0;
    case X509_V_ERR_INVALID_PURPOSE:
    case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
      return (flags & C::IGNORE_WRONG_USAGE) != 0;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return (flags & C::IGNORE_CERT_CN_INVALID) != 0;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return (flags & C::IGNORE_CERT_DATE_INVALID) != 0;
    default:
      return false;
  }
}

int VerifyCallback(int preverifyOk, X509_STORE_CTX* store) {
  if (preverifyOk == 1) return 1;
  auto* ssl = static_cast<SSL*>(
      X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  const auto* flags =
      ssl ? static_cast<const int*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), SslExIndex()))
          : nullptr;
  return flags != nullptr && Ignorable(X509_STORE_CTX_get_error(store), *flags) ? 1 : 0;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    SslExIndex();
  });
}

class CurlHttpRequest final : public HttpRequestComponent {
 public:
  CurlHttpRequest(CURL* curl, CurlComponentSettings settings)
      : curl_(curl), settings_(std::move(settings)) {}
  ~CurlHttpRequest() override { curl_easy_cleanup(curl_); }
  CurlHttpRequest(const CurlHttpRequest&) = delete;
  CurlHttpRequest& operator=(const CurlHttpRequest&) = delete;

  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
    if (std::min({resolveMs, connectMs, sendMs, receiveMs}) < -1) return false;
    resolveMs_ = resolveMs;
    connectMs_ = connectMs;
    sendMs_ = sendMs;
    receiveMs_ = receiveMs;
    return true;
  }

  bool SetProxy(int setting, const Text& proxy) override {
    if (setting == PROXY_SETTING_DEFAULT || setting == PROXY_SETTING_DIRECT) {
      proxy_.clear();
      proxyRefused_ = false;
      return true;
    }
    if (setting != PROXY_SETTING_PROXY) return false;
    // A proxy that was asked for but cannot be used makes requests fail until the next good
    // setting: going direct instead would send them past the proxy the caller relies on.
    proxyRefused_ = true;
    std::string server = ToUtf8(proxy);
    if (StartsWithIgnoreCase(server, "http://")) server.erase(0, 7);
    while (!server.empty() && server.back() == '/') server.pop_back();
    if (server.empty() || server.find_first_of("/@ \t\r\n") != std::string::npos ||
        server.find("://") != std::string::npos) {
      return false;
    }
    Address parsed;
    if (!ParseAddress({}, "http://" + server, parsed)) return false;
    // A proxy named without a port listens on 80, the HTTP port.
    const std::size_t bracket = server.front() == '[' ? server.find(']') : std::string::npos;
    const bool hasPort = bracket != std::string::npos
                             ? bracket + 1 < server.size() && server[bracket + 1] == ':'
                             : server.find(':') != std::string::npos;
    proxy_ = "http://" + server + (hasPort ? "" : ":80");
    proxyRefused_ = false;
    return true;
  }

  bool Open(const Text& method, const Text& url, bool async) override {
    opened_ = false;
    headers_.clear();
    ClearResponse();
    const std::string methodText = ToUtf8(method);
    Address address;
    if (async || !IsToken(methodText) || !ParseAddress({}, EncodeAddress(ToUtf8(url)), address)) {
      return false;
    }
    method_ = methodText;
    address_ = std::move(address);
    opened_ = true;
    return true;
  }

  bool SetOption(int index, int value) override {
    if (index == OPTION_ENABLE_REDIRECTS) {
      followRedirects_ = value != 0;
      return true;
    }
    if (index == OPTION_SSL_ERROR_IGNORE_FLAGS) {
      if ((value & ~IGNORE_ALL_CERT_ERRORS) != 0) return false;
      ignoreFlags_ = value;
      return true;
    }
    return false;
  }

  bool SetRequestHeader(const Text& name, const Text& value) override {
    if (!opened_) return false;
    const std::string n = ToUtf8(name);
    const std::string v = ToUtf8(value);
    // CR or LF would end the header line early and let the rest pass as headers of its own.
    if (!IsToken(n) || v.find_first_of("\r\n") != std::string::npos) return false;
    for (auto& header : headers_) {
      if (EqualsIgnoreCase(header.first, n)) {
        header = {n, v};
        return true;
      }
    }
    headers_.emplace_back(n, v);
    return true;
  }

  bool SendBytes(const ByteArray& body) override {
    return Send(std::string(body.begin(), body.end()));
  }

  bool SendText(const Text& body) override { return Send(ToUtf8(body)); }

  ByteArray ResponseBody() override {
    ByteArray copy;
    ReserveBody(copy, body_.size());
    copy.assign(body_.begin(), body_.end());
    return copy;
  }

  ByteArray TakeResponseBody() override { return std::exchange(body_, {}); }

  Text GetAllResponseHeaders() override {
    return received_ ? HeaderBytesToText(headerBlock_ + "\r\n") : Text();
  }

  int Status() override { return status_; }

 private:
  // What one hop of an exchange collects while libcurl runs it.
  struct Hop {
    CurlHttpRequest* self;
    std::int64_t uploadSize = 0;
    bool expectBody = true;
    bool tooLarge = false;
    bool idleTimedOut = false;
    bool transferStarted = false;
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;
  };

  void ClearResponse() {
    body_.clear();
    body_.shrink_to_fit();
    headerBlock_.clear();
    status_ = 0;
    received_ = false;
  }

  static bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
  }

  // The Location value of the response headers collected last; empty when there is none.
  std::string Location() const {
    std::size_t start = 0;
    while (start < headerBlock_.size()) {
      std::size_t end = headerBlock_.find("\r\n", start);
      if (end == std::string::npos) end = headerBlock_.size();
      const std::string_view line(headerBlock_.data() + start, end - start);
      if (StartsWithIgnoreCase(line, "location:")) {
        std::string_view value = line.substr(9);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
          value.remove_prefix(1);
        }
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
          value.remove_suffix(1);
        }
        return std::string(value);
      }
      start = end + 2;
    }
    return {};
  }

  bool Send(std::string payload) {
    ClearResponse();
    if (!opened_ || proxyRefused_) return false;
    std::string method = method_;
    Address address = address_;
    const std::string firstHost = address_.host;
    for (int redirects = 0;; ++redirects) {
      if (!Perform(method, address, payload, address.host == firstHost)) return false;
      const std::string location = Location();
      if (!followRedirects_ || !IsRedirect(status_) || location.empty()) return true;
      Address next;
      // A redirect that may not be followed (another scheme, https to http, an address that
      // does not parse) is the final response.
      if (!ParseAddress(address.url, EncodeAddress(location), next)) return true;
      if (address.scheme == "https" && next.scheme == "http") return true;
      if (redirects == kMaxRedirects) {
        ClearResponse();
        return false;
      }
      if (status_ == 303 ? method != "HEAD" : (status_ <= 302 && method == "POST")) {
        method = "GET";
        payload.clear();
      }
      address = std::move(next);
    }
  }

  // Runs one request and response; false when the exchange failed. A proxy's refusal of a tunnel
  // still counts as a response: its status and headers are kept, as for a plain request.
  bool Perform(const std::string& method, const Address& address, const std::string& payload,
               bool sameHost) {
    ClearResponse();
    curl_easy_reset(curl_);
    Hop hop{this};
    hop.expectBody = method != "HEAD";
    CURL* c = curl_;
    curl_easy_setopt(c, CURLOPT_URL, address.url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // An empty proxy name turns proxies off, those of the environment included.
    curl_easy_setopt(c, CURLOPT_PROXY, proxy_.c_str());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, ConnectLimitMs());

    // Certificates are checked by VerifyCallback alone. Resumed TLS sessions would skip that
    // check, and a connection opened under other ignore flags must not be reused.
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, &CurlHttpRequest::OnSslContext);
    curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, this);
    if (connectionFlags_ != ignoreFlags_) curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    connectionFlags_ = ignoreFlags_;
    tlsHost_ = address.host;

    if (method == "HEAD") {
      curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    } else {
      const bool sendBody = !payload.empty() || method == "POST" || method == "PUT";
      if (sendBody) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(payload.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, payload.data());
        hop.uploadSize = static_cast<std::int64_t>(payload.size());
      } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
      }
      if (method != "GET" || sendBody) {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
      }
    }

    curl_slist* serverHeaders = nullptr;
    curl_slist* proxyHeaders = nullptr;
    bool hasAccept = false, hasExpect = false, hasContentType = false;
    for (const auto& [name, value] : headers_) {
      if (!sameHost && EqualsIgnoreCase(name, "Cookie")) continue;
      hasAccept = hasAccept || EqualsIgnoreCase(name, "Accept");
      hasExpect = hasExpect || EqualsIgnoreCase(name, "Expect");
      hasContentType = hasContentType || EqualsIgnoreCase(name, "Content-Type");
      // "Name;" is libcurl's way of sending a header with an empty value.
      const std::string line = value.empty() ? name + ";" : name + ": " + value;
      const bool forProxy = !proxy_.empty() && EqualsIgnoreCase(name, "Proxy-Authorization");
      curl_slist*& list = forProxy ? proxyHeaders : serverHeaders;
      list = curl_slist_append(list, line.c_str());
    }
    // Only what the caller set goes out, besides Host, Content-Length and the like.
    if (!hasAccept) serverHeaders = curl_slist_append(serverHeaders, "Accept:");
    if (!hasExpect) serverHeaders = curl_slist_append(serverHeaders, "Expect:");
    if (!hasContentType) serverHeaders = curl_slist_append(serverHeaders, "Content-Type:");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, serverHeaders);
    // Separate lists: the proxy's credential goes to the proxy (with a plain request and with the
    // CONNECT of a tunnel) and never through a tunnel to the server.
    curl_easy_setopt(c, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
    curl_easy_setopt(c, CURLOPT_PROXYHEADER, proxyHeaders);

    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &CurlHttpRequest::OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &hop);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CurlHttpRequest::OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &hop);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CurlHttpRequest::OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &hop);

    const CURLcode result = curl_easy_perform(c);
    long status = 0;
    long connectStatus = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(c, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_PROXYHEADER, nullptr);
    curl_slist_free_all(serverHeaders);
    curl_slist_free_all(proxyHeaders);

    if (result == CURLE_OK && status > 0) {
      status_ = static_cast<int>(status);
      received_ = true;
      return true;
    }
    if (result != CURLE_OK && connectStatus >= 300 && !hop.tooLarge &&
        !hop.idleTimedOut && headerStatus_ == connectStatus) {
      ClearBodyOnly();
      status_ = static_cast<int>(connectStatus);
      received_ = true;
      return true;
    }
    ClearResponse();
    return false;
  }

  void ClearBodyOnly() {
    body_.clear();
    body_.shrink_to_fit();
  }

  long ConnectLimitMs() const {
    if (connectMs_ <= 0) return kNoConnectLimitMs;
    return static_cast<long>(connectMs_) + std::max(resolveMs_, 0);
  }

  static CURLcode OnSslContext(CURL*, void* sslContext, void* data) {
    auto* self = static_cast<CurlHttpRequest*>(data);
    auto* ctx = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_ex_data(ctx, SslExIndex(), &self->connectionFlags_);
    SSL_CTX_set_default_verify_paths(ctx);
    if (!self->settings_.extraCaFile.empty()) {
      X509_STORE_load_file(SSL_CTX_get_cert_store(ctx), self->settings_.extraCaFile.c_str());
    }
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
    std::string host = self->tlsHost_;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
      host = host.substr(1, host.size() - 2);
    }
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
      X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, &VerifyCallback);
    return CURLE_OK;
  }

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* hop = static_cast<Hop*>(user);
    CurlHttpRequest* self = hop->self;
    const std::size_t n = size * count;
    hop->lastActivity = Clock::now();
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (StartsWithIgnoreCase(line, "HTTP/")) {
      // Each response (an interim 100, a proxy's answer to CONNECT, the final one) starts anew:
      // only the last one's headers are kept.
      self->headerBlock_.clear();
      self->headerStatus_ = 0;
      const std::size_t space = line.find(' ');
      if (space != std::string_view::npos) {
        self->headerStatus_ = std::atol(std::string(line.substr(space + 1, 3)).c_str());
      }
      return n;
    }
    if (line.empty()) return n;
    if (hop->expectBody && StartsWithIgnoreCase(line, "content-length:")) {
      const long long length = std::atoll(std::string(line.substr(15)).c_str());
      if (length > kMaxBody) {
        hop->tooLarge = true;
        return 0;
      }
    }
    self->headerBlock_.append(line);
    self->headerBlock_.append("\r\n");
    return n;
  }

  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* hop = static_cast<Hop*>(user);
    CurlHttpRequest* self = hop->self;
    const std::size_t n = size * count;
    hop->lastActivity = Clock::now();
    if (self->body_.empty()) {
      curl_off_t length = -1;
      curl_easy_getinfo(self->curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (length > 0) {
        ReserveBody(self->body_, static_cast<std::size_t>(std::min<std::int64_t>(length, kMaxReserve)));
      }
    }
    if (static_cast<std::int64_t>(self->body_.size() + n) > kMaxBody) {
      hop->tooLarge = true;
      return 0;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    self->body_.insert(self->body_.end(), bytes, bytes + n);
    return n;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto* hop = static_cast<Hop*>(user);
    CurlHttpRequest* self = hop->self;
    const Clock::time_point now = Clock::now();
    if (!hop->transferStarted) {
      // Until the connection (with its TLS handshake and proxy tunnel) stands, the connect limit
      // applies, which libcurl enforces itself.
      curl_off_t pretransfer = 0;
      curl_easy_getinfo(self->curl_, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
      if (pretransfer <= 0) return 0;
      hop->transferStarted = true;
      hop->lastActivity = now;
    }
    if (down != hop->lastDown || up != hop->lastUp) {
      hop->lastDown = down;
      hop->lastUp = up;
      hop->lastActivity = now;
    }
    const bool sending = hop->uploadSize > 0 && up < hop->uploadSize;
    const int limitMs = sending ? self->sendMs_ : self->receiveMs_;
    if (limitMs > 0 && now - hop->lastActivity > std::chrono::milliseconds(limitMs)) {
      hop->idleTimedOut = true;
      return 1;
    }
    return 0;
  }

  CURL* curl_;
  CurlComponentSettings settings_;

  // Settings that outlive Open.
  int resolveMs_ = 0;
  int connectMs_ = DEFAULT_CONNECT_TIMEOUT_MS;
  int sendMs_ = DEFAULT_SEND_TIMEOUT_MS;
  int receiveMs_ = DEFAULT_RECEIVE_TIMEOUT_MS;
  std::string proxy_;
  bool proxyRefused_ = false;
  bool followRedirects_ = true;
  int ignoreFlags_ = 0;
  int connectionFlags_ = -1;  // the ignore flags the cached connections were opened under

  // The request of the last Open.
  bool opened_ = false;
  std::string method_;
  Address address_;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::string tlsHost_;

  // The response.
  ByteArray body_;
  std::string headerBlock_;
  long headerStatus_ = 0;
  int status_ = 0;
  bool received_ = false;
};

HttpRequestComponentFactory& Factory() {
  static HttpRequestComponentFactory factory;
  return factory;
}

}  // namespace

std::shared_ptr<HttpRequestComponent> CreateCurlHttpRequestComponent(
    const CurlComponentSettings& settings) {
  GlobalInit();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return nullptr;
  return std::make_shared<CurlHttpRequest>(curl, settings);
}

std::shared_ptr<HttpRequestComponent> CreateHttpRequestComponent() {
  if (Factory()) return Factory()();
  return CreateCurlHttpRequestComponent();
}

void SetHttpRequestComponentFactory(HttpRequestComponentFactory factory) {
  Factory() = std::move(factory);
}

}  // namespace morvane
