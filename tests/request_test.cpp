#include "http/request.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/wininet_testing.h"
#include "text/text_primitives.h"
#include "support/loopback_server.h"

using namespace text_literals;

namespace {

const std::string kDefaultHeaderLines =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
const std::string kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::string kFiveThousandSpaces(5000, ' ');

// One server for the whole binary: each test scripts its answer.
LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

class HttpRequestTest : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("http_proxy");
    Server().ClearRequests();
    Answer(HttpResponse("HTTP/1.1 200 OK", {}, "hello"));
  }
  void TearDown() override { RestoreInternetDefaultsForTesting(); }

  static void Answer(std::string response) {
    Server().SetHandler([response](const RecordedRequest&) { return Reply::Raw(response); });
  }
  static Text UrlOf(const std::string& path) { return Text(Server().Url(path)); }
  static RecordedRequest OnlyRequest() {
    const auto requests = Server().Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest() : requests.front();
  }
};

TEST_F(HttpRequestTest, PlainGetSendsTheDefaultHeaders) {
  Text headers;
  Text returnedHeaders;
  const Bytes body = HttpRequest(UrlOf("/p?q=1"), 0, Text(), nullptr, nullptr, &headers,
                                 &returnedHeaders);
  EXPECT_EQ(body.bytes(), "hello");
  EXPECT_EQ(headers.bytes(), kDefaultHeaderLines);
  EXPECT_EQ(TextLeft(returnedHeaders, 17).bytes(), "HTTP/1.1 200 OK\r\n");

  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/p?q=1");
  EXPECT_EQ(request.Header("User-Agent").value_or(""), kDefaultAgent);
  EXPECT_EQ(request.Header("Accept").value_or(""), "*/*");
  EXPECT_EQ(request.Header("Accept-Language").value_or(""), "zh-cn");
  EXPECT_EQ(request.Header("Content-Type").value_or(""), "application/x-www-form-urlencoded");
  EXPECT_FALSE(request.Header("Cookie").has_value());
  EXPECT_TRUE(request.body.empty());
}

TEST_F(HttpRequestTest, ComposesHeadersAndTakesTheAgentFromThem) {
  struct Case {
    const char* label;
    std::string headers;
    std::string composed;
    std::string agent;
    std::size_t acceptLines;
  } cases[] = {
      {"lower-case accept still gets ours", "accept: text/html",
       "accept: text/html\r\n" + kDefaultHeaderLines, kDefaultAgent, 2},
      {"agent line alone", "User-Agent: X", "User-Agent: X\r\n" + kDefaultHeaderLines, "X", 1},
      {"agent line first", "User-Agent: X\r\nReferer: r",
       "User-Agent: X\r\nReferer: r\r\n" + kDefaultHeaderLines, "X", 1},
      {"lower-case agent line", "user-agent: X", "user-agent: X\r\n" + kDefaultHeaderLines, "X",
       1},
      {"own defaults kept",
       "Accept: a/b\r\nAccept-Language: en\r\nContent-Type: text/plain",
       "Accept: a/b\r\nAccept-Language: en\r\nContent-Type: text/plain", kDefaultAgent, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    Text headers{c.headers};
    HttpRequest(UrlOf("/h"), 0, Text(), nullptr, nullptr, &headers);
    EXPECT_EQ(headers.bytes(), c.composed);
    const RecordedRequest request = OnlyRequest();
    EXPECT_EQ(request.HeaderCount("User-Agent"), 1u);
    EXPECT_EQ(request.Header("User-Agent").value_or(""), c.agent);
    EXPECT_EQ(request.HeaderCount("Accept"), c.acceptLines);
  }
}

TEST_F(HttpRequestTest, SuppliedCookiesAreSentAndMergedBack) {
  Answer(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: b=2; path=/"}, ""));
  Text cookies = "a=1"_t;
  Text returnedCookies;
  Text headers;
  HttpRequest(UrlOf("/c"), 0, Text(), &cookies, &returnedCookies, &headers);
  EXPECT_EQ(OnlyRequest().Header("Cookie").value_or(""), "a=1");
  EXPECT_EQ(TextRight(headers, 13).bytes(), "\r\nCookie: a=1");
  EXPECT_EQ(returnedCookies.bytes(), "b=2");
  EXPECT_EQ(cookies.bytes(), "b=2; a=1");
}

TEST_F(HttpRequestTest, CapturesSetCookieLinesInAnyLetterCase) {
  Answer(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: a=1; path=/", "set-cookie: b=2"}, ""));
  Text omittedReturned;
  Text returnedHeaders;
  HttpRequest(UrlOf("/c"), 0, Text(), nullptr, &omittedReturned, nullptr, &returnedHeaders);
  EXPECT_EQ(omittedReturned.bytes(), "a=1; b=2");
  EXPECT_NE(returnedHeaders.bytes().find("\r\nSet-Cookie: b=2\r\n"), std::string::npos);

  Text emptyCookies;
  Text suppliedReturned;
  HttpRequest(UrlOf("/c"), 0, Text(), &emptyCookies, &suppliedReturned);
  EXPECT_EQ(suppliedReturned.bytes(), "a=1;b=2");
  EXPECT_EQ(emptyCookies.bytes(), "a=1; b=2");
  // A supplied empty cookie text adds no Cookie line.
  for (const RecordedRequest& request : Server().Requests()) {
    EXPECT_FALSE(request.Header("Cookie").has_value());
  }
}

TEST_F(HttpRequestTest, CookieCaptureEdgeCases) {
  struct Case {
    const char* label;
    std::vector<std::string> lines;
    const char* captured;
  } cases[] = {
      {"none", {"X-A: 1"}, ""},
      {"Set-Cookie2 adds an empty item", {"Set-Cookie: a=1", "Set-Cookie2: c=3; v=1"}, "a=1; "},
      {"GBK value", {"Set-Cookie: n=\xd6\xd0; path=/"}, "n=\xd6\xd0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Answer(HttpResponse("HTTP/1.1 200 OK", c.lines, ""));
    Text returnedCookies = "stale"_t;
    HttpRequest(UrlOf("/c"), 0, Text(), nullptr, &returnedCookies);
    EXPECT_EQ(returnedCookies.bytes(), c.captured);
  }
}

TEST_F(HttpRequestTest, TheOwnCookieStoreWorksOnlyWithoutSuppliedCookies) {
  Server().SetHandler([](const RecordedRequest& request) {
    if (request.target == "/set") return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: kept=1; path=/"}, ""));
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, ""));
  });
  HttpRequest(UrlOf("/set"));
  HttpRequest(UrlOf("/with-store"));
  Text emptyCookies;
  HttpRequest(UrlOf("/without-store"), 0, Text(), &emptyCookies);
  const auto requests = Server().Requests();
  ASSERT_EQ(requests.size(), 3u);
  // The store is the whole process's, so earlier tests' cookies may ride along.
  EXPECT_NE(requests[1].Header("Cookie").value_or("").find("kept=1"), std::string::npos);
  EXPECT_FALSE(requests[2].Header("Cookie").has_value());
}

TEST_F(HttpRequestTest, MethodDecidesVerbAndBody) {
  struct Case {
    const char* label;
    int method;
    const char* postText;
    bool postBytesSupplied;
    const char* verb;
    const char* body;
    bool bodyHeader;
    const char* postBytesAfter;
  } cases[] = {
      {"post from text", 1, "x=1&y=2", true, "POST", "x=1&y=2", true, "x=1&y=2"},
      {"empty post", 1, "", true, "POST", "", true, ""},
      {"get ignores the text", 0, "x=1", true, "GET", "", false, ""},
      {"method 2 sends a body under GET", 2, "z=9", true, "GET", "z=9", true, "z=9"},
      {"post without a postBytes variable", 1, "k=v", false, "POST", "k=v", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    Bytes postBytes;
    HttpRequest(UrlOf("/m"), c.method, Text(c.postText), nullptr, nullptr, nullptr, nullptr,
                false, c.postBytesSupplied ? &postBytes : nullptr);
    const RecordedRequest request = OnlyRequest();
    EXPECT_EQ(request.method, c.verb);
    EXPECT_EQ(request.body, c.body);
    EXPECT_EQ(request.Header("Content-Length").has_value(), c.bodyHeader);
    EXPECT_EQ(postBytes.bytes(), c.postBytesAfter);
  }
}

TEST_F(HttpRequestTest, NonEmptyPostBytesWinOverPostText) {
  Bytes postBytes{std::string_view("b\0y", 3)};
  HttpRequest(UrlOf("/m"), 1, "ignored"_t, nullptr, nullptr, nullptr, nullptr, false, &postBytes);
  EXPECT_EQ(OnlyRequest().body, std::string("b\0y", 3));
}

TEST_F(HttpRequestTest, RedirectsFollowedUnlessNoRedirect) {
  Server().SetHandler([](const RecordedRequest& request) {
    if (request.target == "/moved") {
      return Reply::Raw(HttpResponse("HTTP/1.1 302 Found", {"Location: /final"}, "moved body"));
    }
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "final body"));
  });
  Text returnedHeaders;
  EXPECT_EQ(HttpRequest(UrlOf("/moved"), 0, Text(), nullptr, nullptr, nullptr, &returnedHeaders,
                        true).bytes(),
            "moved body");
  EXPECT_EQ(TextLeft(returnedHeaders, 22).bytes(), "HTTP/1.1 302 Found\r\n" "Lo");

  EXPECT_EQ(HttpRequest(UrlOf("/moved"), 0, Text(), nullptr, nullptr, nullptr, &returnedHeaders)
                .bytes(),
            "final body");
  EXPECT_EQ(TextLeft(returnedHeaders, 15).bytes(), "HTTP/1.1 200 OK");
}

TEST_F(HttpRequestTest, OversizedHeaderBlockLeavesSpacesAndNoCookies) {
  const std::string filler(5000, 'f');
  Answer(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: a=1", "X-Filler: " + filler}, "body"));
  Text returnedHeaders;
  Text returnedCookies;
  const Bytes body =
      HttpRequest(UrlOf("/big"), 0, Text(), nullptr, &returnedCookies, nullptr, &returnedHeaders);
  EXPECT_EQ(body.bytes(), "body");
  EXPECT_EQ(returnedHeaders.bytes(), kFiveThousandSpaces);
  EXPECT_TRUE(returnedCookies.empty());
}

TEST_F(HttpRequestTest, FailedSendStillWritesTheOutputs) {
  LoopbackServer* closed = new LoopbackServer;
  const Text url{closed->Url("/x")};
  delete closed;  // nothing listens on that port any more

  Text headers;
  Text returnedHeaders;
  Text returnedCookies = "stale"_t;
  Text cookies;
  const Bytes body =
      HttpRequest(url, 0, Text(), &cookies, &returnedCookies, &headers, &returnedHeaders);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers.bytes(), kDefaultHeaderLines);
  EXPECT_EQ(returnedHeaders.bytes(), kFiveThousandSpaces);
  EXPECT_TRUE(returnedCookies.empty());
  EXPECT_TRUE(cookies.empty());
}

TEST_F(HttpRequestTest, SilentServerEndsWithinTheTimeout) {
  SetInternetTimeoutsForTesting(1, 1);
  Server().SetHandler([](const RecordedRequest&) { return Reply::Silence(); });
  Text returnedHeaders;
  EXPECT_TRUE(HttpRequest(UrlOf("/silent"), 0, Text(), nullptr, nullptr, nullptr, &returnedHeaders)
                  .empty());
  EXPECT_EQ(returnedHeaders.bytes(), kFiveThousandSpaces);
}

TEST_F(HttpRequestTest, NamedProxyReceivesTheAbsoluteTarget) {
  LoopbackServer proxy;
  proxy.SetHandler([](const RecordedRequest&) {
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "via proxy"));
  });
  const Text proxyAddress{"127.0.0.1:" + std::to_string(proxy.Port())};
  const Bytes body = HttpRequest("http://origin.parceltrace.test/a?b=1"_t, 0, Text(), nullptr,
                                 nullptr, nullptr, nullptr, false, nullptr, proxyAddress);
  EXPECT_EQ(body.bytes(), "via proxy");
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "http://origin.parceltrace.test/a?b=1");
  EXPECT_TRUE(Server().Requests().empty());
}

TEST_F(HttpRequestTest, EmptyProxyTakesTheEnvironmentAndOmittedProxyIgnoresIt) {
  LoopbackServer proxy;
  proxy.SetHandler([](const RecordedRequest&) {
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "via proxy"));
  });
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.Port())).c_str(), 1);
  const Bytes viaEnvironment = HttpRequest(UrlOf("/e"), 0, Text(), nullptr, nullptr, nullptr,
                                           nullptr, false, nullptr, Text());
  const Bytes direct = HttpRequest(UrlOf("/d"));
  unsetenv("http_proxy");

  EXPECT_EQ(viaEnvironment.bytes(), "via proxy");
  EXPECT_EQ(direct.bytes(), "hello");
  const auto proxied = proxy.Requests();
  ASSERT_EQ(proxied.size(), 1u);
  EXPECT_EQ(proxied[0].target, Server().Url("/e"));
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.target, "/d");
}

TEST_F(HttpRequestTest, TargetReachesTheServerByteForByte) {
  // A space, '#', GBK bytes and '%' in the path and query.
  const Text url{Server().Url("/q?num=a b#c&d%25\xd6\xd0")};
  HttpRequest(url);
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.target, "/q?num=a%20b%23c&d%25%D6%D0");
}

TEST(GetHeaderValueTest, TakesWhatFollowsTheFirstColon) {
  struct Case {
    const char* text;
    const char* value;
  } cases[] = {
      {"Content-Type: text/html", "text/html"},
      {"a:b:c", "b:c"},
      {"Key:", ""},
      {"no colon", ""},
      {"K: v\r\n", "v\r\n"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(GetHeaderValue(Text(c.text)).bytes(), c.value);
  }
}

}  // namespace
