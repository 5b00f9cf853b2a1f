// Whole-program tests: a private X display (Xvfb) for the test binary, and
// copies of the program started on it with a private data folder, found by
// their windows and driven with xdotool.
#pragma once

#include <string>
#include <sys/types.h>

// An Xvfb server on a free display number, started at construction and
// stopped at destruction; DISPLAY is set for the processes the test starts.
class XvfbDisplay {
 public:
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// One running copy of the program.
class ProgramCopy {
 public:
  // Starts program on display with XDG_DATA_HOME set to dataHome.
  ProgramCopy(const std::string& program, const XvfbDisplay& display, const std::string& dataHome);
  // Ends the copy if it still runs.
  ~ProgramCopy();
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  pid_t Pid() const { return pid_; }
  // The id of the copy's first visible window, waiting up to timeoutSeconds;
  // empty when none shows.
  std::string WaitForWindow(int timeoutSeconds) const;
  // The title of a window.
  std::string WindowTitle(const std::string& window) const;
  // Moves the pointer into the window and presses Return there.
  void PressReturnIn(const std::string& window) const;
  // Whether the process is still running (it has not exited).
  bool Running();
  // Waits up to timeoutSeconds for the process to exit; its exit status, or
  // -1 when it did not exit or was ended by a signal.
  int WaitForExit(int timeoutSeconds);

 private:
  std::string Xdotool(const std::string& arguments) const;

  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
  std::string display_;
};

// A fresh empty folder under /tmp, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
