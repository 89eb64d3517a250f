#include "servers/local_servers.h"

#include "servers/free_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace morvane::test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string MakeTempDir(const char* prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

std::string Base64Decode(const std::string& in) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (char c : in) {
    const std::size_t p = alphabet.find(c);
    if (p == std::string::npos) continue;
    value = (value << 6) | static_cast<unsigned>(p);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

// Starts argv[0] with the given pipes as stdin and stdout (-1: inherit); it dies with us.
pid_t Spawn(const std::vector<std::string>& args, int in, int out) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (in >= 0) dup2(in, 0);
  if (out >= 0) dup2(out, 1);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void StopProcess(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

bool CanConnect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}


}  // namespace

std::string RecordedRequest::RequestLine() const { return raw.substr(0, raw.find("\r\n")); }

std::string RecordedRequest::Head() const {
  const std::size_t end = raw.find("\r\n\r\n");
  return end == std::string::npos ? raw : raw.substr(0, end + 2);
}

std::string RecordedRequest::Body() const {
  const std::size_t end = raw.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : raw.substr(end + 4);
}

std::string RecordedRequest::Header(const std::string& name) const {
  const std::string head = Head();
  const std::string sought = Lower(name) + ":";
  std::size_t start = head.find("\r\n") + 2;
  while (start < head.size()) {
    const std::size_t end = head.find("\r\n", start);
    const std::string line = head.substr(start, end - start);
    if (Lower(line).rfind(sought, 0) == 0) {
      std::string value = line.substr(sought.size());
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      return value;
    }
    start = end + 2;
  }
  return {};
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  return Lower(Head()).find("\r\n" + Lower(name) + ":") != std::string::npos;
}

ScriptedServer& ScriptedServer::Shared() {
  static ScriptedServer server;
  return server;
}

bool ScriptedServer::Start() {
  if (pid_ > 0) return true;
  dir_ = MakeTempDir("morvane-server-");
  int in[2], out[2];
  if (dir_.empty() || pipe(in) != 0 || pipe(out) != 0) return false;
  pid_ = Spawn({"python3", MORVANE_SOURCE_DIR "/tests/servers/scripted_server.py", "--dir", dir_},
               in[0], out[1]);
  close(in[0]);
  close(out[1]);
  toServer_ = in[1];
  fromServer_ = out[0];
  const std::string line = ReadLine();
  // {"ports": {"http": 1, "good": 2, ...}, "ca": "/path"}
  std::size_t p = line.find('{', 1);
  const std::size_t portsEnd = line.find('}', p);
  while (p != std::string::npos && p < portsEnd) {
    const std::size_t nameStart = line.find('"', p);
    if (nameStart == std::string::npos || nameStart > portsEnd) break;
    const std::size_t nameEnd = line.find('"', nameStart + 1);
    const std::size_t colon = line.find(':', nameEnd);
    ports_.emplace_back(line.substr(nameStart + 1, nameEnd - nameStart - 1),
                        std::atoi(line.c_str() + colon + 1));
    p = line.find(',', colon);
  }
  const std::size_t ca = line.find("\"ca\": \"");
  if (ca != std::string::npos) {
    caFile_ = line.substr(ca + 7, line.find('"', ca + 7) - ca - 7);
  }
  return Port("http") > 0;
}

void ScriptedServer::Stop() {
  if (toServer_ >= 0) close(toServer_);
  if (fromServer_ >= 0) close(fromServer_);
  toServer_ = fromServer_ = -1;
  StopProcess(pid_);
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
  ports_.clear();
}

int ScriptedServer::Port(const std::string& kind) const {
  for (const auto& [name, port] : ports_) {
    if (name == kind) return port;
  }
  return 0;
}

std::string ScriptedServer::Url(const std::string& path, const std::string& kind,
                                const std::string& host) const {
  return (kind == "http" ? "http://" : "https://") + host + ":" + std::to_string(Port(kind)) + path;
}

std::vector<RecordedRequest> ScriptedServer::TakeRequests() {
  std::vector<RecordedRequest> out;
  const std::string command = "requests\n";
  if (write(toServer_, command.data(), command.size()) != static_cast<ssize_t>(command.size())) {
    return out;
  }
  const std::string line = ReadLine();
  std::size_t p = 0;
  while ((p = line.find('"', p)) != std::string::npos) {
    const std::size_t end = line.find('"', p + 1);
    out.push_back({Base64Decode(line.substr(p + 1, end - p - 1))});
    p = end + 1;
  }
  return out;
}

std::string ScriptedServer::ReadLine() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (pending_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fromServer_, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) continue;
    char buf[65536];
    const ssize_t n = read(fromServer_, buf, sizeof buf);
    if (n <= 0) break;
    pending_.append(buf, static_cast<std::size_t>(n));
  }
  const std::size_t nl = pending_.find('\n');
  if (nl == std::string::npos) return {};
  std::string line = pending_.substr(0, nl);
  pending_.erase(0, nl + 1);
  return line;
}

void ScriptedServerEnvironment::SetUp() {
  ASSERT_TRUE(ScriptedServer::Shared().Start()) << "the scripted server did not start";
}

void ScriptedServerEnvironment::TearDown() { ScriptedServer::Shared().Stop(); }

bool Tinyproxy::Start(const std::string& user, const std::string& password) {
  if (pid_ > 0) return true;
  dir_ = MakeTempDir("morvane-proxy-");
  // tinyproxy takes its port from the configuration: take a free one, and try again should
  // another process grab it first.
  for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
    port_ = FreePort();
    const std::string conf = dir_ + "/tinyproxy.conf";
    std::ofstream(conf) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 10\nMaxClients 20\n"
                        << "Allow 127.0.0.1\nBasicAuth " << user << " " << password << "\n"
                        << "LogLevel Critical\nDisableViaHeader Yes\n";
    pid_ = Spawn({"tinyproxy", "-d", "-c", conf}, -1, -1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!CanConnect(port_) && std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid_ > 0 && !CanConnect(port_)) StopProcess(pid_);
  }
  return pid_ > 0;
}

void Tinyproxy::Stop() {
  StopProcess(pid_);
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}

}  // namespace morvane::test
