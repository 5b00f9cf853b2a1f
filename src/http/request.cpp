#include "http/request.h"

#include <memory>
#include <string>

#include "http/cookies.h"
#include "http/url.h"
#include "platform/wininet.h"
#include "text/markers.h"
#include "text/text_primitives.h"

using namespace text_literals;

namespace {

const Text kVerbGet = "GET"_t;
const Text kVerbPost = "POST"_t;
const Text kHttpVersion = "HTTP/1.1"_t;
const Text kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"_t;
const Text kSecureSchemeStart = "https"_t;
const Text kHttpProxyListPrefix = "http="_t;
const Text kLineBreak = "\r\n"_t;
const Text kUserAgentName = "User-Agent:"_t;
const Text kAcceptName = "Accept:"_t;
const Text kAcceptLine = "Accept: */*"_t;
const Text kAcceptLanguageName = "Accept-Language:"_t;
const Text kAcceptLanguageLine = "Accept-Language: zh-cn"_t;
const Text kContentTypeName = "Content-Type:"_t;
const Text kContentTypeLine = "Content-Type: application/x-www-form-urlencoded"_t;
const Text kCookieLinePrefix = "Cookie: "_t;
const Text kSetCookie = "Set-Cookie"_t;
const Text kSetCookieName = "Set-Cookie:"_t;
const Text kCookieAttributeSeparator = ";"_t;
const Text kCookieJoin = "; "_t;
const Text kColon = ":"_t;
constexpr int kMethodPost = 1;
constexpr int kMethodGet = 0;
constexpr DWORD kReadChunkSize = 1024;
constexpr DWORD kHeaderBufferSize = 5000;

struct InternetHandleCloser {
  void operator()(InternetHandle* handle) const { InternetCloseHandle(handle); }
};
using UniqueInternetHandle = std::unique_ptr<InternetHandle, InternetHandleCloser>;

bool IsSecureUrl(const Text& url) {
  return ToLowerText(TextLeft(url, TextLength(kSecureSchemeStart))) == kSecureSchemeStart;
}

// The agent text: the caller's User-Agent line when there is one, else ours.
Text AgentText(const Text& headers) {
  if (FindText(headers, kUserAgentName, 1, true) == -1) return kDefaultAgent;
  const Text agent = TrimText(GetTextBetween(headers, kUserAgentName, kLineBreak));
  return agent.empty() ? GetHeaderValue(headers) : agent;
}

UniqueInternetHandle OpenInternet(const Text& agent, const std::optional<Text>& proxy,
                                  bool secure) {
  if (!proxy) {
    return UniqueInternetHandle(
        InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  }
  const Text proxyList = secure ? *proxy : kHttpProxyListPrefix + *proxy;
  const char* proxyListArgument = proxyList.empty() ? nullptr : proxyList.c_str();
  return UniqueInternetHandle(
      InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyListArgument, "", 0));
}

DWORD RequestFlags(bool cookiesSupplied, bool noRedirect, bool secure) {
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (cookiesSupplied) flags |= INTERNET_FLAG_NO_COOKIES;
  if (noRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  flags |= secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  return flags;
}

// The caller's header lines completed with our defaults.
Text ComposeHeaders(Text headers, const Text& cookies) {
  if (headers.empty()) {
    headers = kAcceptLine;
  } else if (FindText(headers, kAcceptName) == -1) {
    headers += kLineBreak + kAcceptLine;
  }
  if (FindText(headers, kAcceptLanguageName) == -1) headers += kLineBreak + kAcceptLanguageLine;
  if (FindText(headers, kContentTypeName) == -1) headers += kLineBreak + kContentTypeLine;
  if (!cookies.empty()) headers += kLineBreak + kCookieLinePrefix + cookies;
  return headers;
}

void Send(InternetHandle* request, const Text& headers, int method, const Text& postText,
          Bytes& postBytes) {
  const auto headersLength = static_cast<DWORD>(TextLength(headers));
  if (method == kMethodGet) {
    HttpSendRequestA(request, headers.c_str(), headersLength, nullptr, 0);
    return;
  }
  if (postBytes.empty()) postBytes = TextToBytes(postText);
  // The Internet API takes the body through a non-const pointer but only reads it.
  LPVOID body = postBytes.empty() ? nullptr : const_cast<char*>(postBytes.data());
  HttpSendRequestA(request, headers.c_str(), headersLength, body,
                   static_cast<DWORD>(postBytes.size()));
}

Bytes ReadBody(InternetHandle* request) {
  Bytes body;
  char chunk[kReadChunkSize];
  for (;;) {
    DWORD read = 0;
    InternetReadFile(request, chunk, kReadChunkSize, &read);
    if (read == 0) break;
    body.append(chunk, read);
  }
  return body;
}

// The raw header block, or the untouched buffer of spaces when the query
// fails; every spelling of Set-Cookie is brought to one.
Text QueryRawHeaders(InternetHandle* request) {
  std::string buffer(kHeaderBufferSize, ' ');
  DWORD length = kHeaderBufferSize;
  HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
  return ReplaceText(Text(buffer), kSetCookie, kSetCookie, false);
}

Text CaptureCookies(const Text& rawHeaders) {
  const TextList lines = SplitText(rawHeaders, kLineBreak);
  Text captured;
  for (int i = 1; i <= lines.Count(); ++i) {
    const Text& line = lines.Item(i);
    if (FindText(line, kSetCookie) == -1) continue;
    const Text value =
        FindText(line, kCookieAttributeSeparator) == -1
            ? TrimText(ReplaceText(line, kSetCookieName, Text(), false))
            : TrimText(GetTextBetween(line, kSetCookieName, kCookieAttributeSeparator));
    captured += value + kCookieJoin;
  }
  return TextLeft(captured, TextLength(captured) - TextLength(kCookieJoin));
}

}  // namespace

Bytes HttpRequest(const Text& url, int method, const Text& postText, Text* cookies,
                  Text* returnedCookies, Text* headers, Text* returnedHeaders, bool noRedirect,
                  Bytes* postBytes, const std::optional<Text>& proxy) {
  const Text& verb = method == kMethodPost ? kVerbPost : kVerbGet;
  const bool secure = IsSecureUrl(url);
  const Text callerHeaders = headers ? *headers : Text();
  const Text cookieText = cookies ? *cookies : Text();

  Bytes body;
  Text rawHeaders;
  {
    UniqueInternetHandle internet = OpenInternet(AgentText(callerHeaders), proxy, secure);
    if (!internet) return Bytes();
    UniqueInternetHandle connection(
        InternetConnectA(internet.get(), GetUrlHost(url).c_str(),
                         static_cast<INTERNET_PORT>(GetUrlPort(url)), nullptr, nullptr,
                         INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return Bytes();
    UniqueInternetHandle request(HttpOpenRequestA(
        connection.get(), verb.c_str(), GetUrlPath(url).c_str(), kHttpVersion.c_str(), nullptr,
        nullptr, RequestFlags(cookies != nullptr, noRedirect, secure), 0));
    if (!request) return Bytes();

    const Text composed = ComposeHeaders(callerHeaders, cookieText);
    if (headers) *headers = composed;
    Bytes localPostBytes;
    Bytes& bodyToSend = postBytes ? *postBytes : localPostBytes;
    Send(request.get(), composed, method, postText, bodyToSend);
    body = ReadBody(request.get());
    rawHeaders = QueryRawHeaders(request.get());
    if (returnedHeaders) *returnedHeaders = rawHeaders;
    // The handles close here, request first: the network work is over.
  }

  Text captured = CaptureCookies(rawHeaders);
  if (cookies) MergeCookies(*cookies, captured);
  if (returnedCookies) *returnedCookies = captured;
  return body;
}

Text GetHeaderValue(const Text& text) {
  const int colon = FindText(text, kColon);
  if (colon == -1) return Text();
  return TrimText(TextRight(text, TextLength(text) - colon));
}
