// The request routine, the page fetch and the lookup against services that
// misbehave on purpose: silent, cut off, oversized, malformed, looping,
// untrusted. Every exchange must end within the (shortened) time-outs, give
// what the routine promises for a failed or partial exchange, and leave the
// process able to make the next request as if nothing had happened.
#include "http/request.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "http/fetch.h"
#include "lookup/courier.h"
#include "platform/wininet_testing.h"
#include "support/loopback_server.h"
#include "text/text_primitives.h"

using namespace text_literals;

namespace {

const std::string kFiveThousandSpaces(5000, ' ');

// The peer each case scripts.
LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

// A well-behaved peer, asked after every hostile case.
LoopbackServer& Healthy() {
  static LoopbackServer server;
  server.SetHandler([](const RecordedRequest&) {
    return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {"Set-Cookie: fine=1"}, "hello"));
  });
  return server;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A socket that listens but never accepts: the kernel completes the TCP
// handshake, and then nothing is ever said.
class MuteListener {
 public:
  MuteListener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    port_ = ntohs(address.sin_port);
  }
  ~MuteListener() { close(fd_); }
  MuteListener(const MuteListener&) = delete;
  MuteListener& operator=(const MuteListener&) = delete;
  int Port() const { return port_; }

 private:
  int fd_ = socket(AF_INET, SOCK_STREAM, 0);
  int port_ = 0;
};

// An HTTPS server on 127.0.0.1 with a fresh self-signed certificate made for
// that very address, so that trust is the only thing a client can object to.
// Every failed handshake is written to its log, the client's alert included.
class SelfSignedTlsServer {
 public:
  SelfSignedTlsServer() {
    char folder[] = "/tmp/parceltrace-tls-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    folder_ = folder;
    const std::string make =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1"
        " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1"
        " -keyout " + folder_ + "/key.pem -out " + folder_ + "/cert.pem >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) std::abort();
    const std::string script = R"(
import http.server, ssl, sys
folder = sys.argv[1]
log = open(folder + "/handshakes.log", "a")
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def do_GET(self):
        body = b"secret"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *arguments):
        pass
class Server(http.server.HTTPServer):
    def get_request(self):
        try:
            return super().get_request()
        except OSError as error:
            log.write(str(error) + "\n")
            log.flush()
            raise
    def handle_error(self, request, address):
        pass
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(folder + "/cert.pem", folder + "/key.pem")
server = Server(("127.0.0.1", 0), Handler)
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
)";
    std::ofstream(folder_ + "/server.py") << script;
    int out[2];
    if (pipe(out) != 0) std::abort();
    pid_ = fork();
    if (pid_ < 0) std::abort();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execlp("python3", "python3", (folder_ + "/server.py").c_str(), folder_.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* output = fdopen(out[0], "r");
    if (output == nullptr || std::fscanf(output, "%d", &port_) != 1) std::abort();
    std::fclose(output);
  }
  ~SelfSignedTlsServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  SelfSignedTlsServer(const SelfSignedTlsServer&) = delete;
  SelfSignedTlsServer& operator=(const SelfSignedTlsServer&) = delete;

  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string HandshakeLog() const { return ReadWholeFile(folder_ + "/handshakes.log"); }
  // Whether a handshake after the log's first logSize bytes ended with the
  // client's "unknown CA" alert. The server writes its log after the client
  // has gone, so this waits for the entry a while.
  bool ClientRejectedCertificateAfter(std::size_t logSize) const {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (HandshakeLog().find("UNKNOWN_CA", logSize) != std::string::npos) return true;
      usleep(50 * 1000);
    }
    return false;
  }

 private:
  std::string folder_;
  pid_t pid_ = -1;
  int port_ = 0;
};

struct Outcome {
  std::string body;
  std::string headers;
  std::string cookies;
};

Outcome Request(const std::string& url) {
  Outcome outcome;
  Text returnedHeaders;
  Text returnedCookies;
  outcome.body =
      HttpRequest(Text(url), 0, Text(), nullptr, &returnedCookies, nullptr, &returnedHeaders)
          .bytes();
  outcome.headers = returnedHeaders.bytes();
  outcome.cookies = returnedCookies.bytes();
  return outcome;
}

class HostileServerTest : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("http_proxy");
    unsetenv("https_proxy");
    // A case that hangs shows up within a second or two instead of 20 or 30.
    SetInternetTimeoutsForTesting(1, 1);
    Server().ClearRequests();
  }
  void TearDown() override { RestoreInternetDefaultsForTesting(); }

  // The next, ordinary request works as it would have before.
  static void ExpectHealthy() {
    const Outcome next = Request(Healthy().Url("/next"));
    EXPECT_EQ(next.body, "hello");
    EXPECT_EQ(next.headers.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(next.cookies, "fine=1");
  }
};

TEST_F(HostileServerTest, BrokenAnswersGiveWhatArrivedAndNothingBreaks) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  const std::string chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  std::vector<std::string> manyLines;
  for (int i = 0; i < 100; ++i) manyLines.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'f'));
  manyLines.push_back("Set-Cookie: lost=1");
  const std::string megabyte(1 << 20, 'b');
  // The test server takes one request per connection, so it says so.
  const std::string selfRedirect =
      "HTTP/1.1 302 Found\r\nLocation: /loop\r\nConnection: close\r\nContent-Length: 4\r\n\r\nloop";

  struct Case {
    const char* label;
    Reply reply;
    std::size_t cap;
    std::string body;
    std::string headersStart;  // empty: the buffer of 5000 spaces comes back
    std::size_t requestsSeen;
  };
  const std::vector<Case> cases = {
      {"no answer at all", Reply::Silence(), 1u << 20, "", "", 1},
      {"answer stops half-way through the body", Reply::CutAfter(head + std::string(100, 'm'), head.size() + 40),
       1u << 20, std::string(40, 'm'), "HTTP/1.1 200 OK\r\n", 1},
      {"answer stops inside the header block", Reply::CutAfter(head, 20), 1u << 20, "", "", 1},
      {"body far beyond the cap", Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, megabyte)), 64 * 1024,
       megabyte.substr(0, 64 * 1024), "HTTP/1.1 200 OK\r\n", 1},
      {"chunked body far beyond the cap",
       Reply::Raw(chunkedHead + "100000\r\n" + megabyte + "\r\n0\r\n\r\n"), 64 * 1024,
       megabyte.substr(0, 64 * 1024), "HTTP/1.1 200 OK\r\n", 1},
      {"header block of 100 KB in many lines", Reply::Raw(HttpResponse("HTTP/1.1 200 OK", manyLines, "body")),
       1u << 20, "body", "", 1},
      {"one header line of 100 KB",
       Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {"X-Huge: " + std::string(100 * 1024, 'h')}, "body")),
       1u << 20, "", "", 1},
      {"status line of garbage", Reply::Raw("\x16\x03garbage\x01\xff\r\n\r\nbody"), 1u << 20, "", "", 1},
      {"status line with a word for a code", Reply::Raw("HTTP/1.1 OK fine\r\nContent-Length: 4\r\n\r\nbody"),
       1u << 20, "", "", 1},
      {"chunk size that is no number", Reply::Raw(chunkedHead + "zz\r\nabc\r\n0\r\n\r\n"), 1u << 20, "",
       "HTTP/1.1 200 OK\r\n", 1},
      {"chunk size past 64 bits", Reply::Raw(chunkedHead + "1ffffffffffffffff\r\nabc\r\n0\r\n\r\n"), 1u << 20,
       "", "HTTP/1.1 200 OK\r\n", 1},
      {"chunk longer than its size says", Reply::Raw(chunkedHead + "3\r\nabcdef\r\n0\r\n\r\n"), 1u << 20, "abc",
       "HTTP/1.1 200 OK\r\n", 1},
      {"chunk size promising more than comes", Reply::Raw(chunkedHead + "ff\r\nabc"), 1u << 20, "abc",
       "HTTP/1.1 200 OK\r\n", 1},
      {"redirect loop", Reply::Raw(selfRedirect), 1u << 20, "", "HTTP/1.1 302 Found\r\n", 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    SetInternetBodyCapForTesting(c.cap);
    Server().SetHandler([&c](const RecordedRequest&) { return c.reply; });
    const Outcome outcome = Request(Server().Url("/loop"));
    EXPECT_EQ(outcome.body.size(), c.body.size());
    EXPECT_TRUE(outcome.body == c.body);
    if (c.headersStart.empty()) {
      EXPECT_EQ(outcome.headers, kFiveThousandSpaces);
    } else {
      EXPECT_EQ(outcome.headers.substr(0, c.headersStart.size()), c.headersStart);
    }
    EXPECT_EQ(outcome.cookies, "");
    EXPECT_EQ(Server().Requests().size(), c.requestsSeen);
    RestoreInternetDefaultsForTesting();
    SetInternetTimeoutsForTesting(1, 1);
    ExpectHealthy();
  }
}

TEST_F(HostileServerTest, HttpsThatCannotBeTrustedGivesNothing) {
  SelfSignedTlsServer tls;
  MuteListener mute;
  const std::string mutePort = std::to_string(mute.Port());
  const std::string plainPort = std::to_string(Server().Port());
  const auto redirectTo = [](const std::string& location) {
    return Reply::Raw("HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 2\r\n\r\nno");
  };
  struct Case {
    const char* label;
    std::string url;
    std::function<Reply(const RecordedRequest&)> plainServerHandler;
    bool reachesTls;
  };
  const std::vector<Case> cases = {
      {"self-signed certificate", tls.Url("/direct"), nullptr, true},
      {"redirect from http to the self-signed server", Server().Url("/to-tls"),
       [&](const RecordedRequest&) { return redirectTo(tls.Url("/redirected")); }, true},
      {"https to a plain HTTP server", "https://127.0.0.1:" + plainPort + "/plain", nullptr, false},
      {"redirect to https on a port that speaks HTTP", Server().Url("/to-plain"),
       [&](const RecordedRequest& request) {
         return request.target == "/to-plain" ? redirectTo("https://127.0.0.1:" + plainPort + "/x")
                                              : Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "plain"));
       },
       false},
      {"redirect to https on a port that never speaks", Server().Url("/to-mute"),
       [&](const RecordedRequest&) { return redirectTo("https://127.0.0.1:" + mutePort + "/x"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::size_t rejectionsBefore = tls.HandshakeLog().size();
    if (c.plainServerHandler) Server().SetHandler(c.plainServerHandler);
    const Outcome outcome = Request(c.url);
    EXPECT_EQ(outcome.body, "");
    EXPECT_EQ(outcome.headers, kFiveThousandSpaces);
    if (c.reachesTls) {
      // The server got as far as sending its certificate, and the client
      // refused it: the failure is the trust, not the connection.
      EXPECT_TRUE(tls.ClientRejectedCertificateAfter(rejectionsBefore));
    }
    ExpectHealthy();
  }
  EXPECT_EQ(FetchPage(Text(tls.Url("/fetched"))).bytes(), "");
}

TEST_F(HostileServerTest, PageFetchCutsAtZeroAndMarksBadUtf8) {
  struct Case {
    const char* label;
    std::string body;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"zero byte in the middle", std::string("ok\0secret", 9), "ok"},
      {"zero byte first", std::string("\0rest", 5), ""},
      {"lone bytes that start no character", "a\xff\xfe" "b", "a??b"},
      {"continuation byte alone", "a\x80" "b", "a?b"},
      {"character cut short at the end", "a\xe4\xb8", "a?"},
      {"bad bytes made by escapes", "x%FF%C3y", "x??y"},
      {"valid text around a bad byte", "\xe4\xb8\xad\xff\xe6\x96\x87", "\xd6\xd0?\xce\xc4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().SetHandler([&c](const RecordedRequest&) {
      return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, c.body));
    });
    EXPECT_EQ(FetchPage(Text(Server().Url("/page"))).bytes(), c.text);
    ExpectHealthy();
  }
}

TEST_F(HostileServerTest, LookupSurvivesABrokenService) {
  struct Case {
    const char* label;
    std::function<Reply(const RecordedRequest&)> handler;
    Text status;
    std::size_t requestsSeen;
  };
  const auto detectThen = [](Reply query) {
    return [query](const RecordedRequest& request) {
      if (request.target.find("/autonumber/auto?") != std::string::npos) {
        return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "[{\"comCode\":\"yunda\"}]"));
      }
      return query;
    };
  };
  const std::vector<Case> cases = {
      {"detection never answered", [](const RecordedRequest&) { return Reply::Silence(); },
       CompanyUnknownStatus(), 1},
      {"query never answered", detectThen(Reply::Silence()), Text(), 2},
      {"query cut off before its message ends",
       detectThen(Reply::CutAfter(HttpResponse("HTTP/1.1 200 OK", {}, "{\"message\":\"ok\",\"data\":[]}"), 50)),
       Text(), 2},
      {"query answered with garbage", detectThen(Reply::Raw(std::string(4096, '\xff'))), Text(), 2},
  };
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(Server().Port())).c_str(), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    Server().SetHandler(c.handler);
    TextList times;
    TextList descriptions;
    descriptions.Append("kept"_t);
    EXPECT_EQ(LookupTracking("4318001234567"_t, times, descriptions, [](const Text&) {}), c.status);
    EXPECT_EQ(times.Count(), 0);
    ASSERT_EQ(descriptions.Count(), 1);
    EXPECT_EQ(descriptions.Item(1).bytes(), "kept");
    EXPECT_EQ(Server().Requests().size(), c.requestsSeen);
  }
  unsetenv("http_proxy");
  ExpectHealthy();
}

TEST_F(HostileServerTest, UrlCannotAddHeaderLinesOfItsOwn) {
  // Line breaks and other control bytes in any part of the URL must not end
  // the request line early and start a header that nobody composed.
  struct Case {
    const char* label;
    std::string url;
    bool viaProxy;
    bool reachesServer;
    std::string escaped;  // how the line break stands in the target the server saw
  };
  const std::string direct = Server().Url("");
  const std::vector<Case> cases = {
      {"CR LF in the query", direct + "/p?num=1\r\nX-Injected: 1", false, true, "%0D%0AX-Injected:%201"},
      {"CR LF in the path", direct + "/p\r\nX-Injected: 1\r\n\r\nGET /smuggled", false, true,
       "%0D%0AX-Injected:%201%0D%0A%0D%0AGET%20/smuggled"},
      {"bare LF and other control bytes", direct + "/p?a=\nX-Injected: 1\x01\x7f", false, true, "%0AX-Injected:%201%01%7F"},
      {"CR LF in the host", "http://127.0.0.1\r\nX-Injected: 1:" + std::to_string(Server().Port()) + "/p",
       false, false, ""},
      {"CR LF through a proxy", "http://track.parceltrace.example/q?num=1\r\nX-Injected: 1", true, true,
       "%0D%0AX-Injected:%201"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Server().ClearRequests();
    Server().SetHandler([](const RecordedRequest&) {
      return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "seen"));
    });
    std::optional<Text> proxy;
    if (c.viaProxy) proxy = Text("127.0.0.1:" + std::to_string(Server().Port()));
    const Bytes body = HttpRequest(Text(c.url), 0, Text(), nullptr, nullptr, nullptr, nullptr,
                                   false, nullptr, proxy);
    const std::vector<RecordedRequest> requests = Server().Requests();
    if (!c.reachesServer) {
      EXPECT_EQ(body.bytes(), "");
      EXPECT_EQ(requests.size(), 0u);
      continue;
    }
    EXPECT_EQ(body.bytes(), "seen");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].HeaderCount("X-Injected"), 0u);
    EXPECT_EQ(requests[0].raw.find("\r\nX-Injected"), std::string::npos);
    EXPECT_EQ(requests[0].raw.find("smuggled\r\n"), std::string::npos);
    EXPECT_NE(requests[0].target.find(c.escaped), std::string::npos);
    for (const char byte : requests[0].target) {
      EXPECT_GT(static_cast<unsigned char>(byte), 0x20);
      EXPECT_NE(static_cast<unsigned char>(byte), 0x7F);
    }
  }
  ExpectHealthy();
}

}  // namespace
