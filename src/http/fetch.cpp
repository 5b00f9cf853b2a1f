#include "http/fetch.h"

#include <array>
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

std::u16string UnitsOf(const Bytes& wide) {
  std::u16string units(wide.size() / 2, u'\0');
  std::memcpy(units.data(), wide.data(), units.size() * 2);
  return units;  // always NUL-terminated, whatever wide held
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
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != kEscapeMarker) {
      decoded.push_back(bytes[i]);
      continue;
    }
    const int high = DigitValueAt(bytes, ++i);
    const int low = DigitValueAt(bytes, ++i);
    const auto byte = static_cast<unsigned char>((16 * high + low) & 0xFF);
    if (byte != 0) decoded.push_back(static_cast<char>(byte));
  }
  Text result(decoded);
  return convertUtf8 ? Utf8ToAnsi(result) : result;
}

Text Utf8ToAnsi(const Text& utf8) { return FromWideText(ToWideText(utf8), CP_GBK); }

Bytes ToWideText(const Text& text, UINT codePage) {
  // Sized in the code page that is actually read: sizing in the ANSI code
  // page could come out short for other input and lose the whole text.
  const int units = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (units <= 0) return Bytes();
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide.data(), units);
  return Bytes(std::string_view(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
}

Text FromWideText(const Bytes& wide, UINT codePage) {
  const std::u16string units = UnitsOf(wide);
  const int needed = WideCharToMultiByte(CP_ACP, 0, units.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return Text();
  // Twice the ANSI size leaves room for a target that needs more bytes.
  std::string buffer(static_cast<std::size_t>(needed) * 2, ' ');
  WideCharToMultiByte(codePage, 0, units.c_str(), -1, buffer.data(), needed * 2, nullptr, nullptr);
  return Text(buffer);
}
