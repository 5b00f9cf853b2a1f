// Searching, cutting and converting Text.
//
// Positions and lengths count bytes; positions start at 1 and a search that
// finds nothing gives -1. A byte of 0x80 or above and the byte after it form
// one double-byte character: the char-wise operations match only at character
// starts, counted from the text's first byte, while cutting by position counts
// plain bytes. Spaces are 0x20 and the double-byte space 0xA1 0xA1 (tab, CR
// and LF are not spaces). Ignoring case folds ASCII A-Z/a-z only. Every
// operation returns a new value and leaves its arguments unchanged.
#pragma once

#include <optional>

#include "text/text.h"

// Number of bytes.
int TextLength(const Text& t);

// The first / last n bytes; n <= 0 gives the empty text, n beyond the length
// all of t.
Text TextLeft(const Text& t, int n);
Text TextRight(const Text& t, int n);

// n bytes from position s, cut at the end; s < 1, s beyond the length or
// n <= 0 gives the empty text.
Text TextMid(const Text& t, int s, int n);

// Char-wise: the first occurrence of sub that begins at or after start (start
// <= 1 searches from 1, start beyond the length gives -1). An empty sub gives
// 1 when the searched stretch is non-empty, else -1.
int FindText(const Text& t, const Text& sub, int start = 1, bool ignoreCase = false);

// Char-wise, exact case: the last occurrence lying wholly before position
// start (omitted: anywhere). start <= 1 and an empty sub give -1.
int FindTextReverse(const Text& t, const Text& sub, std::optional<int> start = std::nullopt);

// ASCII letters only; double-byte characters, their second bytes included,
// are left alone.
Text ToLowerText(const Text& t);
Text ToUpperText(const Text& t);

// Char-wise: spaces removed at both ends / everywhere.
Text TrimText(const Text& t);
Text RemoveSpaces(const Text& t);

// Char-wise: every occurrence of sub, left to right and non-overlapping,
// replaced by rep (the empty rep removes them). An empty t or sub gives t.
Text ReplaceText(const Text& t, const Text& sub, const Text& rep, bool caseSensitive);

// Char-wise, exact case: the pieces between delimiters, in order. Empty
// pieces count, except one after a final delimiter; an empty t gives an
// empty list, an empty delim the one item t.
TextList SplitText(const Text& t, const Text& delim);

// The value of the decimal number at the start of t, as a 32-bit signed
// integer. Leading spaces, tabs, CR, LF, VT and FF are skipped, then an
// optional sign and the digits up to the first other character count. GBK
// full-width digits, signs and spaces count as their ASCII forms. No digits
// give 0; a value beyond the 32-bit range saturates at its ends.
int TextToInt(const Text& t);

// One-byte text of c's low 8 bits; a zero byte gives the empty text.
Text CharText(int c);

// The bytes of t, no terminator.
Bytes TextToBytes(const Text& t);

// The bytes of b before its first zero byte, else all of b.
Text BytesToText(const Bytes& b);
