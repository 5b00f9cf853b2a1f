#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

// How often blocked socket waits look at the stop flag.
constexpr int kPollMilliseconds = 50;
// How long a closing connection waits for the client to read the last bytes
// and hang up; closing with unread data would reset the connection and could
// throw away bytes the client has not read yet.
constexpr auto kLingerBeforeClose = std::chrono::seconds(2);
constexpr std::size_t kMaxHeadBytes = 1024 * 1024;
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A request starts with a method token; anything else (a TLS handshake, say)
// is not HTTP and ends the connection at once.
bool CanStartRequest(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Waits for the events or the stop flag; true when the socket is ready.
bool WaitFor(int fd, short events, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, kPollMilliseconds);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

// Appends what arrives; false at end of stream, error or stop.
bool ReadMore(int fd, std::string& buffer, const std::atomic<bool>& stopping) {
  if (!WaitFor(fd, POLLIN, stopping)) return false;
  char chunk[16384];
  const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
  if (got <= 0) return false;
  buffer.append(chunk, static_cast<std::size_t>(got));
  return true;
}

bool SendAll(int fd, std::string_view bytes, const std::atomic<bool>& stopping) {
  while (!bytes.empty()) {
    if (!WaitFor(fd, POLLOUT, stopping)) return false;
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Reads and drops whatever the client still sends until it hangs up, the
// server stops or the deadline passes.
void DrainUntilClosed(int fd, const std::atomic<bool>& stopping,
                      std::chrono::steady_clock::time_point deadline) {
  std::string discarded;
  while (std::chrono::steady_clock::now() < deadline && ReadMore(fd, discarded, stopping)) {
    discarded.clear();
  }
}

// ---- Request parsing -------------------------------------------------------

void ParseHead(std::string_view head, RecordedRequest& request) {
  const std::size_t lineEnd = head.find(kLineEnd);
  const std::string_view requestLine = head.substr(0, lineEnd);
  const std::size_t firstSpace = requestLine.find(' ');
  const std::size_t lastSpace = requestLine.rfind(' ');
  request.method = std::string(requestLine.substr(0, firstSpace));
  if (firstSpace != std::string_view::npos && lastSpace > firstSpace) {
    request.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
    request.version = std::string(requestLine.substr(lastSpace + 1));
  }
  if (lineEnd == std::string_view::npos) return;
  request.headerBlock = std::string(head.substr(lineEnd + kLineEnd.size()));
  std::string_view rest = request.headerBlock;
  while (!rest.empty()) {
    const std::size_t end = rest.find(kLineEnd);
    const std::string_view line = rest.substr(0, end);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      request.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                   std::string(Trim(line.substr(colon + 1))));
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + kLineEnd.size());
  }
}

// Decodes a chunked body from the start of data; the number of bytes it
// took when it is complete, nothing when more bytes are needed or it is
// malformed (the caller tells these apart by reading on).
std::optional<std::size_t> DecodeChunked(std::string_view data, std::string& body) {
  body.clear();
  std::size_t at = 0;
  while (true) {
    const std::size_t sizeEnd = data.find(kLineEnd, at);
    if (sizeEnd == std::string_view::npos) return std::nullopt;
    const std::string sizeText(data.substr(at, sizeEnd - at));
    const std::size_t size = std::strtoull(sizeText.c_str(), nullptr, 16);
    at = sizeEnd + kLineEnd.size();
    if (size == 0) break;
    if (data.size() < at + size + kLineEnd.size()) return std::nullopt;
    body.append(data.substr(at, size));
    at += size + kLineEnd.size();
  }
  // Trailer lines, then the blank line.
  while (true) {
    const std::size_t lineEnd = data.find(kLineEnd, at);
    if (lineEnd == std::string_view::npos) return std::nullopt;
    const bool blank = lineEnd == at;
    at = lineEnd + kLineEnd.size();
    if (blank) return at;
  }
}

// Reads one whole request; nothing when the client left, sent something
// that is not HTTP, or the server is stopping.
std::optional<RecordedRequest> ReadRequest(int fd, const std::atomic<bool>& stopping) {
  std::string buffer;
  std::size_t headEnd;
  while ((headEnd = buffer.find(kHeadEnd)) == std::string::npos) {
    if (!buffer.empty() && !CanStartRequest(buffer.front())) return std::nullopt;
    if (buffer.size() > kMaxHeadBytes || !ReadMore(fd, buffer, stopping)) return std::nullopt;
  }
  RecordedRequest request;
  ParseHead(std::string_view(buffer).substr(0, headEnd + kLineEnd.size()), request);
  const std::size_t bodyStart = headEnd + kHeadEnd.size();

  const std::optional<std::string> expect = request.Header("Expect");
  if (expect && EqualsIgnoringCase(*expect, "100-continue") && !SendAll(fd, kContinue, stopping)) {
    return std::nullopt;
  }
  const std::optional<std::string> encoding = request.Header("Transfer-Encoding");
  if (encoding && EqualsIgnoringCase(*encoding, "chunked")) {
    std::optional<std::size_t> used;
    while (!(used = DecodeChunked(std::string_view(buffer).substr(bodyStart), request.body))) {
      if (!ReadMore(fd, buffer, stopping)) return std::nullopt;
    }
    buffer.resize(bodyStart + *used);
  } else {
    const std::size_t length = std::strtoull(request.Header("Content-Length").value_or("0").c_str(), nullptr, 10);
    while (buffer.size() < bodyStart + length) {
      if (!ReadMore(fd, buffer, stopping)) return std::nullopt;
    }
    request.body = buffer.substr(bodyStart, length);
    buffer.resize(bodyStart + length);
  }
  request.raw = std::move(buffer);
  return request;
}

Reply DefaultReply(const RecordedRequest&) { return Reply::Raw(HttpResponse("HTTP/1.1 200 OK", {}, "")); }

}  // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
  for (const auto& [headerName, value] : headers) {
    if (EqualsIgnoringCase(headerName, name)) return value;
  }
  return std::nullopt;
}

std::size_t RecordedRequest::HeaderCount(std::string_view name) const {
  return static_cast<std::size_t>(std::count_if(headers.begin(), headers.end(), [&](const auto& header) {
    return EqualsIgnoringCase(header.first, name);
  }));
}

std::string HttpResponse(std::string_view statusLine, const std::vector<std::string>& headerLines,
                         std::string_view body) {
  std::string response(statusLine);
  response += kLineEnd;
  for (const std::string& line : headerLines) response.append(line).append(kLineEnd);
  response += "Content-Length: " + std::to_string(body.size());
  response.append(kLineEnd).append(kLineEnd).append(body);
  return response;
}

struct LoopbackServer::State {
  Socket listener{::socket(AF_INET, SOCK_STREAM, 0)};
  int port = 0;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;  // guards handler and requests
  Handler handler = DefaultReply;
  std::vector<RecordedRequest> requests;
  std::vector<std::thread> connections;  // touched by the accept thread only
  std::thread acceptor;

  void Listen();
  void AcceptLoop();
  void Serve(int fd);
  void Answer(int fd, const Reply& reply);
};

void LoopbackServer::State::Listen() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // the system picks a free port
  socklen_t length = sizeof address;
  if (listener.fd() < 0 || ::bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.fd(), SOMAXCONN) != 0 ||
      ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  port = ntohs(address.sin_port);
}

void LoopbackServer::State::AcceptLoop() {
  while (WaitFor(listener.fd(), POLLIN, stopping)) {
    const int fd = ::accept(listener.fd(), nullptr, nullptr);
    if (fd >= 0) connections.emplace_back([this, fd] { Serve(fd); });
  }
  for (std::thread& connection : connections) connection.join();
}

void LoopbackServer::State::Serve(int fd) {
  const Socket connection(fd);
  std::optional<RecordedRequest> request = ReadRequest(fd, stopping);
  if (!request) return;
  Handler current;
  {
    const std::lock_guard lock(mutex);
    requests.push_back(*request);
    current = handler;
  }
  Answer(fd, current(*request));
}

void LoopbackServer::State::Answer(int fd, const Reply& reply) {
  if (reply.silent) {
    DrainUntilClosed(fd, stopping, std::chrono::steady_clock::time_point::max());
    return;
  }
  const std::string_view bytes(reply.bytes);
  if (!SendAll(fd, bytes.substr(0, reply.cutAfter.value_or(bytes.size())), stopping)) return;
  ::shutdown(fd, SHUT_WR);
  DrainUntilClosed(fd, stopping, std::chrono::steady_clock::now() + kLingerBeforeClose);
}

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {
  state_->Listen();
  state_->acceptor = std::thread([state = state_.get()] { state->AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  state_->stopping = true;
  state_->acceptor.join();
}

void LoopbackServer::SetHandler(Handler handler) {
  const std::lock_guard lock(state_->mutex);
  state_->handler = std::move(handler);
}

int LoopbackServer::Port() const { return state_->port; }

std::string LoopbackServer::Url(std::string_view pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + std::string(pathAndQuery);
}

std::vector<RecordedRequest> LoopbackServer::Requests() const {
  const std::lock_guard lock(state_->mutex);
  return state_->requests;
}

void LoopbackServer::ClearRequests() {
  const std::lock_guard lock(state_->mutex);
  state_->requests.clear();
}
