// The Resolve command end to end: real pattern matching and real requests against the local
// service stand-in over HTTP and HTTPS, with two boxes standing in for the window.
#include "app/share_link_resolver.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/code_page.h"
#include "servers/free_port.h"
#include "service_stub_process.h"
#include "web/web_request.h"

namespace morvane {
namespace {

using test_support::ReceivedRequest;
using test_support::ServiceStubProcess;

constexpr const char* IDENT = "Ab3_Ef5GhIjKlMnOpQrStUvWxYz01234";
constexpr const char* IDENT2 = "ZYXWVUTSRQPONMLKJIHGFEDCBA_98765";

class Boxes : public BoxAccess {
 public:
  Text input;
  Text result = "left over from before";
  int reads = 0, writes = 0;
  Text GetBoxText(Box box) override {
    ++reads;
    return box == Box::INPUT ? input : result;
  }
  void SetBoxText(Box box, const Text& text) override {
    ++writes;
    (box == Box::INPUT ? input : result) = text;
  }
};

// One stand-in over each scheme for the whole test program.
ServiceStubProcess* httpStub = nullptr;
ServiceStubProcess* httpsStub = nullptr;

class Stubs : public ::testing::Environment {
 public:
  void SetUp() override {
    httpStub = new ServiceStubProcess(false);
    httpsStub = new ServiceStubProcess(true);
    ASSERT_TRUE(httpStub->started());
    ASSERT_TRUE(httpsStub->started());
  }
  void TearDown() override {
    delete httpStub;
    delete httpsStub;
  }
};
const auto* const stubs = ::testing::AddGlobalTestEnvironment(new Stubs);

Text Utf8(const std::string& s) { return FromUtf8(s); }


struct Outcome {
  Text result;
  std::vector<ReceivedRequest> requests;  // what this run sent
  int reads, writes;
};

Outcome Resolve(ServiceStubProcess& stub, const Text& input, PageFetch fetch = FetchPage) {
  const std::size_t before = stub.Requests().size();
  Boxes boxes;
  boxes.input = input;
  ShareLinkResolver(boxes, std::move(fetch)).Resolve();
  auto all = stub.Requests();
  return {boxes.result,
          {all.begin() + static_cast<long>(before), all.end()},
          boxes.reads,
          boxes.writes};
}

TEST(ShareLinkResolver, FindsTheIdentifierBehindTheLink) {
  for (ServiceStubProcess* stub : {httpStub, httpsStub}) {
    const std::string base = stub->Base();
    const std::string link = base + "/s/" + IDENT;
    struct Row {
      std::string name;
      std::string input;        // UTF-8, as pasted
      std::string firstTarget;  // percent-decoded target of the first request
      std::string identifier;
    } rows[] = {
        {"bare link", link, std::string("/s/") + IDENT, IDENT},
        {"share text with words after the link",
         "【好看】周末去爬山 " + link + " 复制此链接，打开应用查看",
         std::string("/s/") + IDENT + " 复制此链接，打开应用查看", IDENT},
        {"scheme in capitals", "看看 HTTP" + link.substr(4), std::string("/s/") + IDENT, IDENT},
        {"two links on one line: the first runs over the second",
         link + " 和 " + base + "/s/" + IDENT2,
         std::string("/s/") + IDENT + " 和 " + base + "/s/" + IDENT2, IDENT},
        {"the link ends at the end of its line, CR LF included",
         "第一行\r\n" + link + "\r\n下一行 " + base + "/s/" + IDENT2, std::string("/s/") + IDENT,
         IDENT},
    };
    for (const Row& row : rows) {
      SCOPED_TRACE(base + ": " + row.name);
      const Outcome run = Resolve(*stub, Utf8(row.input));
      EXPECT_EQ(run.result, ConcatText(PLAY_ADDRESS_PREFIX, Text(row.identifier)));
      ASSERT_EQ(run.requests.size(), 2u);  // the short link, then the page it redirects to
      EXPECT_EQ(test_support::PercentDecoded(run.requests[0].target), row.firstTarget);
      EXPECT_EQ(run.requests[1].target, std::string("/v/") + row.identifier);
      EXPECT_EQ(run.reads, 1);
      EXPECT_EQ(run.writes, 1);
    }
  }
}

TEST(ShareLinkResolver, GivesThePrefixAloneWhenAnythingFails) {
  const std::string base = httpStub->Base();
  struct Row {
    std::string name;
    std::string input;
    std::size_t requests;
  } rows[] = {
      {"empty input: nothing is sent", "", 0},
      {"no link in the text: nothing is sent", "只有文字，没有链接 htt://x", 0},
      {"page without the marker", base + "/nomarker/x", 1},
      {"not found", base + "/gone/x", 1},
      {"refused connection", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/s/x", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Outcome run = Resolve(*httpStub, Utf8(row.input));
    EXPECT_EQ(run.result, Text(PLAY_ADDRESS_PREFIX));  // the old result is replaced all the same
    EXPECT_EQ(run.requests.size(), row.requests);
    EXPECT_EQ(run.writes, 1);
  }
}

TEST(ShareLinkResolver, ServerThatNeverAnswers) {
  // The command's own time-out is 15 seconds; the fetch seam shortens it to one.
  const Outcome run =
      Resolve(*httpStub, Utf8(httpStub->Base() + "/silent/x"),
              [](const Text& link) { return WebRequest({.url = link, .timeoutSeconds = 1}); });
  EXPECT_EQ(run.result, Text(PLAY_ADDRESS_PREFIX));
  ASSERT_EQ(run.requests.size(), 1u);
  EXPECT_EQ(run.requests[0].target, "/silent/x");
}

TEST(ShareLinkResolver, SendsAPlainGetWithTheDefaultHeaders) {
  for (ServiceStubProcess* stub : {httpStub, httpsStub}) {
    SCOPED_TRACE(stub->Base());
    const std::string link = stub->Base() + "/s/" + IDENT;
    const Outcome run = Resolve(*stub, Utf8(link));
    ASSERT_FALSE(run.requests.empty());
    const ReceivedRequest& request = run.requests[0];
    EXPECT_EQ(request.method, "GET");
    // The four default headers, in this order; the HTTP layer adds Host and the like on its own.
    std::vector<std::pair<std::string, std::string>> defaults;
    for (const auto& header : request.headers) {
      for (const char* name : {"Accept", "Referer", "Accept-Language", "User-Agent"}) {
        if (strcasecmp(header.first.c_str(), name) == 0) defaults.push_back(header);
      }
    }
    const std::vector<std::pair<std::string, std::string>> want = {
        {"Accept", "*/*"},
        {"Referer", link},
        {"Accept-Language", "zh-cn"},
        {"User-Agent", "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
    };
    EXPECT_EQ(defaults, want);
  }
}

TEST(ShareLinkResolver, IdentifierRules) {
  // Canned pages through the fetch seam: which marker wins and how much of the identifier is taken.
  const std::string id40 = std::string(IDENT) + "EXTRA123";
  struct Row {
    std::string name;
    std::string page;
    std::string identifier;  // empty: the prefix alone
  } rows[] = {
      {"more than 32 word characters: the first 32", R"("uri":")" + id40 + "\"", IDENT},
      {"a short one first, a full one later",
       R"("uri":"short","uri":")" + std::string(IDENT2) + "\"", IDENT2},
      {"marker in capitals", R"("URI":")" + std::string(IDENT) + "\"", IDENT},
      {"a zero byte before the marker", std::string("a\0b", 3) + R"("uri":")" + IDENT, ""},
      {"31 characters only", R"("uri":")" + std::string(IDENT).substr(1) + "\"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Boxes boxes;
    boxes.input = "http://127.0.0.1:1/s/x";
    Text asked;
    ShareLinkResolver(boxes, [&](const Text& link) {
      asked = link;
      return ByteArray(row.page.begin(), row.page.end());
    }).Resolve();
    EXPECT_EQ(asked, Text("http://127.0.0.1:1/s/x"));
    EXPECT_EQ(boxes.result, ConcatText(PLAY_ADDRESS_PREFIX, Text(row.identifier)));
  }
}

}  // namespace
}  // namespace morvane
