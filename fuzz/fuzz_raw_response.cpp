// The Internet API layer and the request routine on answers from a real peer:
// each input is sent back by a loopback peer as the response to one
// HttpRequest, either as raw bytes or as a well-formed response built from
// fuzzed header lines and body. Checked: the body comes back exactly, the
// header block is the one sent (or the 5000 spaces), and the cookies
// captured and merged follow the capture rule of a reference.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "fuzz_input.h"
#include "http/cookies.h"
#include "http/request.h"
#include "loopback_peer.h"
#include "reference.h"
#include "text/text.h"

namespace {

constexpr std::size_t kHeaderBufferSize = 5000;
const std::string kDefaultHeaders =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

const char* const kStatusLines[] = {"HTTP/1.1 200 OK", "HTTP/1.1 404 Not Found",
                                    "HTTP/1.1 302 Found", "HTTP/1.0 200 OK"};

bool IsTokenChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// The fuzzed header lines that a well-formed response can carry as they are:
// "name: value" with a token name, no control bytes, and none of the lines
// that decide how the body is framed.
std::vector<std::string> HeaderLines(const std::string& text) {
  std::vector<std::string> lines;
  for (const std::string& raw : reference::Split(text, "\n")) {
    std::string line;
    for (const char c : raw) {
      if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) line.push_back(c);
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    bool token = true;
    for (std::size_t i = 0; i < colon; ++i) token = token && IsTokenChar(line[i]);
    const std::string name = reference::ToLower(line.substr(0, colon));
    if (!token || name == "content-length" || name == "transfer-encoding") continue;
    lines.push_back(line);
  }
  return lines;
}

// The cookie capture rule, step by step, on the header text as returned.
std::string ReferenceCapture(const std::string& rawHeaders) {
  std::string captured;
  for (const std::string& line : reference::Split(rawHeaders, "\r\n")) {
    if (reference::FindText(line, "Set-Cookie", 1, false) == -1) continue;
    const std::string value =
        reference::FindText(line, ";", 1, false) == -1
            ? reference::Trim(reference::Replace(line, "Set-Cookie:", "", false))
            : reference::Trim(reference::TextBetween(line, "Set-Cookie:", ";"));
    captured += value + "; ";
  }
  return captured.size() > 2 ? captured.substr(0, captured.size() - 2) : std::string();
}

bool StartsWith(const std::string& s, std::string_view head) {
  return s.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int port = LoopbackPeerPort();
  if (port == 0) return 0;

  FuzzInput input(data, size);
  const std::uint8_t options = input.Byte();
  const bool wellFormed = (options & 1U) != 0;
  const bool cookiesSupplied = (options & 2U) != 0;
  const std::string statusLine = kStatusLines[(options >> 2) & 3U];
  const std::string cookieText = input.Field();

  std::string response;
  std::string expectedBlock;
  std::string expectedBody;
  if (wellFormed) {
    const std::vector<std::string> lines = HeaderLines(input.Field());
    const std::string_view body = input.Rest();
    expectedBody.assign(body);
    expectedBlock = statusLine + "\r\n";
    for (const std::string& line : lines) expectedBlock += line + "\r\n";
    expectedBlock += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    response = expectedBlock + expectedBody;
  } else {
    response.assign(input.Rest());
  }
  SetLoopbackAnswer(response);
  const std::string detail = "response=\"" + Escaped(response) + "\"";

  const Text url("http://127.0.0.1:" + std::to_string(port) + "/fuzz");
  Text cookies(cookieText);
  Text returnedCookies("stale");
  Text headers;
  Text returnedHeaders("stale");
  const Bytes body = HttpRequest(url, 0, Text(), cookiesSupplied ? &cookies : nullptr,
                                 &returnedCookies, &headers, &returnedHeaders, true);

  const std::string sentHeaders =
      kDefaultHeaders + (cookiesSupplied && !cookieText.empty() ? "\r\nCookie: " + cookieText : "");
  CHECK(headers.bytes() == sentHeaders, detail + " sent \"" + Escaped(headers.bytes()) + "\"");

  // The header block: the one sent, every spelling of Set-Cookie brought to
  // one, or the spaces of the buffer when it does not fit (or nothing came).
  const std::string& block = returnedHeaders.bytes();
  const std::string spaces(kHeaderBufferSize, ' ');
  if (wellFormed) {
    CHECK(body.bytes() == expectedBody, detail + " body \"" + Escaped(body.bytes()) + "\"");
    const std::string want = expectedBlock.size() < kHeaderBufferSize
                                 ? reference::Replace(expectedBlock, "Set-Cookie", "Set-Cookie", false)
                                 : spaces;
    CHECK(block == want, detail + " block \"" + Escaped(block) + "\"");
  } else {
    CHECK(block == spaces || (block.size() < kHeaderBufferSize && StartsWith(block, "HTTP/") &&
                              EndsWith(block, "\r\n\r\n")),
          detail + " block \"" + Escaped(block) + "\"");
  }

  // The cookies: captured by the rule, then merged into supplied cookies.
  const std::string captured = ReferenceCapture(block);
  if (cookiesSupplied) {
    Text expectedCookies(cookieText);
    Text expectedReturned(captured);
    MergeCookies(expectedCookies, expectedReturned);
    CHECK(returnedCookies == expectedReturned,
          detail + " returned cookies \"" + Escaped(returnedCookies.bytes()) + "\"");
    CHECK(cookies == expectedCookies, detail + " cookies \"" + Escaped(cookies.bytes()) + "\"");
  } else {
    CHECK(returnedCookies.bytes() == captured,
          detail + " returned cookies \"" + Escaped(returnedCookies.bytes()) + "\"");
  }
  return 0;
}
