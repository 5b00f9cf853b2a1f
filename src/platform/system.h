// The system layer: Windows file paths, whole-file writes, library loading
// and the working-set trim, served by the Linux kernel and the dynamic
// loader. Our own declarations, shaped like their kernel32 namesakes so that
// start-up reads as it would on Windows.
//
// The Windows drive C: is a private folder of this program under the user's
// XDG data directory; every Windows path the program names lands inside it.
// Paths are GBK (code page 936) bytes and are used byte for byte as Linux
// file names. Like the program, the layer runs on one thread: its open files
// and loaded libraries are kept without locks.
#pragma once

#include <string>

#include "platform/windows_types.h"

// Opaque handle of a loaded library; null is a failure.
using HMODULE = struct LoadedLibrary*;
// Any exported function; the caller casts it to the function's real type.
// void() rather than Windows' INT_PTR() because the compiler accepts a cast
// from the generic void() to any function type without a warning.
using FARPROC = void (*)();

// CreateFileA values that the layer understands.
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
// The failure value of CreateFileA, and the value of the current-process
// pseudo-handle (the two are the same bits, as on Windows).
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// The Linux path of a Windows path "X:\dir\name" on drive C: (either case):
// <data>/parceltrace/drive_c/dir/name, where <data> is $XDG_DATA_HOME when
// it is an absolute path, else $HOME/.local/share. Backslashes and slashes
// both separate components; empty and "." components are dropped; a byte of
// 0x80 or above and the byte after it are one double-byte character, never a
// separator. Empty (no mapping) for a null or relative path, another drive,
// a UNC path, a ".." component, or when no data directory is known: the
// result never lies outside the drive folder.
// Side effect: makes sure the drive folder and its Windows folder exist, each
// folder it creates (missing parents included) with mode 0700.
std::string MapWindowsPath(LPCSTR windowsPath);

// Opens a file for replacing it whole: access GENERIC_WRITE, shareMode 0 (no
// sharing), creation CREATE_ALWAYS (create it, or empty it when it exists).
// Any other access, share or creation value, a security or template
// argument, fails. The file may not be in use: while any process holds it
// open, for instance as a loaded library (LoadLibraryA), the open fails and
// the file keeps its bytes. Fails as well for a path that cannot be mapped,
// a missing folder, a symbolic link, or anything but a regular file standing
// at the path. Returns INVALID_HANDLE_VALUE on failure; the handle is the
// caller's to close with CloseHandle.
HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD attributes, HANDLE templateFile);

// Writes all byteCount bytes of buffer at the file's current position.
// *written (when given) receives the number of bytes written, all of them on
// success. overlapped must be null. FALSE for a handle that CreateFileA did
// not return or that is closed, a null buffer with bytes to write, or a
// failed write (a full disk).
BOOL WriteFile(HANDLE file, const void* buffer, DWORD byteCount, DWORD* written, void* overlapped);

// Closes a handle from CreateFileA, releasing the file for others. FALSE for
// any other handle (the current-process pseudo-handle included).
BOOL CloseHandle(HANDLE handle);

// Loads a library, an ELF shared object despite its ".dll" name. A bare
// name (no folder) is looked for in the program's own folder and then in the
// Windows folder C:\Windows, never in the current directory nor along
// LD_LIBRARY_PATH; a Windows path "C:\..." names the file itself. The file
// stays open and loaded for the life of the process, and no process can
// write it meanwhile (see CreateFileA). Loading the same file again returns
// the same handle. Null when no file is found, it is being written, or it is
// not a loadable library.
HMODULE LoadLibraryA(LPCSTR fileName);

// The address of the function that module exports under name; null when it
// exports none, or for a null or unknown module.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

// The pseudo-handle of the current process.
HANDLE GetCurrentProcess();

// With both sizes (SIZE_T)-1 on the current process, hands the memory the
// allocator holds unused back to the system (the nearest thing to emptying a
// working set) and returns TRUE. Other processes and sizes: FALSE, nothing
// done.
BOOL SetProcessWorkingSetSize(HANDLE process, SIZE_T minimumWorkingSetSize, SIZE_T maximumWorkingSetSize);
