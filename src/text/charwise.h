// Internal to the text core: the char-wise search that the primitives and the
// marker routines share. Not part of the public interface.
//
// A byte of 0x80 or above and the byte after it are one character, whatever
// that next byte is. Whether a position starts a character is decided by the
// run of such high bytes just before it: a byte below 0x80 is never a lead
// byte, so the byte after it always starts a character, and inside a run of
// high bytes the starts alternate. So the text never has to be walked from its
// first byte again for a search that begins later on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace charwise {

inline constexpr std::size_t kNotFound = std::string_view::npos;
// Both bytes of the double-byte space.
inline constexpr char kWideSpaceByte = '\xA1';

inline bool IsHighByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

inline bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiLower(char c) { return c >= 'a' && c <= 'z'; }

// Width in bytes of the character starting at pos: 2 for a lead byte with a
// byte after it, else 1 (a lead byte in the last position stands alone).
inline std::size_t CharWidthAt(std::string_view s, std::size_t pos) {
  return IsHighByte(s[pos]) && pos + 1 < s.size() ? 2 : 1;
}

// True when the character of the given width at pos is a space: 0x20 or the
// double-byte space 0xA1 0xA1.
inline bool IsSpaceChar(std::string_view s, std::size_t pos, std::size_t width) {
  return width == 1 ? s[pos] == ' ' : s[pos] == kWideSpaceByte && s[pos + 1] == kWideSpaceByte;
}

// The part of s between its leading and trailing spaces; characters are
// counted from the first byte of s.
std::string_view TrimSpaces(std::string_view s);

// True when s holds an ASCII letter, that is when folding could change how
// s matches.
bool HasAsciiLetter(std::string_view s);

// s with the ASCII letters that start a character turned to lower case; the
// second bytes of double-byte characters are left alone. Positions do not
// move, so a match in the folded copy is a match at the same place in s.
std::string FoldToLower(std::string_view s);

// Finds needles at character starts of one text. It remembers the last
// position it knows to start a character, so a series of searches that move
// forward looks back over each byte only a bounded number of times: the whole
// series stays linear in the length of the text.
//
// Ignoring case, the finder folds the text a window at a time as the searches
// move on, so a long text is never copied whole and the folded bytes are
// searched while they are still in the cache. The needles must then be given
// folded (FoldToLower).
class Finder {
 public:
  explicit Finder(std::string_view hay, bool ignoreCase = false)
      : hay_(hay), ignoreCase_(ignoreCase) {}

  // 0-based position of the first occurrence of a non-empty needle that
  // begins at a character start at or after from; kNotFound when none.
  std::size_t Find(std::string_view needle, std::size_t from);

  // True when pos (0 <= pos <= size) starts a character; the end of the text
  // counts as a start when the last character is whole.
  bool IsCharStart(std::size_t pos);

 private:
  // The first occurrence at or after from, character starts not checked.
  std::size_t Candidate(std::string_view needle, std::size_t from);
  std::size_t FoldedCandidate(std::string_view needle, std::size_t from);
  void FoldWindowAt(std::size_t pos, std::size_t needleSize);

  std::string_view hay_;
  bool ignoreCase_;
  std::size_t knownStart_ = 0;  // a position known to start a character

  std::string window_;  // folded copy of hay_[windowBase_, windowBase_ + windowLength_)
  std::size_t windowBase_ = 0;
  std::size_t windowLength_ = 0;
};

}  // namespace charwise
