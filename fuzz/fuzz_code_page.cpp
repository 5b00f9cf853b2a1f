// The code-page conversions: UTF-8 to UTF-16 against an encoder of our own,
// UTF-8 to GBK and back for every text whose characters GBK has, and the
// shape of what arbitrary bytes turn into. ASan watches the buffers that the
// conversions size for themselves.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "fuzz_input.h"
#include "http/fetch.h"
#include "reference.h"
#include "text/text.h"

namespace {

// UTF-16LE bytes of the code points, then a zero unit.
std::string Utf16Bytes(const std::vector<char32_t>& codePoints) {
  std::string bytes;
  auto unit = [&](char32_t u) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>((u >> 8) & 0xFF));
  };
  for (const char32_t cp : codePoints) {
    if (cp < 0x10000) {
      unit(cp);
    } else {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  unit(0);
  return bytes;
}

// Code page 936 as Windows has it: ASCII, the single bytes 0x80 (the euro
// sign) and 0xFF (U+F8F5), and double-byte characters of a lead 0x81..0xFE
// and a trail 0x40..0xFE other than 0x7F.
bool IsWellFormedGbk(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81 || lead == 0xFF) continue;
    if (i + 1 == s.size()) return false;
    const auto trail = static_cast<unsigned char>(s[++i]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  }
  return true;
}

Text BackToUtf8(const Text& gbk) { return FromWideText(ToWideText(gbk, CP_GBK), CP_UTF8); }

void CheckValidUtf8(const std::string& utf8, const std::vector<char32_t>& codePoints) {
  const std::string detail = "utf8=\"" + Escaped(utf8) + "\"";
  CHECK(ToWideText(Text(utf8)).bytes() == Utf16Bytes(codePoints), detail);

  // The characters that GBK has, each converted alone and as one text.
  std::string kept;
  std::string keptGbk;
  for (const char32_t cp : codePoints) {
    const std::string one = reference::EncodeUtf8(cp);
    const Text gbk = Utf8ToAnsi(Text(one));
    if (BackToUtf8(gbk).bytes() != one) continue;  // not in GBK, or only a best fit
    kept += one;
    keptGbk += gbk.bytes();
  }
  const Text gbk = Utf8ToAnsi(Text(kept));
  CHECK(gbk.bytes() == keptGbk, "kept=\"" + Escaped(kept) + "\" gbk=\"" + Escaped(gbk.bytes()) + "\"");
  CHECK(BackToUtf8(gbk).bytes() == kept, "kept=\"" + Escaped(kept) + "\"");
  CHECK(ToWideText(gbk, CP_GBK) == ToWideText(Text(kept)), "kept=\"" + Escaped(kept) + "\"");
}

void CheckAnyBytes(const std::string& bytes, std::uint8_t options) {
  const std::string detail = "bytes=\"" + Escaped(bytes) + "\"";
  const Text text(bytes);
  const Text gbk = Utf8ToAnsi(text);
  CHECK(IsWellFormedGbk(gbk.bytes()), detail + " gbk=\"" + Escaped(gbk.bytes()) + "\"");

  static const UINT kCodePages[] = {CP_UTF8, CP_GBK, CP_ACP, 1252};
  const UINT codePage = kCodePages[options % 4];
  const Bytes wide = ToWideText(text, codePage);
  CHECK(wide.size() % 2 == 0, detail);
  if (!wide.empty()) {
    CHECK(wide.bytes().compare(wide.size() - 2, 2, std::string(2, '\0')) == 0, detail);
  }
  CHECK(FromWideText(wide, CP_UTF8).bytes().find('\0') == std::string::npos, detail);

  // Any bytes as UTF-16 units, odd counts and lone surrogates included.
  const Bytes raw(bytes);
  const Text fromRaw = FromWideText(raw, kCodePages[(options >> 2) % 4]);
  CHECK(fromRaw.bytes().find('\0') == std::string::npos, detail);
  if (((options >> 2) % 4) != 0) {
    // GBK output: complete characters, or the spaces a failed conversion left.
    CHECK(IsWellFormedGbk(fromRaw.bytes()), detail + " got \"" + Escaped(fromRaw.bytes()) + "\"");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t options = input.Byte();
  const std::string bytes = input.Fields(1)[0];
  if (const auto codePoints = reference::DecodeUtf8(bytes)) CheckValidUtf8(bytes, *codePoints);
  CheckAnyBytes(bytes, options);
  return 0;
}
