#include "platform/system.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const DWORD kGenericRead = 0x80000000;
const DWORD kFileShareRead = 1;
const DWORD kOpenExisting = 3;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

mode_t PermissionsOf(const fs::path& path) {
  struct stat status{};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

// Replaces a file whole the way start-up does; true when every byte went out.
bool WriteWhole(LPCSTR windowsPath, const std::string& bytes) {
  HANDLE file = CreateFileA(windowsPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  BOOL closed = CloseHandle(file);
  return wrote == TRUE && closed == TRUE && written == bytes.size();
}

int PluginId(HMODULE module) {
  FARPROC function = GetProcAddress(module, "SystemTestPluginId");
  if (function == nullptr) return 0;
  return reinterpret_cast<int (*)()>(function)();
}

void SetOrUnset(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

// Every test gets a fresh data directory, so the drive folder starts absent.
class SystemTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "system_test_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path Drive() const { return root_ / "data" / "parceltrace" / "drive_c"; }
  fs::path WindowsFolder() const { return Drive() / "Windows"; }

  fs::path root_;
};

TEST_F(SystemTest, MapsDriveCPathsIntoTheDriveFolder) {
  struct Case {
    const char* label;
    const char* windowsPath;
    std::string expectedBelowDrive;
  };
  const std::vector<Case> cases = {
      {"library path", "C:\\Windows\\jedata.dll", "/Windows/jedata.dll"},
      {"lower-case drive letter", "c:\\Windows\\win8.she", "/Windows/win8.she"},
      {"folder names kept as written", "C:\\WINDOWS\\x", "/WINDOWS/x"},
      {"slashes separate too", "C:/Windows/x", "/Windows/x"},
      {"empty and dot components dropped", "C:\\Windows\\\\.\\x\\", "/Windows/x"},
      {"drive root", "C:\\", ""},
      {"GBK bytes kept, trail byte 0x5C is no separator", "C:\\Windows\\\x95\x5c.txt", "/Windows/\x95\x5c.txt"},
      {"dots inside a name are no climb", "C:\\Windows\\..x\\...", "/Windows/..x/..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(MapWindowsPath(c.windowsPath), Drive().string() + c.expectedBelowDrive);
  }
}

TEST_F(SystemTest, RefusesPathsOutsideDriveC) {
  struct Case {
    const char* label;
    const char* windowsPath;
  };
  const std::vector<Case> cases = {
      {"null", nullptr},
      {"empty", ""},
      {"other drive", "D:\\Windows\\x"},
      {"drive-relative", "C:Windows\\x"},
      {"root-relative without drive", "\\Windows\\x"},
      {"UNC", "\\\\server\\share\\x"},
      {"relative", "Windows\\x"},
      {"climb out of the drive", "C:\\Windows\\..\\..\\x"},
      {"climb that stays inside still refused", "C:\\Windows\\..\\x"},
      {"bare climb", "C:\\.."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(MapWindowsPath(c.windowsPath), "");
  }
}

TEST_F(SystemTest, DataDirectoryComesFromXdgThenHome) {
  struct Case {
    const char* label;
    std::optional<std::string> xdgDataHome;
    std::optional<std::string> home;
    std::string expectedDrive;  // empty: no mapping at all
  };
  const std::string xdg = (root_ / "xdg").string();
  const std::string home = (root_ / "home").string();
  const std::vector<Case> cases = {
      {"XDG_DATA_HOME wins", xdg, home, xdg + "/parceltrace/drive_c"},
      {"no XDG_DATA_HOME: HOME's .local/share", std::nullopt, home, home + "/.local/share/parceltrace/drive_c"},
      {"relative XDG_DATA_HOME ignored", "relative/data", home, home + "/.local/share/parceltrace/drive_c"},
      {"neither known", std::nullopt, std::nullopt, ""},
  };
  const char* savedHome = std::getenv("HOME");
  const std::optional<std::string> originalHome =
      savedHome != nullptr ? std::optional<std::string>(savedHome) : std::nullopt;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetOrUnset("XDG_DATA_HOME", c.xdgDataHome);
    SetOrUnset("HOME", c.home);
    std::string expected = c.expectedDrive.empty() ? "" : c.expectedDrive + "/Windows/x";
    EXPECT_EQ(MapWindowsPath("C:\\Windows\\x"), expected);
  }
  SetOrUnset("HOME", originalHome);
}

TEST_F(SystemTest, CreatesItsFoldersPrivateWhateverTheUmask) {
  ::setenv("XDG_DATA_HOME", (root_ / "deep" / "data").c_str(), 1);
  mode_t savedMask = ::umask(0277);  // would leave new folders r-x only
  std::string mapped = MapWindowsPath("C:\\Windows\\jedata.dll");
  ::umask(savedMask);

  const fs::path data = root_ / "deep" / "data";
  ASSERT_EQ(mapped, (data / "parceltrace" / "drive_c" / "Windows" / "jedata.dll").string());
  for (const fs::path& folder : {root_ / "deep", data, data / "parceltrace", data / "parceltrace" / "drive_c",
                                 data / "parceltrace" / "drive_c" / "Windows"}) {
    SCOPED_TRACE(folder.string());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(PermissionsOf(folder), 0700u);
  }
  EXPECT_FALSE(fs::exists(mapped)) << "mapping creates folders, never the file";
}

TEST_F(SystemTest, WholeFileWriteLeavesExactlyTheNewBytes) {
  const std::string block("MZ\0\x01 new block\xff", 16);
  struct Case {
    const char* label;
    std::optional<std::string> oldContent;
  };
  const std::vector<Case> cases = {
      {"new file", std::nullopt},
      {"longer old file", std::string(100000, 'o')},
      {"shorter old file", std::string("old")},
      {"identical old file", block},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MapWindowsPath("C:\\Windows\\x");  // makes the Windows folder
    fs::path target = WindowsFolder() / "jedata.dll";
    fs::remove(target);
    if (c.oldContent) PutBytes(target, *c.oldContent);

    ASSERT_TRUE(WriteWhole("C:\\Windows\\jedata.dll", block));
    EXPECT_EQ(ReadBytes(target), block);
  }
}

TEST_F(SystemTest, CreateFileFailsWhereNoFileCanBeReplaced) {
  MapWindowsPath("C:\\Windows\\x");
  const fs::path elsewhere = root_ / "elsewhere.txt";
  PutBytes(elsewhere, "keep me");
  fs::create_directory(WindowsFolder() / "folder.dll");
  fs::create_symlink(elsewhere, WindowsFolder() / "link.dll");
  ASSERT_EQ(::mkfifo((WindowsFolder() / "fifo.dll").c_str(), 0600), 0);
  PutBytes(WindowsFolder() / "plain.dll", "old");

  struct Case {
    const char* label;
    const char* path;
    DWORD access;
    DWORD shareMode;
    DWORD creation;
  };
  const std::vector<Case> cases = {
      {"folder at the path", "C:\\Windows\\folder.dll", GENERIC_WRITE, 0, CREATE_ALWAYS},
      {"symbolic link at the path", "C:\\Windows\\link.dll", GENERIC_WRITE, 0, CREATE_ALWAYS},
      {"FIFO at the path", "C:\\Windows\\fifo.dll", GENERIC_WRITE, 0, CREATE_ALWAYS},
      {"missing folder", "C:\\NoSuchFolder\\x.dll", GENERIC_WRITE, 0, CREATE_ALWAYS},
      {"other drive", "D:\\x.dll", GENERIC_WRITE, 0, CREATE_ALWAYS},
      {"read access unsupported", "C:\\Windows\\plain.dll", kGenericRead, 0, CREATE_ALWAYS},
      {"sharing unsupported", "C:\\Windows\\plain.dll", GENERIC_WRITE, kFileShareRead, CREATE_ALWAYS},
      {"open-existing unsupported", "C:\\Windows\\plain.dll", GENERIC_WRITE, 0, kOpenExisting},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HANDLE file = CreateFileA(c.path, c.access, c.shareMode, nullptr, c.creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  EXPECT_EQ(ReadBytes(elsewhere), "keep me");
  EXPECT_EQ(ReadBytes(WindowsFolder() / "plain.dll"), "old");
  EXPECT_FALSE(fs::exists(Drive() / "NoSuchFolder"));
}

TEST_F(SystemTest, HandlesThatCreateFileDidNotReturnAreRefused) {
  ASSERT_TRUE(WriteWhole("C:\\Windows\\closed.dll", "x"));
  HANDLE file = CreateFileA("C:\\Windows\\closed.dll", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_EQ(CloseHandle(file), TRUE);

  struct Case {
    const char* label;
    HANDLE handle;
  };
  int bystander = 0;
  const std::vector<Case> cases = {
      {"closed handle", file},
      {"null", nullptr},
      {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
      {"current process", GetCurrentProcess()},
      {"stray pointer", &bystander},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    DWORD written = 7;
    EXPECT_EQ(WriteFile(c.handle, "abc", 3, &written, nullptr), FALSE);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(CloseHandle(c.handle), FALSE);
  }
  EXPECT_EQ(ReadBytes(WindowsFolder() / "closed.dll"), "");
}

// A child process loads the library, as a running copy of the program does,
// reports through one pipe and holds the library until the other closes.
class LibraryHolder {
 public:
  explicit LibraryHolder(LPCSTR libraryName) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      char loaded = LoadLibraryA(libraryName) != nullptr ? '1' : '0';
      ssize_t ignored = ::write(ready[1], &loaded, 1);
      (void)ignored;
      char any;
      while (::read(release[0], &any, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    releaseFd_ = release[1];
    char loaded = '0';
    loaded_ = ::read(ready[0], &loaded, 1) == 1 && loaded == '1';
    ::close(ready[0]);
  }
  ~LibraryHolder() { Release(); }
  LibraryHolder(const LibraryHolder&) = delete;
  LibraryHolder& operator=(const LibraryHolder&) = delete;

  bool loaded() const { return loaded_; }
  // Lets the child end, and waits for it: its hold on the file is gone.
  void Release() {
    if (releaseFd_ >= 0) ::close(releaseFd_);
    releaseFd_ = -1;
    if (child_ > 0) ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }

 private:
  pid_t child_ = -1;
  int releaseFd_ = -1;
  bool loaded_ = false;
};

TEST_F(SystemTest, LibraryLoadedByAnotherProcessCannotBeRewritten) {
  const std::string library = ReadBytes(SYSTEM_TEST_PLUGIN);
  ASSERT_FALSE(library.empty());
  ASSERT_TRUE(WriteWhole("C:\\Windows\\held.dll", library));

  LibraryHolder holder("held.dll");
  ASSERT_TRUE(holder.loaded());
  EXPECT_EQ(CreateFileA("C:\\Windows\\held.dll", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteWhole("C:\\Windows\\held.dll", "replacement"));
  EXPECT_EQ(ReadBytes(WindowsFolder() / "held.dll"), library);

  holder.Release();
  EXPECT_TRUE(WriteWhole("C:\\Windows\\held.dll", "replacement"));
  EXPECT_EQ(ReadBytes(WindowsFolder() / "held.dll"), "replacement");
}

TEST_F(SystemTest, LibraryThisProcessLoadedCannotBeRewrittenEither) {
  const std::string library = ReadBytes(SYSTEM_TEST_PLUGIN);
  ASSERT_TRUE(WriteWhole("C:\\Windows\\mine.dll", library));
  ASSERT_NE(LoadLibraryA("mine.dll"), nullptr);

  EXPECT_FALSE(WriteWhole("C:\\Windows\\mine.dll", "replacement"));
  EXPECT_EQ(ReadBytes(WindowsFolder() / "mine.dll"), library);
}

TEST_F(SystemTest, FileBeingWrittenCannotBeLoaded) {
  ASSERT_TRUE(WriteWhole("C:\\Windows\\busy.dll", ReadBytes(SYSTEM_TEST_PLUGIN)));
  int fd = ::open((WindowsFolder() / "busy.dll").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // what a writer in another copy holds
  EXPECT_EQ(LoadLibraryA("busy.dll"), nullptr);
  ::close(fd);
  EXPECT_NE(LoadLibraryA("busy.dll"), nullptr);
}

// Where each copy of a library lies decides which one a bare name loads.
TEST_F(SystemTest, BareNameSearchesProgramFolderThenWindowsFolderOnly) {
  const std::string first = ReadBytes(SYSTEM_TEST_PLUGIN);         // id 1
  const std::string second = ReadBytes(SYSTEM_TEST_OTHER_PLUGIN);  // id 2
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  const fs::path programFolder = fs::read_symlink("/proc/self/exe").parent_path();
  const fs::path workingFolder = root_ / "cwd";
  fs::create_directories(workingFolder);
  const fs::path savedWorkingFolder = fs::current_path();
  fs::current_path(workingFolder);
  ::setenv("LD_LIBRARY_PATH", workingFolder.c_str(), 1);
  MapWindowsPath("C:\\Windows\\x");

  struct Case {
    const char* label;
    const char* name;  // unique per case: a loaded library stays loaded
    const std::string* inProgramFolder;
    const std::string* inWindowsFolder;
    const std::string* inWorkingFolder;
    int expectedId;  // 0: nothing loads
  };
  const std::vector<Case> cases = {
      {"Windows folder copy", "search_windows.dll", nullptr, &first, nullptr, 1},
      {"current directory and LD_LIBRARY_PATH never searched", "search_cwd.dll", nullptr, nullptr, &second, 0},
      {"Windows folder wins over current directory", "search_both.dll", nullptr, &first, &second, 1},
      {"program folder first", "search_program.dll", &second, &first, nullptr, 2},
      {"no copy anywhere", "search_none.dll", nullptr, nullptr, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.inProgramFolder) PutBytes(programFolder / c.name, *c.inProgramFolder);
    if (c.inWindowsFolder) PutBytes(WindowsFolder() / c.name, *c.inWindowsFolder);
    if (c.inWorkingFolder) PutBytes(workingFolder / c.name, *c.inWorkingFolder);

    HMODULE module = LoadLibraryA(c.name);
    EXPECT_EQ(PluginId(module), c.expectedId);
    EXPECT_EQ(module != nullptr, c.expectedId != 0);

    std::error_code ignored;
    fs::remove(programFolder / c.name, ignored);
  }
  fs::current_path(savedWorkingFolder);
  ::unsetenv("LD_LIBRARY_PATH");
}

TEST_F(SystemTest, LoadLibraryTakesWindowsPathsAndRefusesNonLibraries) {
  MapWindowsPath("C:\\Windows\\x");
  PutBytes(WindowsFolder() / "plugin.dll", ReadBytes(SYSTEM_TEST_PLUGIN));
  PutBytes(WindowsFolder() / "garbage.dll", "MZ this is no shared object");
  PutBytes(WindowsFolder() / "empty.dll", "");
  fs::create_directory(WindowsFolder() / "folder.dll");

  HMODULE byBareName = LoadLibraryA("plugin.dll");
  ASSERT_NE(byBareName, nullptr);
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\plugin.dll"), byBareName) << "same file, same handle";
  EXPECT_EQ(LoadLibraryA("c:/windows/../Windows/plugin.dll"), nullptr);

  struct Case {
    const char* label;
    const char* name;
  };
  const std::vector<Case> refused = {
      {"null", nullptr},
      {"empty", ""},
      {"not an ELF object", "garbage.dll"},
      {"empty file", "empty.dll"},
      {"folder", "folder.dll"},
      {"Linux path", SYSTEM_TEST_PLUGIN},
      {"bare climb", ".."},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(LoadLibraryA(c.name), nullptr);
  }
}

TEST_F(SystemTest, GetProcAddressFindsOnlyExportedNames) {
  ASSERT_TRUE(WriteWhole("C:\\Windows\\procs.dll", ReadBytes(SYSTEM_TEST_PLUGIN)));
  HMODULE module = LoadLibraryA("procs.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(PluginId(module), 1);

  int bystander = 0;
  struct Case {
    const char* label;
    HMODULE module;
    LPCSTR name;
  };
  const std::vector<Case> cases = {
      {"missing symbol", module, "NoSuchFunction"},
      {"empty name", module, ""},
      {"null name", module, nullptr},
      {"ordinal", module, reinterpret_cast<LPCSTR>(std::uintptr_t{1})},
      {"null module", nullptr, "SystemTestPluginId"},
      {"stray module", reinterpret_cast<HMODULE>(&bystander), "SystemTestPluginId"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(GetProcAddress(c.module, c.name), nullptr);
  }
}

TEST_F(SystemTest, WorkingSetTrimOnlyForTheCurrentProcessEmptied) {
  const SIZE_T kEmpty = static_cast<SIZE_T>(-1);
  struct Case {
    const char* label;
    HANDLE process;
    SIZE_T minimum;
    SIZE_T maximum;
    BOOL expected;
  };
  int bystander = 0;
  const std::vector<Case> cases = {
      {"current process emptied", GetCurrentProcess(), kEmpty, kEmpty, TRUE},
      {"limits not supported", GetCurrentProcess(), 1 << 20, 1 << 24, FALSE},
      {"other process", &bystander, kEmpty, kEmpty, FALSE},
  };
  EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(SetProcessWorkingSetSize(c.process, c.minimum, c.maximum), c.expected);
  }
}

}  // namespace
