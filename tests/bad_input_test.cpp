// Whatever a user types, pastes or leaves in the input box goes to the
// service as one well-formed request line, and the window stays usable: the
// real window, driven with Qt's test tools, with the real lookup asking the
// stand-in service.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/loopback_server.h"
#include "support/main_window_widgets.h"
#include "support/standin_service.h"

namespace {

const std::string kDetectionStart = "GET http://track.parceltrace.example/autonumber/auto?num=";
const std::string kVersionEnd = " HTTP/1.1";
// The stand-in service reads at most this many bytes of a request line.
constexpr std::size_t kServiceLineLimit = 65536;
const char* const kGoodNumber = "4318001234567";
constexpr int kGoodNumberEvents = 7;

StandinService& Service() {
  static StandinService service;
  return service;
}

// The input box's bytes as they go into a request line: bytes that cannot
// stand there escaped, everything else as it is.
std::string OnTheWire(const std::string& number) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string wire;
  for (const char c : number) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || byte == '#' || byte >= 0x80) {
      wire += '%';
      wire += kHex[byte >> 4];
      wire += kHex[byte & 0x0F];
    } else {
      wire += c;
    }
  }
  return wire;
}

// Exactly "GET <target> HTTP/1.1", the target free of spaces and control bytes.
::testing::AssertionResult IsWellFormedRequestLine(const std::string& line) {
  if (line.size() < 4 + kVersionEnd.size() || line.compare(0, 4, "GET ") != 0 ||
      line.compare(line.size() - kVersionEnd.size(), kVersionEnd.size(), kVersionEnd) != 0) {
    return ::testing::AssertionFailure() << "not GET ... HTTP/1.1: " << line.substr(0, 200);
  }
  const std::string target = line.substr(4, line.size() - 4 - kVersionEnd.size());
  for (const char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      return ::testing::AssertionFailure() << "byte " << int{byte} << " in the target";
    }
  }
  return ::testing::AssertionSuccess();
}

class BadInputTest : public testing::Test, protected MainWindowWidgets {
 protected:
  void SetUp() override {
    setenv("http_proxy", Service().Address().c_str(), 1);
    window = CreateMainWindowWithControls([] {});
    ASSERT_NE(window.window, nullptr);
    ShowWindow(window.window);
    static_cast<MainWindowWidgets&>(*this) = FindMainWindowWidgets();
    ASSERT_TRUE(complete());
  }
  void TearDown() override {
    unsetenv("http_proxy");
    delete top;
  }

  // The input box's text as the Query handler reads it.
  std::string InputBytes() const {
    std::string buffer(static_cast<std::size_t>(GetWindowTextLengthA(window.editBox)) + 1, '\0');
    const int copied = GetWindowTextA(window.editBox, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return buffer;
  }

  MainWindow window;
};

TEST_F(BadInputTest, EveryInputMakesOneWellFormedRequestAndTheWindowStaysUsable) {
  const auto typed = [this](const char* utf8) {
    return [this, utf8] {
      QTest::mouseClick(input, Qt::LeftButton);
      QTest::keyClicks(input, QString::fromUtf8(utf8));
    };
  };
  // Text outside ASCII arrives as an input method's commit, as it would from
  // an emoji picker.
  const auto committed = [this](const char* utf8) {
    return [this, utf8] {
      QTest::mouseClick(input, Qt::LeftButton);
      QInputMethodEvent commit;
      commit.setCommitString(QString::fromUtf8(utf8));
      QApplication::sendEvent(input, &commit);
    };
  };
  const auto setRaw = [this](std::string gbk) {
    return [this, gbk] { SetWindowTextA(window.editBox, gbk.c_str()); };
  };
  const auto pasted = [this](const char* utf8) {
    return [this, utf8] {
      QApplication::clipboard()->setText(QString::fromUtf8(utf8));
      input->setFocus();
      // Ctrl clears the box first, as it does for a user; V then pastes.
      QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
    };
  };
  struct Case {
    const char* label;
    std::function<void()> enter;
  };
  const std::vector<Case> cases = {
      {"empty number", [this] { QTest::mouseClick(input, Qt::LeftButton); }},
      {"the hint itself", [this] { QTest::mouseClick(reset, Qt::LeftButton); }},
      {"100,000 characters", setRaw(std::string(100000, '7'))},
      {"100,000 bytes of Chinese", setRaw([] {
         std::string text;
         for (int i = 0; i < 50000; ++i) text += "\xd6\xd0";  // 中
         return text;
       }())},
      {"an emoji, outside GBK", committed("12\xF0\x9F\x98\x80" "34")},
      {"control characters", setRaw("12\x01\x02\x1b\t\x7f" "34")},
      {"CR LF pasted", pasted("12\r\nX-Injected: 1\r\n\r\nGET /smuggled")},
      {"CR LF set directly", setRaw("12\r\nX-Injected: 1")},
      {"% # & ?", typed("A%B#C&D?E")},
      {"escaped line break typed as text", typed("1%0D%0AX-Injected:%201")},
      {"lone GBK lead byte at the end", setRaw("123\xb5")},
      {"lone GBK lead byte alone", setRaw("\x81")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Service().ClearRequests();
    c.enter();
    const std::string number = InputBytes();
    QTest::mouseClick(query, Qt::LeftButton);
    EXPECT_EQ(list->count(), 0);

    const std::vector<std::string> lines = Service().RequestLines();
    ASSERT_GE(lines.size(), 1u);
    const std::string expected = kDetectionStart + OnTheWire(number) + kVersionEnd;
    if (expected.size() > kServiceLineLimit) {
      EXPECT_EQ(lines[0], expected.substr(0, kServiceLineLimit));
    } else {
      EXPECT_EQ(lines[0], expected);
      for (const std::string& line : lines) EXPECT_TRUE(IsWellFormedRequestLine(line));
    }

    // The window goes on working.
    Service().ClearRequests();
    QTest::mouseClick(input, Qt::LeftButton);
    QTest::keyClicks(input, kGoodNumber);
    QTest::mouseClick(query, Qt::LeftButton);
    EXPECT_EQ(list->count(), kGoodNumberEvents);
    EXPECT_EQ(Service().RequestLines().size(), 2u);
  }
}

TEST_F(BadInputTest, MarkupFromTheServiceIsShownAsPlainText) {
  // The service's text reaches the label and the list; none of it may be
  // taken as markup, which could load images or follow links by path.
  LoopbackServer service;
  service.SetHandler([](const RecordedRequest& request) {
    const bool detection = request.target.find("/autonumber/auto?") != std::string::npos;
    return Reply::Raw(HttpResponse(
        "HTTP/1.1 200 OK", {},
        detection ? "{\"comCode\":\"<b>x</b><img src='/etc/hostname'>\"}"
                  : "{\"message\":\"ok\",\"state\":\"3\",\"data\":[{\"time\":\"<i>t</i>\","
                    "\"context\":\"<a href='file:///etc/passwd'>d</a>\"}]}"));
  });
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(service.Port())).c_str(), 1);
  auto* company = top->findChild<QLabel*>(QString::fromUtf8("标签1"));
  ASSERT_NE(company, nullptr);

  QTest::mouseClick(input, Qt::LeftButton);
  QTest::keyClicks(input, "123");
  QTest::mouseClick(query, Qt::LeftButton);

  ASSERT_EQ(service.Requests().size(), 2u);
  EXPECT_EQ(company->text(), QString("<b>x</b><img src='/etc/hostname'>"));
  EXPECT_EQ(company->textFormat(), Qt::PlainText);
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), QString("<i>t</i> <a href='file:///etc/passwd'>d</a>"));
}

}  // namespace
