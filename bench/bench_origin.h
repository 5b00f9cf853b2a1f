// The local origin that scripts/bench.sh starts for the network benchmarks,
// and the bare libcurl GET that serves as their floor.
#pragma once

#include <curl/curl.h>

#include <cstdlib>
#include <string>

// The origin's address, "http://127.0.0.1:port", from the environment that
// the bench script sets; empty when the benchmark runs on its own.
inline std::string BenchOrigin() {
  const char* origin = std::getenv("PARCELTRACE_BENCH_ORIGIN");
  return origin != nullptr ? origin : "";
}

inline size_t AppendBody(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// One GET with a fresh easy handle, as a program that knows nothing of the
// Internet API would write it; through proxy unless that is empty.
inline std::string BareCurlGet(const std::string& url, const std::string& proxy) {
  std::string body;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body;
}
