// Slow, obviously right versions of the char-wise text rules, for the fuzz
// targets to hold the fast implementations against. Everything here walks the
// text from its first byte, one character at a time, and shares no code with
// the program. Positions are 0-based; npos means "not found".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

inline constexpr std::size_t npos = std::string_view::npos;

// starts[i] tells whether byte i begins a character: a byte of 0x80 or above
// takes the next byte with it, when there is one.
std::vector<char> CharStarts(std::string_view s);

bool IsAsciiUpper(char c);
char AsciiLower(char c);
char AsciiUpper(char c);

// First occurrence of a non-empty needle at a character start at or after
// from; letters at character starts compare without case when ignoreCase.
std::size_t Find(std::string_view hay, std::string_view needle, std::size_t from, bool ignoreCase);

// FindText's 1-based rule, empty sub and out-of-range start included.
int FindText(std::string_view t, std::string_view sub, int start, bool ignoreCase);
int FindTextReverse(std::string_view t, std::string_view sub, std::optional<int> start);

std::string ToLower(std::string_view s);
std::string ToUpper(std::string_view s);
std::string Trim(std::string_view s);
std::string RemoveSpaces(std::string_view s);
// True when the character at a character start pos is a space.
bool IsSpaceAt(std::string_view s, std::size_t pos);
std::string Replace(std::string_view t, std::string_view sub, std::string_view rep,
                    bool caseSensitive);
std::vector<std::string> Split(std::string_view t, std::string_view delim);
int ToInt(std::string_view t);

// The bytes between the first left marker and the first right marker after
// it, searched char-wise from the start with exact case; empty when either is
// missing.
std::string TextBetween(const std::string& s, const std::string& left, const std::string& right);

// True when some character start of s holds the byte c (an ASCII byte).
bool HasCharAt(std::string_view s, char c);

// Valid UTF-8 code points of s, or nothing when s is not valid UTF-8
// (overlong forms, surrogates and values past U+10FFFF are invalid).
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view s);
std::string EncodeUtf8(char32_t codePoint);

}  // namespace reference
