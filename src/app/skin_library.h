// The two functions of the skinning library jedata.dll. The library is
// loaded, and each function looked up by name, at that function's first
// call, never earlier: start-up writes the library's file first. When the
// library cannot be loaded or lacks the function, the process stops there
// with an error box naming both, and exits with status -1 once it is closed.
#pragma once

#include "platform/windows_types.h"

// Applies the skin in skinFile (a Windows path) to windows created after it.
int SkinH_AttachEx(LPCSTR skinFile, LPCSTR password);

// Fine-tunes the attached skin once the main window exists.
int SkinH_AdjustAero(int alpha, int shadeTitle, int shadeBorder, int shadeMode, int reserved1,
                     int reserved2, int reserved3, int reserved4, int reserved5);
