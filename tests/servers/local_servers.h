// Local servers that the HTTP tests start and stop themselves, on 127.0.0.1 with free ports:
// the scripted server (scripted_server.py, HTTP plus one HTTPS listener per certificate case) and
// a real proxy (tinyproxy with Basic authentication), each in a temporary folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace morvane::test {

// One request as the server received it, byte for byte.
struct RecordedRequest {
  std::string raw;

  std::string RequestLine() const;  // without CR LF
  std::string Head() const;         // request line and header lines, CR LF after each
  std::string Body() const;
  // The value of the first header of that name (letter case ignored); empty when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

class ScriptedServer {
 public:
  // The instance that ScriptedServerEnvironment starts before the first test of the process.
  static ScriptedServer& Shared();

  bool Start();
  void Stop();
  ~ScriptedServer() { Stop(); }

  // kind: "http", "good", "unknown_ca", "expired", "wrong_host", "wrong_usage", "client_cert".
  int Port(const std::string& kind = "http") const;
  // "http(s)://host:port" followed by path, e.g. Url("/respond?status=404").
  std::string Url(const std::string& path, const std::string& kind = "http",
                  const std::string& host = "127.0.0.1") const;
  const std::string& CaFile() const { return caFile_; }

  // Every request received since the last call, oldest first.
  std::vector<RecordedRequest> TakeRequests();

 private:
  std::string ReadLine();

  pid_t pid_ = -1;
  int toServer_ = -1;
  int fromServer_ = -1;
  std::string pending_;
  std::string dir_;
  std::string caFile_;
  std::vector<std::pair<std::string, int>> ports_;
};

class ScriptedServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

// tinyproxy on a free port, asking for Basic credentials user:password.
class Tinyproxy {
 public:
  bool Start(const std::string& user, const std::string& password);
  void Stop();
  ~Tinyproxy() { Stop(); }
  int Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string dir_;
};

}  // namespace morvane::test
