#include "web/web_request.h"

#include <climits>
#include <utility>

#include "platform/http_request_component.h"
#include "text/helpers.h"
#include "web/cookies.h"
#include "web/header_block.h"

namespace morvane {
namespace {

constexpr int kDefaultTimeoutMs = 15000;

// Calls on an instance that may be missing: a caller's requestObject can hold none, and then every
// step fails quietly and yields the empty value of its kind, as a failing component call does.
class Instance {
 public:
  explicit Instance(std::shared_ptr<HttpRequestComponent> component)
      : component_(std::move(component)) {}

  void SetTimeouts(int ms) {
    if (component_) component_->SetTimeouts(ms, ms, ms, ms);
  }
  void SetProxy(const Text& proxy) {
    if (component_) component_->SetProxy(HttpRequestComponent::PROXY_SETTING_PROXY, proxy);
  }
  void Open(const Text& method, const Text& url) {
    if (component_) component_->Open(method, url, false);
  }
  void SetOption(int index, int value) {
    if (component_) component_->SetOption(index, value);
  }
  void SetRequestHeader(const Text& name, const Text& value) {
    if (component_) component_->SetRequestHeader(name, value);
  }
  void Send(const ByteArray& bytes, const Text& text) {
    if (!component_) return;
    if (!bytes.empty()) {
      component_->SendBytes(bytes);
    } else {
      component_->SendText(text);
    }
  }
  ByteArray ResponseBody(bool onlyUser) {
    if (!component_) return {};
    return onlyUser ? component_->TakeResponseBody() : component_->ResponseBody();
  }
  Text GetAllResponseHeaders() { return component_ ? component_->GetAllResponseHeaders() : Text(); }
  int Status() { return component_ ? component_->Status() : 0; }
  void Release() { component_.reset(); }

 private:
  std::shared_ptr<HttpRequestComponent> component_;
};

// Seconds above what milliseconds in a signed 32-bit integer can hold give the largest value.
int TimeoutMs(int timeoutSeconds) {
  if (timeoutSeconds < 1) return kDefaultTimeoutMs;
  if (timeoutSeconds > INT_MAX / 1000) return INT_MAX;
  return timeoutSeconds * 1000;
}

}  // namespace

ByteArray WebRequest(const WebRequestParams& params) {
  const bool autoMergeCookies = params.autoMergeCookies.value_or(true);
  const int method = params.method < 0 || params.method > 7 ? 0 : params.method;
  const Text methodText = METHOD_NAMES[static_cast<std::size_t>(method)];

  std::shared_ptr<HttpRequestComponent> component;
  if (params.requestObject.has_value()) {
    component = *params.requestObject;  // the caller's instance, even when it holds none
  } else {
    component = CreateHttpRequestComponent();
    if (!component) return {};  // nothing of the caller's is written
  }
  Instance instance(std::move(component));

  if (params.timeoutSeconds != -1) instance.SetTimeouts(TimeoutMs(params.timeoutSeconds));

  Text proxyCredential;
  if (!params.proxy.empty()) {
    instance.SetProxy(params.proxy);
    if (!params.proxyUser.empty() && params.proxyAuthMode.value_or(1) == 1) {
      proxyCredential = ConcatText(
          "Basic ",
          Base64Encode(ToBytes(ConcatText(params.proxyUser, ":", params.proxyPassword))));
    }
  }

  instance.Open(methodText, params.url);
  if (params.noRedirect) instance.SetOption(HttpRequestComponent::OPTION_ENABLE_REDIRECTS, 0);
  instance.SetOption(HttpRequestComponent::OPTION_SSL_ERROR_IGNORE_FLAGS,
                     HttpRequestComponent::IGNORE_ALL_CERT_ERRORS);

  Text headers = params.headers ? *params.headers : Text();
  CompleteDefaultHeaders(headers, params.url, method);
  if (params.headers) *params.headers = headers;

  if (!proxyCredential.empty()) instance.SetRequestHeader("Proxy-Authorization", proxyCredential);
  if (params.cookies && !params.cookies->empty()) instance.SetRequestHeader("Cookie", *params.cookies);
  for (const auto& [name, value] : HeaderPairs(headers)) instance.SetRequestHeader(name, value);

  instance.Send(params.postBytes, params.postText);

  // An instance of the routine's own is released below, so its body can move out rather than be
  // copied; the caller's instance keeps its body readable.
  ByteArray body = instance.ResponseBody(!params.requestObject.has_value());
  const Text responseHeaders =
      ReplaceText(instance.GetAllResponseHeaders(), "Set-Cookie", "Set-Cookie", 1, -1, false);
  if (params.responseHeaders) *params.responseHeaders = responseHeaders;
  const int status = instance.Status();
  if (params.status) *params.status = status;

  Text returnedCookies = CaptureResponseCookies(responseHeaders);
  if (autoMergeCookies && params.cookies) {
    returnedCookies = MergeCookies(*params.cookies, returnedCookies);
  }
  if (params.returnedCookies) *params.returnedCookies = std::move(returnedCookies);

  instance.Release();
  return body;
}

}  // namespace morvane
