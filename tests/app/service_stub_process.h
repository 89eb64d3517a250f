// The service stand-in (tests/servers/service_stub.py) as a child process of a C++ test: started on
// 127.0.0.1 at a free port, over HTTP or HTTPS, and stopped when the object goes. Each request it
// received can be read back, in order, as it arrived.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace morvane::test_support {

struct ReceivedRequest {
  std::string method;
  std::string target;  // as on the request line, still percent-encoded
  std::vector<std::pair<std::string, std::string>> headers;  // in the order received
};

class ServiceStubProcess {
 public:
  explicit ServiceStubProcess(bool tls);
  ~ServiceStubProcess();
  ServiceStubProcess(const ServiceStubProcess&) = delete;
  ServiceStubProcess& operator=(const ServiceStubProcess&) = delete;

  bool started() const { return port_ > 0; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string Base() const;
  std::vector<ReceivedRequest> Requests() const;

 private:
  bool tls_;
  int pid_ = -1;
  int stdin_ = -1;
  int port_ = 0;
  std::string folder_;
  std::string log_;
};

// The bytes a percent-encoded target stands for.
std::string PercentDecoded(const std::string& target);

}  // namespace morvane::test_support
