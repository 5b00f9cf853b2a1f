#include "support/program_session.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kFirstDisplayNumber = 140;
constexpr int kDisplayNumbersTried = 60;
constexpr useconds_t kPollInterval = 50 * 1000;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "program session: %s\n", what);
  std::abort();
}

bool DisplaySocketExists(int number) {
  struct stat info{};
  return stat(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), &info) == 0;
}

bool DisplayTaken(int number) {
  struct stat info{};
  return DisplaySocketExists(number) ||
         stat(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), &info) == 0;
}

// In a child about to exec: ends with the test, and keeps none of the test's
// output open, since the test runner waits for every writer of it to go.
void DetachFromTestOutput() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
}

std::string ShellOutput(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

}  // namespace

XvfbDisplay::XvfbDisplay() {
  // Test programs run side by side: each starts its search at its own place.
  int number = kFirstDisplayNumber + static_cast<int>(getpid() % 400);
  for (int tried = 0; DisplayTaken(number) && tried < kDisplayNumbersTried; ++tried) ++number;
  name_ = ":" + std::to_string(number);
  pid_ = fork();
  if (pid_ < 0) Fail("fork failed");
  if (pid_ == 0) {
    DetachFromTestOutput();
    execlp("Xvfb", "Xvfb", name_.c_str(), "-screen", "0", "1024x768x24", "-noreset", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int attempt = 0; attempt < 200 && !DisplaySocketExists(number); ++attempt) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) Fail("Xvfb ended at start");
    usleep(kPollInterval);
  }
  if (!DisplaySocketExists(number)) Fail("Xvfb did not start");
  setenv("DISPLAY", name_.c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

ProgramCopy::ProgramCopy(const std::string& program, const XvfbDisplay& display,
                         const std::string& dataHome)
    : display_(display.Name()) {
  pid_ = fork();
  if (pid_ < 0) Fail("fork failed");
  if (pid_ == 0) {
    setenv("DISPLAY", display_.c_str(), 1);
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("http_proxy");
    DetachFromTestOutput();
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

ProgramCopy::~ProgramCopy() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string ProgramCopy::Xdotool(const std::string& arguments) const {
  return ShellOutput("DISPLAY=" + display_ + " xdotool " + arguments + " 2>/dev/null");
}

std::string ProgramCopy::WaitForWindow(int timeoutSeconds) const {
  const int attempts = timeoutSeconds * 1000000 / static_cast<int>(kPollInterval);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    const std::string windows = Xdotool("search --onlyvisible --pid " + std::to_string(pid_));
    if (!windows.empty()) return windows.substr(0, windows.find('\n'));
    usleep(kPollInterval);
  }
  return {};
}

std::string ProgramCopy::WindowTitle(const std::string& window) const {
  return Xdotool("getwindowname " + window);
}

void ProgramCopy::PressReturnIn(const std::string& window) const {
  // Without a window manager the keyboard follows the pointer.
  Xdotool("mousemove --window " + window + " 10 10");
  Xdotool("key Return");
}

bool ProgramCopy::Running() {
  if (exited_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    exited_ = true;
    status_ = status;
  }
  return !exited_;
}

int ProgramCopy::WaitForExit(int timeoutSeconds) {
  const int attempts = timeoutSeconds * 1000000 / static_cast<int>(kPollInterval);
  for (int attempt = 0; attempt < attempts && Running(); ++attempt) usleep(kPollInterval);
  if (!exited_ || !WIFEXITED(status_)) return -1;
  return WEXITSTATUS(status_);
}

TempFolder::TempFolder() {
  char path[] = "/tmp/parceltrace-test-XXXXXX";
  if (!mkdtemp(path)) Fail("mkdtemp failed");
  path_ = path;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
