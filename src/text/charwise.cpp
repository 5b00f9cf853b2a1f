#include "text/charwise.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace charwise {

namespace {

// ---- Folding, 64 bytes at a time ----------------------------------------
//
// A block of 64 bytes is read as eight words. One bit per byte says which
// bytes are high; from those bits and from whether the byte before the block
// leads a character, a few operations on 64-bit masks tell every second byte
// of the block at once, and the letters of each word are folded together.

constexpr std::size_t kWordBytes = 8;
constexpr std::size_t kBlockBytes = kWordBytes * kWordBytes;
constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x80 * kEachByte;
constexpr std::uint64_t kLowSevenBits = 0x7F * kEachByte;
constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;  // bits 0, 2, 4, ...

// Bit i set when byte i of the word has its high bit set.
inline unsigned HighMask(std::uint64_t word) {
  constexpr std::uint64_t kGatherBits = 0x0102040810204080ULL;  // byte i's bit to bit 56 + i
  return static_cast<unsigned>((((word & kHighBits) >> 7) * kGatherBits) >> 56);
}

// 0x80 in each byte that holds 'A'..'Z'.
inline std::uint64_t UpperCaseBytes(std::uint64_t word) {
  const std::uint64_t low = word & kLowSevenBits;  // no carries between bytes below
  const std::uint64_t atLeastA = low + (0x80 - 'A') * kEachByte;
  const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * kEachByte;
  return atLeastA & ~pastZ & ~word & kHighBits;
}

// Bit 8k + i set when byte i of word k of a 64-byte block is high.
inline std::uint64_t BlockHighMask(const std::uint64_t (&words)[kWordBytes]) {
  std::uint64_t mask = 0;
  for (std::size_t k = 0; k < kWordBytes; ++k) {
    mask |= static_cast<std::uint64_t>(HighMask(words[k])) << (8 * k);
  }
  return mask;
}

// One bit per byte of a 64-byte block: the lead bytes, given which bytes are
// high and whether byte 0 is a second byte. Inside a run of high bytes that
// begins at a character start the leads stand at even distances from the run's
// first byte, so runs beginning on even and on odd bits are told apart with
// one addition, which clears exactly the runs whose first bit it is added to.
inline std::uint64_t BlockLeadBytes(std::uint64_t high, bool afterLead) {
  const std::uint64_t candidates = high & ~static_cast<std::uint64_t>(afterLead);
  const std::uint64_t runStarts = candidates & ~(candidates << 1);
  const std::uint64_t runsFromEven = candidates & ~(candidates + (runStarts & kEvenBits));
  return (runsFromEven & kEvenBits) | (candidates & ~runsFromEven & ~kEvenBits);
}

// For eight bits, 0x80 in each byte whose bit is set.
constexpr std::array<std::uint64_t, 256> MakeBitsToBytes() {
  std::array<std::uint64_t, 256> table{};
  for (std::size_t bits = 0; bits < 256; ++bits) {
    for (std::size_t i = 0; i < kWordBytes; ++i) {
      if (((bits >> i) & 1U) != 0) table[bits] |= std::uint64_t{0x80} << (8 * i);
    }
  }
  return table;
}

constexpr auto kBitsToBytes = MakeBitsToBytes();

inline std::uint64_t FoldWord(std::uint64_t word, std::uint64_t secondBytes) {
  return word | (UpperCaseBytes(word) & ~secondBytes) >> 2;  // 0x80 >> 2 is the case bit
}

// Copies n bytes from src to dst, folding ASCII letters that start a
// character. afterLead tells whether the byte before src leads a character.
// Whole blocks go by masks (on little-endian machines, where byte i of a
// loaded word is its i-th lowest byte); the rest byte by byte.
void FoldInto(const char* src, std::size_t n, char* dst, bool afterLead) {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + kBlockBytes <= n; i += kBlockBytes) {
      std::uint64_t words[kWordBytes];
      std::memcpy(words, src + i, kBlockBytes);
      const std::uint64_t leads = BlockLeadBytes(BlockHighMask(words), afterLead);
      const std::uint64_t seconds = (leads << 1) | static_cast<std::uint64_t>(afterLead);
      for (std::size_t k = 0; k < kWordBytes; ++k) {
        words[k] = FoldWord(words[k], kBitsToBytes[(seconds >> (8 * k)) & 0xFF]);
      }
      std::memcpy(dst + i, words, kBlockBytes);
      afterLead = (leads >> 63) != 0;
    }
  }
  for (; i < n; ++i) {
    const char c = src[i];
    dst[i] = !afterLead && IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
    afterLead = !afterLead && IsHighByte(c);
  }
}

// ---- Choosing what to look for -------------------------------------------

// How common a byte is in the answers, headers and URLs that get searched;
// higher is more common. Searching for a needle's least common byte first
// keeps the number of false candidates down.
constexpr std::array<std::uint8_t, 256> MakeCommonness() {
  std::array<std::uint8_t, 256> rank{};
  for (std::size_t b = 0x80; b < 256; ++b) rank[b] = 200;  // GBK text
  constexpr std::string_view kLowerByFrequency = "etaoinshrdlcumwfgypbvkjxqz";
  for (std::size_t i = 0; i < kLowerByFrequency.size(); ++i) {
    const auto letter = static_cast<std::size_t>(kLowerByFrequency[i]);
    rank[letter] = static_cast<std::uint8_t>(180 - 4 * i);
    rank[letter - 'a' + 'A'] = static_cast<std::uint8_t>(100 - 2 * i);
  }
  for (char digit = '0'; digit <= '9'; ++digit) rank[static_cast<std::size_t>(digit)] = 230;
  constexpr std::string_view kCommonPunctuation = " \",:.-/=_{}[]&;\r\n\t";
  for (std::size_t i = 0; i < kCommonPunctuation.size(); ++i) {
    rank[static_cast<std::size_t>(kCommonPunctuation[i])] = static_cast<std::uint8_t>(255 - 3 * i);
  }
  return rank;
}

constexpr auto kCommonness = MakeCommonness();

std::size_t RarestByteIndex(std::string_view needle) {
  std::size_t rarest = 0;
  for (std::size_t i = 1; i < needle.size(); ++i) {
    if (kCommonness[static_cast<unsigned char>(needle[i])] <
        kCommonness[static_cast<unsigned char>(needle[rarest])]) {
      rarest = i;
    }
  }
  return rarest;
}

// First occurrence of needle in region at or after from, by its least common
// byte and a comparison of the whole needle there.
std::size_t FindExact(std::string_view region, std::string_view needle, std::size_t from) {
  if (from >= region.size() || needle.size() > region.size() - from) return kNotFound;
  const std::size_t anchor = RarestByteIndex(needle);
  const char* const begin = region.data();
  const char* const lastStart = begin + (region.size() - needle.size());
  for (const char* start = begin + from; start <= lastStart;) {
    const void* hit = std::memchr(start + anchor, needle[anchor],
                                  static_cast<std::size_t>(lastStart - start) + 1);
    if (hit == nullptr) return kNotFound;
    const char* const candidate = static_cast<const char*>(hit) - anchor;
    if (std::memcmp(candidate, needle.data(), needle.size()) == 0) {
      return static_cast<std::size_t>(candidate - begin);
    }
    start = candidate + 1;
  }
  return kNotFound;
}

}  // namespace

bool HasAsciiLetter(std::string_view s) {
  for (char c : s) {
    if (IsAsciiUpper(c) || IsAsciiLower(c)) return true;
  }
  return false;
}

std::string_view TrimSpaces(std::string_view s) {
  std::size_t first = 0;
  while (first < s.size()) {
    const std::size_t width = CharWidthAt(s, first);
    if (!IsSpaceChar(s, first, width)) break;
    first += width;
  }
  // From the end, characters are told apart by the run of high bytes before
  // the last byte. The run is counted once and reused while the end moves back
  // into it, so trimming stays linear however many spaces trail.
  std::size_t end = s.size();
  std::size_t runStart = end;  // [runStart, end - 1) is all high bytes once counted
  while (end > first) {
    const char last = s[end - 1];
    if (last != ' ' && last != kWideSpaceByte) break;  // no space ends in any other byte
    if (runStart > end - 1) {
      runStart = end - 1;
      while (runStart > first && IsHighByte(s[runStart - 1])) --runStart;
    }
    const std::size_t width = (end - 1 - runStart) % 2 == 0 ? 1 : 2;
    if (!IsSpaceChar(s, end - width, width)) break;
    end -= width;
  }
  return s.substr(first, end - first);
}

std::string FoldToLower(std::string_view s) {
  std::string folded(s.size(), '\0');
  FoldInto(s.data(), s.size(), folded.data(), false);
  return folded;
}

bool Finder::IsCharStart(std::size_t pos) {
  if (pos < knownStart_) knownStart_ = 0;  // searching backwards: start over
  // Count back over the high bytes before pos, eight at a time while a whole
  // word of them lies after the known start (Chinese text is long runs).
  std::size_t runStart = pos;
  while (runStart >= knownStart_ + kWordBytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, hay_.data() + runStart - kWordBytes, kWordBytes);
    if ((word & kHighBits) != kHighBits) break;
    runStart -= kWordBytes;
  }
  while (runStart > knownStart_ && IsHighByte(hay_[runStart - 1])) --runStart;
  // runStart starts a character (it is the known start or follows a byte
  // below 0x80), and the high bytes from there pair up as characters.
  const bool isStart = (pos - runStart) % 2 == 0;
  knownStart_ = isStart ? pos : pos - 1;
  return isStart;
}

std::size_t Finder::Candidate(std::string_view needle, std::size_t from) {
  return ignoreCase_ ? FoldedCandidate(needle, from) : FindExact(hay_, needle, from);
}

void Finder::FoldWindowAt(std::size_t pos, std::size_t needleSize) {
  // Small enough to stay in the cache; at least twice the needle so that
  // every slide moves on by half a window or more.
  constexpr std::size_t kWindowBytes = 64 * 1024;
  const std::size_t length = std::min(std::max(kWindowBytes, 2 * needleSize), hay_.size() - pos);
  if (window_.size() < length) window_.resize(length);
  // The byte before pos leads a character exactly when pos does not start one.
  const bool afterLead = !IsCharStart(pos);
  FoldInto(hay_.data() + pos, length, window_.data(), afterLead);
  windowBase_ = pos;
  windowLength_ = length;
}

std::size_t Finder::FoldedCandidate(std::string_view needle, std::size_t from) {
  while (from < hay_.size() && needle.size() <= hay_.size() - from) {
    if (windowLength_ == 0 || from < windowBase_ || from >= windowBase_ + windowLength_) {
      FoldWindowAt(from, needle.size());
    }
    const std::string_view window(window_.data(), windowLength_);
    const std::size_t found = FindExact(window, needle, from - windowBase_);
    if (found != kNotFound) return windowBase_ + found;
    const std::size_t windowEnd = windowBase_ + windowLength_;
    if (windowEnd == hay_.size()) break;
    // Every occurrence that starts early enough to fit in the window was seen.
    from = std::max(from, windowEnd + 1 - needle.size());
    FoldWindowAt(from, needle.size());
  }
  return kNotFound;
}

std::size_t Finder::Find(std::string_view needle, std::size_t from) {
  for (;;) {
    const std::size_t candidate = Candidate(needle, from);
    if (candidate == kNotFound || IsCharStart(candidate)) return candidate;
    from = candidate + 1;
  }
}

}  // namespace charwise
