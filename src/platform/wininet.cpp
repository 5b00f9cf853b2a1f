// The Internet API layer over libcurl. Each request handle runs one whole
// exchange inside HttpSendRequestA with its own easy handle; the body and the
// final header block are kept in the request handle and handed out from
// there, so no curl handle outlives the call that made it.
#include "platform/wininet.h"
#include "platform/wininet_testing.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace {

constexpr long kDefaultConnectTimeoutSeconds = 20;
constexpr long kDefaultIdleTimeoutSeconds = 30;
// A transfer slower than this many bytes per second for the idle time is
// treated as stalled.
constexpr long kStalledBytesPerSecond = 1;
constexpr long kMaxRedirects = 10;
constexpr std::size_t kDefaultBodyCap = std::size_t{64} * 1024 * 1024;
// A proxy named without a port listens on the HTTP port, not on libcurl's
// own default of 1080.
constexpr std::string_view kDefaultProxyPortSuffix = ":80";
constexpr std::string_view kAllowedProtocols = "http,https";
constexpr std::string_view kLineBreak = "\r\n";
constexpr DWORD kHeadersNulTerminated = static_cast<DWORD>(-1);

std::atomic<long> connectTimeoutSeconds{kDefaultConnectTimeoutSeconds};
std::atomic<long> idleTimeoutSeconds{kDefaultIdleTimeoutSeconds};
std::atomic<std::size_t> bodyCap{kDefaultBodyCap};

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

struct ShareDeleter {
  void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};
using ShareHandle = std::unique_ptr<CURLSH, ShareDeleter>;

// ---- Handle contents -------------------------------------------------------

struct Session {
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_DIRECT;
  std::string proxyList;
};

// Connections and requests copy what they need from their parent, so that
// handles can be closed in any order.
struct Connection {
  Session session;
  std::string urlHost;  // ready for a URL: an IPv6 address is bracketed
  INTERNET_PORT port = 0;
};

struct Response {
  std::string body;
  std::size_t readOffset = 0;
  bool transferFailed = false;
  std::optional<std::string> headerBlock;  // absent when no final response arrived
};

struct Request {
  Connection connection;
  std::string verb;
  std::string target;  // already encoded for the request line
  bool http10 = false;
  DWORD flags = 0;
  std::optional<Response> response;  // absent until the request is sent
};

}  // namespace

struct InternetHandle {
  std::variant<Session, Connection, Request> object;
};

namespace {

template <typename T>
T* HandleAs(HINTERNET handle) {
  return handle == nullptr ? nullptr : std::get_if<T>(&handle->object);
}

// ---- Text helpers ----------------------------------------------------------

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Splits at any of the separator bytes, dropping empty pieces.
std::vector<std::string_view> SplitAtAny(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(separators);
    const std::string_view piece = text.substr(0, end);
    if (!piece.empty()) pieces.push_back(piece);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return pieces;
}

bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// ---- Request line pieces ---------------------------------------------------

// A method is an HTTP token; anything else could break the request line.
bool IsValidVerb(std::string_view verb) {
  constexpr std::string_view kTokenPunctuation = "!#$%&'*+-.^_`|~";
  return !verb.empty() && std::all_of(verb.begin(), verb.end(), [&](char c) {
    return IsAsciiAlnum(static_cast<unsigned char>(c)) ||
           kTokenPunctuation.find(c) != std::string_view::npos;
  });
}

bool MustPercentEncode(unsigned char c) {
  return c <= 0x20 || c == 0x7F || c == '#' || c >= 0x80;
}

// Keeps the caller's target as it is, '%' included, except for the bytes that
// cannot stand in a request line; the server decodes those back to the
// caller's bytes. libcurl would reject a space and cut at '#', so this comes
// before the URL is handed to it.
std::string EncodeRequestTarget(std::string_view target) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string encoded;
  if (target.empty() || target.front() != '/') encoded.push_back('/');
  for (const char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (MustPercentEncode(byte)) {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0x0F]);
    } else {
      encoded.push_back(c);
    }
  }
  return encoded;
}

bool IsIpv6Literal(std::string_view host) {
  return host.find(':') != std::string_view::npos &&
         std::all_of(host.begin(), host.end(), [](char c) {
           return IsHexDigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
         });
}

// The host as it goes into a URL, or nothing when it holds characters that
// could change the URL's meaning (a '/', '@', space, line break and so on).
std::optional<std::string> UrlHost(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']' &&
      IsIpv6Literal(host.substr(1, host.size() - 2))) {
    return std::string(host);
  }
  if (IsIpv6Literal(host)) return "[" + std::string(host) + "]";
  const bool namePlain = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return IsAsciiAlnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
  });
  if (!namePlain) return std::nullopt;
  return std::string(host);
}

std::string_view SchemeOf(const Request& request) {
  return (request.flags & INTERNET_FLAG_SECURE) != 0 ? "https" : "http";
}

std::string BuildUrl(const Request& request) {
  std::string url = std::string(SchemeOf(request)) + "://" + request.connection.urlHost;
  // Port 0 stands for the scheme's default port.
  if (request.connection.port != 0) url += ":" + std::to_string(request.connection.port);
  return url + request.target;
}

// ---- Proxy choice ----------------------------------------------------------

enum class ProxyMode { Direct, Named, Environment };

struct ProxyChoice {
  ProxyMode mode = ProxyMode::Direct;
  std::string server;
};

bool NamesPort(std::string_view server) {
  const std::size_t schemeEnd = server.find("://");
  if (schemeEnd != std::string_view::npos) server.remove_prefix(schemeEnd + 3);
  server = server.substr(0, server.find('/'));
  if (!server.empty() && server.front() == '[') {
    const std::size_t close = server.find(']');
    return close != std::string_view::npos && close + 1 < server.size() && server[close + 1] == ':';
  }
  return server.find(':') != std::string_view::npos;
}

std::string WithPort(std::string_view server) {
  std::string named(server);
  if (!NamesPort(server)) named += kDefaultProxyPortSuffix;
  return named;
}

// A "scheme=server" entry for the URL's scheme wins over a bare "server"
// entry; a list that names neither leaves the choice to the environment.
ProxyChoice ChooseProxyFromList(std::string_view list, std::string_view scheme) {
  std::optional<std::string_view> bareServer;
  for (const std::string_view entry : SplitAtAny(list, " ;")) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (!bareServer) bareServer = entry;
      continue;
    }
    const std::string_view server = entry.substr(equals + 1);
    if (EqualsIgnoringCase(entry.substr(0, equals), scheme) && !server.empty()) {
      return {ProxyMode::Named, WithPort(server)};
    }
  }
  if (bareServer) return {ProxyMode::Named, WithPort(*bareServer)};
  return {ProxyMode::Environment, {}};
}

ProxyChoice ChooseProxy(const Session& session, std::string_view scheme) {
  switch (session.accessType) {
    case INTERNET_OPEN_TYPE_PROXY:
      return ChooseProxyFromList(session.proxyList, scheme);
    case INTERNET_OPEN_TYPE_PRECONFIG:
      return {ProxyMode::Environment, {}};
    default:
      return {ProxyMode::Direct, {}};
  }
}

// ---- Process-wide state ----------------------------------------------------

bool EnsureCurlInitialised() {
  static std::once_flag once;
  static bool initialised = false;
  std::call_once(once, [] { initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return initialised;
}

// The cookie store that requests without INTERNET_FLAG_NO_COOKIES share: it
// lives in memory for the life of the process, as the platform's own store
// would for a process that never persists it.
class CookieStore {
 public:
  CookieStore() : share_(curl_share_init()) {
    if (!share_) return;
    curl_share_setopt(share_.get(), CURLSHOPT_LOCKFUNC, &CookieStore::Lock);
    curl_share_setopt(share_.get(), CURLSHOPT_UNLOCKFUNC, &CookieStore::Unlock);
    curl_share_setopt(share_.get(), CURLSHOPT_USERDATA, this);
    if (curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
      share_.reset();
    }
  }
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  CURLSH* Share() const { return share_.get(); }

 private:
  std::mutex& LockFor(curl_lock_data data) {
    const auto index = static_cast<std::size_t>(data);
    return locks_[index < locks_.size() ? index : 0];
  }
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* store) {
    static_cast<CookieStore*>(store)->LockFor(data).lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* store) {
    static_cast<CookieStore*>(store)->LockFor(data).unlock();
  }

  // Declared before the share so that they outlive its clean-up, which locks.
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
  ShareHandle share_;
};

CURLSH* SharedCookieStore() {
  static CookieStore store;
  return store.Share();
}

// ---- Response capture ------------------------------------------------------

// Collects the header block of each response curl reads (redirects and
// interim 1xx answers included); every status line starts a new block, so the
// block left at the end belongs to the last response.
struct ResponseCapture {
  std::string block;
  bool blockComplete = false;
  bool blockInterim = false;
  long finalBlocks = 0;  // complete non-1xx blocks seen
  std::string body;
  std::size_t bodyLimit = kDefaultBodyCap;
};

bool IsStatusLine(std::string_view line) { return line.substr(0, 5) == "HTTP/"; }

bool IsInterimStatus(std::string_view statusLine) {
  const std::size_t space = statusLine.find(' ');
  return space != std::string_view::npos && space + 1 < statusLine.size() &&
         statusLine[space + 1] == '1';
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

void AddHeaderLine(ResponseCapture& capture, std::string_view line) {
  if (IsStatusLine(line)) {
    capture.block.clear();
    capture.blockComplete = false;
    capture.blockInterim = IsInterimStatus(line);
  } else if (capture.blockComplete || capture.block.empty()) {
    return;  // trailers after a chunked body, or stray lines before a status line
  }
  capture.block.append(line).append(kLineBreak);
  if (line.empty()) {
    capture.blockComplete = true;
    if (!capture.blockInterim) ++capture.finalBlocks;
  }
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  const std::size_t length = size * count;
  AddHeaderLine(*static_cast<ResponseCapture*>(user), WithoutLineEnd({data, length}));
  return length;
}

// Returning short of the offered length makes curl end the transfer as
// failed; what fitted under the limit is kept.
size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
  auto& capture = *static_cast<ResponseCapture*>(user);
  const std::size_t length = size * count;
  const std::size_t room = capture.bodyLimit - std::min(capture.bodyLimit, capture.body.size());
  const std::size_t kept = std::min(length, room);
  capture.body.append(data, kept);
  return kept;
}

// The header block stands only when it belongs to the response that ended
// the chain: a redirect whose next hop failed leaves a block from an earlier
// response behind.
std::optional<std::string> FinalHeaderBlock(CURL* easy, const ResponseCapture& capture) {
  long redirects = 0;
  curl_easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &redirects);
  if (!capture.blockComplete || capture.blockInterim || capture.finalBlocks <= redirects) {
    return std::nullopt;
  }
  return capture.block;
}

// ---- Transfer set-up -------------------------------------------------------

bool HasHeaderLine(const std::vector<std::string_view>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(), [&](std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon != std::string_view::npos && EqualsIgnoringCase(Trim(line.substr(0, colon)), name);
  });
}

bool Append(HeaderList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) return false;
  (void)list.release();
  list.reset(grown);
  return true;
}

// The caller's header lines, plus empty "Name:" lines that switch off
// libcurl's own Accept, Expect and Content-Type where the caller has none.
// Line breaks of either kind separate lines, so no line can smuggle another.
std::optional<HeaderList> BuildHeaderList(std::string_view headerText) {
  const std::vector<std::string_view> lines = SplitAtAny(headerText, "\r\n");
  HeaderList list;
  for (const std::string_view line : lines) {
    if (!Append(list, std::string(line))) return std::nullopt;
  }
  for (const std::string_view name : {"Accept", "Expect", "Content-Type"}) {
    if (!HasHeaderLine(lines, name) && !Append(list, std::string(name) + ":")) return std::nullopt;
  }
  return list;
}

void SetProxy(CURL* easy, const ProxyChoice& proxy) {
  switch (proxy.mode) {
    case ProxyMode::Direct:
      curl_easy_setopt(easy, CURLOPT_PROXY, "");  // the environment is not consulted
      break;
    case ProxyMode::Named:
      curl_easy_setopt(easy, CURLOPT_PROXY, proxy.server.c_str());
      curl_easy_setopt(easy, CURLOPT_NOPROXY, "");  // no_proxy does not override a named proxy
      break;
    case ProxyMode::Environment:
      break;  // curl reads http_proxy, https_proxy and no_proxy itself
  }
}

// POST goes through POSTFIELDS so that curl turns it into a GET on a followed
// 301/302/303 as browsers do; a custom "POST" method would keep the verb and
// lose the body.
void SetMethodAndBody(CURL* easy, const std::string& verb, const char* body, std::size_t bodyLength) {
  const bool isPost = verb == "POST";
  if (isPost || bodyLength > 0) {
    if (!isPost) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bodyLength > 0 ? body : "");
  } else if (verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (verb != "GET") {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
  }
}

void SetLimits(CURL* easy) {
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds.load());
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStalledBytesPerSecond);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idleTimeoutSeconds.load());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
}

void SetRedirects(CURL* easy, DWORD flags) {
  if ((flags & INTERNET_FLAG_NO_AUTO_REDIRECT) != 0) return;
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols.data());
}

void SetCookies(CURL* easy, DWORD flags) {
  if ((flags & INTERNET_FLAG_NO_COOKIES) != 0) return;  // cookie engine stays off
  CURLSH* share = SharedCookieStore();
  if (share == nullptr) return;
  curl_easy_setopt(easy, CURLOPT_SHARE, share);
  // Sharing the store does not switch the engine on; an empty file name does,
  // without reading any file.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
}

void SetCapture(CURL* easy, ResponseCapture& capture) {
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeaderLine);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &capture);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBodyBytes);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &capture);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

void SetTarget(CURL* easy, const Request& request, const std::string& url) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);  // "/../" goes out as the caller wrote it
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kAllowedProtocols.data());
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                   request.http10 ? long{CURL_HTTP_VERSION_1_0} : long{CURL_HTTP_VERSION_1_1});
}

void SetAgent(CURL* easy, const Request& request, std::string_view headerText) {
  const std::string& agent = request.connection.session.agent;
  if (agent.empty() || HasHeaderLine(SplitAtAny(headerText, "\r\n"), "User-Agent")) return;
  curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
}

struct Outgoing {
  std::string_view headerText;
  const char* body = nullptr;
  std::size_t bodyLength = 0;
};

Response PerformExchange(const Request& request, const Outgoing& outgoing) {
  Response failed{{}, 0, true, std::nullopt};
  EasyHandle easy(curl_easy_init());
  std::optional<HeaderList> headers = BuildHeaderList(outgoing.headerText);
  if (!easy || !headers) return failed;

  const std::string url = BuildUrl(request);
  ResponseCapture capture;
  capture.bodyLimit = bodyCap.load();
  SetTarget(easy.get(), request, url);
  SetProxy(easy.get(), ChooseProxy(request.connection.session, SchemeOf(request)));
  SetAgent(easy.get(), request, outgoing.headerText);
  curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers->get());
  SetMethodAndBody(easy.get(), request.verb, outgoing.body, outgoing.bodyLength);
  SetRedirects(easy.get(), request.flags);
  SetCookies(easy.get(), request.flags);
  SetLimits(easy.get());
  SetCapture(easy.get(), capture);

  const CURLcode result = curl_easy_perform(easy.get());
  Response response;
  response.headerBlock = FinalHeaderBlock(easy.get(), capture);
  response.body = std::move(capture.body);
  response.transferFailed = result != CURLE_OK;
  return response;
}

HINTERNET NewHandle(auto object) {
  return new (std::nothrow) InternetHandle{std::move(object)};
}

}  // namespace

// ---- Entry points ----------------------------------------------------------

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxyList, LPCSTR /*proxyBypass*/,
                        DWORD /*flags*/) {
  if (accessType != INTERNET_OPEN_TYPE_DIRECT && accessType != INTERNET_OPEN_TYPE_PROXY &&
      accessType != INTERNET_OPEN_TYPE_PRECONFIG) {
    return nullptr;
  }
  if (!EnsureCurlInitialised()) return nullptr;
  return NewHandle(Session{agent ? agent : "", accessType, proxyList ? proxyList : ""});
}

HINTERNET InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR /*userName*/, LPCSTR /*password*/, DWORD service, DWORD /*flags*/,
                           DWORD_PTR /*context*/) {
  const Session* session = HandleAs<Session>(internet);
  if (session == nullptr || serverName == nullptr || service != INTERNET_SERVICE_HTTP) return nullptr;
  std::optional<std::string> host = UrlHost(serverName);
  if (!host) return nullptr;
  return NewHandle(Connection{*session, std::move(*host), serverPort});
}

HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR /*referrer*/, LPCSTR* /*acceptTypes*/, DWORD flags,
                           DWORD_PTR /*context*/) {
  const Connection* connection = HandleAs<Connection>(connect);
  const std::string method = verb != nullptr && *verb != '\0' ? verb : "GET";
  if (connection == nullptr || !IsValidVerb(method)) return nullptr;
  const bool http10 = version != nullptr && std::string_view(version) == "HTTP/1.0";
  return NewHandle(Request{*connection, method, EncodeRequestTarget(objectName ? objectName : ""),
                           http10, flags, std::nullopt});
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  Request* sending = HandleAs<Request>(request);
  if (sending == nullptr || (optional == nullptr && optionalLength > 0)) return FALSE;
  Outgoing outgoing;
  if (headers != nullptr) {
    outgoing.headerText = headersLength == kHeadersNulTerminated
                              ? std::string_view(headers)
                              : std::string_view(headers, headersLength);
  }
  outgoing.body = static_cast<const char*>(optional);
  outgoing.bodyLength = optionalLength;
  sending->response = PerformExchange(*sending, outgoing);
  return sending->response->transferFailed ? FALSE : TRUE;
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
  if (read == nullptr) return FALSE;
  *read = 0;
  Request* request = HandleAs<Request>(file);
  if (request == nullptr || !request->response || (buffer == nullptr && toRead > 0)) return FALSE;
  Response& response = *request->response;
  const std::size_t remaining = response.body.size() - response.readOffset;
  const std::size_t count = std::min<std::size_t>(toRead, remaining);
  if (count == 0) return response.transferFailed ? FALSE : TRUE;
  std::memcpy(buffer, response.body.data() + response.readOffset, count);
  response.readOffset += count;
  *read = static_cast<DWORD>(count);
  return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD /*index*/) {
  const Request* queried = HandleAs<Request>(request);
  if (queried == nullptr || bufferLength == nullptr || infoLevel != HTTP_QUERY_RAW_HEADERS_CRLF ||
      !queried->response || !queried->response->headerBlock) {
    return FALSE;
  }
  const std::string& block = *queried->response->headerBlock;
  const std::size_t needed = block.size() + 1;  // with its NUL
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = static_cast<DWORD>(needed);
    return FALSE;
  }
  std::memcpy(buffer, block.c_str(), needed);
  *bufferLength = static_cast<DWORD>(block.size());
  return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  if (handle == nullptr) return FALSE;
  delete handle;
  return TRUE;
}

// ---- Test seams ------------------------------------------------------------

void SetInternetTimeoutsForTesting(long connectSeconds, long idleSeconds) {
  connectTimeoutSeconds = std::max(1L, connectSeconds);
  idleTimeoutSeconds = std::max(1L, idleSeconds);
}

void SetInternetBodyCapForTesting(std::size_t maxBodyBytes) { bodyCap = maxBodyBytes; }

void RestoreInternetDefaultsForTesting() {
  connectTimeoutSeconds = kDefaultConnectTimeoutSeconds;
  idleTimeoutSeconds = kDefaultIdleTimeoutSeconds;
  bodyCap = kDefaultBodyCap;
}
