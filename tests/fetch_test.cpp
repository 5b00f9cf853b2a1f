#include "http/fetch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/loopback_server.h"

using namespace text_literals;

namespace {

TEST(PercentDecodeTest, DecodesEveryEscapeByTheDigitRule) {
  struct Case {
    const char* input;
    std::string result;
  } cases[] = {
      {"a%41b", "aAb"},
      {"%e4%b8%ad", "\xE4\xB8\xAD"},
      {"a+b", "a+b"},
      {"%2B", "+"},
      {"%20", " "},
      {"abc%", "abc"},
      {"ab%4", "ab\x40"},
      {"%00x", "x"},
      {"%G1", "\xE1"},
      {"%ZZ", "\xDE"},
      {"%0G", "\xFE"},
      {"%4g", "\x3E"},
      {"%%41", "\xE4" "1"},
      {"50% off", "50\xDE" "ff"},
      {"", ""},
      // GBK characters outside escapes are copied as they are.
      {"\xd6\xd0%41", "\xd6\xd0" "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(PercentDecode(Text(c.input)).bytes(), c.result);
  }
}

TEST(PercentDecodeTest, ConvertsTheDecodedUtf8ToGbk) {
  struct Case {
    const char* label;
    const char* input;
    std::string result;
  } cases[] = {
      {"escaped CJK", "%e4%b8%ad", "\xD6\xD0"},
      {"raw UTF-8 CJK", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {"empty", "", ""},
      {"ASCII", "ok %26 fine", "ok & fine"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(PercentDecode(Text(c.input), true).bytes(), c.result);
  }
}

TEST(WideTextTest, RoundTripsThroughUtf16) {
  EXPECT_EQ(FromWideText(ToWideText(Text())).bytes(), "");
  EXPECT_EQ(ToWideText(Text()).size(), 2u);  // the terminating unit alone
  const Text gbk{"\xD6\xD0\xCE\xC4 ok"};
  EXPECT_EQ(FromWideText(ToWideText(gbk, CP_GBK)).bytes(), gbk.bytes());
  EXPECT_EQ(FromWideText(ToWideText(gbk, CP_GBK), CP_UTF8).bytes(),
            "\xE4\xB8\xAD\xE6\x96\x87 ok");
}

TEST(WideTextTest, InputThatIsNotUtf8IsNotLostForLackOfRoom) {
  // GBK bytes read as UTF-8 need more UTF-16 units than read as GBK; sizing
  // by the wrong code page would come out short and lose everything.
  // Each byte that does not continue a UTF-8 sequence stands for itself.
  EXPECT_EQ(Utf8ToAnsi(Text("ab\xD6\xD0\xCE\xC4")).bytes(), "ab????");
}

class FetchPageTest : public testing::Test {
 protected:
  static LoopbackServer& Server() {
    static LoopbackServer server;
    return server;
  }
  void SetUp() override {
    unsetenv("http_proxy");
    Server().ClearRequests();
  }
  static void Answer(std::string body) {
    Server().SetHandler([body](const RecordedRequest&) {
      return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: s=1"}, body));
    });
  }
};

TEST_F(FetchPageTest, DecodesTheBody) {
  struct Case {
    const char* label;
    std::string body;
    std::string text;
  } cases[] = {
      {"UTF-8 with escapes", "{\"context\":\"\xE5\x88\xB0%E8%BE%BE\"}",
       "{\"context\":\"\xB5\xBD\xB4\xEF\"}"},
      {"cut at the first zero byte", std::string("ab\0cd", 5), "ab"},
      {"empty body", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Answer(c.body);
    EXPECT_EQ(FetchPage(Text(Server().Url("/page"))).bytes(), c.text);
  }
}

TEST_F(FetchPageTest, FailedExchangeGivesTheEmptyText) {
  auto* closed = new LoopbackServer;
  const Text url{closed->Url("/x")};
  delete closed;
  EXPECT_TRUE(FetchPage(url).empty());
}

TEST_F(FetchPageTest, KeepsCookiesOutAndTakesTheProxyFromTheEnvironment) {
  LoopbackServer proxy;
  proxy.SetHandler([](const RecordedRequest&) {
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: p=1"}, "proxied"));
  });
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.Port())).c_str(), 1);
  const Text first = FetchPage("http://service.parceltrace.test/one"_t);
  const Text second = FetchPage("http://service.parceltrace.test/two"_t);
  unsetenv("http_proxy");

  EXPECT_EQ(first.bytes(), "proxied");
  EXPECT_EQ(second.bytes(), "proxied");
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "http://service.parceltrace.test/one");
  // The cookie the first answer set is not sent with the second request.
  EXPECT_FALSE(requests[1].Header("Cookie").has_value());
}

TEST_F(FetchPageTest, SuppliedOutputsReceiveWhatTheRequestWrote) {
  Answer("x");
  Text cookies = "a=1"_t;
  Text returnedCookies;
  Text headers;
  FetchPage(Text(Server().Url("/o")), 0, Text(), &cookies, &returnedCookies, &headers);
  EXPECT_EQ(cookies.bytes(), "s=1; a=1");
  EXPECT_EQ(returnedCookies.bytes(), "s=1");
  EXPECT_EQ(Server().Requests().at(0).Header("Cookie").value_or(""), "a=1");
}

}  // namespace
