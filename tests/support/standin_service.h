// The stand-in tracking service (tools/standin_service.py) as a child process
// of a test: started on a free loopback port, its request lines read back
// from its log, stopped with SIGTERM when the object goes.
#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

class StandinService {
 public:
  // Starts the service and waits for its address; aborts the test binary when
  // it does not come up.
  StandinService();
  ~StandinService();
  StandinService(const StandinService&) = delete;
  StandinService& operator=(const StandinService&) = delete;

  // "http://127.0.0.1:PORT", for http_proxy.
  const std::string& Address() const { return address_; }
  // The sample tracking numbers it printed after its address.
  std::vector<std::string> Samples() const;

  // The request lines received so far, in order ("GET target HTTP/1.1"),
  // bytes outside ASCII written as \xNN.
  std::vector<std::string> RequestLines() const;
  // Forgets the requests received so far.
  void ClearRequests();

 private:
  pid_t pid_ = -1;
  std::string address_;
  std::string logPath_;
  std::string outputPath_;
};
