// The libcurl component against the scripted server and a real proxy, all on 127.0.0.1.
#include "platform/http_request_component.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/http_request_component_curl.h"
#include "servers/local_servers.h"

namespace morvane {
namespace {

using test::RecordedRequest;
using test::ScriptedServer;

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ScriptedServerEnvironment);

ScriptedServer& Server() { return ScriptedServer::Shared(); }

std::string AsString(const ByteArray& b) { return std::string(b.begin(), b.end()); }

// A component that trusts the test CA besides the system's store.
std::shared_ptr<HttpRequestComponent> Make() {
  return CreateCurlHttpRequestComponent({.extraCaFile = Server().CaFile()});
}

struct Result {
  bool sent;
  std::string body;
  std::string headers;
  int status;
};

Result Read(HttpRequestComponent& c, bool sent) {
  return {sent, AsString(c.ResponseBody()), c.GetAllResponseHeaders().str(), c.Status()};
}

Result Get(HttpRequestComponent& c, const std::string& url) {
  EXPECT_TRUE(c.Open("GET", Text(url), false)) << url;
  return Read(c, c.SendText(""));
}

void ExpectFailed(const Result& r) {
  EXPECT_FALSE(r.sent);
  EXPECT_EQ(r.body, "");
  EXPECT_EQ(r.headers, "");
  EXPECT_EQ(r.status, 0);
}

class HttpComponent : public ::testing::Test {
 protected:
  void SetUp() override {
    Server().TakeRequests();  // forget what earlier tests left
    c = Make();
    ASSERT_NE(c, nullptr);
    c->SetTimeouts(2000, 2000, 2000, 2000);
  }
  std::shared_ptr<HttpRequestComponent> c;
};

TEST_F(HttpComponent, PlainGetSendsOnlyWhatWasAsked) {
  ASSERT_TRUE(c->Open("GET", Text(Server().Url("/respond?h=X-Reply:%201&body=hi")), false));
  EXPECT_TRUE(c->SetRequestHeader("X-A", "1"));
  EXPECT_TRUE(c->SetRequestHeader("X-Empty", ""));
  const Result r = Read(*c, c->SendText(""));
  EXPECT_TRUE(r.sent);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "hi");
  EXPECT_EQ(r.headers, "X-Reply: 1\r\nContent-Length: 2\r\n\r\n");
  const auto requests = Server().TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].raw, "GET /respond?h=X-Reply:%201&body=hi HTTP/1.1\r\nHost: 127.0.0.1:" +
                                 std::to_string(Server().Port()) +
                                 "\r\nX-A: 1\r\nX-Empty:\r\n\r\n");
}

TEST_F(HttpComponent, BodiesAndMethods) {
  // Text goes out as UTF-8, bytes unchanged; no Content-Type or Expect is added.
  ASSERT_TRUE(c->Open("POST", Text(Server().Url("/")), false));
  EXPECT_TRUE(c->SendText("a\xC4\xE3"));
  std::string big(3 << 20, 'b');
  big[7] = '\0';
  ASSERT_TRUE(c->Open("PUT", Text(Server().Url("/")), false));
  EXPECT_TRUE(c->SendBytes(ByteArray(big.begin(), big.end())));
  ASSERT_TRUE(c->Open("PUT", Text(Server().Url("/")), false));
  EXPECT_TRUE(c->SendText(""));
  ASSERT_TRUE(c->Open("DELETE", Text(Server().Url("/")), false));
  EXPECT_TRUE(c->SendText(""));
  ASSERT_TRUE(c->Open("HEAD", Text(Server().Url("/respond?body=abc")), false));
  const Result head = Read(*c, c->SendText(""));
  EXPECT_TRUE(head.sent);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(head.headers, "Content-Length: 3\r\n\r\n");

  const auto r = Server().TakeRequests();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].RequestLine(), "POST / HTTP/1.1");
  EXPECT_EQ(r[0].Body(), "a\xE4\xBD\xA0");
  EXPECT_EQ(r[0].Header("Content-Length"), "4");
  EXPECT_FALSE(r[0].HasHeader("Content-Type"));
  EXPECT_EQ(r[1].Body(), big);
  EXPECT_FALSE(r[1].HasHeader("Expect"));
  EXPECT_EQ(r[2].RequestLine(), "PUT / HTTP/1.1");
  EXPECT_EQ(r[2].Header("Content-Length"), "0");
  EXPECT_EQ(r[3].RequestLine(), "DELETE / HTTP/1.1");
  EXPECT_FALSE(r[3].HasHeader("Content-Length"));
  EXPECT_EQ(r[4].RequestLine(), "HEAD /respond?body=abc HTTP/1.1");
}

TEST_F(HttpComponent, ErrorStatusIsAResponse) {
  for (const int status : {404, 500}) {
    SCOPED_TRACE(status);
    const Result r = Get(*c, Server().Url("/respond?status=" + std::to_string(status) +
                                          "&body=why&h=Set-Cookie:a=1&h=set-cookie:b=2"));
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.body, "why");
    EXPECT_EQ(r.headers, "Set-Cookie: a=1\r\nset-cookie: b=2\r\nContent-Length: 3\r\n\r\n");
  }
}

TEST_F(HttpComponent, NothingDecodedNoEncodingAsked) {
  const Result r = Get(*c, Server().Url("/respond?h=Content-Encoding:gzip&body=not%20gzip"));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "not gzip");
  EXPECT_FALSE(Server().TakeRequests().at(0).HasHeader("Accept-Encoding"));
}

TEST_F(HttpComponent, AddressIsPercentEncoded) {
  const std::string base = Server().Url("");
  Get(*c, base + "/a b\"<>\\^`{|}\x01\x7F/%41%zz/\xC4\xE3?q=1 2&r=\xA1\xA1#frag");
  const auto r = Server().TakeRequests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].RequestLine(),
            "GET /a%20b%22%3C%3E%5C%5E%60%7B%7C%7D%01%7F/%41%zz/%E4%BD%A0?q=1%202&r=%E3%80%80 "
            "HTTP/1.1");
}

TEST_F(HttpComponent, OpenRefusesWhatItCannotRequest) {
  struct Row {
    const char* method;
    std::string url;
    bool async;
  } rows[] = {
      {"GET", "ftp://127.0.0.1/x", false},
      {"GET", "file:///etc/passwd", false},
      {"GET", "127.0.0.1/no-scheme", false},
      {"GET", "", false},
      {"G T", Server().Url("/"), false},
      {"", Server().Url("/"), false},
      {"GET", Server().Url("/"), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url + " " + row.method);
    EXPECT_FALSE(c->Open(row.method, Text(row.url), row.async));
    EXPECT_FALSE(c->SetRequestHeader("X", "1"));
    ExpectFailed(Read(*c, c->SendText("")));
  }
  EXPECT_TRUE(Server().TakeRequests().empty());
}

TEST_F(HttpComponent, RequestHeaderRules) {
  ASSERT_TRUE(c->Open("GET", Text(Server().Url("/")), false));
  EXPECT_FALSE(c->SetRequestHeader("X-Bad\r\nInjected", "1"));
  EXPECT_FALSE(c->SetRequestHeader("X-Bad", "1\r\nInjected: 2"));
  EXPECT_FALSE(c->SetRequestHeader("X-Bad", "1\nInjected: 2"));
  EXPECT_FALSE(c->SetRequestHeader("", "v"));
  EXPECT_TRUE(c->SetRequestHeader("X-Same", "1"));
  EXPECT_TRUE(c->SetRequestHeader("x-same", "2"));
  EXPECT_TRUE(c->SetRequestHeader("X-Other", "\xC4\xE3"));
  EXPECT_TRUE(c->SendText(""));
  // A second Open forgets the headers of the first request.
  ASSERT_TRUE(c->Open("GET", Text(Server().Url("/second")), false));
  EXPECT_TRUE(c->SendText(""));

  const auto r = Server().TakeRequests();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].Head(), "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(Server().Port()) +
                             "\r\nx-same: 2\r\nX-Other: \xE4\xBD\xA0\r\n");
  EXPECT_FALSE(r[1].HasHeader("x-same"));
}

TEST_F(HttpComponent, Redirects) {
  const std::string http = Server().Url("");
  const std::string https = Server().Url("", "good");
  auto to = [](const std::string& url) { return "/redirect?to=" + url; };
  struct Row {
    const char* what;
    std::string url;
    bool follow;
    bool sent;
    int status;
    std::string body;
    int requests;
  } rows[] = {
      {"chain of 3, relative", http + "/chain?n=3", true, true, 200, "end of chain", 4},
      {"chain of 10", http + "/chain?n=10", true, true, 200, "end of chain", 11},
      {"chain of 11 fails", http + "/chain?n=11", true, false, 0, "", 11},
      {"loop fails", http + "/loop", true, false, 0, "", 11},
      {"not followed", http + "/chain?n=3", false, true, 302, "", 1},
      {"http to https", http + to(https + "/respond%3Fbody%3Dsecure"), true, true, 200, "secure", 2},
      {"https to http is returned", https + to(http + "/"), true, true, 302, "moved", 1},
      {"other scheme is returned", http + to("ftp://127.0.0.1/"), true, true, 302, "moved", 1},
      {"absolute path", http + to("/respond%3Fbody%3Dthere"), true, true, 200, "there", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto fresh = Make();
    fresh->SetTimeouts(2000, 2000, 2000, 2000);
    if (!row.follow) fresh->SetOption(HttpRequestComponent::OPTION_ENABLE_REDIRECTS, 0);
    const Result r = Get(*fresh, row.url);
    EXPECT_EQ(r.sent, row.sent);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.body, row.body);
    EXPECT_EQ(Server().TakeRequests().size(), static_cast<std::size_t>(row.requests));
    if (row.status == 200) {
      EXPECT_EQ(r.headers.find("Location"), std::string::npos) << r.headers;
    }
  }
}

TEST_F(HttpComponent, RedirectKeepsHeadersButNotCookiesForAnotherHost) {
  const std::string localhost = Server().Url("/elsewhere", "http", "localhost");
  for (const bool otherHost : {false, true}) {
    SCOPED_TRACE(otherHost);
    ASSERT_TRUE(c->Open("GET",
                        Text(Server().Url("/redirect?to=" + (otherHost ? localhost : std::string("/same")))),
                        false));
    c->SetRequestHeader("Cookie", "s=1");
    c->SetRequestHeader("X-Keep", "k");
    EXPECT_TRUE(c->SendText(""));
    const auto r = Server().TakeRequests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].Header("Cookie"), "s=1");
    EXPECT_EQ(r[1].Header("X-Keep"), "k");
    EXPECT_EQ(r[1].HasHeader("Cookie"), !otherHost);
    EXPECT_EQ(r[1].Header("Host"), (otherHost ? "localhost:" : "127.0.0.1:") +
                                       std::to_string(Server().Port()));
  }
}

TEST_F(HttpComponent, RedirectMethodAndBody) {
  struct Row {
    int code;
    std::string method;
    std::string wantMethod;
    bool bodyKept;
  } rows[] = {
      {302, "POST", "GET", false}, {301, "POST", "GET", false}, {303, "PUT", "GET", false},
      {307, "POST", "POST", true}, {308, "PUT", "PUT", true},   {302, "PUT", "PUT", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.code) + " " + row.method);
    ASSERT_TRUE(c->Open(Text(row.method),
                        Text(Server().Url("/redirect?to=/next&code=" + std::to_string(row.code))),
                        false));
    EXPECT_TRUE(c->SendText("data"));
    const auto r = Server().TakeRequests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].RequestLine(), row.wantMethod + " /next HTTP/1.1");
    EXPECT_EQ(r[1].Body(), row.bodyKept ? "data" : "");
  }
}

TEST_F(HttpComponent, IdleTimeouts) {
  c->SetTimeouts(1000, 1000, 1000, 1000);
  // Nothing comes back, or the body stops halfway: the exchange ends and counts as failed.
  ExpectFailed(Get(*c, Server().Url("/stall?seconds=8")));
  ExpectFailed(Get(*c, Server().Url("/stall-body?seconds=8")));
  // Bytes that keep coming, each well within the limit, take longer than the limit in all.
  const Result drip = Get(*c, Server().Url("/drip?n=6&interval=0.3"));
  EXPECT_TRUE(drip.sent);
  EXPECT_EQ(drip.body, "dddddd");
}

// A listener that never accepts: the TCP connection is made by the kernel, the TLS handshake
// never answered. Only the connect limit can end that; without it the test would hang.
TEST_F(HttpComponent, ConnectLimitCoversTheTlsHandshake) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
  ASSERT_EQ(listen(fd, 8), 0);
  c->SetTimeouts(0, 1000, 600000, 600000);
  ExpectFailed(Get(*c, "https://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/"));
  close(fd);
}

TEST_F(HttpComponent, BrokenBodies) {
  ExpectFailed(Get(*c, Server().Url("/cut")));
  // A body longer than a signed 32-bit length can hold fails at once, without trying.
  ExpectFailed(Get(*c, Server().Url("/huge-length")));
  // A refused connection.
  ExpectFailed(Get(*c, "http://127.0.0.1:1/"));
}

TEST_F(HttpComponent, CertificateErrors) {
  using C = HttpRequestComponent;
  struct Row {
    const char* kind;
    int ownFlag;  // the one flag that excuses this kind; 0: none does
  } rows[] = {
      {"unknown_ca", C::IGNORE_UNKNOWN_CA},   {"expired", C::IGNORE_CERT_DATE_INVALID},
      {"wrong_host", C::IGNORE_CERT_CN_INVALID}, {"wrong_usage", C::IGNORE_WRONG_USAGE},
      {"client_cert", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    const std::string url = Server().Url("/respond?body=tls", row.kind);
    for (const int flags : {0, C::IGNORE_ALL_CERT_ERRORS & ~row.ownFlag, row.ownFlag,
                            C::IGNORE_ALL_CERT_ERRORS}) {
      SCOPED_TRACE(flags);
      auto fresh = Make();
      fresh->SetTimeouts(2000, 2000, 2000, 2000);
      EXPECT_TRUE(fresh->SetOption(C::OPTION_SSL_ERROR_IGNORE_FLAGS, flags));
      const Result r = Get(*fresh, url);
      const bool excused = row.ownFlag != 0 && (flags & row.ownFlag) != 0;
      EXPECT_EQ(r.sent, excused);
      EXPECT_EQ(r.body, excused ? "tls" : "");
    }
  }
  // A good certificate passes with no flag; without the test CA its issuer is unknown.
  EXPECT_EQ(Get(*c, Server().Url("/respond?body=tls", "good")).body, "tls");
  auto system = CreateCurlHttpRequestComponent();
  system->SetTimeouts(2000, 2000, 2000, 2000);
  ExpectFailed(Get(*system, Server().Url("/", "good")));
  system->SetOption(C::OPTION_SSL_ERROR_IGNORE_FLAGS, C::IGNORE_UNKNOWN_CA);
  EXPECT_TRUE(Get(*system, Server().Url("/", "good")).sent);
}

TEST_F(HttpComponent, CertificateCheckedAgainWhenFlagsChange) {
  const std::string url = Server().Url("/", "expired");
  c->SetOption(HttpRequestComponent::OPTION_SSL_ERROR_IGNORE_FLAGS,
               HttpRequestComponent::IGNORE_ALL_CERT_ERRORS);
  EXPECT_TRUE(Get(*c, url).sent);
  c->SetOption(HttpRequestComponent::OPTION_SSL_ERROR_IGNORE_FLAGS, 0);
  ExpectFailed(Get(*c, url));
}

class HttpComponentProxy : public HttpComponent {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(proxy.Start("puser", "psecret")); }
  static void TearDownTestSuite() { proxy.Stop(); }
  static inline test::Tinyproxy proxy;
  static constexpr const char* kCredential = "Basic cHVzZXI6cHNlY3JldA==";  // puser:psecret
};

TEST_F(HttpComponentProxy, PlainRequestThroughProxy) {
  for (const std::string form : {"127.0.0.1:", "http://127.0.0.1:"}) {
    SCOPED_TRACE(form);
    ASSERT_TRUE(c->SetProxy(2, Text(form + std::to_string(proxy.Port()))));
    ASSERT_TRUE(c->Open("GET", Text(Server().Url("/respond?body=via")), false));
    c->SetRequestHeader("Proxy-Authorization", kCredential);
    const Result r = Read(*c, c->SendText(""));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "via");
    ASSERT_EQ(Server().TakeRequests().size(), 1u);
  }
  // Without the credential the proxy answers itself and the server sees nothing.
  ASSERT_TRUE(c->Open("GET", Text(Server().Url("/")), false));
  const Result refused = Read(*c, c->SendText(""));
  EXPECT_EQ(refused.status, 407);
  EXPECT_TRUE(Server().TakeRequests().empty());
}

TEST_F(HttpComponentProxy, TunnelCarriesCredentialOnlyToProxy) {
  c->SetProxy(2, Text("127.0.0.1:" + std::to_string(proxy.Port())));
  ASSERT_TRUE(c->Open("GET", Text(Server().Url("/respond?body=tunnel", "good")), false));
  c->SetRequestHeader("Proxy-Authorization", kCredential);
  c->SetRequestHeader("X-Keep", "k");
  const Result r = Read(*c, c->SendText(""));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "tunnel");
  const auto requests = Server().TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].HasHeader("Proxy-Authorization"));
  EXPECT_EQ(requests[0].Header("X-Keep"), "k");

  // The proxy refuses the tunnel: its answer is the response. (A new instance: the one above
  // keeps its tunnel open for the next request.)
  auto fresh = Make();
  fresh->SetProxy(2, Text("127.0.0.1:" + std::to_string(proxy.Port())));
  ASSERT_TRUE(fresh->Open("GET", Text(Server().Url("/", "good")), false));
  const Result refused = Read(*fresh, fresh->SendText(""));
  EXPECT_EQ(refused.status, 407);
  EXPECT_EQ(refused.body, "");
  EXPECT_NE(refused.headers.find("Proxy-Authenticate: Basic"), std::string::npos) << refused.headers;
  EXPECT_TRUE(Server().TakeRequests().empty());
}

TEST_F(HttpComponentProxy, EnvironmentProxyIgnoredAndDirectAgain) {
  const std::string viaProxy = "http://127.0.0.1:" + std::to_string(proxy.Port());
  setenv("http_proxy", viaProxy.c_str(), 1);
  setenv("HTTPS_PROXY", viaProxy.c_str(), 1);
  setenv("ALL_PROXY", viaProxy.c_str(), 1);
  EXPECT_EQ(Get(*c, Server().Url("/respond?body=direct")).body, "direct");
  // Setting 1 after a proxy goes back to direct connections.
  c->SetProxy(2, Text("127.0.0.1:" + std::to_string(proxy.Port())));
  c->SetProxy(1, "");
  EXPECT_EQ(Get(*c, Server().Url("/respond?body=direct")).body, "direct");
  unsetenv("http_proxy");
  unsetenv("HTTPS_PROXY");
  unsetenv("ALL_PROXY");
  const auto r = Server().TakeRequests();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1].RequestLine(), "GET /respond?body=direct HTTP/1.1");
}

TEST_F(HttpComponent, RefusedProxyNeverMeansDirect) {
  for (const char* bad : {"", "socks5://127.0.0.1:1", "https://127.0.0.1:1", "u:p@127.0.0.1:1",
                          "127.0.0.1:1/path", "a b:1"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(c->SetProxy(2, bad));
    ExpectFailed(Get(*c, Server().Url("/")));
  }
  EXPECT_TRUE(Server().TakeRequests().empty());
  EXPECT_TRUE(c->SetProxy(2, "127.0.0.1"));
  EXPECT_TRUE(c->SetProxy(2, "HTTP://[::1]:3128/"));
  EXPECT_FALSE(c->SetProxy(3, "127.0.0.1:1"));
  EXPECT_TRUE(c->SetProxy(1, ""));
  EXPECT_EQ(Get(*c, Server().Url("/")).body, "ok");
}

TEST(HttpComponentFactory, TestsCanMakeCreationFail) {
  SetHttpRequestComponentFactory([] { return std::shared_ptr<HttpRequestComponent>(); });
  EXPECT_EQ(CreateHttpRequestComponent(), nullptr);
  SetHttpRequestComponentFactory({});
  EXPECT_NE(CreateHttpRequestComponent(), nullptr);
}

}  // namespace
}  // namespace morvane
