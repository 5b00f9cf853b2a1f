#include "loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

namespace {

// A request head that has not ended after this long is answered anyway.
constexpr int kReadTimeoutMs = 2000;

std::mutex answerMutex;
std::string answer;

std::string CurrentAnswer() {
  const std::lock_guard<std::mutex> lock(answerMutex);
  return answer;
}

// Reads until the blank line that ends a request head (the client sends GET
// without a body), so that nothing unread is left when the socket closes:
// unread bytes would turn the close into a reset and lose the answer.
void ReadRequestHead(int connection) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd ready{connection, POLLIN, 0};
    if (poll(&ready, 1, kReadTimeoutMs) <= 0) return;
    const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    head.append(buffer, static_cast<std::size_t>(got));
  }
}

void SendAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t wrote = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (wrote <= 0) return;
    sent += static_cast<std::size_t>(wrote);
  }
}

void Serve(int listener) {
  for (;;) {
    const int connection = accept(listener, nullptr, nullptr);
    if (connection < 0) continue;
    ReadRequestHead(connection);
    SendAll(connection, CurrentAnswer());
    shutdown(connection, SHUT_WR);
    close(connection);
  }
}

int StartPeer() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  if (listener < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(listener);
    return 0;
  }
  // The peer lives as long as the fuzzing process.
  std::thread(Serve, listener).detach();
  return ntohs(address.sin_port);
}

}  // namespace

int LoopbackPeerPort() {
  static const int port = StartPeer();
  return port;
}

void SetLoopbackAnswer(std::string_view bytes) {
  const std::lock_guard<std::mutex> lock(answerMutex);
  answer.assign(bytes);
}
