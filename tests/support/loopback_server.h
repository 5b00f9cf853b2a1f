// A small HTTP server on 127.0.0.1 for tests that need a real peer. It
// listens on a free port from construction to destruction, serves every
// connection in a thread of its own, records each request it reads, and
// answers with whatever bytes the test's handler scripts. It does not
// interpret the target, so it stands in for a proxy as well: a client that
// uses it as one sends absolute-form targets ("http://host/path"), which it
// records like any other.
//
// One request per connection: after answering, the server closes the
// connection. Responses therefore need no "Connection: close" of their own,
// and a response without a length simply ends at the close.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct RecordedRequest {
  std::string raw;  // every byte read for this request, head and body
  std::string method;
  std::string target;  // exactly as it stood in the request line
  std::string version;
  std::string headerBlock;  // the lines after the request line, each with its "\r\n", no blank line
  std::vector<std::pair<std::string, std::string>> headers;  // name and trimmed value, in order
  std::string body;  // by Content-Length, or de-chunked

  // The value of the first header with this name (letter case ignored).
  std::optional<std::string> Header(std::string_view name) const;
  // How many header lines carry this name (letter case ignored).
  std::size_t HeaderCount(std::string_view name) const;
};

// What the server does once it has read a request.
struct Reply {
  std::string bytes;                // the raw response, status line and all
  std::optional<std::size_t> cutAfter;  // send only this many bytes, then close
  bool silent = false;  // send nothing; hold the connection until the client leaves or the server stops

  static Reply Raw(std::string bytes) { return Reply{std::move(bytes), std::nullopt, false}; }
  static Reply CutAfter(std::string bytes, std::size_t count) {
    return Reply{std::move(bytes), count, false};
  }
  static Reply Silence() { return Reply{{}, std::nullopt, true}; }
};

// "statusLine\r\n" + each header line + "\r\n", then "Content-Length: N\r\n",
// the blank line and the body. headerLines carry no line ends.
std::string HttpResponse(std::string_view statusLine, const std::vector<std::string>& headerLines,
                         std::string_view body);

class LoopbackServer {
 public:
  using Handler = std::function<Reply(const RecordedRequest&)>;

  // Starts listening at once. Until SetHandler is called every request gets
  // "HTTP/1.1 200 OK" with an empty body. Aborts the test binary when no
  // socket can be opened.
  LoopbackServer();
  // Stops accepting, ends every connection (silent ones included) and joins
  // all threads.
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // The handler runs on the connection's thread, after the request has been
  // recorded; it may be called from several threads at once.
  void SetHandler(Handler handler);

  int Port() const;
  // "http://127.0.0.1:PORT" followed by pathAndQuery.
  std::string Url(std::string_view pathAndQuery) const;

  // Every complete request read so far, in the order they were read.
  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();

 private:
  struct State;
  std::unique_ptr<State> state_;
};
