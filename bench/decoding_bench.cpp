// Throughput of the page fetch's text work on a 1 MB answer, against a
// floor: glibc's iconv taking the same bytes from UTF-8 to UTF-16 and on to
// GBK in two plain calls, with its converters opened once outside the loop.
// The page fetch hands back a fresh text, so the floor that counts converts
// into fresh outputs too; the one with kept buffers is shown beside it.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "http/fetch.h"
#include "text/text.h"
#include "text/text_primitives.h"

namespace {

constexpr std::size_t kAnswerSize = std::size_t{1} << 20;
// One description in this many carries a percent-escape, as the service
// sends for a slash or a space in a place name.
constexpr int kEscapeEveryNth = 4;

void AppendUtf8(std::string& out, char32_t codePoint) {
  out += static_cast<char>(0xE0 | (codePoint >> 12));
  out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (codePoint & 0x3F));
}

// About 30 CJK ideographs (all of them in GBK), now and then a
// percent-escape and an ASCII phone number.
std::string Description(std::mt19937& random, int index) {
  std::uniform_int_distribution<int> ideograph(0x4E00, 0x9FA5);
  std::string text = "\xE3\x80\x90";  // 【
  for (int i = 0; i < 4; ++i) AppendUtf8(text, static_cast<char32_t>(ideograph(random)));
  text += "\xE3\x80\x91";  // 】
  for (int i = 0; i < 26; ++i) AppendUtf8(text, static_cast<char32_t>(ideograph(random)));
  if (index % kEscapeEveryNth == 0) text += "%2F%E4%B8%AD%20";
  if (index % 3 == 0) text += " 13800138000";
  return text;
}

// The tracking answer's JSON shape in UTF-8, body bytes as they arrive.
std::string Utf8TrackingBody(std::size_t size) {
  std::mt19937 random(20240501);
  std::string body =
      "{\"message\":\"ok\",\"nu\":\"SF1999000000050\",\"ischeck\":\"1\",\"com\":\"shunfeng\","
      "\"status\":\"200\",\"state\":\"3\",\"data\":[";
  for (int index = 0; body.size() < size; ++index) {
    body += "{\"time\":\"2024-05-01 12:00:00\",\"ftime\":\"2024-05-01 12:00:00\",\"context\":\"";
    body += Description(random, index);
    body += "\",\"location\":\"\"},";
  }
  body += "]}";
  return body;
}

const Bytes& Body() {
  static const Bytes body(Utf8TrackingBody(kAnswerSize));
  return body;
}

void BM_FetchDecoding(benchmark::State& state) {
  const Bytes& body = Body();
  std::size_t length = 0;
  for (auto _ : state) {
    const Text text = PercentDecode(BytesToText(body), true);
    length = text.bytes().size();
    benchmark::DoNotOptimize(text.bytes().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
  state.counters["gbk_bytes"] = static_cast<double>(length);
}

// One iconv call over the whole input; the output buffer is the caller's.
std::size_t Convert(iconv_t converter, const char* input, std::size_t inputLength, char* output,
                    std::size_t outputRoom) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input);
  char* out = output;
  iconv(converter, &in, &inputLength, &out, &outputRoom);
  return static_cast<std::size_t>(out - output);
}

// The floor's two calls, each into an output of the largest size the input
// can need. With keepBuffers the outputs are allocated once, outside the
// loop; without, every conversion allocates its own, as a conversion that
// hands back a fresh value (as the page fetch does) must.
void FloorIconv(benchmark::State& state, bool keepBuffers) {
  const Bytes& body = Body();
  const iconv_t toUtf16 = iconv_open("UTF-16LE", "UTF-8");
  const iconv_t toGbk = iconv_open("GBK", "UTF-16LE");
  std::string keptUtf16(body.size() * 2, '\0');
  std::string keptGbk(body.size() * 2, '\0');
  std::size_t length = 0;
  for (auto _ : state) {
    std::string freshUtf16;
    std::string freshGbk;
    if (!keepBuffers) {
      freshUtf16.assign(body.size() * 2, '\0');
      freshGbk.assign(body.size() * 2, '\0');
    }
    std::string& utf16 = keepBuffers ? keptUtf16 : freshUtf16;
    std::string& gbk = keepBuffers ? keptGbk : freshGbk;
    const std::size_t units =
        Convert(toUtf16, body.data(), body.size(), utf16.data(), utf16.size());
    length = Convert(toGbk, utf16.data(), units, gbk.data(), gbk.size());
    benchmark::DoNotOptimize(gbk.data());
  }
  iconv_close(toUtf16);
  iconv_close(toGbk);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
  state.counters["gbk_bytes"] = static_cast<double>(length);
}

void BM_FloorIconv(benchmark::State& state) { FloorIconv(state, false); }
void BM_FloorIconvKeptBuffers(benchmark::State& state) { FloorIconv(state, true); }

}  // namespace

BENCHMARK(BM_FloorIconv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorIconvKeptBuffers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchDecoding)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
