// The code-page layer: Windows' two conversion functions, served by ICU.
// 936 is GBK as Windows has it, 65001 UTF-8, and 0 (the ANSI code page) is
// 936 on this system.
#pragma once

#include "platform/windows_types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_GBK = 936;
inline constexpr UINT CP_UTF8 = 65001;

// multiByteLength -1: the input is NUL-terminated and the terminator is
// converted too. wideLength 0: nothing is written, the result is the number
// of UTF-16 units needed. Otherwise the number of units written, or 0 when
// they do not fit (nothing beyond wideLength is ever written). Invalid input
// becomes U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);

// wideLength -1: NUL-terminated input, terminator converted too.
// multiByteLength 0: the number of bytes needed. A character without a form
// in the code page becomes its best-fit byte where Windows has one, else
// "?". defaultChar and usedDefaultChar may be null.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                        LPSTR multiByte, int multiByteLength, LPCSTR defaultChar,
                        BOOL* usedDefaultChar);
