// WebRequest over the real component, against the scripted server and a real proxy.
#include <gtest/gtest.h>

#include <string>

#include "platform/http_request_component.h"
#include "platform/posix/http_request_component_curl.h"
#include "servers/local_servers.h"
#include "web/web_request.h"

namespace morvane {
namespace {

using test::ScriptedServer;

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ScriptedServerEnvironment);

ScriptedServer& Server() { return ScriptedServer::Shared(); }
std::string AsString(const ByteArray& b) { return std::string(b.begin(), b.end()); }

class WebRequestServer : public ::testing::Test {
 protected:
  void SetUp() override { Server().TakeRequests(); }
};

TEST_F(WebRequestServer, ResolverCallSendsExactlyTheDefaults) {
  const std::string url = Server().Url("/respond?body=page&h=Set-Cookie:sid=1;%20Path=/");
  Text responseHeaders;
  Text returned;
  int status = 0;
  const ByteArray body = WebRequest({.url = Text(url),
                                     .returnedCookies = &returned,
                                     .responseHeaders = &responseHeaders,
                                     .status = &status});
  EXPECT_EQ(AsString(body), "page");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(responseHeaders, "Set-Cookie: sid=1; Path=/\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(returned, "sid=1");
  const auto r = Server().TakeRequests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].raw,
            "GET /respond?body=page&h=Set-Cookie:sid=1;%20Path=/ HTTP/1.1\r\n"
            "Host: 127.0.0.1:" + std::to_string(Server().Port()) + "\r\n"
            "Accept: */*\r\n"
            "Referer: " + url + "\r\n"
            "Accept-Language: zh-cn\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n\r\n");
}

TEST_F(WebRequestServer, FormPostAndCookiesCarriedAcrossCalls) {
  Text cookies = "old=1; sid=0";
  Text returned;
  WebRequest({.url = Text(Server().Url("/respond?h=Set-Cookie:sid=2&h=SET-COOKIE:old=deleted")),
              .method = 1,
              .postText = "a=1&b=\xC4\xE3",
              .cookies = &cookies,
              .returnedCookies = &returned});
  EXPECT_EQ(cookies, "sid=2");
  EXPECT_EQ(returned, "sid=2");
  WebRequest({.url = Text(Server().Url("/next")), .cookies = &cookies});
  const auto r = Server().TakeRequests();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].RequestLine().substr(0, 14), "POST /respond?");
  EXPECT_EQ(r[0].Header("Cookie"), "old=1; sid=0");
  EXPECT_EQ(r[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(r[0].Body(), "a=1&b=\xE4\xBD\xA0");
  EXPECT_EQ(r[1].Header("Cookie"), "sid=2");
}

TEST_F(WebRequestServer, RedirectsCertificatesAndErrors) {
  int status = 0;
  Text responseHeaders;
  // Redirects followed; certificate errors ignored on every request.
  EXPECT_EQ(AsString(WebRequest({.url = Text(Server().Url("/chain?n=2")), .status = &status})),
            "end of chain");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(AsString(WebRequest({.url = Text(Server().Url("/respond?body=tls", "expired"))})), "tls");
  EXPECT_EQ(AsString(WebRequest({.url = Text(Server().Url("/respond?body=tls", "wrong_host"))})), "tls");
  WebRequest({.url = Text(Server().Url("/chain?n=2")),
              .responseHeaders = &responseHeaders,
              .status = &status,
              .noRedirect = true});
  EXPECT_EQ(status, 302);
  EXPECT_EQ(responseHeaders, "Location: chain?n=1\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(AsString(WebRequest({.url = Text(Server().Url("/respond?status=500&body=bad")),
                                 .status = &status})),
            "bad");
  EXPECT_EQ(status, 500);
}

TEST_F(WebRequestServer, NoResponseLeavesEmptyResults) {
  for (const std::string& url : {Server().Url("/stall?seconds=6"), std::string("http://127.0.0.1:1/"),
                                Server().Url("/cut"), std::string("not an address")}) {
    SCOPED_TRACE(url);
    Text cookies = "a = 1";
    Text returned = "stale", responseHeaders = "stale";
    int status = 7;
    const ByteArray body = WebRequest({.url = Text(url),
                                       .cookies = &cookies,
                                       .returnedCookies = &returned,
                                       .responseHeaders = &responseHeaders,
                                       .status = &status,
                                       .timeoutSeconds = 1});
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(responseHeaders, "");
    EXPECT_EQ(returned, "a=1");
    EXPECT_EQ(cookies, "a=1");
  }
}

TEST_F(WebRequestServer, CallersInstanceKeepsItsSettings) {
  std::shared_ptr<HttpRequestComponent> mine = CreateHttpRequestComponent();
  int status = 0;
  WebRequest({.url = Text(Server().Url("/chain?n=1")), .status = &status, .noRedirect = true,
              .requestObject = mine});
  EXPECT_EQ(status, 302);
  // Redirects stay off on the caller's instance although this call does not ask for it.
  WebRequest({.url = Text(Server().Url("/chain?n=1")), .status = &status, .requestObject = mine});
  EXPECT_EQ(status, 302);
  EXPECT_EQ(mine->Status(), 302);
  EXPECT_EQ(mine->ResponseBody(), ByteArray());  // the 302 of /chain has an empty body
  WebRequest({.url = Text(Server().Url("/respond?body=kept")), .requestObject = mine});
  EXPECT_EQ(AsString(mine->ResponseBody()), "kept");
  WebRequest({.url = Text(Server().Url("/chain?n=1")), .status = &status});
  EXPECT_EQ(status, 200);
  EXPECT_EQ(mine.use_count(), 1);
}

class WebRequestProxy : public WebRequestServer {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(proxy.Start("web", "pass123")); }
  static void TearDownTestSuite() { proxy.Stop(); }
  static inline test::Tinyproxy proxy;
};

TEST_F(WebRequestProxy, BasicCredentialsForPlainAndTunnel) {
  const Text proxyName(std::string("127.0.0.1:") + std::to_string(proxy.Port()));
  for (const std::string& kind : {std::string("http"), std::string("good")}) {
    SCOPED_TRACE(kind);
    int status = 0;
    const std::string url = Server().Url("/respond?body=proxied", kind);
    EXPECT_EQ(AsString(WebRequest({.url = Text(url), .status = &status, .proxy = proxyName,
                                   .proxyUser = "web", .proxyPassword = "pass123"})),
              "proxied");
    EXPECT_EQ(status, 200);
    const auto r = Server().TakeRequests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_FALSE(r[0].HasHeader("Proxy-Authorization"));

    WebRequest({.url = Text(url), .status = &status, .proxy = proxyName, .proxyUser = "web",
                .proxyPassword = "wrong"});
    EXPECT_EQ(status, 401);  // tinyproxy's answer to credentials it does not know
    WebRequest({.url = Text(url), .status = &status, .proxy = proxyName, .proxyUser = "web",
                .proxyPassword = "pass123", .proxyAuthMode = 2});
    EXPECT_EQ(status, 407);
    EXPECT_TRUE(Server().TakeRequests().empty());
  }
}

}  // namespace
}  // namespace morvane
