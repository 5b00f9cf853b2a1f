#include "app/main_window.h"

#include <string>

#include "lookup/courier.h"
#include "text/text_primitives.h"

namespace {

// 快递查询[青松堂专版]- and the publisher's address.
constexpr const char* kCaption =
    "\xbf\xec\xb5\xdd\xb2\xe9\xd1\xaf[\xc7\xe0\xcb\xc9\xcc\xc3\xd7\xa8\xb0\xe6]-"
    "www.parceltrace.example";
constexpr const char* kQueryText = "\xb2\xe9\xd1\xaf";  // 查询
constexpr const char* kResetText = "\xd6\xd8\xd6\xc3";  // 重置

constexpr int kClientWidth = 520;
constexpr int kClientHeight = 264;
constexpr int kInputFontHeight = 32;
constexpr int kInputFontWeight = 400;

const Text kTimeDescriptionSeparator{" "};

// The busy cursor for as long as the window is blocked.
class WaitCursor {
 public:
  WaitCursor() { BeginWaitCursor(); }
  ~WaitCursor() { EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

Text WindowText(HWND window) {
  std::string buffer(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  const int copied = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
  buffer.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return Text(buffer);
}

void AppendLine(HWND list, const Text& line) {
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void ClearList(HWND list) { SendMessageA(list, LB_RESETCONTENT, 0, 0); }

// The k-th event's line: its time, a space and its description; an event
// past the end of the descriptions (one came back empty) shows its time alone.
Text EventLine(const TextList& times, const TextList& descriptions, int k) {
  if (k > descriptions.Count()) return times.Item(k);
  return times.Item(k) + kTimeDescriptionSeparator + descriptions.Item(k);
}

}  // namespace

MainWindow CreateMainWindowWithControls(std::function<void()> onCreated) {
  MainWindow w;
  w.window = CreateMainWindow(kCaption, kClientWidth, kClientHeight);
  if (!w.window) return w;
  w.editBox = CreateEditBox(w.window, kEditBoxName, 0, 0, 512, 48, kInputHint);
  w.queryButton = CreateButton(w.window, kQueryButtonName, 0, 48, 264, 48, kQueryText);
  w.resetButton = CreateButton(w.window, kResetButtonName, 264, 48, 256, 48, kResetText);
  w.eventList = CreateListBox(w.window, kEventListName, 0, 96, 520, 144);
  w.statusLabel = CreateLabel(w.window, kStatusLabelName, 0, 240, 360, 24, "");
  w.companyLabel = CreateLabel(w.window, kCompanyLabelName, 360, 240, 144, 24, "");
  SetEditTextColor(w.editBox, kHintColor);
  SetEditFont(w.editBox, kInputFontHeight, kInputFontWeight);

  SetCreatedHandler(w.window, std::move(onCreated));
  SetClickHandler(w.queryButton, [w] { OnQuery(w); });
  SetClickHandler(w.resetButton, [w] { OnReset(w); });
  SetMouseDownHandler(w.editBox, [w](int, int, int) { OnClearInput(w); });
  SetKeyDownHandler(w.editBox,
                    [w](int virtualKey, int modifiers) { OnInputKeyDown(w, virtualKey, modifiers); });
  return w;
}

void OnQuery(const MainWindow& window) {
  TextList times;
  TextList descriptions;
  ClearList(window.eventList);
  const Text number = WindowText(window.editBox);
  Text status;
  {
    WaitCursor busy;
    status = LookupTracking(number, times, descriptions, [&window](const Text& label) {
      SetWindowTextA(window.companyLabel, label.c_str());
    });
  }
  SetWindowTextA(window.statusLabel, status.c_str());
  for (int k = times.Count(); k >= 1; --k) {
    AppendLine(window.eventList, EventLine(times, descriptions, k));
  }
}

void OnReset(const MainWindow& window) {
  ClearList(window.eventList);
  SetWindowTextA(window.editBox, kInputHint);
  SetEditTextColor(window.editBox, kHintColor);
}

void OnClearInput(const MainWindow& window) {
  SetWindowTextA(window.editBox, "");
  SetEditTextColor(window.editBox, kTypingColor);
}

void OnInputKeyDown(const MainWindow& window, int virtualKey, int /*modifiers*/) {
  if (virtualKey == VK_CONTROL) OnClearInput(window);
  if (virtualKey == VK_RETURN) OnQuery(window);
}
