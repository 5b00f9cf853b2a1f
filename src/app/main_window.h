// The main window: an input box for the tracking number, Query and Reset,
// the list of tracking events and the company label. The window keeps no
// state beyond its controls.
#pragma once

#include <functional>

#include "platform/gui.h"

struct MainWindow {
  HWND window = nullptr;
  HWND editBox = nullptr;       // 编辑框1
  HWND queryButton = nullptr;   // 按钮1
  HWND resetButton = nullptr;   // 按钮2
  HWND eventList = nullptr;     // 列表框1
  HWND companyLabel = nullptr;  // 标签1
  HWND statusLabel = nullptr;   // why the last query listed what it did
};

// The controls' names (GBK), by which they can be found.
inline constexpr const char* kEditBoxName = "\xb1\xe0\xbc\xad\xbf\xf2" "1";      // 编辑框1
inline constexpr const char* kQueryButtonName = "\xb0\xb4\xc5\xa5" "1";         // 按钮1
inline constexpr const char* kResetButtonName = "\xb0\xb4\xc5\xa5" "2";         // 按钮2
inline constexpr const char* kEventListName = "\xc1\xd0\xb1\xed\xbf\xf2" "1";    // 列表框1
inline constexpr const char* kCompanyLabelName = "\xb1\xea\xc7\xa9" "1";        // 标签1
inline constexpr const char* kStatusLabelName = "\xd7\xb4\xcc\xac";             // 状态

// The input hint and the two text colours of the input box.
inline constexpr const char* kInputHint =
    "\xd4\xda\xd5\xe2\xc0\xef\xca\xe4\xc8\xeb\xb5\xa5\xba\xc5~";  // 在这里输入单号~
inline constexpr COLORREF kHintColor = 0x808080;    // grey
inline constexpr COLORREF kTypingColor = 0xFF0000;  // blue

// Creates the window and its controls and wires the handlers; onCreated runs
// once when the window is first shown. Not shown yet. window is null when the
// toolkit could not create it.
MainWindow CreateMainWindowWithControls(std::function<void()> onCreated);

// The handlers, callable directly as well as through the controls' events.
// Query: empties the list, looks the input box's text up as it stands (the
// hint included), shows the status, and lists the events newest first.
void OnQuery(const MainWindow& window);
// Reset: empties the list and restores the grey hint; the label stays.
void OnReset(const MainWindow& window);
// Clear input: empties the input box for typing in blue.
void OnClearInput(const MainWindow& window);
// Key down in the input box: Ctrl clears it, Enter runs Query.
void OnInputKeyDown(const MainWindow& window, int virtualKey, int modifiers);
