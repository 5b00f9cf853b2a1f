// The main window's handlers, driven through the real widgets with Qt's test
// tools, with the real lookup asking the stand-in service.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/main_window_widgets.h"
#include "support/standin_service.h"

namespace {

const QString kHint = QString::fromUtf8("在这里输入单号~");
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);

StandinService& Service() {
  static StandinService service;
  return service;
}

class MainWindowTest : public testing::Test, protected MainWindowWidgets {
 protected:
  void SetUp() override {
    setenv("http_proxy", Service().Address().c_str(), 1);
    Service().ClearRequests();
    window = CreateMainWindowWithControls([this] { ++createdCalls; });
    ASSERT_NE(window.window, nullptr);
    ShowWindow(window.window);
    static_cast<MainWindowWidgets&>(*this) = FindMainWindowWidgets();
    ASSERT_TRUE(complete());
  }
  void TearDown() override {
    unsetenv("http_proxy");
    delete top;
  }

  void TypeNumber(const QString& number) {
    QTest::mouseClick(input, Qt::LeftButton);
    QTest::keyClicks(input, number);
  }
  void Query(const QString& number) {
    TypeNumber(number);
    QTest::mouseClick(query, Qt::LeftButton);
  }
  QStringList Lines() const {
    QStringList lines;
    for (int row = 0; row < list->count(); ++row) lines << list->item(row)->text();
    return lines;
  }
  QColor InputColor() const { return input->palette().color(QPalette::Text); }

  MainWindow window;
  int createdCalls = 0;
};

TEST_F(MainWindowTest, StartsWithTheGreyHintAndEmptyControls) {
  EXPECT_EQ(createdCalls, 1);
  EXPECT_EQ(top->windowTitle(), QString::fromUtf8("快递查询[青松堂专版]-www.parceltrace.example"));
  EXPECT_EQ(input->text(), kHint);
  EXPECT_EQ(InputColor(), kGrey);
  EXPECT_EQ(input->font().pixelSize(), 32);
  EXPECT_EQ(query->text(), QString::fromUtf8("查询"));
  EXPECT_EQ(reset->text(), QString::fromUtf8("重置"));
  EXPECT_EQ(list->count(), 0);
  EXPECT_TRUE(company->text().isEmpty());
  const struct {
    QWidget* widget;
    QRect geometry;
  } layout[] = {
      {input, {0, 0, 512, 48}},   {query, {0, 48, 264, 48}},     {reset, {264, 48, 256, 48}},
      {list, {0, 96, 520, 144}},  {company, {360, 240, 144, 24}},
  };
  for (const auto& control : layout) {
    SCOPED_TRACE(control.widget->objectName().toStdString());
    EXPECT_EQ(control.widget->geometry(), control.geometry);
  }
}

TEST_F(MainWindowTest, QueryListsTheEventsInReverseOrder) {
  Query("4318001234567");
  const QStringList lines = Lines();
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(lines.first(), QString::fromUtf8("2024-05-01 09:12:40 【杭州市】浙江杭州萧山公司 已揽收"));
  EXPECT_EQ(lines.last(), QString::fromUtf8("2024-05-02 08:02:40 【南京市】快件已签收，签收人：幸福里3号楼驿站，感谢使用韵达快递，期待再次为您服务"));
  EXPECT_EQ(company->text(), QString::fromUtf8("快递类型： 韵达快递"));
  EXPECT_EQ(status->text(), QString::fromUtf8("成功"));
}

TEST_F(MainWindowTest, ListsWhenTheTwoListsDifferInLength) {
  struct Case {
    const char* label;
    const char* number;
    std::vector<const char*> lines;
  } cases[] = {
      {"more descriptions than times", "ET800000008",
       {"2024-05-06 07:27:12 【九江市】已到达 江西九江浔阳分部"}},
      {"fewer descriptions: the rest show their time alone", "ED700000007",
       {"2024-05-05 06:40:00", "2024-05-05 08:15:00", "2024-05-05 15:05:00",
        "2024-05-05 17:15:00",
        "2024-05-06 01:55:00 【上饶市】已到达 江西上饶信州公司",
        "2024-05-06 03:10:00 【上饶市】江西上饶信州公司 派件员：范涛 181****5530 正在为您派件"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Query(c.number);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(c.lines.size()));
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(lines[static_cast<qsizetype>(i)], QString::fromUtf8(c.lines[i]));
    }
  }
}

TEST_F(MainWindowTest, QueryWithTheHintSendsTheHintAsTheNumber) {
  QTest::mouseClick(query, Qt::LeftButton);
  const std::vector<std::string> requests = Service().RequestLines();
  ASSERT_EQ(requests.size(), 1u);
  // 在这里输入单号~ in GBK, escaped on the wire.
  EXPECT_EQ(requests[0], "GET http://track.parceltrace.example/autonumber/auto?num="
                         "%D4%DA%D5%E2%C0%EF%CA%E4%C8%EB%B5%A5%BA%C5~ HTTP/1.1");
  EXPECT_EQ(status->text(), QString::fromUtf8("无法判断类型，请检查快递号"));
  EXPECT_TRUE(company->text().isEmpty());
}

TEST_F(MainWindowTest, QueryClearsTheListBeforeAFailingLookup) {
  Query("4318001234567");
  ASSERT_EQ(list->count(), 7);
  Query("NE400000004");
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(status->text(), QString::fromUtf8("快递公司参数异常：单号不存在或者已经过期"));
  EXPECT_EQ(company->text(), QString::fromUtf8("快递类型： 圆通快递"));
}

TEST_F(MainWindowTest, ResetRestoresTheHintAndKeepsTheLabel) {
  Query("4318001234567");
  ASSERT_EQ(input->text(), QString("4318001234567"));
  EXPECT_EQ(InputColor(), kBlue);
  QTest::mouseClick(reset, Qt::LeftButton);
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(input->text(), kHint);
  EXPECT_EQ(InputColor(), kGrey);
  EXPECT_EQ(company->text(), QString::fromUtf8("快递类型： 韵达快递"));
}

TEST_F(MainWindowTest, LeftClickErasesATypedNumber) {
  TypeNumber("12345");
  ASSERT_EQ(input->text(), QString("12345"));
  QTest::mouseClick(input, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 10));
  EXPECT_TRUE(input->text().isEmpty());
  EXPECT_EQ(InputColor(), kBlue);
}

TEST_F(MainWindowTest, OnlyTheCtrlKeyClearsTheInput) {
  struct Case {
    const char* label;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool clears;
  } cases[] = {
      {"Shift", Qt::Key_Shift, Qt::NoModifier, false},
      {"Alt", Qt::Key_Alt, Qt::NoModifier, false},
      {"a letter", Qt::Key_Q, Qt::NoModifier, false},
      {"a digit", Qt::Key_7, Qt::NoModifier, false},
      {"Ctrl", Qt::Key_Control, Qt::NoModifier, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    QTest::mouseClick(reset, Qt::LeftButton);  // grey hint again
    const QString before = input->text();
    input->setFocus();
    QTest::keyPress(input, c.key, c.modifiers);
    QTest::keyRelease(input, c.key, c.modifiers);
    if (c.clears) {
      EXPECT_TRUE(input->text().isEmpty());
      EXPECT_EQ(InputColor(), kBlue);
    } else {
      EXPECT_TRUE(input->text().startsWith(kHint));
      EXPECT_EQ(InputColor(), kGrey);
    }
  }
}

TEST_F(MainWindowTest, EnterInTheInputRunsQuery) {
  TypeNumber("720184466302");
  QTest::keyClick(input, Qt::Key_Return);
  EXPECT_EQ(list->count(), 7);
  EXPECT_EQ(company->text(), QString::fromUtf8("快递类型： 全峰"));
}

}  // namespace
