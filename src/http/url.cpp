#include "http/url.h"

#include "text/markers.h"
#include "text/text_primitives.h"

using namespace text_literals;

namespace {

const Text kHttpPrefix = "http://"_t;
const Text kHttpsPrefix = "https://"_t;
const Text kSecureSchemeStart = "https"_t;
const Text kPathSeparator = "/"_t;
const Text kLabelSeparator = "."_t;
const Text kPortSeparator = ":"_t;
constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

// The host part between the scheme and the next "/"; a URL without
// "http://" anywhere is read as if it began with it.
Text HostBySchemes(Text lowered, bool mainDomain) {
  if (TextRight(lowered, 1) != kPathSeparator) lowered += kPathSeparator;
  Text host;
  if (TextLeft(lowered, TextLength(kHttpsPrefix)) == kHttpsPrefix) {
    host = GetTextBetween(lowered, kHttpsPrefix, kPathSeparator);
  } else {
    if (FindText(lowered, kHttpPrefix) == -1) lowered = kHttpPrefix + lowered;
    host = GetTextBetween(lowered, kHttpPrefix, kPathSeparator);
  }
  if (mainDomain) {
    const TextList labels = SplitText(host, kLabelSeparator);
    const int count = labels.Count();
    if (count > 1) host = labels.Item(count - 1) + kLabelSeparator + labels.Item(count);
  }
  return host;
}

// The host kept by counting labels back from its end.
Text HostByLabels(Text lowered, bool mainDomain, int levels) {
  lowered = ReplaceText(lowered, kHttpPrefix, Text(), true);
  lowered = ReplaceText(lowered, kHttpsPrefix, Text(), true);
  const int slash = FindText(lowered, kPathSeparator);
  if (slash != -1) lowered = TextLeft(lowered, slash - 1);

  const int length = TextLength(lowered);
  int position = length;
  for (int step = 0; step < levels; ++step) {
    if (position != -1) position = FindTextReverse(lowered, kLabelSeparator, position);
  }
  const int lastDot = FindTextReverse(lowered, kLabelSeparator, position);
  if (mainDomain) return TextRight(lowered, length - lastDot);
  if (lastDot != -1) {
    const int dotBefore = FindTextReverse(lowered, kLabelSeparator, lastDot);
    if (dotBefore != -1) return TextRight(lowered, length - dotBefore);
  }
  return lowered;
}

// Where the host is looked for in the URL: after a leading scheme, so that a
// host such as "h" or "http" is not found inside the scheme itself.
int HostSearchStart(const Text& url) {
  const Text lowered = ToLowerText(TextLeft(url, TextLength(kHttpsPrefix)));
  if (TextLeft(lowered, TextLength(kHttpsPrefix)) == kHttpsPrefix) {
    return TextLength(kHttpsPrefix) + 1;
  }
  if (TextLeft(lowered, TextLength(kHttpPrefix)) == kHttpPrefix) {
    return TextLength(kHttpPrefix) + 1;
  }
  return 1;
}

}  // namespace

Text GetUrlHost(const Text& url, bool mainDomain, bool keepPort, std::optional<int> levels) {
  const Text lowered = ToLowerText(url);
  const Text host = levels ? HostByLabels(lowered, mainDomain, *levels)
                           : HostBySchemes(lowered, mainDomain);
  if (keepPort) return host;
  const int colon = FindText(host, kPortSeparator);
  return colon == -1 ? host : TextLeft(host, colon - 1);
}

int GetUrlPort(const Text& url) {
  const Text hostAndPort = GetUrlHost(url, false, true);
  const int colon = FindTextReverse(hostAndPort, kPortSeparator);
  if (colon != -1) return TextToInt(TextRight(hostAndPort, TextLength(hostAndPort) - colon));
  const bool secure = TextLeft(ToLowerText(url), TextLength(kSecureSchemeStart)) == kSecureSchemeStart;
  return secure ? kHttpsPort : kHttpPort;
}

Text GetUrlPath(const Text& url) {
  const Text host = GetUrlHost(url);
  const int hostStart = FindText(url, host, HostSearchStart(url), true);
  const int slash = FindText(url, kPathSeparator, hostStart, true);
  if (slash == -1) return kPathSeparator;
  return TextRight(url, TextLength(url) - slash + 1);
}
