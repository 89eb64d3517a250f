#include "service_stub_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace morvane::test_support {
namespace {

std::string StubScript() {
  const char* source = std::getenv("MORVANE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/servers/service_stub.py";
}

}  // namespace

ServiceStubProcess::ServiceStubProcess(bool tls) : tls_(tls) {
  char folder[] = "/tmp/morvane_stub_XXXXXX";
  if (!mkdtemp(folder)) return;
  folder_ = folder;
  log_ = folder_ + "/requests.log";
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const std::string script = StubScript();
  std::vector<const char*> argv = {"python3", "-B", script.c_str(), "--log", log_.c_str()};
  if (tls_) argv.push_back("--tls");
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char* const*>(argv.data()),
                   environ) == 0) {
    pid_ = pid;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  stdin_ = in[1];
  // "PORT n" once the stub listens; bounded so that a broken stub fails the test, not hangs it.
  std::string line;
  pollfd ready{out[0], POLLIN, 0};
  while (pid_ > 0 && line.find('\n') == std::string::npos && poll(&ready, 1, 60000) > 0) {
    char buffer[64];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
}

ServiceStubProcess::~ServiceStubProcess() {
  if (stdin_ >= 0) close(stdin_);  // the stub stops when its input ends
  if (pid_ > 0) {
    int status = 0;
    // Bounded: after a while the stub is ended by force.
    for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(25000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

std::string ServiceStubProcess::Base() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<ReceivedRequest> ServiceStubProcess::Requests() const {
  std::vector<ReceivedRequest> requests;
  std::ifstream log(log_, std::ios::binary);
  std::string line;
  while (std::getline(log, line)) {
    if (line.rfind("REQUEST ", 0) == 0) {
      ReceivedRequest request;
      const std::size_t space = line.find(' ', 8);
      request.method = line.substr(8, space - 8);
      request.target = space == std::string::npos ? "" : line.substr(space + 1);
      requests.push_back(std::move(request));
    } else if (line.rfind("H ", 0) == 0 && !requests.empty()) {
      const std::size_t colon = line.find(": ", 2);
      requests.back().headers.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
    }
  }
  return requests;
}

std::string PercentDecoded(const std::string& target) {
  std::string out;
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] == '%' && i + 2 < target.size()) {
      out += static_cast<char>(std::stoi(target.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += target[i];
    }
  }
  return out;
}

}  // namespace morvane::test_support
