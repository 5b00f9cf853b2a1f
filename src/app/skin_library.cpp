#include "app/skin_library.h"

#include <cstdlib>
#include <string>

#include "platform/gui.h"
#include "platform/system.h"

namespace {

constexpr const char* kSkinLibraryName = "jedata.dll";
constexpr int kStopExitCode = -1;
// 无法调用 jedata.dll 中的函数 (the function's name follows)
constexpr const char* kCannotCallMessage =
    "\xce\xde\xb7\xa8\xb5\xf7\xd3\xc3 jedata.dll \xd6\xd0\xb5\xc4\xba\xaf\xca\xfd ";
constexpr const char* kErrorCaption = "\xb4\xed\xce\xf3";  // 错误

using AttachExFunction = int (*)(LPCSTR, LPCSTR);
using AdjustAeroFunction = int (*)(int, int, int, int, int, int, int, int, int);

[[noreturn]] void StopForMissingFunction(const char* functionName) {
  const std::string message = std::string(kCannotCallMessage) + functionName;
  MessageBoxA(nullptr, message.c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
  ShutdownGuiToolkit();
  std::exit(kStopExitCode);
}

// The library stays loaded for the life of the process once it is.
FARPROC FindSkinFunction(const char* functionName) {
  static HMODULE library = nullptr;
  if (!library) library = LoadLibraryA(kSkinLibraryName);
  const FARPROC function = library ? GetProcAddress(library, functionName) : nullptr;
  if (!function) StopForMissingFunction(functionName);
  return function;
}

template <typename Function>
Function FindSkinFunctionAs(const char* functionName) {
  // Through void (*)() as a neutral function type, like any GetProcAddress caller.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(FindSkinFunction(functionName)));
}

}  // namespace

int SkinH_AttachEx(LPCSTR skinFile, LPCSTR password) {
  static const auto attachEx = FindSkinFunctionAs<AttachExFunction>("SkinH_AttachEx");
  return attachEx(skinFile, password);
}

int SkinH_AdjustAero(int alpha, int shadeTitle, int shadeBorder, int shadeMode, int reserved1,
                     int reserved2, int reserved3, int reserved4, int reserved5) {
  static const auto adjustAero = FindSkinFunctionAs<AdjustAeroFunction>("SkinH_AdjustAero");
  return adjustAero(alpha, shadeTitle, shadeBorder, shadeMode, reserved1, reserved2, reserved3,
                    reserved4, reserved5);
}
