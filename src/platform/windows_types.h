// The few Windows scalar types that the platform layers' interfaces speak.
// Our own declarations, sized as on Windows so that callers written against
// the Windows interfaces read the same here.
#pragma once

#include <cstdint>

using BOOL = int;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using INTERNET_PORT = std::uint16_t;
using WCHAR = char16_t;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using LPVOID = void*;
using LPDWORD = DWORD*;
using HANDLE = void*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
