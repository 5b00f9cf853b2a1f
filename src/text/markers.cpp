#include "text/markers.h"

#include <string>
#include <string_view>

#include "text/charwise.h"
#include "text/text_primitives.h"

namespace {

// "#引号" in GBK: a marker word that callers write for a double quote.
constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";
constexpr std::string_view kQuote = "\"";
// A field is written "key":"value","next":...
constexpr std::string_view kFieldValueOpen = "\":\"";
constexpr std::string_view kFieldValueClose = "\",\"";

Text WithQuoteWordReplaced(const Text& marker) {
  return ReplaceText(marker, Text(kQuoteWord), Text(kQuote), true);
}

// [leftMarker] prefix value suffix [rightMarker], built in one piece.
Text Dressed(std::string_view value, const Text& leftMarker, const Text& rightMarker,
             const Text& prefix, const Text& suffix, bool includeLeft, bool includeRight) {
  if (!includeLeft && !includeRight && prefix.empty() && suffix.empty()) return Text(value);
  std::string item;
  item.reserve((includeLeft ? leftMarker.bytes().size() : 0) + prefix.bytes().size() +
               value.size() + suffix.bytes().size() +
               (includeRight ? rightMarker.bytes().size() : 0));
  if (includeLeft) item += leftMarker.bytes();
  item += prefix.bytes();
  item += value;
  item += suffix.bytes();
  if (includeRight) item += rightMarker.bytes();
  return Text(item);
}

}  // namespace

Text GetTextBetween(const Text& source, const Text& leftMarker, const Text& rightMarker,
                    int startPos, bool ignoreCase) {
  const Text left = WithQuoteWordReplaced(leftMarker);
  const Text right = WithQuoteWordReplaced(rightMarker);
  const int leftAt = FindText(source, left, startPos, ignoreCase);
  if (leftAt == -1) return Text();
  const int valueAt = leftAt + TextLength(left);
  const int rightAt = FindText(source, right, valueAt, ignoreCase);
  if (rightAt == -1) return Text();
  return TextMid(source, valueAt, rightAt - valueAt);
}

Text GetFieldValue(const Text& source, const Text& key) {
  const Text left(key.bytes() + std::string(kFieldValueOpen));
  return GetTextBetween(source, left, Text(kFieldValueClose));
}

int CollectAllBetween(const Text& source, const Text& leftMarker, const Text& rightMarker,
                      TextList& items, bool caseSensitive, int maxLength, const Text& prefix,
                      const Text& suffix, bool includeLeft, bool includeRight, int startPos) {
  items.Clear();
  // An empty left marker would be found at the same place for ever; an empty
  // right marker would make every value empty, which ends the collection.
  if (leftMarker.empty() || rightMarker.empty()) return 0;

  const std::string_view original = source.bytes();
  std::string_view left = leftMarker.bytes();
  std::string_view right = rightMarker.bytes();
  // Markers are folded once here; the finder folds the source as it goes.
  const bool ignoreCase =
      !caseSensitive && (charwise::HasAsciiLetter(left) || charwise::HasAsciiLetter(right));
  std::string foldedLeft;
  std::string foldedRight;
  if (ignoreCase) {
    foldedLeft = charwise::FoldToLower(left);
    foldedRight = charwise::FoldToLower(right);
    left = foldedLeft;
    right = foldedRight;
  }

  // Every search of the call moves forward, so one finder serves them all and
  // the whole collection stays linear in the length of the source.
  charwise::Finder finder(original, ignoreCase);
  std::size_t from = startPos <= 1 ? 0 : static_cast<std::size_t>(startPos - 1);
  for (;;) {
    const std::size_t leftAt = finder.Find(left, from);
    if (leftAt == charwise::kNotFound) break;
    const std::size_t valueAt = leftAt + left.size();
    const std::size_t rightAt = finder.Find(right, valueAt);
    if (rightAt == charwise::kNotFound) break;
    const std::string_view value =
        charwise::TrimSpaces(original.substr(valueAt, rightAt - valueAt));
    if (value.empty()) break;
    if (maxLength != 0 && static_cast<long long>(value.size()) > maxLength) break;

    items.Append(Dressed(value, leftMarker, rightMarker, prefix, suffix, includeLeft, includeRight));
    // The right marker that closed this value may open the next one.
    from = rightAt;
  }
  return items.Count();
}
