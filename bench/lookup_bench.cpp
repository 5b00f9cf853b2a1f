// One whole lookup of a parcel with 50 events: detection, tracking query,
// decoding and extraction, the answers served by the local origin acting as
// the service through http_proxy. The floor fetches the same two answers
// with bare libcurl GETs and converts the tracking answer with one iconv
// call.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "bench_origin.h"
#include "lookup/courier.h"
#include "text/text.h"

namespace {

constexpr const char* kParcelNumber = "SF1999000000050";
constexpr int kParcelEvents = 50;

bool SkipWithoutOrigin(benchmark::State& state) {
  if (!BenchOrigin().empty()) return false;
  state.SkipWithError("PARCELTRACE_BENCH_ORIGIN is not set; run scripts/bench.sh");
  return true;
}

std::string ConvertToGbk(iconv_t converter, const std::string& utf8) {
  std::string gbk(utf8.size() * 2, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* out = gbk.data();
  std::size_t outLeft = gbk.size();
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  iconv(converter, &in, &inLeft, &out, &outLeft);
  gbk.resize(gbk.size() - outLeft);
  return gbk;
}

void BM_FloorTwoBareGets(benchmark::State& state) {
  if (SkipWithoutOrigin(state)) return;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const iconv_t toGbk = iconv_open("GBK", "UTF-8");
  const std::string proxy = BenchOrigin();
  const std::string detection = DetectionUrl(Text(kParcelNumber)).bytes();
  const std::string query = TrackingQueryUrl(Text("shunfeng"), Text(kParcelNumber)).bytes();
  std::size_t size = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(BareCurlGet(detection, proxy).size());
    size = ConvertToGbk(toGbk, BareCurlGet(query, proxy)).size();
  }
  iconv_close(toGbk);
  state.counters["answer_gbk_bytes"] = static_cast<double>(size);
}

void BM_LookupTracking(benchmark::State& state) {
  if (SkipWithoutOrigin(state)) return;
  const Text number(kParcelNumber);
  int events = 0;
  for (auto _ : state) {
    TextList times;
    TextList descriptions;
    LookupTracking(number, times, descriptions, [](const Text&) {});
    events = times.Count();
  }
  state.counters["events"] = events;
  if (events != kParcelEvents) state.SkipWithError("the lookup did not find the 50 events");
}

}  // namespace

BENCHMARK(BM_FloorTwoBareGets)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_LookupTracking)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
