#include "reference.h"

#include <algorithm>
#include <climits>

namespace reference {

namespace {

bool IsHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

std::size_t WidthAt(std::string_view s, std::size_t pos) {
  return IsHigh(s[pos]) && pos + 1 < s.size() ? 2 : 1;
}

bool MatchesAt(std::string_view hay, const std::vector<char>& starts, std::size_t at,
               std::string_view needle, bool ignoreCase) {
  if (!starts[at] || needle.size() > hay.size() - at) return false;
  for (std::size_t k = 0; k < needle.size(); ++k) {
    const char a = hay[at + k];
    const char b = needle[k];
    if (a == b) continue;
    // Only a letter that starts a character folds; the same byte in the
    // needle then starts one too, since every byte before it matched.
    if (ignoreCase && starts[at + k] && AsciiLower(a) == AsciiLower(b)) continue;
    return false;
  }
  return true;
}

std::size_t FindFrom(std::string_view hay, const std::vector<char>& starts,
                     std::string_view needle, std::size_t from, bool ignoreCase) {
  for (std::size_t at = from; at < hay.size(); ++at) {
    if (MatchesAt(hay, starts, at, needle, ignoreCase)) return at;
  }
  return npos;
}

}  // namespace

std::vector<char> CharStarts(std::string_view s) {
  std::vector<char> starts(s.size() + 1, 0);
  std::size_t i = 0;
  while (i < s.size()) {
    starts[i] = 1;
    i += WidthAt(s, i);
  }
  starts[s.size()] = 1;
  return starts;
}

bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
char AsciiLower(char c) { return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::size_t Find(std::string_view hay, std::string_view needle, std::size_t from, bool ignoreCase) {
  return FindFrom(hay, CharStarts(hay), needle, from, ignoreCase);
}

int FindText(std::string_view t, std::string_view sub, int start, bool ignoreCase) {
  const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from >= t.size()) return -1;
  if (sub.empty()) return 1;
  const std::size_t found = Find(t, sub, from, ignoreCase);
  return found == npos ? -1 : static_cast<int>(found) + 1;
}

int FindTextReverse(std::string_view t, std::string_view sub, std::optional<int> start) {
  if (sub.empty() || (start && *start <= 1)) return -1;
  const std::vector<char> starts = CharStarts(t);
  int last = -1;
  for (std::size_t at = 0; at < t.size(); ++at) {
    const bool wholyBefore = !start || at + sub.size() <= static_cast<std::size_t>(*start) - 1;
    if (wholyBefore && MatchesAt(t, starts, at, sub, false)) last = static_cast<int>(at) + 1;
  }
  return last;
}

std::string ToLower(std::string_view s) {
  std::string out(s);
  const std::vector<char> starts = CharStarts(s);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (starts[i]) out[i] = AsciiLower(s[i]);
  }
  return out;
}

std::string ToUpper(std::string_view s) {
  std::string out(s);
  const std::vector<char> starts = CharStarts(s);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (starts[i]) out[i] = AsciiUpper(s[i]);
  }
  return out;
}

bool IsSpaceAt(std::string_view s, std::size_t pos) {
  if (WidthAt(s, pos) == 1) return s[pos] == ' ';
  return s[pos] == '\xA1' && s[pos + 1] == '\xA1';
}

std::string Trim(std::string_view s) {
  // Characters in order, then drop spaces from both ends of that list.
  std::vector<std::size_t> charAt;
  for (std::size_t i = 0; i < s.size(); i += WidthAt(s, i)) charAt.push_back(i);
  std::size_t first = 0;
  std::size_t last = charAt.size();
  while (first < last && IsSpaceAt(s, charAt[first])) ++first;
  while (last > first && IsSpaceAt(s, charAt[last - 1])) --last;
  if (first == last) return {};
  const std::size_t begin = charAt[first];
  const std::size_t end = charAt[last - 1] + WidthAt(s, charAt[last - 1]);
  return std::string(s.substr(begin, end - begin));
}

std::string RemoveSpaces(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); i += WidthAt(s, i)) {
    if (!IsSpaceAt(s, i)) out.append(s.substr(i, WidthAt(s, i)));
  }
  return out;
}

std::string Replace(std::string_view t, std::string_view sub, std::string_view rep,
                    bool caseSensitive) {
  if (t.empty() || sub.empty()) return std::string(t);
  const std::vector<char> starts = CharStarts(t);
  std::string out;
  std::size_t copied = 0;
  for (std::size_t found = FindFrom(t, starts, sub, 0, !caseSensitive); found != npos;
       found = FindFrom(t, starts, sub, copied, !caseSensitive)) {
    out.append(t.substr(copied, found - copied));
    out.append(rep);
    copied = found + sub.size();
  }
  out.append(t.substr(copied));
  return out;
}

std::vector<std::string> Split(std::string_view t, std::string_view delim) {
  std::vector<std::string> pieces;
  if (t.empty()) return pieces;
  if (delim.empty()) return {std::string(t)};
  const std::vector<char> starts = CharStarts(t);
  std::size_t pieceStart = 0;
  for (std::size_t found = FindFrom(t, starts, delim, 0, false); found != npos;
       found = FindFrom(t, starts, delim, pieceStart, false)) {
    pieces.emplace_back(t.substr(pieceStart, found - pieceStart));
    pieceStart = found + delim.size();
  }
  if (pieceStart < t.size()) pieces.emplace_back(t.substr(pieceStart));
  return pieces;
}

int ToInt(std::string_view t) {
  // Each character read as the ASCII byte it stands for ('\0' for none).
  std::vector<char> chars;
  for (std::size_t i = 0; i < t.size(); i += WidthAt(t, i)) {
    if (WidthAt(t, i) == 1) {
      chars.push_back(IsHigh(t[i]) ? '\0' : t[i]);
      continue;
    }
    const auto lead = static_cast<unsigned char>(t[i]);
    const auto second = static_cast<unsigned char>(t[i + 1]);
    if (lead == 0xA1 && second == 0xA1) {
      chars.push_back(' ');
    } else if (lead == 0xA3 && second >= 0xA1 && second <= 0xFE) {
      chars.push_back(static_cast<char>(second - 0x80));
    } else {
      chars.push_back('\0');
    }
  }
  std::size_t k = 0;
  const std::string_view skippable = " \t\r\n\v\f";
  while (k < chars.size() && chars[k] != '\0' && skippable.find(chars[k]) != npos) ++k;
  bool negative = false;
  if (k < chars.size() && (chars[k] == '+' || chars[k] == '-')) negative = chars[k++] == '-';
  long long value = 0;
  for (; k < chars.size() && chars[k] >= '0' && chars[k] <= '9'; ++k) {
    value = std::min(value * 10 + (chars[k] - '0'), 1LL << 40);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool HasCharAt(std::string_view s, char c) {
  for (std::size_t i = 0; i < s.size(); i += WidthAt(s, i)) {
    if (s[i] == c) return true;
  }
  return false;
}

std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view s) {
  std::vector<char32_t> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
      length = 1, cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + length > s.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(cp);
    i += length;
  }
  return out;
}

std::string EncodeUtf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

std::string TextBetween(const std::string& s, const std::string& left, const std::string& right) {
  const int leftAt = FindText(s, left, 1, false);
  if (leftAt == -1) return {};
  const int valueAt = leftAt + static_cast<int>(left.size());
  const int rightAt = FindText(s, right, valueAt, false);
  if (rightAt == -1 || rightAt <= valueAt) return {};
  return s.substr(static_cast<std::size_t>(valueAt - 1), static_cast<std::size_t>(rightAt - valueAt));
}

}  // namespace reference
