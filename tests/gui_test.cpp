// The GUI toolkit layer driven through its real Qt widgets: the widgets are
// found by their object names and fed with Qt's own test events.

#include "platform/gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"

namespace {

// GBK bytes of a UTF-8 literal, made by the code-page layer as a caller would.
std::string Gbk(const char* utf8) {
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), units);
  const int bytes = WideCharToMultiByte(CP_GBK, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string gbk(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_GBK, 0, wide.c_str(), -1, gbk.data(), bytes, nullptr, nullptr);
  gbk.pop_back();  // the converted terminator
  return gbk;
}

QString Utf8(const char* utf8) { return QString::fromUtf8(utf8); }

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

constexpr int kClientWidth = 520;
constexpr int kClientHeight = 264;

// The main window with the tool's own controls, not yet shown.
class GuiTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateMainWindow(Gbk("快递查询").c_str(), kClientWidth, kClientHeight);
    edit_ = CreateEditBox(window_, Gbk("编辑框1").c_str(), 0, 0, 512, 48,
                          Gbk("在这里输入单号~").c_str());
    query_ = CreateButton(window_, Gbk("按钮1").c_str(), 0, 48, 264, 48, Gbk("查询").c_str());
    reset_ = CreateButton(window_, Gbk("按钮2").c_str(), 264, 48, 256, 48, Gbk("重置").c_str());
    list_ = CreateListBox(window_, Gbk("列表框1").c_str(), 0, 96, 520, 144);
    label_ = CreateLabel(window_, Gbk("标签1").c_str(), 360, 240, 144, 24, "");
    ASSERT_NE(window_, nullptr);
    // Every test deletes its window, so only this one has the caption.
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->windowTitle() == Utf8("快递查询")) main_ = top;
    ASSERT_NE(main_, nullptr);
  }

  void TearDown() override {
    qApp->setStyleSheet(QString());
    delete main_;
  }

  // The control of that name inside the main window.
  template <typename Widget>
  Widget* Find(const char* utf8Name) {
    return main_ != nullptr ? main_->findChild<Widget*>(Utf8(utf8Name)) : nullptr;
  }

  QLineEdit* Edit() { return Find<QLineEdit>("编辑框1"); }
  QListWidget* List() { return Find<QListWidget>("列表框1"); }

  HWND window_ = nullptr;
  HWND edit_ = nullptr;
  HWND query_ = nullptr;
  HWND reset_ = nullptr;
  HWND list_ = nullptr;
  HWND label_ = nullptr;
  QWidget* main_ = nullptr;
};

TEST_F(GuiTest, ControlsStandWhereTheyWerePlacedInAFixedClientArea) {
  ShowWindow(window_);
  ASSERT_NE(main_, nullptr);
  EXPECT_EQ(main_->size(), QSize(kClientWidth, kClientHeight));
  EXPECT_EQ(main_->minimumSize(), main_->maximumSize());

  struct Case {
    const char* name;
    QRect geometry;
  };
  const std::vector<Case> cases = {
      {"编辑框1", {0, 0, 512, 48}},   {"按钮1", {0, 48, 264, 48}},
      {"按钮2", {264, 48, 256, 48}},  {"列表框1", {0, 96, 520, 144}},
      {"标签1", {360, 240, 144, 24}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* control = Find<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), c.geometry);
    EXPECT_TRUE(control->isVisible());
  }
}

TEST_F(GuiTest, MainWindowHasOnlyTitleAndCloseBoxAndIsCentred) {
  ShowWindow(window_);
  const Qt::WindowFlags flags = main_->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::Window));
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

  const QRect screen = main_->screen()->availableGeometry();
  const QRect frame = main_->frameGeometry();
  EXPECT_EQ(frame.x(), screen.x() + (screen.width() - frame.width()) / 2);
  EXPECT_EQ(frame.y(), screen.y() + (screen.height() - frame.height()) / 2);
}

TEST_F(GuiTest, ControlsCarryTheirInitialTextsAndSettings) {
  EXPECT_EQ(Edit()->text(), Utf8("在这里输入单号~"));
  EXPECT_EQ(Find<QPushButton>("按钮1")->text(), Utf8("查询"));
  EXPECT_EQ(Find<QPushButton>("按钮2")->text(), Utf8("重置"));
  EXPECT_EQ(Find<QLabel>("标签1")->text(), QString());
  EXPECT_EQ(main_->windowTitle(), Utf8("快递查询"));

  EXPECT_TRUE(Edit()->hasFrame());
  EXPECT_EQ(Edit()->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_TRUE(Edit()->alignment().testFlag(Qt::AlignLeft));
  EXPECT_FALSE(Edit()->isReadOnly());
  EXPECT_EQ(Edit()->echoMode(), QLineEdit::Normal);
}

TEST_F(GuiTest, EditBoxTakesTextBeyondQtsDefaultLimit) {
  const std::string longNumber(40000, '7');
  ASSERT_TRUE(SetWindowTextA(edit_, longNumber.c_str()));
  EXPECT_EQ(GetWindowTextLengthA(edit_), 40000);
  EXPECT_EQ(WindowText(edit_), longNumber);
}

TEST_F(GuiTest, ChineseTextsRoundTripThroughEveryKindOfWindow) {
  struct Case {
    const char* label;
    HWND window;
    const char* utf8;
  };
  const std::vector<Case> cases = {
      {"main window", window_, "快递查询[青松堂专版]-www.example.com"},
      {"edit box", edit_, "在这里输入单号~"},
      {"button", query_, "查询"},
      {"label", label_, "顺丰速运"},
      {"empty", edit_, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string gbk = Gbk(c.utf8);
    ASSERT_TRUE(SetWindowTextA(c.window, gbk.c_str()));
    EXPECT_EQ(GetWindowTextLengthA(c.window), static_cast<int>(gbk.size()));
    EXPECT_EQ(WindowText(c.window), gbk);
  }
  EXPECT_EQ(Find<QLabel>("标签1")->text(), Utf8("顺丰速运"));
}

TEST_F(GuiTest, GetWindowTextCutsToTheBufferWithoutSplittingACharacter) {
  const std::string gbk = Gbk("ab中c");  // a b [lead trail] c
  ASSERT_EQ(gbk.size(), 5u);
  ASSERT_TRUE(SetWindowTextA(edit_, gbk.c_str()));

  struct Case {
    const char* label;
    int maxCount;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"room for the terminator only", 1, ""},
      {"two ASCII bytes", 3, "ab"},
      {"half of the double-byte character left out", 4, "ab"},
      {"the whole double-byte character", 5, gbk.substr(0, 4)},
      {"exactly enough", 6, gbk},
      {"larger than needed", 64, gbk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string buffer(64, '#');
    const int copied = GetWindowTextA(edit_, buffer.data(), c.maxCount);
    ASSERT_EQ(copied, static_cast<int>(c.expected.size()));
    EXPECT_EQ(buffer.substr(0, c.expected.size()), c.expected);
    EXPECT_EQ(buffer[c.expected.size()], '\0');
  }

  std::string untouched(4, '#');
  EXPECT_EQ(GetWindowTextA(edit_, untouched.data(), 0), 0);
  EXPECT_EQ(untouched, "####");
}

TEST_F(GuiTest, ListBoxKeepsLinesInOrderAndAnswersItsMessages) {
  QListWidget* list = List();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->currentRow(), -1);
  EXPECT_TRUE(list->selectedItems().isEmpty());
  EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_FALSE(list->wordWrap());
  EXPECT_EQ(list->textElideMode(), Qt::ElideNone);
  EXPECT_FALSE(list->isSortingEnabled());

  const std::vector<std::string> lines = {Gbk("2024-05-03 12:00 已签收"), Gbk("2024-05-01 08:00 已揽收"),
                                          "B last"};
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines[i].c_str())),
              static_cast<LRESULT>(i));
  ASSERT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 3);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(SendMessageA(list_, LB_GETTEXTLEN, i, 0), static_cast<LRESULT>(lines[i].size()));
    std::string buffer(lines[i].size() + 1, '#');
    EXPECT_EQ(SendMessageA(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data())),
              static_cast<LRESULT>(lines[i].size()));
    EXPECT_EQ(buffer, lines[i] + '\0');
  }
  EXPECT_EQ(SendMessageA(list_, LB_GETTEXTLEN, 3, 0), LB_ERR);
  EXPECT_EQ(list->item(0)->text(), Utf8("2024-05-03 12:00 已签收"));
  EXPECT_EQ(SendMessageA(list_, 0x0400, 0, 0), 0);  // not a list box message
  EXPECT_EQ(SendMessageA(edit_, LB_GETCOUNT, 0, 0), 0);  // not a list box

  EXPECT_EQ(SendMessageA(list_, LB_RESETCONTENT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(list->count(), 0);
}

TEST_F(GuiTest, ListBoxNeverScrollsSideways) {
  ShowWindow(window_);
  const std::string longLine(600, 'W');
  for (int i = 0; i < 30; ++i)
    SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(longLine.c_str()));
  QApplication::processEvents();
  EXPECT_FALSE(List()->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(List()->verticalScrollBar()->isVisible());
}

TEST_F(GuiTest, ButtonClickRunsItsOwnHandler) {
  ShowWindow(window_);
  int queries = 0;
  int resets = 0;
  SetClickHandler(query_, [&] { ++queries; });
  SetClickHandler(reset_, [&] { ++resets; });
  QTest::mouseClick(Find<QPushButton>("按钮1"), Qt::LeftButton);
  EXPECT_EQ(queries, 1);
  EXPECT_EQ(resets, 0);
  QTest::mouseClick(Find<QPushButton>("按钮2"), Qt::LeftButton);
  EXPECT_EQ(queries, 1);
  EXPECT_EQ(resets, 1);
}

TEST_F(GuiTest, LeftMouseDownInEditBoxReportsPositionAndModifiers) {
  ShowWindow(window_);
  struct Press {
    int x, y, modifiers;
  };
  std::vector<Press> presses;
  SetMouseDownHandler(edit_, [&](int x, int y, int modifiers) { presses.push_back({x, y, modifiers}); });

  struct Case {
    const char* label;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    QPoint at;
    bool reported;
    int expectedModifiers;
  };
  const std::vector<Case> cases = {
      {"plain", Qt::LeftButton, Qt::NoModifier, {10, 20}, true, 0},
      {"ctrl", Qt::LeftButton, Qt::ControlModifier, {100, 5}, true, MODIFIER_CTRL},
      {"shift and alt", Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier, {3, 40}, true,
       MODIFIER_SHIFT | MODIFIER_ALT},
      {"right button", Qt::RightButton, Qt::NoModifier, {10, 20}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    presses.clear();
    QTest::mouseClick(Edit(), c.button, c.modifiers, c.at);
    if (!c.reported) {
      EXPECT_TRUE(presses.empty());
      continue;
    }
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].x, c.at.x());
    EXPECT_EQ(presses[0].y, c.at.y());
    EXPECT_EQ(presses[0].modifiers, c.expectedModifiers);
  }
}

TEST_F(GuiTest, EditBoxStillHandlesTheMousePressItReports) {
  ShowWindow(window_);
  int presses = 0;
  SetMouseDownHandler(edit_, [&](int, int, int) { ++presses; });
  SetWindowTextA(edit_, "123456");
  ASSERT_EQ(Edit()->cursorPosition(), 6);
  QTest::mouseClick(Edit(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 24));
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(Edit()->cursorPosition(), 0);
}

TEST_F(GuiTest, KeyDownInEditBoxReportsVirtualKeyAndModifiers) {
  std::vector<std::pair<int, int>> keys;
  SetKeyDownHandler(edit_, [&](int key, int modifiers) { keys.emplace_back(key, modifiers); });

  struct Case {
    const char* label;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int virtualKey;
    int modifierBits;
    std::size_t keyDowns;  // QTest presses the modifier keys first, as a hand would
  };
  const std::vector<Case> cases = {
      // A modifier key going down counts itself as held, as on Windows.
      {"ctrl alone", Qt::Key_Control, Qt::NoModifier, VK_CONTROL, MODIFIER_CTRL, 1},
      {"shift alone", Qt::Key_Shift, Qt::NoModifier, VK_SHIFT, MODIFIER_SHIFT, 1},
      {"alt alone", Qt::Key_Alt, Qt::NoModifier, VK_MENU, MODIFIER_ALT, 1},
      {"letter", Qt::Key_A, Qt::NoModifier, 'A', 0, 1},
      {"last letter", Qt::Key_Z, Qt::NoModifier, 'Z', 0, 1},
      {"digit", Qt::Key_7, Qt::NoModifier, '7', 0, 1},
      {"return", Qt::Key_Return, Qt::NoModifier, VK_RETURN, 0, 1},
      {"keypad enter", Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN, 0, 1},
      {"alt with a letter", Qt::Key_X, Qt::AltModifier, 'X', MODIFIER_ALT, 2},
      {"shift with a digit", Qt::Key_1, Qt::ShiftModifier, '1', MODIFIER_SHIFT, 2},
      {"ctrl and shift with a letter", Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, 'V',
       MODIFIER_CTRL | MODIFIER_SHIFT, 3},
      {"backspace", Qt::Key_Backspace, Qt::NoModifier, 8, 0, 1},
      {"escape", Qt::Key_Escape, Qt::NoModifier, 27, 0, 1},
      {"delete", Qt::Key_Delete, Qt::NoModifier, 46, 0, 1},
      {"left arrow", Qt::Key_Left, Qt::NoModifier, 37, 0, 1},
      {"down arrow", Qt::Key_Down, Qt::NoModifier, 40, 0, 1},
      {"F1", Qt::Key_F1, Qt::NoModifier, 112, 0, 1},
      {"F12", Qt::Key_F12, Qt::NoModifier, 123, 0, 1},
      {"unknown key", Qt::Key_LaunchMail, Qt::NoModifier, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    keys.clear();
    QTest::keyPress(Edit(), c.key, c.modifiers);
    ASSERT_EQ(keys.size(), c.keyDowns);
    EXPECT_EQ(keys.back().first, c.virtualKey);
    EXPECT_EQ(keys.back().second, c.modifierBits);
    QTest::keyRelease(Edit(), c.key, c.modifiers);
    EXPECT_EQ(keys.size(), c.keyDowns);  // a release is no key down
  }
}

TEST_F(GuiTest, HeldKeyRepeatsItsKeyDown) {
  int ctrlDowns = 0;
  SetKeyDownHandler(edit_, [&](int key, int) { ctrlDowns += key == VK_CONTROL ? 1 : 0; });
  QTest::keyPress(Edit(), Qt::Key_Control);
  for (int i = 0; i < 2; ++i) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, QString(), true);
    QApplication::sendEvent(Edit(), &repeat);
  }
  EXPECT_EQ(ctrlDowns, 3);
}

// The main window's own use: a handler empties the box and turns it blue in
// the middle of the event; the box then takes typing as usual.
TEST_F(GuiTest, HandlersMayClearTheBoxDuringTheirEvent) {
  ShowWindow(window_);
  auto clearForTyping = [this] {
    SetWindowTextA(edit_, "");
    SetEditTextColor(edit_, 0xFF0000);
  };
  SetMouseDownHandler(edit_, [&](int, int, int) { clearForTyping(); });
  SetKeyDownHandler(edit_, [&](int key, int) {
    if (key == VK_CONTROL) clearForTyping();
  });

  struct Case {
    const char* label;
    std::function<void()> trigger;
  };
  const std::vector<Case> cases = {
      {"left click", [this] { QTest::mouseClick(Edit(), Qt::LeftButton); }},
      {"ctrl key", [this] { QTest::keyClick(Edit(), Qt::Key_Control); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetEditTextColor(edit_, 0x808080);
    SetWindowTextA(edit_, Gbk("在这里输入单号~").c_str());
    c.trigger();
    EXPECT_EQ(Edit()->text(), QString());
    EXPECT_EQ(Edit()->palette().color(QPalette::Text), QColor(0, 0, 255));
    QTest::keyClicks(Edit(), "SF123");
    EXPECT_EQ(WindowText(edit_), "SF123");
  }
}

// Pixels of the rendered box whose colour is close to the given one.
int PixelsNear(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (std::abs(pixel.red() - colour.red()) < 40 && std::abs(pixel.green() - colour.green()) < 40 &&
          std::abs(pixel.blue() - colour.blue()) < 40)
        ++count;
    }
  return count;
}

TEST_F(GuiTest, EditTextColourHoldsAgainstAnApplicationStyleSheet) {
  ShowWindow(window_);
  SetEditFont(edit_, 32, 700);
  SetWindowTextA(edit_, "88888888");
  const QColor blue(0, 0, 255);
  const QColor red(255, 0, 0);

  struct Case {
    const char* label;
    bool colourBeforeSheet;
  };
  const std::vector<Case> cases = {{"colour set, then the sheet", true},
                                   {"sheet, then the colour set", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qApp->setStyleSheet(QString());
    SetEditTextColor(edit_, 0x808080);
    if (c.colourBeforeSheet) SetEditTextColor(edit_, 0xFF0000);  // COLORREF blue
    qApp->setStyleSheet(QStringLiteral("QLineEdit { color: red; }"));
    if (!c.colourBeforeSheet) SetEditTextColor(edit_, 0xFF0000);
    Edit()->ensurePolished();
    EXPECT_EQ(Edit()->palette().color(QPalette::Text), blue);
    const QImage image = Edit()->grab().toImage();
    EXPECT_GT(PixelsNear(image, blue), 20);
    EXPECT_EQ(PixelsNear(image, red), 0);
  }
}

TEST_F(GuiTest, EditTextColourTakesEffectAtOnce) {
  struct Case {
    const char* label;
    COLORREF color;
    QColor expected;
  };
  const std::vector<Case> cases = {
      {"grey hint", 0x808080, QColor(0x80, 0x80, 0x80)},
      {"blue typing", 0xFF0000, QColor(0, 0, 0xFF)},
      {"byte order", 0x00332211, QColor(0x11, 0x22, 0x33)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetEditTextColor(edit_, c.color);
    EXPECT_EQ(Edit()->palette().color(QPalette::Text), c.expected);
  }
}

TEST_F(GuiTest, EditFontHasThePixelHeightAndWeight) {
  struct Case {
    const char* label;
    int weight;
    QFont::Weight expected;
  };
  const std::vector<Case> cases = {
      {"normal", 400, QFont::Normal}, {"bold", 700, QFont::Bold}, {"don't care", 0, QFont::Normal}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetEditFont(edit_, 32, c.weight);
    EXPECT_EQ(Edit()->font().pixelSize(), 32);
    EXPECT_EQ(Edit()->font().weight(), c.expected);
    EXPECT_FALSE(Edit()->font().italic());
    EXPECT_EQ(Edit()->font().family(), QApplication::font().family());
  }
}

TEST_F(GuiTest, CreatedHandlerRunsOnceBeforeTheWindowIsVisible) {
  int runs = 0;
  bool visibleDuringRun = true;
  bool controlsDuringRun = false;
  SetCreatedHandler(window_, [&] {
    ++runs;
    visibleDuringRun = main_->isVisible();
    controlsDuringRun = Edit() != nullptr;
  });
  ShowWindow(window_);
  main_->hide();
  ShowWindow(window_);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(visibleDuringRun);
  EXPECT_TRUE(controlsDuringRun);
  EXPECT_TRUE(main_->isVisible());
}

TEST_F(GuiTest, ClosingTheMainWindowEndsTheMessageLoop) {
  ShowWindow(window_);
  QTimer::singleShot(0, main_, [this] { main_->close(); });
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_FALSE(main_->isVisible());
}

TEST_F(GuiTest, MessageBoxShowsItsTextsAndReturnsWhenClosed) {
  QString seenText;
  QString seenCaption;
  QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->objectName(), QStringLiteral("messageBox"));
    seenText = box->text();
    seenCaption = box->windowTitle();
    seenIcon = box->icon();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
  EXPECT_EQ(MessageBoxA(window_, Gbk("无法加载 jedata.dll").c_str(), Gbk("错误").c_str(),
                        MB_OK | MB_ICONERROR),
            IDOK);
  EXPECT_EQ(seenText, Utf8("无法加载 jedata.dll"));
  EXPECT_EQ(seenCaption, Utf8("错误"));
  EXPECT_EQ(seenIcon, QMessageBox::Critical);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(GuiWaitCursor, BusyCursorIsShownUntilEnded) {
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  BeginWaitCursor();
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  EndWaitCursor();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EndWaitCursor();  // unbalanced end does no harm
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(GuiHandles, NullHandlesFailQuietly) {
  char buffer[4] = "abc";
  EXPECT_EQ(CreateEditBox(nullptr, "e", 0, 0, 1, 1, ""), nullptr);
  EXPECT_EQ(SetWindowTextA(nullptr, "x"), FALSE);
  EXPECT_EQ(GetWindowTextLengthA(nullptr), 0);
  EXPECT_EQ(GetWindowTextA(nullptr, buffer, 4), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(SendMessageA(nullptr, LB_GETCOUNT, 0, 0), 0);
}

}  // namespace
