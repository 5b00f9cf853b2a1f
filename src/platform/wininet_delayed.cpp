// The Internet API entry points as the program links them: the layer itself
// (wininet.cpp with libcurl and the many libraries libcurl brings along) is
// a module beside the program, loaded at the first call. A window that never
// asks the network never pays for loading it, and start-up stays at the cost
// of the window alone. Tests link the layer directly instead.
//
// When the module cannot be loaded, every call fails as a failed exchange
// would: null handles, FALSE, a read count of 0, buffers untouched.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/wininet.h"

namespace {

constexpr const char* kModuleFileName = "parceltrace-inet.so";

// The folder the program was started from; the module is installed beside it.
std::string ProgramFolder() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/'));
}

// Loaded once, kept for the life of the process.
void* InternetModule() {
  static void* const module = [] {
    const std::string folder = ProgramFolder();
    if (folder.empty()) return static_cast<void*>(nullptr);
    return dlopen((folder + "/" + kModuleFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
  }();
  return module;
}

template <typename Function>
Function* FindInModule(const char* name) {
  void* const module = InternetModule();
  return module ? reinterpret_cast<Function*>(dlsym(module, name)) : nullptr;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxyList, LPCSTR proxyBypass,
                        DWORD flags) {
  static auto* const function = FindInModule<decltype(InternetOpenA)>("InternetOpenA");
  return function ? function(agent, accessType, proxyList, proxyBypass, flags) : nullptr;
}

HINTERNET InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                           DWORD_PTR context) {
  static auto* const function = FindInModule<decltype(InternetConnectA)>("InternetConnectA");
  return function ? function(internet, serverName, serverPort, userName, password, service, flags,
                             context)
                  : nullptr;
}

HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
  static auto* const function = FindInModule<decltype(HttpOpenRequestA)>("HttpOpenRequestA");
  return function ? function(connect, verb, objectName, version, referrer, acceptTypes, flags,
                             context)
                  : nullptr;
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  static auto* const function = FindInModule<decltype(HttpSendRequestA)>("HttpSendRequestA");
  return function ? function(request, headers, headersLength, optional, optionalLength) : FALSE;
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
  static auto* const function = FindInModule<decltype(InternetReadFile)>("InternetReadFile");
  if (function) return function(file, buffer, toRead, read);
  if (read) *read = 0;
  return FALSE;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD index) {
  static auto* const function = FindInModule<decltype(HttpQueryInfoA)>("HttpQueryInfoA");
  return function ? function(request, infoLevel, buffer, bufferLength, index) : FALSE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  static auto* const function = FindInModule<decltype(InternetCloseHandle)>("InternetCloseHandle");
  return function ? function(handle) : FALSE;
}
