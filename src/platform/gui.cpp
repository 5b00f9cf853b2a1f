#include "platform/gui.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"

// The layer's record behind an HWND. It lives exactly as long as its widget:
// created with it, deleted when the widget's destroyed() signal fires.
struct GuiWindow {
  QPointer<QWidget> widget;
  bool shownBefore = false;
  std::function<void()> created;
  std::function<void()> clicked;
  std::function<void(int x, int y, int modifiers)> mouseDown;
  std::function<void(int virtualKey, int modifiers)> keyDown;
};

namespace {

constexpr char kMessageBoxObjectName[] = "messageBox";
// The bits of a message box type that choose its icon.
constexpr UINT kMessageBoxIconMask = 0xF0;

// A GBK lead byte; the byte after it belongs to the same character.
constexpr unsigned char kFirstLeadByte = 0x81;
constexpr unsigned char kLastLeadByte = 0xFE;

// ---- Text conversion: the only place GBK meets the toolkit's text ----

QString FromGbk(LPCSTR gbk) {
  if (gbk == nullptr || *gbk == '\0') return {};
  const int units = MultiByteToWideChar(CP_GBK, 0, gbk, -1, nullptr, 0);
  if (units <= 1) return {};
  std::vector<WCHAR> wide(static_cast<std::size_t>(units));
  if (MultiByteToWideChar(CP_GBK, 0, gbk, -1, wide.data(), units) != units) return {};
  return QString::fromUtf16(wide.data(), units - 1);  // without the terminator
}

std::string ToGbk(const QString& text) {
  if (text.isEmpty()) return {};
  const auto* wide = reinterpret_cast<LPCWSTR>(text.utf16());
  const int wideLength = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_GBK, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string gbk(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_GBK, 0, wide, wideLength, gbk.data(), bytes, nullptr, nullptr) !=
      bytes)
    return {};
  return gbk;
}

bool IsLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= kFirstLeadByte && value <= kLastLeadByte;
}

// The longest prefix of gbk of at most maxBytes bytes that ends on a
// character boundary, so that a cut never leaves half a character behind.
std::size_t WholeCharacterPrefix(const std::string& gbk, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < gbk.size()) {
    const std::size_t width = IsLeadByte(gbk[end]) && end + 1 < gbk.size() ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return end;
}

// ---- Handles ----

QWidget* WidgetOf(HWND window) { return window != nullptr ? window->widget.data() : nullptr; }

HWND Register(QWidget* widget) {
  auto* window = new GuiWindow;
  window->widget = widget;
  QObject::connect(widget, &QObject::destroyed, [window] { delete window; });
  return window;
}

// ---- Events ----

int ModifierBits(Qt::KeyboardModifiers modifiers) {
  int bits = 0;
  if (modifiers.testFlag(Qt::ControlModifier)) bits |= MODIFIER_CTRL;
  if (modifiers.testFlag(Qt::ShiftModifier)) bits |= MODIFIER_SHIFT;
  if (modifiers.testFlag(Qt::AltModifier)) bits |= MODIFIER_ALT;
  return bits;
}

constexpr int kVkUnknown = 0;
constexpr int kVkF1 = 112;

struct KeyMapping {
  int qtKey;
  int virtualKey;
};

constexpr KeyMapping kNamedKeys[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9},
    {Qt::Key_Return, 13},   {Qt::Key_Enter, 13},     {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},                   {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20},  {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},    {Qt::Key_PageUp, 33},    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},      {Qt::Key_Home, 36},      {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},       {Qt::Key_Right, 39},     {Qt::Key_Down, 40},
    {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46},    {Qt::Key_Meta, 91},
    {Qt::Key_Menu, 93},
};

// The Windows virtual-key code of a Qt key; letters and digits share their
// codes with the ASCII upper-case letters and digits.
int VirtualKeyOf(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return kVkF1 + (qtKey - Qt::Key_F1);
  for (const KeyMapping& mapping : kNamedKeys)
    if (mapping.qtKey == qtKey) return mapping.virtualKey;
  return kVkUnknown;
}

// Reports the edit box's mouse presses and key presses to its handlers. It
// only watches: the line edit still receives every event.
class EditEventWatcher : public QObject {
 public:
  EditEventWatcher(GuiWindow* edit, QObject* parent) : QObject(parent), edit_(edit) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* press = static_cast<QMouseEvent*>(event);
      if (press->button() == Qt::LeftButton && edit_->mouseDown) {
        const QPoint at = press->position().toPoint();
        edit_->mouseDown(at.x(), at.y(), ModifierBits(press->modifiers()));
      }
    } else if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (edit_->keyDown) edit_->keyDown(VirtualKeyOf(key->key()), ModifierBits(key->modifiers()));
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  GuiWindow* edit_;
};

// Closing the main window ends the message loop, whatever other windows are
// still around.
class MainWindowCloseWatcher : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) QCoreApplication::exit(0);
    return QObject::eventFilter(watched, event);
  }
};

// ---- Application lifetime ----

// Created by InitGuiToolkit. Unless ShutdownGuiToolkit destroys it, it lives
// to the end of the process: Qt cannot tear it down during static
// destruction, when Qt's own global objects may already be gone.
QApplication* theApplication = nullptr;

// Deletes the top-level windows still alive, so that no widget outlives the
// application. Children go with their parents.
void DeleteTopLevelWindows() {
  std::vector<QPointer<QWidget>> windows;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->parentWidget() == nullptr) windows.emplace_back(widget);
  for (const QPointer<QWidget>& widget : windows) delete widget.data();
}

// ---- Controls ----

template <typename Control>
Control* PlaceControl(HWND parent, LPCSTR name, int x, int y, int width, int height) {
  QWidget* parentWidget = WidgetOf(parent);
  if (parentWidget == nullptr) return nullptr;
  auto* control = new Control(parentWidget);
  control->setObjectName(FromGbk(name));
  control->setGeometry(x, y, width, height);
  control->show();  // visible with its parent, also when added after the parent was shown
  return control;
}

QString ColorName(COLORREF color) {
  const int red = static_cast<int>(color & 0xFFu);
  const int green = static_cast<int>((color >> 8) & 0xFFu);
  const int blue = static_cast<int>((color >> 16) & 0xFFu);
  return QColor(red, green, blue).name();  // "#rrggbb"
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize frame = window->frameGeometry().size();
  window->move(area.x() + (area.width() - frame.width()) / 2,
               area.y() + (area.height() - frame.height()) / 2);
}

QListWidget* ListBoxOf(HWND window) { return qobject_cast<QListWidget*>(WidgetOf(window)); }

// The GBK bytes of a list box line; nothing for an index past the last line.
std::optional<std::string> ListLine(QListWidget* list, WPARAM index) {
  if (index >= static_cast<WPARAM>(list->count())) return std::nullopt;
  return ToGbk(list->item(static_cast<int>(index))->text());
}

QString TextOf(QWidget* widget) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  return widget->windowTitle();
}

}  // namespace

void InitGuiToolkit(int& argc, char** argv) {
  if (theApplication != nullptr) return;
  theApplication = new QApplication(argc, argv);
  // Only the main window's close box ends the loop, not the last box closed.
  QApplication::setQuitOnLastWindowClosed(false);
}

void ShutdownGuiToolkit() {
  if (theApplication == nullptr) return;
  DeleteTopLevelWindows();
  delete theApplication;
  theApplication = nullptr;
}

HWND CreateMainWindow(LPCSTR caption, int clientWidth, int clientHeight) {
  auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  window->setWindowTitle(FromGbk(caption));
  window->setFixedSize(clientWidth, clientHeight);
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  window->setPalette(palette);
  window->setAutoFillBackground(true);
  window->installEventFilter(new MainWindowCloseWatcher(window));
  return Register(window);
}

HWND CreateEditBox(HWND parent, LPCSTR name, int x, int y, int width, int height, LPCSTR text) {
  auto* edit = PlaceControl<QLineEdit>(parent, name, x, y, width, height);
  if (edit == nullptr) return nullptr;
  edit->setMaxLength(std::numeric_limits<int>::max());
  edit->setFrame(true);
  edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, Qt::white);
  edit->setPalette(palette);
  edit->setText(FromGbk(text));
  HWND handle = Register(edit);
  edit->installEventFilter(new EditEventWatcher(handle, edit));
  return handle;
}

HWND CreateButton(HWND parent, LPCSTR name, int x, int y, int width, int height, LPCSTR text) {
  auto* button = PlaceControl<QPushButton>(parent, name, x, y, width, height);
  if (button == nullptr) return nullptr;
  button->setText(FromGbk(text));
  HWND handle = Register(button);
  QObject::connect(button, &QPushButton::clicked, [handle] {
    if (handle->clicked) handle->clicked();
  });
  return handle;
}

HWND CreateListBox(HWND parent, LPCSTR name, int x, int y, int width, int height) {
  auto* list = PlaceControl<QListWidget>(parent, name, x, y, width, height);
  if (list == nullptr) return nullptr;
  list->setSortingEnabled(false);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setWordWrap(false);
  list->setTextElideMode(Qt::ElideNone);
  list->setFrameShape(QFrame::StyledPanel);
  list->setFrameShadow(QFrame::Sunken);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return Register(list);
}

HWND CreateLabel(HWND parent, LPCSTR name, int x, int y, int width, int height, LPCSTR text) {
  auto* label = PlaceControl<QLabel>(parent, name, x, y, width, height);
  if (label == nullptr) return nullptr;
  label->setTextFormat(Qt::PlainText);
  label->setText(FromGbk(text));
  return Register(label);
}

void ShowWindow(HWND window) {
  QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return;
  const bool firstTime = !window->shownBefore;
  window->shownBefore = true;
  if (firstTime && window->created) window->created();
  if (firstTime && widget->isWindow()) CentreOnScreen(widget);
  widget->show();
  // A window manager adds its frame only once the window is shown; centre
  // the framed window.
  if (firstTime && widget->isWindow()) CentreOnScreen(widget);
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return FALSE;
  const QString value = FromGbk(text);
  if (auto* edit = qobject_cast<QLineEdit*>(widget))
    edit->setText(value);
  else if (auto* button = qobject_cast<QPushButton*>(widget))
    button->setText(value);
  else if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(value);
  else
    widget->setWindowTitle(value);
  return TRUE;
}

int GetWindowTextLengthA(HWND window) {
  QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return 0;
  return static_cast<int>(ToGbk(TextOf(widget)).size());
}

int GetWindowTextA(HWND window, LPSTR buffer, int maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  buffer[0] = '\0';
  QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return 0;
  const std::string gbk = ToGbk(TextOf(widget));
  const std::size_t copied = WholeCharacterPrefix(gbk, static_cast<std::size_t>(maxCount) - 1);
  std::memcpy(buffer, gbk.data(), copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

void SetEditTextColor(HWND edit, COLORREF color) {
  auto* lineEdit = qobject_cast<QLineEdit*>(WidgetOf(edit));
  if (lineEdit == nullptr) return;
  const QString name = ColorName(color);
  // The widget's own style sheet wins over any application style sheet, so
  // a skin applied later cannot take the colour away.
  lineEdit->setStyleSheet(QStringLiteral("color: %1;").arg(name));
  QPalette palette = lineEdit->palette();
  palette.setColor(QPalette::Text, QColor(name));
  lineEdit->setPalette(palette);
  lineEdit->update();
}

void SetEditFont(HWND edit, int pixelHeight, int weight) {
  auto* lineEdit = qobject_cast<QLineEdit*>(WidgetOf(edit));
  if (lineEdit == nullptr || pixelHeight <= 0) return;
  constexpr int kLightest = QFont::Thin;
  constexpr int kHeaviest = QFont::Black;
  QFont font = QApplication::font();
  font.setPixelSize(pixelHeight);
  // 0 is "don't care" to Windows; Qt's weights share Windows' 100..900 scale.
  font.setWeight(weight == 0 ? QFont::Normal
                             : static_cast<QFont::Weight>(std::clamp(weight, kLightest, kHeaviest)));
  lineEdit->setFont(font);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  QListWidget* list = ListBoxOf(window);
  if (list == nullptr) return 0;
  switch (message) {
    case LB_ADDSTRING:
      list->addItem(FromGbk(reinterpret_cast<LPCSTR>(lParam)));
      return list->count() - 1;
    case LB_RESETCONTENT:
      list->clear();
      return 0;
    case LB_GETCOUNT:
      return list->count();
    case LB_GETTEXTLEN: {
      const std::optional<std::string> line = ListLine(list, wParam);
      return line ? static_cast<LRESULT>(line->size()) : LB_ERR;
    }
    case LB_GETTEXT: {
      const std::optional<std::string> line = ListLine(list, wParam);
      auto* buffer = reinterpret_cast<LPSTR>(lParam);
      if (!line || buffer == nullptr) return LB_ERR;
      std::memcpy(buffer, line->c_str(), line->size() + 1);
      return static_cast<LRESULT>(line->size());
    }
    default:
      return 0;
  }
}

void SetCreatedHandler(HWND window, std::function<void()> handler) {
  if (window != nullptr) window->created = std::move(handler);
}

void SetClickHandler(HWND button, std::function<void()> handler) {
  if (button != nullptr) button->clicked = std::move(handler);
}

void SetMouseDownHandler(HWND edit, std::function<void(int x, int y, int modifiers)> handler) {
  if (edit != nullptr) edit->mouseDown = std::move(handler);
}

void SetKeyDownHandler(HWND edit, std::function<void(int virtualKey, int modifiers)> handler) {
  if (edit != nullptr) edit->keyDown = std::move(handler);
}

void BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void EndWaitCursor() {
  if (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

int RunMessageLoop() { return QApplication::exec(); }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const QMessageBox::Icon icon =
      (type & kMessageBoxIconMask) == MB_ICONERROR ? QMessageBox::Critical : QMessageBox::NoIcon;
  QMessageBox box(icon, FromGbk(caption), FromGbk(text), QMessageBox::Ok, WidgetOf(owner));
  box.setObjectName(QString::fromLatin1(kMessageBoxObjectName));
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  return IDOK;
}
