#include "http/fetch.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "http/request.h"
#include "text/text_primitives.h"

namespace {

constexpr char kEscapeMarker = '%';
constexpr int kNotADigit = -2;
constexpr int kMissingDigit = 0;

// The value of each byte as an escape digit: 0-15 for 0-9, A-F and a-f,
// -2 for any other byte.
constexpr std::array<int, 256> MakeDigitValues() {
  std::array<int, 256> values{};
  for (int& value : values) value = kNotADigit;
  for (int digit = 0; digit < 10; ++digit) values['0' + digit] = digit;
  for (int digit = 0; digit < 6; ++digit) {
    values['A' + digit] = 10 + digit;
    values['a' + digit] = 10 + digit;
  }
  return values;
}
constexpr std::array<int, 256> kDigitValues = MakeDigitValues();

int DigitValueAt(const std::string& bytes, std::size_t index) {
  if (index >= bytes.size()) return kMissingDigit;
  return kDigitValues[static_cast<unsigned char>(bytes[index])];
}

// wide's units as a NUL-terminated string for the conversion: read in place
// when wide is whole, aligned units ending with a zero unit (as ToWideText
// makes it), else copied with a terminator added, whatever wide held.
LPCWSTR TerminatedUnits(const Bytes& wide, std::u16string& copy) {
  const bool wholeUnits = wide.size() >= 2 && wide.size() % 2 == 0;
  const bool endsWithZeroUnit = wholeUnits && wide.data()[wide.size() - 1] == '\0' &&
                                wide.data()[wide.size() - 2] == '\0';
  const bool aligned = reinterpret_cast<std::uintptr_t>(wide.data()) % alignof(WCHAR) == 0;
  if (endsWithZeroUnit && aligned) return reinterpret_cast<LPCWSTR>(wide.data());
  copy.assign(wide.size() / 2, u'\0');
  std::memcpy(copy.data(), wide.data(), copy.size() * 2);
  return copy.c_str();
}

}  // namespace

Text FetchPage(const Text& url, int method, const Text& postText, Text* cookies,
               Text* returnedCookies, Text* headers, Text* returnedHeaders, bool noRedirect,
               Bytes* postBytes, const std::optional<Text>& proxy) {
  Text localCookies, localReturnedCookies, localHeaders, localReturnedHeaders;
  Bytes localPostBytes;
  const Bytes body = HttpRequest(
      url, method, postText, cookies ? cookies : &localCookies,
      returnedCookies ? returnedCookies : &localReturnedCookies,
      headers ? headers : &localHeaders, returnedHeaders ? returnedHeaders : &localReturnedHeaders,
      noRedirect, postBytes ? postBytes : &localPostBytes, proxy.value_or(Text()));
  return PercentDecode(BytesToText(body), true);
}

Text PercentDecode(const Text& text, bool convertUtf8) {
  const std::string& bytes = text.bytes();
  std::string decoded;
  decoded.reserve(bytes.size());
  // The bytes between escapes go over in whole runs: an answer is mostly
  // plain text, and a byte at a time would cost more than the conversion.
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t marker = bytes.find(kEscapeMarker, i);
    decoded.append(bytes, i, marker == std::string::npos ? std::string::npos : marker - i);
    if (marker == std::string::npos) break;
    const int high = DigitValueAt(bytes, marker + 1);
    const int low = DigitValueAt(bytes, marker + 2);
    const auto byte = static_cast<unsigned char>((16 * high + low) & 0xFF);
    if (byte != 0) decoded.push_back(static_cast<char>(byte));
    i = marker + 3;
  }
  Text result(std::move(decoded));
  return convertUtf8 ? Utf8ToAnsi(result) : result;
}

Text Utf8ToAnsi(const Text& utf8) { return FromWideText(ToWideText(utf8), CP_GBK); }

Bytes ToWideText(const Text& text, UINT codePage) {
  // Sized in the code page that is actually read: sizing in the ANSI code
  // page could come out short for other input and lose the whole text.
  const int units = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (units <= 0) return Bytes();
  // The units are written straight into the bytes that the result keeps.
  std::string wide(static_cast<std::size_t>(units) * 2, '\0');
  MultiByteToWideChar(codePage, 0, text.c_str(), -1, reinterpret_cast<LPWSTR>(wide.data()), units);
  return Bytes(std::move(wide));
}

Text FromWideText(const Bytes& wide, UINT codePage) {
  std::u16string copy;
  const LPCWSTR units = TerminatedUnits(wide, copy);
  const int needed = WideCharToMultiByte(CP_ACP, 0, units, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return Text();
  // Twice the ANSI size leaves room for a target that needs more bytes.
  std::string buffer(static_cast<std::size_t>(needed) * 2, ' ');
  WideCharToMultiByte(codePage, 0, units, -1, buffer.data(), needed * 2, nullptr, nullptr);
  return Text(std::move(buffer));
}
