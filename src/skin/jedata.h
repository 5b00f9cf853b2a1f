// The window-skinning library, jedata.dll: the two functions it exports.
// The program never links it; it loads the library by name at the first call
// and looks each function up by name, so this header gives the functions'
// types and results, not symbols to link against.
//
// Both functions run on the GUI thread, after the QApplication exists.
#pragma once

// Results. Every failure leaves the look as it was.
inline constexpr int kSkinOk = 0;
inline constexpr int kSkinNoPath = 1;            // null skin file path
inline constexpr int kSkinPasswordRefused = 2;   // our skin files are never encrypted
inline constexpr int kSkinNoApplication = 3;     // no QApplication to style
inline constexpr int kSkinFileUnreadable = 4;    // unmappable path, missing, not a file, too large
inline constexpr int kSkinFileInvalid = 5;       // not a valid skin file
inline constexpr int kSkinNotAttached = 6;       // adjusting before a skin was attached
inline constexpr int kSkinInternalError = 7;     // out of memory and the like

extern "C" {

// Reads the skin file at skinFilePath (a GBK Windows path such as
// "C:\Windows\win8.she" on the program's drive C:) and, when it is a valid
// skin, styles the whole application with it: every window, those created
// later included. password is the key of an encrypted skin file; our skin
// files are stored plain, so only an empty (or null) password is accepted.
// Attaching again replaces the skin and resets any adjustment.
int SkinH_AttachEx(const char* skinFilePath, const char* password);
using SkinAttachExFunction = int (*)(const char* skinFilePath, const char* password);

// Adjusts the attached skin's look; any values are accepted, each clamped
// into its range:
//   alpha        0..255  how strongly the accent colour covers what lies
//                        beneath it: hover and focus borders, tints, fills
//   faceShade    0..100  percent by which button faces darken
//   borderShade  0..100  percent by which borders darken
//   shadeMode    0 flat (the skin's colours, accent on hover and focus
//                borders), 1 outline (buttons as accent outlines), 2 solid
//                accent (buttons filled with the accent), 3 tinted (hover,
//                pressed and selected surfaces tinted with the accent);
//                anything else counts as 0
//   cornerRadius 0..8 pixels of rounding on buttons and edit boxes
//   borderWidth  1..4 pixels; 0 or less keeps the default 1
//   reserved1..3 ignored
// Each call starts again from the skin as attached. kSkinNotAttached (and
// nothing changes) before a skin was attached.
int SkinH_AdjustAero(int alpha, int faceShade, int borderShade, int shadeMode, int cornerRadius, int borderWidth,
                     int reserved1, int reserved2, int reserved3);
using SkinAdjustAeroFunction = int (*)(int alpha, int faceShade, int borderShade, int shadeMode, int cornerRadius,
                                       int borderWidth, int reserved1, int reserved2, int reserved3);
}
