// The two programs as a user meets them, each beside a baseline run in the same process:
//   * morvane-resolve on a share link whose page is 1 MiB, beside curl of the same link piped
//     into grep for the marker (both start a process, fetch through a redirect and search);
//   * the window from the start of the process to the window system mapping it, on a virtual
//     display, beside a minimal Qt Widgets program doing the same, bare and with one label (the
//     first text a Qt program shows loads the fonts, which the bare window never does).
// The service stand-in and the virtual display are started here and stopped at the end.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"

extern char** environ;

namespace morvane {
namespace {

constexpr const char* IDENT = "Ab3_Ef5GhIjKlMnOpQrStUvWxYz01234";

// A child process with its standard input and output as given; -1 leaves them alone.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
            int stdinFd = -1, int stdoutFd = -1, const std::vector<int>& keepFds = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdinFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  for (int fd : keepFds) fcntl(fd, F_SETFD, 0);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
  for (const auto& e : extraEnv) envStore.push_back(e);
  std::vector<char*> env;
  for (auto& e : envStore) env.push_back(e.data());
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// Reads one line from a pipe, giving up after the bound.
std::string ReadLine(int fd, int seconds) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char c;
  while (std::chrono::steady_clock::now() < end) {
    const ssize_t n = read(fd, &c, 1);
    if (n == 1) {
      if (c == '\n') break;
      line += c;
    } else if (n == 0) {
      break;
    }
  }
  return line;
}

struct Services {
  pid_t stub = -1, xvfb = -1;
  int stubStdin = -1;
  std::string base, display;

  bool Start() {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) return false;
    stub = Spawn({"python3", MORVANE_SERVICE_STUB}, {}, in[0], out[1]);
    close(in[0]);
    close(out[1]);
    stubStdin = in[1];
    const std::string ready = ReadLine(out[0], 60);
    close(out[0]);
    if (ready.rfind("PORT ", 0) != 0) return false;
    base = "http://127.0.0.1:" + ready.substr(5);

    int displayPipe[2];
    if (pipe2(displayPipe, O_CLOEXEC)) return false;
    xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(displayPipe[1]), "-screen", "0",
                  "1280x800x24", "-nolisten", "tcp"},
                 {}, -1, open("/dev/null", O_WRONLY | O_CLOEXEC), {displayPipe[1]});
    close(displayPipe[1]);
    const std::string number = ReadLine(displayPipe[0], 60);
    close(displayPipe[0]);
    if (number.empty()) return false;
    display = ":" + number;
    return true;
  }
  ~Services() {
    if (stubStdin >= 0) close(stubStdin);  // the stub ends when its input does
    if (stub > 0) Wait(stub);
    if (xvfb > 0) {
      kill(xvfb, SIGTERM);
      Wait(xvfb);
    }
  }
};

Services* services = nullptr;

void RunToEnd(benchmark::State& state, const std::vector<std::string>& argv) {
  const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(argv, {}, -1, devnull);
    const int status = pid > 0 ? Wait(pid) : -1;
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (status != 0) {
      state.SkipWithError("the program failed");
      break;
    }
  }
  close(devnull);
}

// From spawning the program to the window system mapping its top-level window.
void StartToShown(benchmark::State& state, const std::vector<std::string>& argv) {
  xcb_connection_t* connection = xcb_connect(services->display.c_str(), nullptr);
  if (xcb_connection_has_error(connection)) {
    state.SkipWithError("no display");
    return;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection);
  const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid =
        Spawn(argv, {"DISPLAY=" + services->display, "QT_QPA_PLATFORM=xcb"}, -1, devnull);
    bool mapped = false;
    while (!mapped) {
      xcb_generic_event_t* event = xcb_wait_for_event(connection);
      if (!event) break;
      mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY;
      free(event);
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    kill(pid, SIGTERM);
    Wait(pid);
    if (!mapped) {
      state.SkipWithError("no window was mapped");
      break;
    }
  }
  close(devnull);
  xcb_disconnect(connection);
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  using namespace morvane;
  Services running;
  if (!running.Start()) {
    std::fprintf(stderr, "app_bench: could not start the service stand-in or the display\n");
    return 1;
  }
  services = &running;
  const std::string link = running.base + "/big/" + IDENT;
  benchmark::RegisterBenchmark("resolve_1MiB/morvane-resolve",
                               [link](benchmark::State& s) {
                                 RunToEnd(s, {MORVANE_RESOLVE_PROGRAM, link});
                               })
      ->UseManualTime()
      ->Iterations(20)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(
      "resolve_1MiB/curl_grep",
      [link](benchmark::State& s) {
        RunToEnd(s, {"sh", "-c", "curl -sL \"$0\" | grep -o 'uri\":\"[A-Za-z0-9_]\\{32\\}'", link});
      })
      ->UseManualTime()
      ->Iterations(20)
      ->Unit(benchmark::kMillisecond);
  const std::vector<std::pair<std::string, std::vector<std::string>>> windows = {
      {"morvane", {MORVANE_WINDOW_PROGRAM}},
      {"minimal_qt", {MORVANE_MINIMAL_WINDOW}},
      {"minimal_qt_text", {MORVANE_MINIMAL_WINDOW, "text"}},
  };
  for (const auto& [name, command] : windows) {
    benchmark::RegisterBenchmark(("window_start_to_shown/" + name).c_str(),
                                 [command](benchmark::State& s) { StartToShown(s, command); })
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kMillisecond);
  }
  return bench::RunWithRatios(
      argc, argv,
      {{"resolve_1MiB/morvane-resolve/iterations:20/manual_time",
        "resolve_1MiB/curl_grep/iterations:20/manual_time", 1.2},
       {"window_start_to_shown/morvane/iterations:20/manual_time",
        "window_start_to_shown/minimal_qt/iterations:20/manual_time", 1.3},
       {"window_start_to_shown/morvane/iterations:20/manual_time",
        "window_start_to_shown/minimal_qt_text/iterations:20/manual_time", 1.3}});
}
