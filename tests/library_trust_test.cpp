// LoadLibraryA loads nothing that another user could have placed or changed:
// the folder it finds a library in, and the library file itself, must be
// writable by this user (or root) alone.
#include "platform/system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kAnotherUser = 65534;  // nobody

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LibraryTrustTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "library_trust_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    MapWindowsPath("C:\\Windows\\x");  // makes the private folders
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path WindowsFolder() const { return root_ / "data" / "parceltrace" / "drive_c" / "Windows"; }

  fs::path root_;
};

TEST_F(LibraryTrustTest, LibrariesOthersCouldHavePlacedAreNotLoaded) {
  const std::string plugin = ReadBytes(SYSTEM_TEST_PLUGIN);
  ASSERT_FALSE(plugin.empty());
  const bool canChown = ::geteuid() == 0;
  struct Case {
    const char* label;
    const char* name;  // unique per case: a loaded library stays loaded
    mode_t folderMode;
    mode_t fileMode;
    bool folderOwnedByAnother;
    bool fileOwnedByAnother;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"private folder, private file", "trusted.dll", 0700, 0600, false, false, true},
      {"folder others may read", "readable.dll", 0755, 0644, false, false, true},
      {"folder every user can write", "world_folder.dll", 0777, 0600, false, false, false},
      {"folder the group can write", "group_folder.dll", 0770, 0600, false, false, false},
      {"sticky folder every user can write", "sticky_folder.dll", 01777, 0600, false, false, false},
      {"file every user can write", "world_file.dll", 0700, 0666, false, false, false},
      {"file the group can write", "group_file.dll", 0700, 0620, false, false, false},
      {"folder of another user", "foreign_folder.dll", 0700, 0600, true, false, false},
      {"file of another user", "foreign_file.dll", 0700, 0600, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if ((c.folderOwnedByAnother || c.fileOwnedByAnother) && !canChown) continue;
    const fs::path file = WindowsFolder() / c.name;
    std::ofstream(file, std::ios::binary) << plugin;
    ASSERT_EQ(::chmod(file.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chmod(WindowsFolder().c_str(), c.folderMode), 0);
    if (c.fileOwnedByAnother) {
      ASSERT_EQ(::chown(file.c_str(), kAnotherUser, kAnotherUser), 0);
    }
    if (c.folderOwnedByAnother) {
      ASSERT_EQ(::chown(WindowsFolder().c_str(), kAnotherUser, kAnotherUser), 0);
    }

    EXPECT_EQ(LoadLibraryA(c.name) != nullptr, c.loads);
    EXPECT_EQ(LoadLibraryA(("C:\\Windows\\" + std::string(c.name)).c_str()) != nullptr, c.loads);

    ASSERT_EQ(::chown(WindowsFolder().c_str(), ::geteuid(), ::getegid()), 0);
    ASSERT_EQ(::chmod(WindowsFolder().c_str(), 0700), 0);
  }
}

}  // namespace
