// The Internet API layer against real loopback servers.
#include "platform/wininet.h"
#include "platform/wininet_testing.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kReadChunk = 1024;
constexpr DWORD kRoutineHeaderBuffer = 5000;
constexpr const char* kAgent = "TestAgent/1.0";
constexpr const char* kRoutineHeaders =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

INTERNET_PORT PortOf(const LoopbackServer& server) { return static_cast<INTERNET_PORT>(server.Port()); }

// A port that nothing listens on: one the system just handed out and took back.
INTERNET_PORT DeadPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

struct Call {
  std::string agent = kAgent;
  DWORD accessType = INTERNET_OPEN_TYPE_DIRECT;
  std::optional<std::string> proxyList;
  std::string host = "127.0.0.1";
  INTERNET_PORT port = 0;
  std::string verb = "GET";
  std::string target = "/";
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_NO_COOKIES;
  std::string headers = kRoutineHeaders;
  std::optional<std::string> body;
};

// The three handles of one exchange, closed request first as the request
// routine does.
struct OpenRequest {
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;

  explicit OpenRequest(const Call& call) {
    session = InternetOpenA(call.agent.c_str(), call.accessType,
                            call.proxyList ? call.proxyList->c_str() : nullptr, "", 0);
    connection = InternetConnectA(session, call.host.c_str(), call.port, nullptr, nullptr,
                                  INTERNET_SERVICE_HTTP, 0, 0);
    request = HttpOpenRequestA(connection, call.verb.c_str(), call.target.c_str(), "HTTP/1.1",
                               nullptr, nullptr, call.flags, 0);
  }
  ~OpenRequest() {
    for (HINTERNET handle : {request, connection, session}) {
      if (handle != nullptr) InternetCloseHandle(handle);
    }
  }
  OpenRequest(const OpenRequest&) = delete;
  OpenRequest& operator=(const OpenRequest&) = delete;
};

BOOL Send(HINTERNET request, const Call& call) {
  std::string body = call.body.value_or("");
  return HttpSendRequestA(request, call.headers.c_str(), static_cast<DWORD>(call.headers.size()),
                          call.body ? body.data() : nullptr, static_cast<DWORD>(body.size()));
}

struct ReadResult {
  std::string body;
  BOOL lastResult = FALSE;  // the result of the read that reported 0
};

ReadResult ReadAll(HINTERNET request, DWORD chunk = kReadChunk) {
  ReadResult result;
  std::vector<char> buffer(chunk);
  DWORD read = 0;
  while ((result.lastResult = InternetReadFile(request, buffer.data(), chunk, &read)), read > 0) {
    result.body.append(buffer.data(), read);
  }
  return result;
}

// The query as the request routine makes it: 5000 spaces, content up to the
// first NUL, nothing when the query failed.
std::optional<std::string> QueryHeaders(HINTERNET request) {
  std::string buffer(kRoutineHeaderBuffer, ' ');
  DWORD length = kRoutineHeaderBuffer;
  if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr)) {
    EXPECT_EQ(buffer, std::string(kRoutineHeaderBuffer, ' ')) << "a failed query wrote into the buffer";
    return std::nullopt;
  }
  return std::string(buffer.c_str());
}

struct Exchange {
  BOOL sent = FALSE;
  std::string body;
  BOOL lastRead = FALSE;
  std::optional<std::string> headers;
};

Exchange RunExchange(const Call& call) {
  OpenRequest open(call);
  Exchange exchange;
  if (open.request == nullptr) {
    ADD_FAILURE() << "no request handle";
    return exchange;
  }
  exchange.sent = Send(open.request, call);
  ReadResult read = ReadAll(open.request);
  exchange.body = std::move(read.body);
  exchange.lastRead = read.lastResult;
  exchange.headers = QueryHeaders(open.request);
  return exchange;
}

Call CallTo(const std::string& target) {
  Call call;
  call.port = PortOf(Server());
  call.target = target;
  return call;
}

std::vector<std::string> HeaderLines(const RecordedRequest& request) {
  std::vector<std::string> lines;
  for (const auto& [name, value] : request.headers) lines.push_back(name + ": " + value);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string PercentDecode(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      decoded.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

// Sets or clears environment variables for one scope and puts them back.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    Remember(name);
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

 private:
  void Remember(const char* name) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// No proxy settings of the machine running the tests may leak in.
void ClearProxyEnvironment(ScopedEnvironment& environment) {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                           "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
    environment.Set(name, nullptr);
  }
}

class InternetTest : public testing::Test {
 protected:
  void SetUp() override {
    ClearProxyEnvironment(environment_);
    // Short enough that a fault which leaves an exchange hanging shows up
    // quickly, long enough for a loaded machine.
    SetInternetTimeoutsForTesting(10, 10);
    Server().SetHandler([](const RecordedRequest&) { return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "ok")); });
    Server().ClearRequests();
  }
  void TearDown() override { RestoreInternetDefaultsForTesting(); }

  ScopedEnvironment environment_;
};

// ---- What goes out ---------------------------------------------------------

TEST_F(InternetTest, SendsExactlyTheComposedHeaders) {
  struct Case {
    const char* label;
    std::string agent;
    std::string verb;
    std::string headers;
    std::optional<std::string> body;
    std::vector<std::string> expectedLines;  // sorted, Host left out
    std::string expectedBody;
  };
  const std::string bigBody(2 * 1024 * 1024, 'b');
  const std::vector<Case> cases = {
      {"routine defaults on a GET", kAgent, "GET", kRoutineHeaders, std::nullopt,
       {"Accept-Language: zh-cn", "Accept: */*", "Content-Type: application/x-www-form-urlencoded",
        "User-Agent: TestAgent/1.0"},
       ""},
      {"a User-Agent line replaces the agent", kAgent, "GET", "User-Agent: X\r\nAccept: */*", std::nullopt,
       {"Accept: */*", "User-Agent: X"}, ""},
      {"a lower-case user-agent line replaces the agent", kAgent, "GET", "user-agent: Y", std::nullopt,
       {"user-agent: Y"}, ""},
      {"no Accept line means no Accept header", kAgent, "GET", "Referer: r", std::nullopt,
       {"Referer: r", "User-Agent: TestAgent/1.0"}, ""},
      {"empty agent sends no User-Agent", "", "GET", "Accept: */*", std::nullopt, {"Accept: */*"}, ""},
      {"empty and trailing lines are dropped", kAgent, "GET", "A: 1\r\n\r\nB: 2\r\n", std::nullopt,
       {"A: 1", "B: 2", "User-Agent: TestAgent/1.0"}, ""},
      {"POST body without curl's Content-Type or Expect", kAgent, "POST", "Accept: */*", "x=1&y=2",
       {"Accept: */*", "Content-Length: 7", "User-Agent: TestAgent/1.0"}, "x=1&y=2"},
      {"POST of zero length still carries Content-Length", kAgent, "POST", "Accept: */*", std::nullopt,
       {"Accept: */*", "Content-Length: 0", "User-Agent: TestAgent/1.0"}, ""},
      {"GET carrying a body", kAgent, "GET", "Accept: */*", "abc",
       {"Accept: */*", "Content-Length: 3", "User-Agent: TestAgent/1.0"}, "abc"},
      {"large POST goes without Expect: 100-continue", kAgent, "POST", kRoutineHeaders, bigBody,
       {"Accept-Language: zh-cn", "Accept: */*", "Content-Length: 2097152",
        "Content-Type: application/x-www-form-urlencoded", "User-Agent: TestAgent/1.0"},
       bigBody},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    Call call = CallTo("/h");
    call.agent = c.agent;
    call.verb = c.verb;
    call.headers = c.headers;
    call.body = c.body;
    const Exchange exchange = RunExchange(call);
    EXPECT_TRUE(exchange.sent);
    EXPECT_EQ(exchange.body, "ok");

    const std::vector<RecordedRequest> requests = Server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& request = requests[0];
    EXPECT_EQ(request.method, c.verb);
    EXPECT_EQ(request.target, "/h");
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(Server().Port()));
    std::vector<std::string> lines = HeaderLines(request);
    std::erase_if(lines, [](const std::string& line) { return line.starts_with("Host: "); });
    EXPECT_EQ(lines, c.expectedLines);
    EXPECT_EQ(request.body.size(), c.expectedBody.size());
    EXPECT_TRUE(request.body == c.expectedBody);
  }
}

TEST_F(InternetTest, EncodesOnlyBytesThatCannotStandInARequestLine) {
  struct Case {
    const char* label;
    std::string target;
    std::string expectedOnWire;
    bool decodesToCaller;  // false where the caller's own '%' escapes stand
  };
  const std::vector<Case> cases = {
      {"space", "/a b", "/a%20b", true},
      {"fragment mark", "/p?q=1#frag", "/p?q=1%23frag", true},
      {"caller's percent escapes kept", "/%41%zz%", "/%41%zz%", false},
      {"bytes 0x80 and above", "/\xC4\xE3\xBA\xC3?k=\xFF", "/%C4%E3%BA%C3?k=%FF", true},
      {"line break cannot reach the headers", "/x\r\nX-Evil: 1", "/x%0D%0AX-Evil:%201", true},
      {"control bytes and DEL", "/c\x01\x7F\tz", "/c%01%7F%09z", true},
      {"dot segments sent as written", "/a/../b/./c", "/a/../b/./c", true},
      {"query kept", "/q?a=1&b=2&c", "/q?a=1&b=2&c", true},
      {"punctuation that HTTP allows", "/s!$&'()*+,;=:@~-._", "/s!$&'()*+,;=:@~-._", true},
      {"empty target is the root", "", "/", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    EXPECT_TRUE(RunExchange(CallTo(c.target)).sent);
    const std::vector<RecordedRequest> requests = Server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, c.expectedOnWire);
    EXPECT_EQ(requests[0].HeaderCount("X-Evil"), 0u);
    if (c.decodesToCaller && !c.target.empty()) {
      EXPECT_EQ(PercentDecode(requests[0].target), c.target);
    }
  }
}

// ---- Redirects -------------------------------------------------------------

TEST_F(InternetTest, FollowsRedirectsUnlessTold) {
  const INTERNET_PORT deadPort = DeadPort();
  Server().SetHandler([deadPort](const RecordedRequest& request) {
    if (request.target == "/redirect") {
      return Reply::Raw(HttpResponse("HTTP/1.1 302 Found", {"Location: /final"}, "moved"));
    }
    if (request.target == "/redirect-dead") {
      return Reply::Raw(HttpResponse(
          "HTTP/1.1 302 Found", {"Location: http://127.0.0.1:" + std::to_string(deadPort) + "/x"}, "moved"));
    }
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "final"));
  });
  struct Case {
    const char* label;
    std::string verb;
    std::optional<std::string> body;
    std::string target;
    DWORD extraFlags;
    BOOL sent;
    std::string expectedBody;
    std::string expectedStatus;  // start of the header block; empty: the query fails
    std::vector<std::string> expectedRequests;  // "METHOD target body"
  };
  const std::vector<Case> cases = {
      {"followed", "GET", std::nullopt, "/redirect", 0, TRUE, "final", "HTTP/1.1 200 OK\r\n",
       {"GET /redirect ", "GET /final "}},
      {"not followed", "GET", std::nullopt, "/redirect", INTERNET_FLAG_NO_AUTO_REDIRECT, TRUE, "moved",
       "HTTP/1.1 302 Found\r\n", {"GET /redirect "}},
      {"POST body, then GET after a 302", "POST", "x=1", "/redirect", 0, TRUE, "final", "HTTP/1.1 200 OK\r\n",
       {"POST /redirect x=1", "GET /final "}},
      {"next hop unreachable", "GET", std::nullopt, "/redirect-dead", 0, FALSE, "", "", {"GET /redirect-dead "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    Call call = CallTo(c.target);
    call.verb = c.verb;
    call.body = c.body;
    call.flags |= c.extraFlags;
    const Exchange exchange = RunExchange(call);
    EXPECT_EQ(exchange.sent, c.sent);
    EXPECT_EQ(exchange.body, c.expectedBody);
    if (c.expectedStatus.empty()) {
      EXPECT_FALSE(exchange.headers.has_value());
    } else {
      ASSERT_TRUE(exchange.headers.has_value());
      EXPECT_TRUE(exchange.headers->starts_with(c.expectedStatus)) << *exchange.headers;
    }
    std::vector<std::string> seen;
    for (const RecordedRequest& request : Server().Requests()) {
      seen.push_back(request.method + " " + request.target + " " + request.body);
    }
    EXPECT_EQ(seen, c.expectedRequests);
  }
}

// ---- Response headers ------------------------------------------------------

TEST_F(InternetTest, HeaderBlockIsTheFinalResponsesLinesWithCrLf) {
  struct Case {
    const char* label;
    std::string response;
    std::string expectedBlock;
    std::string expectedBody;
  };
  const std::vector<Case> cases = {
      {"plain", "HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 2\r\n\r\nhi",
       "HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 2\r\n\r\n", "hi"},
      {"interim 100 Continue dropped",
       "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\n", "gone"},
      {"bare LF line ends", "HTTP/1.1 200 OK\nA: 1\nContent-Length: 1\n\nx",
       "HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 1\r\n\r\n", "x"},
      {"chunked body, trailer kept out",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\nT: 1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\n\r\n", "abcde"},
      {"body ended by the close", "HTTP/1.1 200 OK\r\nB: 2\r\n\r\nuntil close",
       "HTTP/1.1 200 OK\r\nB: 2\r\n\r\n", "until close"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().SetHandler([&c](const RecordedRequest&) { return Reply::Raw(c.response); });
    const Exchange exchange = RunExchange(CallTo("/"));
    EXPECT_TRUE(exchange.sent);
    EXPECT_EQ(exchange.body, c.expectedBody);
    EXPECT_EQ(exchange.headers, c.expectedBlock);
  }
}

TEST_F(InternetTest, HeaderQueryThatDoesNotFitFailsAndLeavesTheBuffer) {
  const std::string block = "HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 2\r\n\r\n";
  Server().SetHandler([&](const RecordedRequest&) { return Reply::Raw(block + "hi"); });
  const Call call = CallTo("/");
  OpenRequest open(call);
  ASSERT_NE(open.request, nullptr);
  ASSERT_TRUE(Send(open.request, call));

  struct Case {
    const char* label;
    std::size_t offered;
    BOOL succeeds;
    std::size_t reportedLength;
  };
  const std::vector<Case> cases = {
      {"nothing offered", 0, FALSE, block.size() + 1},
      {"room for all but the NUL", block.size(), FALSE, block.size() + 1},
      {"exactly enough", block.size() + 1, TRUE, block.size()},
      {"more than enough", block.size() + 50, TRUE, block.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string buffer(c.offered + 8, '#');  // the tail shows writes beyond the offer
    DWORD length = static_cast<DWORD>(c.offered);
    EXPECT_EQ(HttpQueryInfoA(open.request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr),
              c.succeeds);
    EXPECT_EQ(length, c.reportedLength);
    if (c.succeeds) {
      EXPECT_EQ(buffer.substr(0, block.size() + 1), block + '\0');
      EXPECT_EQ(buffer.substr(block.size() + 1), std::string(buffer.size() - block.size() - 1, '#'));
    } else {
      EXPECT_EQ(buffer, std::string(c.offered + 8, '#'));
    }
  }
  EXPECT_EQ(ReadAll(open.request).body, "hi");
}

TEST_F(InternetTest, HeaderBlockBeyondTheRoutinesBufferNeedsALargerOne) {
  const std::string bigLine = "X-Big: " + std::string(6000, 'b');
  Server().SetHandler([&](const RecordedRequest&) {
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {bigLine}, "body"));
  });
  const Call call = CallTo("/");
  OpenRequest open(call);
  ASSERT_NE(open.request, nullptr);
  ASSERT_TRUE(Send(open.request, call));

  EXPECT_FALSE(QueryHeaders(open.request).has_value());
  DWORD needed = 0;
  EXPECT_FALSE(HttpQueryInfoA(open.request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &needed, nullptr));
  ASSERT_GT(needed, kRoutineHeaderBuffer);
  std::string buffer(needed, ' ');
  DWORD length = needed;
  ASSERT_TRUE(HttpQueryInfoA(open.request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr));
  EXPECT_EQ(std::string(buffer.c_str()),
            "HTTP/1.1 200 OK\r\n" + bigLine + "\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(ReadAll(open.request).body, "body");
}

// ---- Reading the body ------------------------------------------------------

TEST_F(InternetTest, BodyComesInPiecesOfAtMostTheRequestedSizeThenZero) {
  std::string body(2500, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i % 251);
  Server().SetHandler([&](const RecordedRequest&) { return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, body)); });
  const Call call = CallTo("/");
  OpenRequest open(call);
  ASSERT_NE(open.request, nullptr);
  ASSERT_TRUE(Send(open.request, call));

  std::vector<DWORD> pieces;
  std::string received;
  char buffer[kReadChunk];
  for (int i = 0; i < 5; ++i) {
    DWORD read = 12345;
    EXPECT_TRUE(InternetReadFile(open.request, buffer, kReadChunk, &read));
    pieces.push_back(read);
    received.append(buffer, read);
  }
  EXPECT_EQ(pieces, (std::vector<DWORD>{1024, 1024, 452, 0, 0}));
  EXPECT_TRUE(received == body);
}

TEST_F(InternetTest, BrokenOrOversizedBodyKeepsWhatArrived) {
  const std::string full(5000, 'z');
  struct Case {
    const char* label;
    Reply reply;
    std::size_t cap;
    BOOL sent;
    std::string expectedBody;
  };
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  const std::string chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::vector<Case> cases = {
      {"close in mid-body", Reply::CutAfter(head + std::string(100, 'm'), head.size() + 40), 1u << 20, FALSE,
       std::string(40, 'm')},
      {"close in mid-chunk", Reply::CutAfter(chunkedHead + "a\r\n0123456789\r\n14\r\nabc", chunkedHead.size() + 20),
       1u << 20, FALSE, "0123456789a"},
      {"over the cap by length", Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, full)), 1000, FALSE,
       full.substr(0, 1000)},
      {"over the cap when chunked", Reply::Raw(chunkedHead + "1388\r\n" + full + "\r\n0\r\n\r\n"), 1000, FALSE,
       full.substr(0, 1000)},
      {"exactly at the cap", Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, full.substr(0, 1000))), 1000, TRUE,
       full.substr(0, 1000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetInternetBodyCapForTesting(c.cap);
    Server().SetHandler([&c](const RecordedRequest&) { return c.reply; });
    const Exchange exchange = RunExchange(CallTo("/"));
    EXPECT_EQ(exchange.sent, c.sent);
    EXPECT_EQ(exchange.body, c.expectedBody);
    EXPECT_EQ(exchange.lastRead, c.sent);
    EXPECT_TRUE(exchange.headers.has_value());  // the headers had arrived whole
  }
}

// ---- Failed exchanges ------------------------------------------------------

TEST_F(InternetTest, FailedExchangeGivesNoBodyAndNoHeaders) {
  struct Case {
    const char* label;
    INTERNET_PORT port;
    DWORD extraFlags;
    bool silentServer;
  };
  const std::vector<Case> cases = {
      {"nothing listens", DeadPort(), 0, false},
      {"TLS to a plain HTTP server", PortOf(Server()), INTERNET_FLAG_SECURE, false},
      {"server never answers", PortOf(Server()), 0, true},
  };
  SetInternetTimeoutsForTesting(5, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    if (c.silentServer) Server().SetHandler([](const RecordedRequest&) { return Reply::Silence(); });
    Call call = CallTo("/");
    call.port = c.port;
    call.flags |= c.extraFlags;
    const Exchange exchange = RunExchange(call);
    EXPECT_FALSE(exchange.sent);
    EXPECT_EQ(exchange.body, "");
    EXPECT_FALSE(exchange.lastRead);
    EXPECT_FALSE(exchange.headers.has_value());
    if (c.silentServer) {
      EXPECT_EQ(Server().Requests().size(), 1u);
    }
  }
}

// ---- Proxies ---------------------------------------------------------------

TEST_F(InternetTest, NamedProxyReceivesAbsoluteFormTargets) {
  const std::string proxy = "127.0.0.1:" + std::to_string(Server().Port());
  const std::vector<std::pair<const char*, std::string>> lists = {
      {"bare server", proxy},
      {"http entry", "http=" + proxy},
      {"http entry after another scheme's", "https=127.0.0.1:1 http=" + proxy},
      {"bare server after another scheme's, ';' separated", "ftp=127.0.0.1:1;" + proxy},
      {"http entry wins over a bare one", "127.0.0.1:1 http=" + proxy},
  };
  for (const auto& [label, list] : lists) {
    SCOPED_TRACE(label);
    Server().ClearRequests();
    Call call = CallTo("/p?q=1");
    call.accessType = INTERNET_OPEN_TYPE_PROXY;
    call.proxyList = list;
    call.host = "origin.invalid";
    call.port = 8080;
    EXPECT_TRUE(RunExchange(call).sent);
    const std::vector<RecordedRequest> requests = Server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "http://origin.invalid:8080/p?q=1");
    EXPECT_EQ(requests[0].Header("Host"), "origin.invalid:8080");
  }
}

TEST_F(InternetTest, ProxyFromTheEnvironmentOnlyWhenTheListNamesNone) {
  LoopbackServer environmentProxy;
  const std::string environmentProxyUrl = "http://127.0.0.1:" + std::to_string(environmentProxy.Port());
  const std::string namedProxy = "127.0.0.1:" + std::to_string(Server().Port());
  struct Case {
    const char* label;
    DWORD accessType;
    std::optional<std::string> list;
    bool environmentSet;
    const char* noProxy;
    bool viaEnvironmentProxy;
  };
  const std::vector<Case> cases = {
      {"empty http entry uses http_proxy", INTERNET_OPEN_TYPE_PROXY, "http=", true, nullptr, true},
      {"preconfigured uses http_proxy", INTERNET_OPEN_TYPE_PRECONFIG, std::nullopt, true, nullptr, true},
      {"empty http entry without http_proxy goes direct", INTERNET_OPEN_TYPE_PROXY, "http=", false, nullptr, false},
      {"no_proxy keeps the environment's proxy away", INTERNET_OPEN_TYPE_PROXY, "http=", true, "127.0.0.1", false},
      {"direct ignores http_proxy", INTERNET_OPEN_TYPE_DIRECT, std::nullopt, true, nullptr, false},
      {"a named proxy ignores http_proxy and no_proxy", INTERNET_OPEN_TYPE_PROXY, "http=" + namedProxy, true, "*",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScopedEnvironment environment;
    environment.Set("http_proxy", c.environmentSet ? environmentProxyUrl.c_str() : nullptr);
    environment.Set("no_proxy", c.noProxy);
    Server().ClearRequests();
    environmentProxy.ClearRequests();
    Call call = CallTo("/e");
    call.accessType = c.accessType;
    call.proxyList = c.list;
    EXPECT_TRUE(RunExchange(call).sent);

    const std::vector<RecordedRequest> atProxy = environmentProxy.Requests();
    const std::vector<RecordedRequest> atServer = Server().Requests();
    ASSERT_EQ(atProxy.size(), c.viaEnvironmentProxy ? 1u : 0u);
    ASSERT_EQ(atServer.size(), c.viaEnvironmentProxy ? 0u : 1u);
    const RecordedRequest& request = c.viaEnvironmentProxy ? atProxy[0] : atServer[0];
    const bool viaAnyProxy = c.viaEnvironmentProxy || c.list == "http=" + namedProxy;
    EXPECT_EQ(request.target, viaAnyProxy ? Server().Url("/e") : "/e");
  }
}

// ---- Cookies ---------------------------------------------------------------

TEST_F(InternetTest, CookieStoreKeepsAndSendsCookiesUnlessNoCookies) {
  // Each cookie is bound to its own path, so the process-wide store cannot
  // reach requests of other tests.
  Server().SetHandler([](const RecordedRequest& request) {
    if (!request.target.ends_with("/set")) return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "got"));
    const std::string path = request.target.substr(0, request.target.size() - 3);  // "/name/"
    const std::string name = path.substr(1, path.size() - 2);
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: " + name + "=1; Path=" + path}, "set"));
  });
  struct Case {
    const char* label;
    std::string name;  // of the cookie, and of the path it is bound to
    DWORD setFlags;
    DWORD getFlags;
    bool expectCookie;
  };
  constexpr DWORD kStore = INTERNET_FLAG_RELOAD;
  constexpr DWORD kNoStore = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES;
  const std::vector<Case> cases = {
      {"kept and sent", "kept", kStore, kStore, true},
      {"kept, not sent with NO_COOKIES", "withheld", kStore, kNoStore, false},
      {"not kept with NO_COOKIES", "ignored", kNoStore, kStore, false},
  };
  // A fresh name on every run, as the store outlives a repeated test.
  static int run = 0;
  ++run;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    const std::string name = c.name + std::to_string(run);
    Call set = CallTo("/" + name + "/set");
    set.flags = c.setFlags;
    Call get = CallTo("/" + name + "/get");
    get.flags = c.getFlags;
    EXPECT_EQ(RunExchange(set).body, "set");
    EXPECT_EQ(RunExchange(get).body, "got");  // a fresh Internet handle: the store is the process's
    const std::vector<RecordedRequest> requests = Server().Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].HeaderCount("Cookie"), 0u);
    EXPECT_EQ(requests[1].Header("Cookie"), c.expectCookie ? std::optional(name + "=1") : std::nullopt);
  }
}

// ---- Handles ---------------------------------------------------------------

TEST_F(InternetTest, ConnectRejectsHostsThatCouldBendTheUrl) {
  HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  const std::vector<std::pair<std::string, bool>> hosts = {
      {"127.0.0.1", true},   {"example.com", true}, {"my_host-1.test", true}, {"::1", true},
      {"[::1]", true},       {"", false},           {"a b", false},           {"h/x", false},
      {"user@h", false},     {"h\r\nx", false},     {"h?x", false},           {"h#x", false},
      {"h\xC4\xE3", false},
  };
  for (const auto& [host, accepted] : hosts) {
    SCOPED_TRACE(host);
    HINTERNET connection =
        InternetConnectA(session, host.c_str(), 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    EXPECT_EQ(connection != nullptr, accepted);
    if (connection != nullptr) {
      EXPECT_TRUE(InternetCloseHandle(connection));
    }
  }
  EXPECT_TRUE(InternetCloseHandle(session));
}

TEST_F(InternetTest, HandlesRefuseMisuse) {
  EXPECT_EQ(InternetOpenA(kAgent, 2, nullptr, nullptr, 0), nullptr);
  EXPECT_FALSE(InternetCloseHandle(nullptr));

  Call call = CallTo("/");
  OpenRequest open(call);
  ASSERT_NE(open.request, nullptr);
  EXPECT_EQ(InternetConnectA(open.connection, "h", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
  EXPECT_EQ(HttpOpenRequestA(open.session, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(HttpOpenRequestA(open.connection, "GE T", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(HttpOpenRequestA(open.connection, "GET\r\nX:", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_FALSE(HttpSendRequestA(open.session, nullptr, 0, nullptr, 0));

  // Before the send there is nothing to read or query.
  char buffer[16];
  DWORD read = 99;
  EXPECT_FALSE(InternetReadFile(open.request, buffer, sizeof buffer, &read));
  EXPECT_EQ(read, 0u);
  DWORD length = sizeof buffer;
  EXPECT_FALSE(HttpQueryInfoA(open.request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr));
  EXPECT_EQ(Server().Requests().size(), 0u);
}

TEST_F(InternetTest, RequestOutlivesItsConnectionAndSession) {
  Server().SetHandler([](const RecordedRequest&) { return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "alive")); });
  Call call = CallTo("/late");
  call.agent = "Late/1";
  call.headers = "Accept: */*";
  HINTERNET session = InternetOpenA(call.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(session, "127.0.0.1", call.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/late", "HTTP/1.1", nullptr, nullptr, call.flags, 0);
  ASSERT_NE(request, nullptr);
  EXPECT_TRUE(InternetCloseHandle(session));
  EXPECT_TRUE(InternetCloseHandle(connection));

  EXPECT_TRUE(Send(request, call));
  EXPECT_EQ(ReadAll(request).body, "alive");
  EXPECT_TRUE(InternetCloseHandle(request));
  const std::vector<RecordedRequest> requests = Server().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Header("User-Agent"), "Late/1");
}

}  // namespace
