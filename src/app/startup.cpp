#include "app/startup.h"

#include "app/main_window.h"
#include "app/skin_library.h"
#include "platform/gui.h"
#include "platform/system.h"
#include "skin/skin_blocks.h"

namespace {

constexpr const char* kSkinLibraryPath = "C:\\Windows\\jedata.dll";
constexpr const char* kSkinFilePath = "C:\\Windows\\win8.she";
constexpr int kWindowFailureExitCode = -1;
constexpr const char* kWindowFailureMessage =
    "\xd6\xf7\xb4\xb0\xbf\xda\xb4\xb4\xbd\xa8\xca\xa7\xb0\xdc";  // 主窗口创建失败
constexpr const char* kErrorCaption = "\xb4\xed\xce\xf3";       // 错误

// Creates the file anew, or empties it, and writes all of block. A file in
// use, such as the library a running copy has loaded, cannot be written: the
// open fails and the file keeps its bytes.
void WriteWholeFile(LPCSTR path, const unsigned char* block, std::size_t size) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, block, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

void OnMainWindowCreated() {
  SkinH_AdjustAero(210, 0, 0, 3, 0, 0, 0, 0, 0);
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

}  // namespace

int RunProgram(int argc, char** argv) {
  InitGuiToolkit(argc, argv);
  WriteWholeFile(kSkinLibraryPath, kSkinLibraryBlock, kSkinLibraryBlockSize);
  WriteWholeFile(kSkinFilePath, kSkinFileBlock, kSkinFileBlockSize);
  SkinH_AttachEx(kSkinFilePath, "");

  const MainWindow window = CreateMainWindowWithControls(OnMainWindowCreated);
  if (!window.window) {
    MessageBoxA(nullptr, kWindowFailureMessage, kErrorCaption, MB_OK | MB_ICONERROR);
    ShutdownGuiToolkit();
    return kWindowFailureExitCode;
  }
  ShowWindow(window.window);
  const int exitCode = RunMessageLoop();
  ShutdownGuiToolkit();
  return exitCode;
}
