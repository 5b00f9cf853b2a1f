// Taking values out of responses, headers and URLs by literal markers: the
// program never parses their syntax, it cuts out the bytes between a left
// marker and the next right marker. A missing marker gives the empty text,
// never an error. Searches are char-wise as in text_primitives.h.
#pragma once

#include "text/text.h"

// The bytes between the first leftMarker at or after startPos (<= 1: from the
// beginning) and the first rightMarker that begins after the whole left
// marker; not trimmed. The marker word "#引号" (GBK bytes) in either marker
// stands for a double quote. Letter case counts unless ignoreCase. Empty
// text when either marker is missing.
Text GetTextBetween(const Text& source, const Text& leftMarker, const Text& rightMarker,
                    int startPos = 0, bool ignoreCase = false);

// The value after key":" up to the next ",", as in {"key":"value","next":...}.
// The key is not anchored at an opening quote: a longer key that ends in key
// matches too. Empty text when either marker is missing.
Text GetFieldValue(const Text& source, const Text& key);

// Empties items, then appends every value between leftMarker and the next
// rightMarker, in order, each trimmed of spaces and dressed as
// [leftMarker] prefix value suffix [rightMarker]. The next left marker is
// searched from the right marker's own position. Collection stops at the
// first missing marker, empty trimmed value, or value longer than a non-zero
// maxLength (a negative maxLength collects nothing). Letter case is ignored
// unless caseSensitive. An empty leftMarker or rightMarker collects nothing.
// Returns the number of items.
int CollectAllBetween(const Text& source, const Text& leftMarker, const Text& rightMarker,
                      TextList& items, bool caseSensitive = false, int maxLength = 0,
                      const Text& prefix = Text(), const Text& suffix = Text(),
                      bool includeLeft = false, bool includeRight = false, int startPos = 1);
