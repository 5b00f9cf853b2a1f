// Throughput of the marker extraction that reads a tracking answer, against
// a floor: memmem finding every occurrence of the same left marker in the
// same buffer. Answers of 100 KB, 1 MB and 10 MB show whether the cost per
// byte stays flat as the answer grows.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>

#include "text/markers.h"
#include "text/text.h"

namespace {

constexpr std::string_view kTimeLeft = "\"time\":\"";
constexpr std::string_view kContextLeft = "context\":\"";
constexpr std::string_view kQuote = "\"";

// A description of about 90 bytes: mostly GBK double-byte characters, some
// from the extended area whose second byte is printable ASCII (0x40..0x7E),
// with a bracketed place name and an ASCII phone number now and then.
std::string Description(std::mt19937& random) {
  std::uniform_int_distribution<int> commonLead(0xB0, 0xD7);
  std::uniform_int_distribution<int> commonTrail(0xA1, 0xFE);
  std::uniform_int_distribution<int> extendedLead(0x81, 0xA0);
  std::uniform_int_distribution<int> extendedTrail(0x40, 0x7E);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string text = "\xA1\xBE";  // 【
  for (int i = 0; i < 4; ++i) {
    text += static_cast<char>(commonLead(random));
    text += static_cast<char>(commonTrail(random));
  }
  text += "\xA1\xBF";  // 】
  while (text.size() < 80) {
    if (percent(random) < 10) {
      text += static_cast<char>(extendedLead(random));
      text += static_cast<char>(extendedTrail(random));
    } else {
      text += static_cast<char>(commonLead(random));
      text += static_cast<char>(commonTrail(random));
    }
  }
  if (percent(random) < 30) text += " 13800138000";
  return text;
}

// {"message":"ok","nu":"...","data":[{"time":...,"ftime":...,"context":...},...]}
// of at least `size` bytes, one event per about 180 bytes.
std::string TrackingAnswer(std::size_t size) {
  std::mt19937 random(20240501);
  std::string answer =
      "{\"message\":\"ok\",\"nu\":\"YT7412589630147\",\"ischeck\":\"1\",\"condition\":\"F00\","
      "\"com\":\"courier\",\"status\":\"200\",\"state\":\"3\",\"data\":[";
  int minute = 0;
  while (answer.size() < size) {
    char time[32];
    std::snprintf(time, sizeof time, "2024-05-%02d %02d:%02d:00", 1 + (minute / 1440) % 28,
                  (minute / 60) % 24, minute % 60);
    ++minute;
    answer += "{\"time\":\"";
    answer += time;
    answer += "\",\"ftime\":\"";
    answer += time;
    answer += "\",\"context\":\"";
    answer += Description(random);
    answer += "\",\"location\":\"\"},";
  }
  answer += "]}";
  return answer;
}

const Text& Answer(std::size_t size) {
  static std::map<std::size_t, Text> answers;
  auto it = answers.find(size);
  if (it == answers.end()) it = answers.emplace(size, Text(TrackingAnswer(size))).first;
  return it->second;
}

void Collect(benchmark::State& state, std::string_view leftMarker) {
  const Text& answer = Answer(static_cast<std::size_t>(state.range(0)));
  const Text left(leftMarker);
  const Text right(kQuote);
  TextList items;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CollectAllBetween(answer, left, right, items));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(answer.bytes().size()));
  state.counters["items"] = items.Count();
}

void BM_CollectTimes(benchmark::State& state) { Collect(state, kTimeLeft); }
void BM_CollectDescriptions(benchmark::State& state) { Collect(state, kContextLeft); }

void BM_GetFieldValueMessage(benchmark::State& state) {
  const Text& answer = Answer(static_cast<std::size_t>(state.range(0)));
  const Text key("message");
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetFieldValue(answer, key));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(answer.bytes().size()));
}

// The floor: every occurrence of the left marker, found by memmem, nothing
// else done with it.
void Floor(benchmark::State& state, std::string_view leftMarker) {
  const std::string& answer = Answer(static_cast<std::size_t>(state.range(0))).bytes();
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    const char* at = answer.data();
    const char* const end = answer.data() + answer.size();
    while (const void* hit = memmem(at, static_cast<std::size_t>(end - at), leftMarker.data(),
                                    leftMarker.size())) {
      ++found;
      at = static_cast<const char*>(hit) + 1;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(answer.size()));
  state.counters["items"] = static_cast<double>(found);
}

void BM_FloorMemmemTimes(benchmark::State& state) { Floor(state, kTimeLeft); }
void BM_FloorMemmemDescriptions(benchmark::State& state) { Floor(state, kContextLeft); }

constexpr std::int64_t kSizes[] = {100 << 10, 1 << 20, 10 << 20};

void Sizes(benchmark::internal::Benchmark* bench) {
  for (std::int64_t size : kSizes) bench->Arg(size);
}

}  // namespace

BENCHMARK(BM_FloorMemmemTimes)->Apply(Sizes);
BENCHMARK(BM_CollectTimes)->Apply(Sizes);
BENCHMARK(BM_FloorMemmemDescriptions)->Apply(Sizes);
BENCHMARK(BM_CollectDescriptions)->Apply(Sizes);
BENCHMARK(BM_GetFieldValueMessage)->Apply(Sizes);

BENCHMARK_MAIN();
