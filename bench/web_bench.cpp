// WebRequest beside plain libcurl and the curl program, against a small server of our own on
// 127.0.0.1 that answers from memory:
//   * 2,000 sequential requests for a small page: WebRequest (a new component each call) beside
//     a fresh libcurl easy handle per request with the same headers;
//   * one 256 MiB body: WebRequest in a child process beside `curl -s -o /dev/null` of the same
//     address, in time and in peak memory (the children's maximum resident set).
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "web/web_request.h"

namespace morvane {
namespace {

constexpr std::size_t kBigSize = std::size_t{256} << 20;
constexpr int kSmallCalls = 2000;
const std::string kSmallPage(512, 's');

// Answers "/big" with kBigSize bytes and anything else with the small page, keep-alive, one
// connection at a time: the clients here are sequential.
class MemoryServer {
 public:
  MemoryServer() {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    listen(listen_, 128);
    // The server runs in a process of its own, so that its 256 MiB stay out of the memory figures
    // of the children that this process starts. It ends with this process.
    // The parent waits until the body is in memory, so that no measurement pays for filling it.
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      big_.assign(kBigSize, 'b');
      close(ready[1]);
      Run();
      _exit(0);
    }
    close(ready[1]);
    char ignored;
    while (read(ready[0], &ignored, 1) < 0 && errno == EINTR) {
    }
    close(ready[0]);
  }
  ~MemoryServer() {
    close(listen_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::string Url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void Run() {
    for (;;) {
      const int c = accept(listen_, nullptr, nullptr);
      if (c < 0) return;
      Serve(c);
      close(c);
    }
  }
  static bool SendAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
      const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
      if (sent <= 0) return false;
      data += sent;
      n -= static_cast<std::size_t>(sent);
    }
    return true;
  }
  void Serve(int c) {
    std::string buf;
    char chunk[8192];
    for (;;) {
      std::size_t end;
      while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = recv(c, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        buf.append(chunk, static_cast<std::size_t>(n));
      }
      const bool big = buf.compare(0, 9, "GET /big ") == 0;
      buf.erase(0, end + 4);
      const std::string& body = big ? big_ : kSmallPage;
      const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\n\r\n";
      if (!SendAll(c, head.data(), head.size()) || !SendAll(c, body.data(), body.size())) return;
    }
  }

  std::string big_;
  int listen_ = -1;
  int port_ = 0;
  pid_t pid_ = -1;
};

MemoryServer& Server() {
  static MemoryServer server;
  return server;
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void* total) {
  *static_cast<std::size_t*>(total) += size * count;
  return size * count;
}

void BM_WebRequestSmall(benchmark::State& state) {
  const Text url(Server().Url("/small"));
  for (auto _ : state) {
    for (int i = 0; i < kSmallCalls; ++i) {
      const ByteArray body = WebRequest({.url = url});
      if (body.size() != kSmallPage.size()) state.SkipWithError("short body");
    }
  }
}

void BM_CurlEasySmall(benchmark::State& state) {
  const std::string url = Server().Url("/small");
  const std::string referer = "Referer: " + url;
  for (auto _ : state) {
    for (int i = 0; i < kSmallCalls; ++i) {
      CURL* curl = curl_easy_init();
      curl_slist* headers = nullptr;
      headers = curl_slist_append(headers, "Accept: */*");
      headers = curl_slist_append(headers, referer.c_str());
      headers = curl_slist_append(headers, "Accept-Language: zh-cn");
      headers = curl_slist_append(headers,
                                  "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
      std::size_t total = 0;
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
      curl_easy_setopt(curl, CURLOPT_PROXY, "");
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &total);
      curl_easy_perform(curl);
      curl_easy_cleanup(curl);
      curl_slist_free_all(headers);
      if (total != kSmallPage.size()) state.SkipWithError("short body");
    }
  }
}

// Runs argv in a child process; returns its wall time in seconds and peak resident set in bytes.
bool RunChild(const std::vector<std::string>& args, double& seconds, long& peakBytes) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return false;
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  peakBytes = usage.ru_maxrss * 1024L;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long peakWebRequest = 0;
long peakCurl = 0;

void BigBody(benchmark::State& state, bool viaWebRequest, long& peak) {
  const std::string url = Server().Url("/big");
  std::string self(4096, '\0');
  self.resize(static_cast<std::size_t>(std::max<ssize_t>(0, readlink("/proc/self/exe", self.data(), self.size()))));
  const std::vector<std::string> args =
      viaWebRequest ? std::vector<std::string>{self, "--fetch", url}
                    : std::vector<std::string>{"curl", "-s", "-o", "/dev/null", url};
  for (auto _ : state) {
    double seconds = 0;
    long bytes = 0;
    if (!RunChild(args, seconds, bytes)) {
      state.SkipWithError("child failed");
      break;
    }
    state.SetIterationTime(seconds);
    peak = std::max(peak, bytes);
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / (1 << 20);
}

void BM_WebRequestBig(benchmark::State& state) { BigBody(state, true, peakWebRequest); }
void BM_CurlProgramBig(benchmark::State& state) { BigBody(state, false, peakCurl); }

// The child of BM_WebRequestBig: one request, success only when the whole body arrived.
int Fetch(const char* url) {
  const ByteArray body = WebRequest({.url = url, .timeoutSeconds = 60});
  return body.size() == kBigSize ? 0 : 1;
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  using namespace morvane;
  if (argc == 3 && std::strcmp(argv[1], "--fetch") == 0) return Fetch(argv[2]);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  Server();
  benchmark::RegisterBenchmark("curl_easy_2000_small", BM_CurlEasySmall)
      ->Unit(benchmark::kMillisecond)->Iterations(3);
  benchmark::RegisterBenchmark("web_request_2000_small", BM_WebRequestSmall)
      ->Unit(benchmark::kMillisecond)->Iterations(3);
  benchmark::RegisterBenchmark("curl_program_256MiB", BM_CurlProgramBig)
      ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
  benchmark::RegisterBenchmark("web_request_256MiB", BM_WebRequestBig)
      ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
  const int rc = bench::RunWithRatios(argc, argv,
                                      {{"web_request_2000_small/iterations:3",
                                        "curl_easy_2000_small/iterations:3", 1.2},
                                       {"web_request_256MiB/iterations:3/manual_time",
                                        "curl_program_256MiB/iterations:3/manual_time", 1.3}});
  const double bodyMiB = static_cast<double>(kBigSize) / (1 << 20);
  std::printf("%-44s %-36s %8.2f %6.1f%s\n", "peak memory of web_request_256MiB", "body size",
              static_cast<double>(peakWebRequest) / (1 << 20) / bodyMiB, 2.2,
              static_cast<double>(peakWebRequest) / (1 << 20) / bodyMiB > 2.2 ? "  (over)" : "");
  std::printf("(peak resident set: web_request %.0f MiB, curl program %.0f MiB, body %.0f MiB)\n",
              static_cast<double>(peakWebRequest) / (1 << 20),
              static_cast<double>(peakCurl) / (1 << 20), bodyMiB);
  curl_global_cleanup();
  return rc;
}
