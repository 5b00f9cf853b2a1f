// Start-up as a whole process: the program started on a private X display
// with a private data folder, as a user would start it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

#include "skin/skin_blocks.h"
#include "support/program_session.h"

namespace {

const std::string kProgram = PARCELTRACE_PROGRAM;
constexpr int kWindowTimeoutSeconds = 60;
constexpr int kExitTimeoutSeconds = 30;

XvfbDisplay& Display() {
  static XvfbDisplay display;
  return display;
}

std::string WindowsFolder(const TempFolder& data) {
  return data.Path() + "/parceltrace/drive_c/Windows";
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Block(const unsigned char* bytes, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes), size);
}

unsigned Mode(const std::string& path) {
  struct stat info{};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

bool MapsLibrary(pid_t pid, const std::string& path) {
  return ReadWholeFile("/proc/" + std::to_string(pid) + "/maps").find(path) != std::string::npos;
}

TEST(StartupTest, WritesBothFilesOverLongerOldOnesAndLoadsTheWrittenLibrary) {
  TempFolder data;
  const std::string windows = WindowsFolder(data);
  std::filesystem::create_directories(windows);
  const std::string library = Block(kSkinLibraryBlock, kSkinLibraryBlockSize);
  const std::string skin = Block(kSkinFileBlock, kSkinFileBlockSize);
  // Longer old files full of garbage: a copy loaded before the write would fail.
  WriteWholeFile(windows + "/jedata.dll", std::string(library.size() + 4096, 'x'));
  WriteWholeFile(windows + "/win8.she", std::string(skin.size() + 4096, 'y'));

  ProgramCopy copy(kProgram, Display(), data.Path());
  const std::string window = copy.WaitForWindow(kWindowTimeoutSeconds);
  ASSERT_FALSE(window.empty());
  EXPECT_NE(copy.WindowTitle(window).find("parceltrace"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(windows + "/jedata.dll"), library);
  EXPECT_EQ(ReadWholeFile(windows + "/win8.she"), skin);
  EXPECT_TRUE(MapsLibrary(copy.Pid(), windows + "/jedata.dll"));
  EXPECT_TRUE(copy.Running());
}

TEST(StartupTest, CreatesItsFoldersPrivate) {
  TempFolder data;
  ProgramCopy copy(kProgram, Display(), data.Path());
  ASSERT_FALSE(copy.WaitForWindow(kWindowTimeoutSeconds).empty());
  EXPECT_EQ(Mode(data.Path() + "/parceltrace"), 0700u);
  EXPECT_EQ(Mode(data.Path() + "/parceltrace/drive_c"), 0700u);
  EXPECT_EQ(Mode(WindowsFolder(data)), 0700u);
}

TEST(StartupTest, MissingLibraryStopsWithAnErrorBoxAndStatus255) {
  TempFolder data;
  // A folder where the library should be: the write fails, nothing loads.
  std::filesystem::create_directories(WindowsFolder(data) + "/jedata.dll");

  ProgramCopy copy(kProgram, Display(), data.Path());
  const std::string box = copy.WaitForWindow(kWindowTimeoutSeconds);
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(copy.WindowTitle(box), "错误");
  EXPECT_TRUE(copy.Running());
  copy.PressReturnIn(box);
  EXPECT_EQ(copy.WaitForExit(kExitTimeoutSeconds), 255);
}

TEST(StartupTest, SecondCopyStartsWhileTheFirstRuns) {
  TempFolder data;
  ProgramCopy first(kProgram, Display(), data.Path());
  ASSERT_FALSE(first.WaitForWindow(kWindowTimeoutSeconds).empty());
  const std::string library = ReadWholeFile(WindowsFolder(data) + "/jedata.dll");

  // The second copy cannot write the library the first has loaded; it loads
  // that one and starts all the same.
  ProgramCopy second(kProgram, Display(), data.Path());
  const std::string window = second.WaitForWindow(kWindowTimeoutSeconds);
  ASSERT_FALSE(window.empty());
  EXPECT_NE(second.WindowTitle(window).find("parceltrace"), std::string::npos);
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(second.Running());
  EXPECT_EQ(ReadWholeFile(WindowsFolder(data) + "/jedata.dll"), library);
}

}  // namespace
