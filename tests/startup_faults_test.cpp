// Start-up when its files cannot be written or are bad, and with several
// copies running: whole processes on a private X display. A copy either
// starts normally or stops with the error box and status 255; none crashes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/skin_blocks.h"
#include "support/program_session.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = PARCELTRACE_PROGRAM;
constexpr int kWindowTimeoutSeconds = 60;
constexpr int kExitTimeoutSeconds = 30;
const char* const kErrorBoxTitle = "错误";

XvfbDisplay& Display() {
  static XvfbDisplay display;
  return display;
}

std::string Block(const unsigned char* bytes, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes), size);
}

void WriteWholeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Holds a shared lock on a file, as a running copy holds its library: no
// copy can replace the file while the lock is held.
class SharedLock {
 public:
  explicit SharedLock(const fs::path& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0 || flock(fd_, LOCK_SH | LOCK_NB) != 0) ADD_FAILURE() << "cannot lock " << path;
  }
  ~SharedLock() {
    if (fd_ >= 0) close(fd_);
  }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;

 private:
  int fd_;
};

struct Folders {
  fs::path layer;    // $XDG_DATA_HOME/parceltrace
  fs::path drive;    // .../drive_c
  fs::path windows;  // .../drive_c/Windows
};

Folders FoldersIn(const TempFolder& data) {
  const fs::path layer = fs::path(data.Path()) / "parceltrace";
  return {layer, layer / "drive_c", layer / "drive_c" / "Windows"};
}

void MakePrivateFolder(const fs::path& path) {
  fs::create_directories(path);
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace);
}

enum class Outcome { StartsNormally, StopsWithErrorBox };

// Runs one copy and checks that it ends the way expected.
void ExpectOutcome(const std::string& dataHome, Outcome expected) {
  ProgramCopy copy(kProgram, Display(), dataHome);
  const std::string window = copy.WaitForWindow(kWindowTimeoutSeconds);
  ASSERT_FALSE(window.empty());
  if (expected == Outcome::StartsNormally) {
    EXPECT_NE(copy.WindowTitle(window).find("parceltrace"), std::string::npos);
    EXPECT_TRUE(copy.Running());
    return;
  }
  EXPECT_EQ(copy.WindowTitle(window), kErrorBoxTitle);
  copy.PressReturnIn(window);
  EXPECT_EQ(copy.WaitForExit(kExitTimeoutSeconds), 255);
}

TEST(StartupFaultsTest, UnwritableOrBadFilesEndInAStartOrTheErrorBox) {
  const std::string library = Block(kSkinLibraryBlock, kSkinLibraryBlockSize);
  const std::string skin = Block(kSkinFileBlock, kSkinFileBlockSize);
  using Locks = std::vector<std::unique_ptr<SharedLock>>;
  struct Case {
    const char* label;
    // Prepares the folders; the locks it returns are held while the copy runs.
    std::function<Locks(const Folders&)> prepare;
    Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"a file where the Windows folder should be",
       [](const Folders& f) {
         MakePrivateFolder(f.drive);
         WriteWholeFile(f.windows, "not a folder");
         return Locks{};
       },
       Outcome::StopsWithErrorBox},
      {"a file where the drive folder should be",
       [](const Folders& f) {
         MakePrivateFolder(f.layer);
         WriteWholeFile(f.drive, "not a folder");
         return Locks{};
       },
       Outcome::StopsWithErrorBox},
      {"library garbage and held by another process",
       [](const Folders& f) {
         MakePrivateFolder(f.windows);
         WriteWholeFile(f.windows / "jedata.dll", "MZ" + std::string(4096, '\x90'));
         Locks locks;
         locks.push_back(std::make_unique<SharedLock>(f.windows / "jedata.dll"));
         return locks;
       },
       Outcome::StopsWithErrorBox},
      {"skin file cut short and held by another process",
       [&skin](const Folders& f) {
         MakePrivateFolder(f.windows);
         WriteWholeFile(f.windows / "win8.she", skin.substr(0, 9));
         Locks locks;
         locks.push_back(std::make_unique<SharedLock>(f.windows / "win8.she"));
         return locks;
       },
       Outcome::StartsNormally},
      {"skin file garbage and held by another process",
       [&skin](const Folders& f) {
         MakePrivateFolder(f.windows);
         // The right magic and version, then nonsense sizes and bytes.
         WriteWholeFile(f.windows / "win8.she",
                        skin.substr(0, 6) + std::string(64, '\xff') + std::string(4096, '\x7f'));
         Locks locks;
         locks.push_back(std::make_unique<SharedLock>(f.windows / "win8.she"));
         return locks;
       },
       Outcome::StartsNormally},
      {"skin file empty and held by another process",
       [](const Folders& f) {
         MakePrivateFolder(f.windows);
         WriteWholeFile(f.windows / "win8.she", "");
         Locks locks;
         locks.push_back(std::make_unique<SharedLock>(f.windows / "win8.she"));
         return locks;
       },
       Outcome::StartsNormally},
      {"a folder where the skin file should be",
       [](const Folders& f) {
         fs::create_directories(f.windows / "win8.she");
         fs::permissions(f.layer, fs::perms::owner_all, fs::perm_options::replace);
         return Locks{};
       },
       Outcome::StartsNormally},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder data;
    const Locks locks = c.prepare(FoldersIn(data));
    ExpectOutcome(data.Path(), c.outcome);
  }
}

TEST(StartupFaultsTest, ThreeCopiesRunSideBySide) {
  TempFolder data;
  std::vector<std::unique_ptr<ProgramCopy>> copies;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("copy " + std::to_string(i + 1));
    copies.push_back(std::make_unique<ProgramCopy>(kProgram, Display(), data.Path()));
    const std::string window = copies.back()->WaitForWindow(kWindowTimeoutSeconds);
    ASSERT_FALSE(window.empty());
    EXPECT_NE(copies.back()->WindowTitle(window).find("parceltrace"), std::string::npos);
  }
  for (std::size_t i = 0; i < copies.size(); ++i) {
    SCOPED_TRACE("copy " + std::to_string(i + 1));
    EXPECT_TRUE(copies[i]->Running());
  }
  EXPECT_EQ(fs::file_size(FoldersIn(data).windows / "jedata.dll"), kSkinLibraryBlockSize);
}

TEST(StartupFaultsTest, LibraryInAFolderOthersCanWriteIsNotLoaded) {
  // Someone else made the Windows folder and left a library there that the
  // program cannot replace (held open as a running copy would hold it). The
  // library is real and loadable: only where it lies can stop it.
  const std::string library = Block(kSkinLibraryBlock, kSkinLibraryBlockSize);
  struct Case {
    const char* label;
    fs::perms windowsFolderMode;
    Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"private folder", fs::perms::owner_all, Outcome::StartsNormally},
      {"folder every user can write", fs::perms::all, Outcome::StopsWithErrorBox},
      {"folder the group can write", fs::perms::owner_all | fs::perms::group_all,
       Outcome::StopsWithErrorBox},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder data;
    const Folders folders = FoldersIn(data);
    MakePrivateFolder(folders.windows);
    fs::permissions(folders.windows, c.windowsFolderMode, fs::perm_options::replace);
    WriteWholeFile(folders.windows / "jedata.dll", library);
    const SharedLock held(folders.windows / "jedata.dll");
    ExpectOutcome(data.Path(), c.outcome);
  }
}

}  // namespace
