// The code-page layer: Windows' two conversion functions, served by ICU.
// 936 is GBK as Windows has it (0x80 is the euro sign, the user-defined
// double-byte areas are the Private Use Area), 65001 UTF-8, and 0 (the ANSI
// code page) is 936 on this system. Any other code page fails (returns 0).
// Each code page's converter is opened at its first use and kept; the
// functions may be called from any thread.
#pragma once

#include "platform/windows_types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_GBK = 936;
inline constexpr UINT CP_UTF8 = 65001;

// multiByteLength -1: the input is NUL-terminated and the terminator is
// converted too; a positive length: exactly that many bytes, NULs included,
// and no terminator is added. wideLength 0: nothing is written (wide may be
// null), the result is the number of UTF-16 units needed. Otherwise the
// number of units written, or 0 when they do not fit, and then nothing is
// written at all. Invalid input becomes U+FFFD. flags must be 0; a null
// input, a length of 0 or below -1, or a negative wideLength fail (0).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);

// wideLength -1: NUL-terminated input, terminator converted too; a positive
// length: exactly that many units. multiByteLength 0: the number of bytes
// needed; otherwise the bytes written, or 0 (nothing written) when they do
// not fit. A character without a form in the code page, a lone surrogate
// among them, becomes its best-fit byte where Windows has one, else
// defaultChar (one character of the code page) or "?" when that is null;
// *usedDefaultChar, when given, tells whether that happened. For UTF-8 both
// must be null, as on Windows, or the call fails. flags must be 0; the
// argument failures are those of MultiByteToWideChar.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                        LPSTR multiByte, int multiByteLength, LPCSTR defaultChar,
                        BOOL* usedDefaultChar);
