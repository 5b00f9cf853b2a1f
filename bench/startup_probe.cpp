// Starts a start-up probe and its floor in turn, each of them runs times, and
// reports for each the best time from exec to exit and the lowest peak
// resident memory (wait4's ru_maxrss), then the two ratios. Taking turns
// spreads the noise of a shared machine over both alike.
//
//   startup_probe RUNS FLOOR_PROGRAM PROGRAM
//
// Prints "startup_ms FLOOR PROGRAM RATIO" and "peak_rss_kb FLOOR PROGRAM
// RATIO", one line each, after a line per run.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

extern char** environ;

namespace {

struct RunFigures {
  double milliseconds = 0;
  long peakKilobytes = 0;
  bool exitedCleanly = false;
};

RunFigures RunOnce(const char* program) {
  RunFigures figures;
  char* const argv[] = {const_cast<char*>(program), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, program, nullptr, nullptr, argv, environ) != 0) return figures;
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return figures;
  const auto end = std::chrono::steady_clock::now();
  figures.milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
  figures.peakKilobytes = usage.ru_maxrss;
  figures.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return figures;
}

struct Best {
  double milliseconds = std::numeric_limits<double>::max();
  long peakKilobytes = std::numeric_limits<long>::max();

  void Add(const RunFigures& run) {
    milliseconds = std::min(milliseconds, run.milliseconds);
    peakKilobytes = std::min(peakKilobytes, run.peakKilobytes);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s RUNS FLOOR_PROGRAM PROGRAM\n", argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const char* floorProgram = argv[2];
  const char* program = argv[3];
  Best floor;
  Best subject;
  for (int run = 0; run < runs; ++run) {
    const RunFigures floorRun = RunOnce(floorProgram);
    const RunFigures subjectRun = RunOnce(program);
    if (!floorRun.exitedCleanly || !subjectRun.exitedCleanly) {
      std::fprintf(stderr, "run %d: a probe did not exit cleanly at its first paint\n", run + 1);
      return 1;
    }
    std::printf("run %d: floor %.1f ms %ld KB, program %.1f ms %ld KB\n", run + 1,
                floorRun.milliseconds, floorRun.peakKilobytes, subjectRun.milliseconds,
                subjectRun.peakKilobytes);
    floor.Add(floorRun);
    subject.Add(subjectRun);
  }
  std::printf("startup_ms %.1f %.1f %.3f\n", floor.milliseconds, subject.milliseconds,
              subject.milliseconds / floor.milliseconds);
  std::printf("peak_rss_kb %ld %ld %.3f\n", floor.peakKilobytes, subject.peakKilobytes,
              static_cast<double>(subject.peakKilobytes) /
                  static_cast<double>(floor.peakKilobytes));
  return 0;
}
