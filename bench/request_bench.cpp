// Time per request for a 2 KB answer from the local origin: the request
// routine called the way the page fetch calls it, and the page fetch itself,
// against a bare libcurl GET with a fresh easy handle.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "bench_origin.h"
#include "http/fetch.h"
#include "http/request.h"
#include "text/text.h"

namespace {

constexpr const char* kSmallAnswerPath = "/small.json";
constexpr std::size_t kSmallAnswerSize = 2048;

std::string SmallAnswerUrl() { return BenchOrigin() + kSmallAnswerPath; }

bool SkipWithoutOrigin(benchmark::State& state) {
  if (!BenchOrigin().empty()) return false;
  state.SkipWithError("PARCELTRACE_BENCH_ORIGIN is not set; run scripts/bench.sh");
  return true;
}

void CountAnswer(benchmark::State& state, std::size_t size) {
  state.counters["answer_bytes"] = static_cast<double>(size);
  if (size != kSmallAnswerSize) state.SkipWithError("the origin's answer is not 2 KB");
}

void BM_FloorBareCurl(benchmark::State& state) {
  if (SkipWithoutOrigin(state)) return;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string url = SmallAnswerUrl();
  std::size_t size = 0;
  for (auto _ : state) size = BareCurlGet(url, "").size();
  CountAnswer(state, size);
}

// All nine optional arguments supplied empty, as the page fetch passes them.
void BM_HttpRequestAsFetched(benchmark::State& state) {
  if (SkipWithoutOrigin(state)) return;
  const Text url(SmallAnswerUrl());
  std::size_t size = 0;
  for (auto _ : state) {
    Text cookies, returnedCookies, headers, returnedHeaders;
    Bytes postBytes;
    size = HttpRequest(url, 0, Text(), &cookies, &returnedCookies, &headers, &returnedHeaders,
                       false, &postBytes, Text())
               .size();
  }
  CountAnswer(state, size);
}

void BM_FetchPage(benchmark::State& state) {
  if (SkipWithoutOrigin(state)) return;
  const Text url(SmallAnswerUrl());
  std::size_t size = 0;
  for (auto _ : state) size = FetchPage(url).bytes().size();
  CountAnswer(state, size);
}

}  // namespace

BENCHMARK(BM_FloorBareCurl)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_HttpRequestAsFetched)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FetchPage)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
