#include "text/text_primitives.h"

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

#include "text/charwise.h"

namespace {

using charwise::CharWidthAt;
using charwise::Finder;
using charwise::IsSpaceChar;
using charwise::kNotFound;

// Positions handed out are 1-based ints; texts are far below INT_MAX bytes.
int ToPosition(std::size_t index) { return static_cast<int>(index) + 1; }

// The 0-based index where a search "from start" begins (start <= 1: the first
// byte).
std::size_t StartIndex(int start) { return start <= 1 ? 0 : static_cast<std::size_t>(start - 1); }

// The needle a search looks for: folded when letter case is to be ignored and
// the needle holds a letter (without one, folding could change no match).
class Needle {
 public:
  Needle(std::string_view needle, bool ignoreCase)
      : ignoresCase_(ignoreCase && charwise::HasAsciiLetter(needle)), view_(needle) {
    if (ignoresCase_) {
      folded_ = charwise::FoldToLower(needle);
      view_ = folded_;
    }
  }
  Needle(const Needle&) = delete;  // view_ may point into folded_
  Needle& operator=(const Needle&) = delete;
  bool ignoresCase() const { return ignoresCase_; }
  std::string_view view() const { return view_; }

 private:
  bool ignoresCase_;
  std::string folded_;
  std::string_view view_;
};

// The ASCII form of the character at pos for number reading: full-width forms
// (0xA3 0xA1..0xFE) and the double-byte space count as their ASCII
// counterparts; any other double-byte character reads as '\0', which is
// neither a space, a sign nor a digit.
char NumberCharAt(std::string_view s, std::size_t pos, std::size_t width) {
  constexpr unsigned char kFullWidthLead = 0xA3;
  constexpr unsigned char kFullWidthFirst = 0xA1;  // full-width '!'
  constexpr unsigned char kFullWidthLast = 0xFE;   // full-width '~'
  constexpr unsigned char kFullWidthToAscii = 0x80;
  if (width == 1) return charwise::IsHighByte(s[pos]) ? '\0' : s[pos];
  if (IsSpaceChar(s, pos, width)) return ' ';
  const auto lead = static_cast<unsigned char>(s[pos]);
  const auto second = static_cast<unsigned char>(s[pos + 1]);
  if (lead == kFullWidthLead && second >= kFullWidthFirst && second <= kFullWidthLast) {
    return static_cast<char>(second - kFullWidthToAscii);
  }
  return '\0';
}

bool IsNumberSkippable(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

int TextLength(const Text& t) { return static_cast<int>(t.bytes().size()); }

Text TextLeft(const Text& t, int n) {
  if (n <= 0) return Text();
  return Text(std::string_view(t.bytes()).substr(0, static_cast<std::size_t>(n)));
}

Text TextRight(const Text& t, int n) {
  if (n <= 0) return Text();
  const std::string_view s = t.bytes();
  const std::size_t count = std::min(s.size(), static_cast<std::size_t>(n));
  return Text(s.substr(s.size() - count));
}

Text TextMid(const Text& t, int s, int n) {
  if (s < 1 || s > TextLength(t) || n <= 0) return Text();
  return Text(
      std::string_view(t.bytes()).substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(n)));
}

int FindText(const Text& t, const Text& sub, int start, bool ignoreCase) {
  const std::size_t from = StartIndex(start);
  if (from >= t.bytes().size()) return -1;
  if (sub.empty()) return 1;
  const Needle needle(sub.bytes(), ignoreCase);
  Finder finder(t.bytes(), needle.ignoresCase());
  const std::size_t found = finder.Find(needle.view(), from);
  return found == kNotFound ? -1 : ToPosition(found);
}

int FindTextReverse(const Text& t, const Text& sub, std::optional<int> start) {
  if (sub.empty() || (start && *start <= 1)) return -1;
  std::string_view hay = t.bytes();
  // An occurrence at index i lies wholly before position start when
  // i + length <= start - 1: it fits in the bytes before that position.
  // Character starts are counted from the first byte, so cutting the end off
  // changes none of them.
  if (start) hay = hay.substr(0, static_cast<std::size_t>(*start - 1));
  Finder finder(hay);
  std::size_t last = kNotFound;
  for (std::size_t found = finder.Find(sub.bytes(), 0); found != kNotFound;
       found = finder.Find(sub.bytes(), found + 1)) {
    last = found;
  }
  return last == kNotFound ? -1 : ToPosition(last);
}

Text ToLowerText(const Text& t) { return Text(charwise::FoldToLower(t.bytes())); }

Text ToUpperText(const Text& t) {
  std::string upper = t.bytes();
  for (std::size_t i = 0; i < upper.size(); i += CharWidthAt(upper, i)) {
    if (charwise::IsAsciiLower(upper[i])) upper[i] = static_cast<char>(upper[i] - 'a' + 'A');
  }
  return Text(upper);
}

Text TrimText(const Text& t) { return Text(charwise::TrimSpaces(t.bytes())); }

Text RemoveSpaces(const Text& t) {
  const std::string_view s = t.bytes();
  std::string kept;
  kept.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t width = CharWidthAt(s, i);
    if (!IsSpaceChar(s, i, width)) kept.append(s.substr(i, width));
    i += width;
  }
  return Text(kept);
}

Text ReplaceText(const Text& t, const Text& sub, const Text& rep, bool caseSensitive) {
  if (t.empty() || sub.empty()) return t;
  const std::string_view original = t.bytes();
  const Needle needle(sub.bytes(), !caseSensitive);
  Finder finder(original, needle.ignoresCase());
  std::string replaced;
  std::size_t copiedUpTo = 0;
  for (std::size_t found = finder.Find(needle.view(), 0); found != kNotFound;
       found = finder.Find(needle.view(), copiedUpTo)) {
    replaced.append(original.substr(copiedUpTo, found - copiedUpTo));
    replaced.append(rep.bytes());
    copiedUpTo = found + sub.bytes().size();
  }
  replaced.append(original.substr(copiedUpTo));
  return Text(replaced);
}

TextList SplitText(const Text& t, const Text& delim) {
  TextList pieces;
  if (t.empty()) return pieces;
  if (delim.empty()) {
    pieces.Append(t);
    return pieces;
  }
  const std::string_view s = t.bytes();
  const std::string_view d = delim.bytes();
  Finder finder(s);
  std::size_t pieceStart = 0;
  for (std::size_t found = finder.Find(d, 0); found != kNotFound;
       found = finder.Find(d, pieceStart)) {
    pieces.Append(Text(s.substr(pieceStart, found - pieceStart)));
    pieceStart = found + d.size();
  }
  // The piece after the last delimiter, unless that delimiter ended the text.
  if (pieceStart < s.size()) pieces.Append(Text(s.substr(pieceStart)));
  return pieces;
}

int TextToInt(const Text& t) {
  const std::string_view s = t.bytes();
  std::size_t i = 0;
  std::size_t width = 0;
  char c = '\0';
  auto next = [&] {
    if (i >= s.size()) return '\0';
    width = CharWidthAt(s, i);
    return NumberCharAt(s, i, width);
  };

  for (c = next(); IsNumberSkippable(c); c = next()) i += width;
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    i += width;
    c = next();
  }
  // Digits past the range would overflow; the value saturates at the range's
  // ends instead. The magnitude is capped one above INT_MAX so that INT_MIN
  // stays reachable.
  constexpr long long kMagnitudeCap = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; c >= '0' && c <= '9'; c = next()) {
    magnitude = std::min(magnitude * 10 + (c - '0'), kMagnitudeCap);
    i += width;
  }
  const long long value = negative ? -magnitude : magnitude;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

Text CharText(int c) {
  const char byte = static_cast<char>(static_cast<unsigned char>(c & 0xFF));
  return Text(std::string_view(&byte, 1));  // a zero byte gives the empty text
}

Bytes TextToBytes(const Text& t) { return Bytes(t.bytes()); }

Text BytesToText(const Bytes& b) { return Text(b.bytes()); }
