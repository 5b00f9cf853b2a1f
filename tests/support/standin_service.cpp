#include "support/standin_service.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::string_view kAddressPrefix = "listening on ";
constexpr std::string_view kSamplePrefix = "sample: ";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "stand-in service: %s\n", what);
  std::abort();
}

std::string TempPath(const char* prefix) {
  std::string path = std::string("/tmp/") + prefix + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) Fail("no temporary file");
  close(fd);
  return path;
}

std::vector<std::string> LinesOf(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace

StandinService::StandinService()
    : logPath_(TempPath("standin-requests")), outputPath_(TempPath("standin-output")) {
  const std::string script = std::string(PARCELTRACE_SOURCE_DIR) + "/tools/standin_service.py";
  pid_ = fork();
  if (pid_ < 0) Fail("fork failed");
  if (pid_ == 0) {
    // The service must not outlive the test, nor hold the test's output open
    // should the test die: the runner waits for every writer to go.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (!std::freopen(outputPath_.c_str(), "w", stdout)) _exit(126);
    if (!std::freopen("/dev/null", "w", stderr)) _exit(126);
    execlp("python3", "python3", "-u", script.c_str(), "--port", "0", "--log", logPath_.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  // Up to ten seconds for the service to print its address.
  for (int attempt = 0; attempt < 1000 && address_.empty(); ++attempt) {
    for (const std::string& line : LinesOf(outputPath_)) {
      if (line.rfind(kAddressPrefix, 0) == 0) address_ = line.substr(kAddressPrefix.size());
    }
    if (address_.empty()) usleep(10 * 1000);
  }
  if (address_.empty()) Fail("no address printed");
}

StandinService::~StandinService() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  std::remove(logPath_.c_str());
  std::remove(outputPath_.c_str());
}

std::vector<std::string> StandinService::Samples() const {
  std::vector<std::string> samples;
  for (const std::string& line : LinesOf(outputPath_)) {
    if (line.rfind(kSamplePrefix, 0) == 0) samples.push_back(line.substr(kSamplePrefix.size()));
  }
  return samples;
}

std::vector<std::string> StandinService::RequestLines() const { return LinesOf(logPath_); }

void StandinService::ClearRequests() { std::ofstream(logPath_, std::ios::trunc); }
