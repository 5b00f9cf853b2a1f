// The GUI toolkit layer: one fixed top-level window, its controls, their
// events and the message loop, served by Qt Widgets. Every text crossing this
// interface is GBK (code page 936), NUL-terminated; the layer converts to and
// from the toolkit's own text through the code-page layer. No toolkit type
// appears here, so the window's code cannot tell which toolkit serves it.
#pragma once

#include <functional>

#include "platform/windows_types.h"

// Opaque handle of a window or control; null is a failure.
using HWND = struct GuiWindow*;
using COLORREF = DWORD;  // 0x00BBGGRR
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Windows virtual-key codes that callers compare against.
inline constexpr int VK_RETURN = 13;
inline constexpr int VK_SHIFT = 16;
inline constexpr int VK_CONTROL = 17;
inline constexpr int VK_MENU = 18;  // Alt

// Modifier bits delivered with mouse and key events.
inline constexpr int MODIFIER_CTRL = 1;
inline constexpr int MODIFIER_SHIFT = 2;
inline constexpr int MODIFIER_ALT = 4;

// List box messages understood by SendMessageA.
inline constexpr UINT LB_ADDSTRING = 0x0180;     // lParam: LPCSTR; returns the new index
inline constexpr UINT LB_GETTEXT = 0x0189;       // wParam: index, lParam: LPSTR buffer
inline constexpr UINT LB_GETTEXTLEN = 0x018A;    // wParam: index; returns the length
inline constexpr UINT LB_RESETCONTENT = 0x0184;  // removes every line
inline constexpr UINT LB_GETCOUNT = 0x018B;      // returns the number of lines
inline constexpr LRESULT LB_ERR = -1;            // LB_GETTEXT(LEN) of a line that is not there

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr int IDOK = 1;  // MessageBoxA's result

// Sets up the toolkit; once per process, before any window. argc and argv as
// main received them (the toolkit may take its own options out of them).
void InitGuiToolkit(int& argc, char** argv);

// Destroys every window (their handles become invalid) and the toolkit, for
// a clean end before main returns; without it the toolkit simply lives until
// the process ends. Call it from main, never from a static destructor.
void ShutdownGuiToolkit();

// A top-level window with a title bar and a close box only: no minimise or
// maximise box, not resizable. Its client area is clientWidth x clientHeight;
// it is centred on the screen when first shown. Not shown until ShowWindow.
HWND CreateMainWindow(LPCSTR caption, int clientWidth, int clientHeight);

// Controls at client-area positions of parent. name is the control's own name
// (GBK), by which tests find it (the toolkit's object name). A control added
// to a window already shown shows at once.
// A single-line edit box: sunken border, white background, scrolls
// horizontally, no length limit.
HWND CreateEditBox(HWND parent, LPCSTR name, int x, int y, int width, int height, LPCSTR text);
HWND CreateButton(HWND parent, LPCSTR name, int x, int y, int width, int height, LPCSTR text);
// An unsorted list box: lines stay in the order added, a vertical scroll bar
// when needed, never a horizontal one; long lines are cut at the right edge.
HWND CreateListBox(HWND parent, LPCSTR name, int x, int y, int width, int height);
HWND CreateLabel(HWND parent, LPCSTR name, int x, int y, int width, int height, LPCSTR text);

// Shows the window. The first time, its created handler runs first (the
// controls exist, the window is not yet visible), then the window is centred
// and shown.
void ShowWindow(HWND window);

BOOL SetWindowTextA(HWND window, LPCSTR text);
// Length in GBK bytes of the window's text, without terminator.
int GetWindowTextLengthA(HWND window);
// Copies at most maxCount - 1 bytes and a NUL; returns the bytes copied. A
// cut never splits a double-byte character: its lead byte is left out too.
int GetWindowTextA(HWND window, LPSTR buffer, int maxCount);

// The edit box's text colour; repaints at once, and no application style
// (the skin) can override it.
void SetEditTextColor(HWND edit, COLORREF color);
// The edit box's font: the default face at this character height in pixels
// and weight (400 normal, 700 bold).
void SetEditFont(HWND edit, int pixelHeight, int weight);

// The LB_* messages above, for list boxes; 0 for anything else. LB_GETTEXT
// writes the line's GBK bytes and a NUL (the buffer must hold
// LB_GETTEXTLEN + 1 bytes) and returns the length; an index past the last
// line gives LB_ERR.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Events. A handler replaces any earlier one for the same control.
// Runs once, when the window is shown for the first time.
void SetCreatedHandler(HWND window, std::function<void()> handler);
void SetClickHandler(HWND button, std::function<void()> handler);
// Left mouse button pressed in the edit box: x, y in the box, modifier bits.
void SetMouseDownHandler(HWND edit, std::function<void(int x, int y, int modifiers)> handler);
// Key down in the edit box: the Windows virtual-key code (Ctrl is 17) and
// modifier bits; auto-repeat delivers the key again.
void SetKeyDownHandler(HWND edit, std::function<void(int virtualKey, int modifiers)> handler);

// A busy cursor over the whole program while a blocking call runs.
void BeginWaitCursor();
void EndWaitCursor();

// Runs until a main window is closed (closing any other window, a message
// box included, does not end it); returns the exit code (0).
int RunMessageLoop();

// A modal message box with an OK button (a critical icon for MB_ICONERROR);
// returns IDOK when the user closes it. Its object name is "messageBox".
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
