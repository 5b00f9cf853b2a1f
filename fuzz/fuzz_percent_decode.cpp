// PercentDecode on arbitrary bytes against a reference of the digit rule,
// with and without the UTF-8 conversion.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "check.h"
#include "fuzz_input.h"
#include "http/fetch.h"
#include "text/text.h"

namespace {

// The value of one escape digit: its place in the digit table once
// upper-cased, -2 for a byte that is no digit, 0 past the end.
int DigitValue(const std::string& t, std::size_t index) {
  if (index >= t.size()) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  char c = t[index];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const char* found = c == '\0' ? nullptr : std::strchr(kDigits, c);
  return found == nullptr ? -2 : static_cast<int>(found - kDigits);
}

std::string ReferenceDecode(const std::string& t) {
  std::string out;
  const std::size_t length = t.size();
  for (std::size_t i = 0; i < length; ++i) {
    if (t[i] != '%') {
      out.push_back(t[i]);
      continue;
    }
    const int high = DigitValue(t, ++i);
    const int low = DigitValue(t, ++i);
    const int byte = ((16 * high + low) % 256 + 256) % 256;
    if (byte != 0) out.push_back(static_cast<char>(byte));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string t = input.Fields(1)[0];
  const Text text(t);
  const std::string detail = "input=\"" + Escaped(t) + "\"";

  const Text decoded = PercentDecode(text);
  CHECK(decoded.bytes().size() <= t.size(), detail);
  CHECK(decoded.bytes().find('\0') == std::string::npos, detail);
  CHECK(decoded.bytes() == ReferenceDecode(t), detail + " got \"" + Escaped(decoded.bytes()) + "\"");
  CHECK(PercentDecode(text, false) == decoded, detail);

  // Without a "%" nothing changes.
  if (t.find('%') == std::string::npos) CHECK(decoded == text, detail);

  const Text converted = PercentDecode(text, true);
  CHECK(converted == Utf8ToAnsi(decoded), detail);
  CHECK(converted.bytes().find('\0') == std::string::npos, detail);
  return 0;
}
