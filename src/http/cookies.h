// Cookie texts: items "name=value" separated by ";" on input and by "; " in
// what the merge writes. No attributes are understood; all comparisons are
// exact bytes. Spaces are 0x20 and the GBK double-byte space.
#pragma once

#include "text/text.h"

// Folds newCookies into cookies: the new items first, in their order, then the
// old items whose names the new ones lack; items ending "=deleted" dropped,
// exact repeats removed. Both variables are written back: cookies gets the
// merged text (also returned), newCookies loses all its spaces.
Text MergeCookies(Text& cookies, Text& newCookies);

// The name of one item: the bytes before its first "=", trimmed of spaces;
// the whole item trimmed when it holds no "=".
Text GetCookieName(const Text& item);

// Whether some item of the list has exactly this name.
bool HasCookieName(const TextList& items, const Text& name);

// The items of text (split at delimiter), each kept at its first occurrence
// only, joined by delimiter. The empty text gives the empty text.
Text RemoveDuplicateItems(const Text& text, const Text& delimiter);

// 1-based position of the first item equal to item, or -1.
int FindItem(const TextList& items, const Text& item);
