// URL splitting on arbitrary bytes: the host against a reference of both of
// its branches (scheme and label counting), and the rules that tie host, port
// and path together.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check.h"
#include "fuzz_input.h"
#include "http/url.h"
#include "reference.h"
#include "text/text.h"

namespace {

bool StartsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Right(const std::string& s, int count) {
  if (count <= 0) return {};
  return s.substr(s.size() - std::min(s.size(), static_cast<std::size_t>(count)));
}

std::string HostBySchemes(std::string w, bool mainDomain) {
  if (w.empty() || w.back() != '/') w += "/";
  std::string host;
  if (StartsWith(w, "https://")) {
    host = reference::TextBetween(w, "https://", "/");
  } else {
    if (reference::FindText(w, "http://", 1, false) == -1) w = "http://" + w;
    host = reference::TextBetween(w, "http://", "/");
  }
  if (mainDomain) {
    const std::vector<std::string> labels = reference::Split(host, ".");
    if (labels.size() > 1) host = labels[labels.size() - 2] + "." + labels.back();
  }
  return host;
}

std::string HostByLabels(std::string w, bool mainDomain, int levels) {
  w = reference::Replace(w, "http://", "", true);
  w = reference::Replace(w, "https://", "", true);
  const int slash = reference::FindText(w, "/", 1, false);
  if (slash != -1) w = w.substr(0, static_cast<std::size_t>(slash - 1));
  const int length = static_cast<int>(w.size());
  int position = length;
  for (int step = 0; step < levels; ++step) {
    if (position != -1) position = reference::FindTextReverse(w, ".", position);
  }
  const int lastDot = reference::FindTextReverse(w, ".", position);
  if (mainDomain) return Right(w, length - lastDot);
  if (lastDot != -1) {
    const int dotBefore = reference::FindTextReverse(w, ".", lastDot);
    if (dotBefore != -1) return Right(w, length - dotBefore);
  }
  return w;
}

std::string ReferenceHost(const std::string& url, bool mainDomain, bool keepPort,
                          std::optional<int> levels) {
  const std::string w = reference::ToLower(url);
  const std::string host = levels ? HostByLabels(w, mainDomain, *levels) : HostBySchemes(w, mainDomain);
  if (keepPort) return host;
  const int colon = reference::FindText(host, ":", 1, false);
  return colon == -1 ? host : host.substr(0, static_cast<std::size_t>(colon - 1));
}

bool HasUpperCaseLetter(const std::string& s) {
  const std::vector<char> starts = reference::CharStarts(s);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (starts[i] && reference::IsAsciiUpper(s[i])) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t options = input.Byte();
  const int levels = input.SmallInt();
  const std::string url = input.Fields(1)[0];
  const Text urlText(url);
  const bool mainDomain = (options & 1U) != 0;
  const bool keepPort = (options & 2U) != 0;
  const std::string detail = "url=\"" + Escaped(url) + "\"";

  // The forms the request routine uses.
  const std::string host = GetUrlHost(urlText).bytes();
  const std::string hostWithPort = GetUrlHost(urlText, false, true).bytes();
  CHECK(host == ReferenceHost(url, false, false, std::nullopt), detail + " host " + Escaped(host));
  CHECK(hostWithPort == ReferenceHost(url, false, true, std::nullopt), detail);
  CHECK(!HasUpperCaseLetter(hostWithPort), detail);
  CHECK(!reference::HasCharAt(host, '/') && !reference::HasCharAt(host, ':'), detail);
  CHECK(StartsWith(hostWithPort, host), detail);

  const int port = GetUrlPort(urlText);
  const int colon = reference::FindTextReverse(hostWithPort, ":", std::nullopt);
  if (colon != -1) {
    CHECK(port == reference::ToInt(hostWithPort.substr(static_cast<std::size_t>(colon))),
          detail + " port " + std::to_string(port));
  } else {
    const bool secure = reference::ToLower(url.substr(0, 5)) == "https";
    CHECK(port == (secure ? 443 : 80), detail + " port " + std::to_string(port));
  }

  const std::string path = GetUrlPath(urlText).bytes();
  CHECK(StartsWith(path, "/"), detail + " path " + Escaped(path));
  CHECK(path == "/" || EndsWith(url, path), detail + " path " + Escaped(path));

  // The options, both branches.
  const std::string main = GetUrlHost(urlText, mainDomain, keepPort).bytes();
  CHECK(main == ReferenceHost(url, mainDomain, keepPort, std::nullopt), detail);
  const std::string counted = GetUrlHost(urlText, mainDomain, keepPort, levels).bytes();
  CHECK(counted == ReferenceHost(url, mainDomain, keepPort, levels),
        detail + " levels " + std::to_string(levels) + " got " + Escaped(counted));
  CHECK(!HasUpperCaseLetter(main) && !HasUpperCaseLetter(counted), detail);
  // One more level steps back over one more label: the shorter result is a
  // tail of the longer one.
  if (levels < 127) {
    const std::string wider = GetUrlHost(urlText, mainDomain, true, levels + 1).bytes();
    const std::string narrower = GetUrlHost(urlText, mainDomain, true, levels).bytes();
    CHECK(EndsWith(wider, narrower), detail + " levels " + std::to_string(levels));
  }
  return 0;
}
