#include "http/cookies.h"

#include "text/text_primitives.h"

using namespace text_literals;

namespace {

const Text kItemSeparator = ";"_t;
const Text kMergedSeparator = "; "_t;
const Text kNameValueSeparator = "="_t;
const Text kDeletedMark = "=deleted"_t;

bool IsDeleted(const Text& item) {
  return TextRight(item, TextLength(kDeletedMark)) == kDeletedMark;
}

}  // namespace

Text MergeCookies(Text& cookies, Text& newCookies) {
  cookies = RemoveSpaces(cookies);
  newCookies = RemoveSpaces(newCookies);
  const TextList current = SplitText(cookies, kItemSeparator);
  TextList merged = SplitText(newCookies, kItemSeparator);
  for (int i = 1; i <= current.Count(); ++i) {
    if (!HasCookieName(merged, GetCookieName(current.Item(i)))) merged.Append(current.Item(i));
  }
  Text joined;
  for (int i = 1; i <= merged.Count(); ++i) {
    if (!IsDeleted(merged.Item(i))) joined += merged.Item(i) + kMergedSeparator;
  }
  joined = TextLeft(joined, TextLength(joined) - TextLength(kMergedSeparator));
  cookies = RemoveDuplicateItems(joined, kMergedSeparator);
  return cookies;
}

Text GetCookieName(const Text& item) {
  const int equals = FindText(item, kNameValueSeparator);
  return TrimText(equals == -1 ? item : TextLeft(item, equals - 1));
}

bool HasCookieName(const TextList& items, const Text& name) {
  for (int i = 1; i <= items.Count(); ++i) {
    if (GetCookieName(items.Item(i)) == name) return true;
  }
  return false;
}

Text RemoveDuplicateItems(const Text& text, const Text& delimiter) {
  const TextList items = SplitText(text, delimiter);
  TextList seen;
  Text joined;
  for (int i = 1; i <= items.Count(); ++i) {
    if (FindItem(seen, items.Item(i)) == -1) {
      seen.Append(items.Item(i));
      joined += items.Item(i) + delimiter;
    }
  }
  return TextLeft(joined, TextLength(joined) - TextLength(delimiter));
}

int FindItem(const TextList& items, const Text& item) {
  for (int i = 1; i <= items.Count(); ++i) {
    if (items.Item(i) == item) return i;
  }
  return -1;
}
