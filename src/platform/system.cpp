#include "platform/system.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kLayerFolder = "parceltrace";
constexpr std::string_view kDriveFolder = "drive_c";
constexpr std::string_view kWindowsFolder = "Windows";
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;
constexpr unsigned char kFirstDoubleByteLead = 0x80;
constexpr std::intptr_t kCurrentProcessValue = -1;

// Windows handles are multiples of four; ours are (fd + 1) * 4, so that no
// file handle is null or INVALID_HANDLE_VALUE.
constexpr std::intptr_t kHandleStep = 4;

// GetProcAddress takes an ordinal, not a name, for values below this.
constexpr std::uintptr_t kLowestNameAddress = 0x10000;

// Owns one file descriptor and closes it, whatever path is taken out.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&&) = delete;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

// The XDG data directory; empty when neither variable gives an absolute path.
std::string DataDirectory() {
  std::string xdg = EnvironmentPath("XDG_DATA_HOME");
  if (!xdg.empty()) return xdg;
  std::string home = EnvironmentPath("HOME");
  if (home.empty()) return {};
  return home + "/.local/share";
}

std::string DriveFolderPath() {
  std::string data = DataDirectory();
  if (data.empty()) return {};
  return data + "/" + std::string(kLayerFolder) + "/" + std::string(kDriveFolder);
}

bool IsDirectory(const std::string& path) {
  struct stat status{};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// mkdir -p of an absolute path; every folder made here is 0700 whatever the
// umask says, since the drive holds the program's private files.
bool MakeFolders(const std::string& path) {
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = path.find('/', end + 1);
    std::string prefix = path.substr(0, end);
    if (::mkdir(prefix.c_str(), kPrivateFolderMode) == 0) {
      if (::chmod(prefix.c_str(), kPrivateFolderMode) != 0) return false;
    } else if (errno != EEXIST || !IsDirectory(prefix)) {
      return false;
    }
  }
  return true;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The components after "C:\" of a Windows path, or nothing when the path is
// not an absolute path on drive C: or climbs with "..".
std::optional<std::vector<std::string>> DriveCComponents(std::string_view path) {
  if (path.size() < 3 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':' || !IsSeparator(path[2])) {
    return std::nullopt;
  }
  std::vector<std::string> components;
  std::string current;
  auto finishComponent = [&]() {
    bool keep = !current.empty() && current != ".";
    if (keep) components.push_back(current);
    current.clear();
  };
  for (std::size_t i = 3; i < path.size(); ++i) {
    char c = path[i];
    if (static_cast<unsigned char>(c) >= kFirstDoubleByteLead && i + 1 < path.size()) {
      current += c;
      current += path[++i];
    } else if (IsSeparator(c)) {
      finishComponent();
    } else {
      current += c;
    }
  }
  finishComponent();
  for (const std::string& component : components) {
    if (component == "..") return std::nullopt;
  }
  return components;
}

// Open files handed out by CreateFileA, by descriptor.
std::set<int>& OpenFiles() {
  static std::set<int> files;
  return files;
}

HANDLE HandleOfFd(int fd) {
  return reinterpret_cast<HANDLE>((static_cast<std::intptr_t>(fd) + 1) * kHandleStep);
}

// The descriptor behind a CreateFileA handle, or -1 for any other handle.
int FdOfHandle(HANDLE handle) {
  auto value = reinterpret_cast<std::intptr_t>(handle);
  if (value < kHandleStep || value % kHandleStep != 0) return -1;
  std::intptr_t fd = value / kHandleStep - 1;
  if (fd > std::numeric_limits<int>::max()) return -1;
  return OpenFiles().count(static_cast<int>(fd)) != 0 ? static_cast<int>(fd) : -1;
}

bool IsRegularFile(int fd) {
  struct stat status{};
  return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// O_NONBLOCK only so that a FIFO at the path fails instead of hanging the
// open; regular files ignore it.
UniqueFd OpenForReplacing(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, kPrivateFileMode));
  if (!fd.valid() || !IsRegularFile(fd.get())) return UniqueFd(-1);
  // Truncate only once the file is ours alone: a library that another copy
  // of the program has loaded holds a shared lock and must keep its bytes.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return UniqueFd(-1);
  if (::ftruncate(fd.get(), 0) != 0) return UniqueFd(-1);
  return fd;
}

}  // namespace

// The registry entry behind an HMODULE: the open, share-locked library file
// and the loader's handle of it. Both live as long as the process.
struct LoadedLibrary {
  dev_t device;
  ino_t inode;
  UniqueFd file;
  void* loaderHandle;
};

namespace {

std::vector<std::unique_ptr<LoadedLibrary>>& LoadedLibraries() {
  static std::vector<std::unique_ptr<LoadedLibrary>> libraries;
  return libraries;
}

LoadedLibrary* FindLoaded(dev_t device, ino_t inode) {
  for (const auto& library : LoadedLibraries()) {
    if (library->device == device && library->inode == inode) return library.get();
  }
  return nullptr;
}

bool IsLoaded(HMODULE module) {
  for (const auto& library : LoadedLibraries()) {
    if (library.get() == module) return true;
  }
  return false;
}

std::string ProgramFolder() {
  std::string target(PATH_MAX, '\0');
  ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return {};
  target.resize(static_cast<std::size_t>(length));
  return target.substr(0, target.rfind('/'));
}

bool IsBareName(std::string_view name) {
  return name.find_first_of("\\/:") == std::string_view::npos;
}

// Where LoadLibraryA looks for a file, in order.
std::vector<std::string> LibraryCandidates(LPCSTR fileName) {
  std::string_view name(fileName);
  if (!IsBareName(name)) {
    std::string mapped = MapWindowsPath(fileName);
    if (mapped.empty()) return {};
    return {mapped};
  }
  std::vector<std::string> candidates;
  std::string programFolder = ProgramFolder();
  if (!programFolder.empty()) candidates.push_back(programFolder + "/" + std::string(name));
  std::string windowsCopy = MapWindowsPath(("C:\\" + std::string(kWindowsFolder) + "\\" + std::string(name)).c_str());
  if (!windowsCopy.empty()) candidates.push_back(windowsCopy);
  return candidates;
}

// Whether only this user (or root, who can change anything anyway) can
// change what status describes. A library in a folder that another user can
// write, or a library file another user can write, may have been put there
// for this process to run; the write at start-up does not help, since a file
// held open by someone else cannot be replaced.
bool OnlyOwnerCanChange(const struct stat& status) {
  const bool ownOrRoot = status.st_uid == ::geteuid() || status.st_uid == 0;
  return ownOrRoot && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool FolderOfIsTrusted(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
  struct stat status{};
  return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && OnlyOwnerCanChange(status);
}

// The first candidate that exists where no other user could have put or
// changed it, opened for reading; invalid when none.
UniqueFd OpenFirstExisting(const std::vector<std::string>& candidates) {
  for (const std::string& path : candidates) {
    if (!FolderOfIsTrusted(path)) continue;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status{};
    if (fd.valid() && ::fstat(fd.get(), &status) == 0 && OnlyOwnerCanChange(status)) return fd;
  }
  return UniqueFd(-1);
}

// Loads exactly the file behind fd, not whatever the path names by now.
void* LoadFromFd(int fd) {
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::string MapWindowsPath(LPCSTR windowsPath) {
  if (windowsPath == nullptr) return {};
  std::optional<std::vector<std::string>> components = DriveCComponents(windowsPath);
  if (!components) return {};
  std::string drive = DriveFolderPath();
  if (drive.empty()) return {};
  MakeFolders(drive + "/" + std::string(kWindowsFolder));
  std::string mapped = drive;
  for (const std::string& component : *components) mapped += "/" + component;
  return mapped;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD /*attributes: no Linux counterpart*/, HANDLE templateFile) {
  if (access != GENERIC_WRITE || shareMode != 0 || creation != CREATE_ALWAYS || security != nullptr ||
      templateFile != nullptr) {
    return INVALID_HANDLE_VALUE;
  }
  std::string path = MapWindowsPath(fileName);
  if (path.empty()) return INVALID_HANDLE_VALUE;
  UniqueFd fd = OpenForReplacing(path);
  if (!fd.valid()) return INVALID_HANDLE_VALUE;
  int owned = fd.release();
  OpenFiles().insert(owned);
  return HandleOfFd(owned);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD byteCount, DWORD* written, void* overlapped) {
  if (written != nullptr) *written = 0;
  int fd = FdOfHandle(file);
  if (fd < 0 || overlapped != nullptr || (buffer == nullptr && byteCount > 0)) return FALSE;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  DWORD done = 0;
  while (done < byteCount) {
    ssize_t count = ::write(fd, bytes + done, byteCount - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    done += static_cast<DWORD>(count);
    if (written != nullptr) *written = done;
  }
  return done == byteCount ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE handle) {
  int fd = FdOfHandle(handle);
  if (fd < 0) return FALSE;
  OpenFiles().erase(fd);
  return ::close(fd) == 0 ? TRUE : FALSE;
}

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr || fileName[0] == '\0') return nullptr;
  UniqueFd fd = OpenFirstExisting(LibraryCandidates(fileName));
  struct stat status{};
  if (!fd.valid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
  if (LoadedLibrary* known = FindLoaded(status.st_dev, status.st_ino)) return known;
  // Held for the life of the process: a writer (CreateFileA) needs the file
  // to itself, so nobody rewrites a library under our mapping.
  if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return nullptr;
  void* loaderHandle = LoadFromFd(fd.get());
  if (loaderHandle == nullptr) return nullptr;
  LoadedLibraries().push_back(
      std::make_unique<LoadedLibrary>(LoadedLibrary{status.st_dev, status.st_ino, std::move(fd), loaderHandle}));
  return LoadedLibraries().back().get();
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (reinterpret_cast<std::uintptr_t>(procName) < kLowestNameAddress || !IsLoaded(module)) return nullptr;
  return reinterpret_cast<FARPROC>(::dlsym(module->loaderHandle, procName));
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(kCurrentProcessValue); }

BOOL SetProcessWorkingSetSize(HANDLE process, SIZE_T minimumWorkingSetSize, SIZE_T maximumWorkingSetSize) {
  constexpr SIZE_T kEmptyWorkingSet = static_cast<SIZE_T>(-1);
  if (process != GetCurrentProcess() || minimumWorkingSetSize != kEmptyWorkingSet ||
      maximumWorkingSetSize != kEmptyWorkingSet) {
    return FALSE;
  }
  ::malloc_trim(0);
  return TRUE;
}
