// The marker routines against a reference built from the slow char-wise
// search: GetTextBetween, GetFieldValue and CollectAllBetween, with every
// option, on arbitrary sources and markers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "fuzz_input.h"
#include "reference.h"
#include "text/markers.h"
#include "text/text.h"

namespace {

// "#引号" in GBK, which GetTextBetween reads as a double quote in a marker.
const std::string kQuoteWord = "#\xD2\xFD\xBA\xC5";

std::string Mid(const std::string& s, int position, int count) {
  if (position < 1 || static_cast<std::size_t>(position) > s.size() || count <= 0) return {};
  return s.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(count));
}

// The value and the 1-based position where it starts, or nothing.
struct Between {
  std::string value;
  int valueAt = -1;
};

Between ReferenceBetween(const std::string& source, const std::string& leftMarker,
                         const std::string& rightMarker, int startPos, bool ignoreCase) {
  const std::string left = reference::Replace(leftMarker, kQuoteWord, "\"", true);
  const std::string right = reference::Replace(rightMarker, kQuoteWord, "\"", true);
  const int leftAt = reference::FindText(source, left, startPos, ignoreCase);
  if (leftAt == -1) return {};
  const int valueAt = leftAt + static_cast<int>(left.size());
  const int rightAt = reference::FindText(source, right, valueAt, ignoreCase);
  if (rightAt == -1) return {};
  return {Mid(source, valueAt, rightAt - valueAt), valueAt};
}

struct Collect {
  std::string left, right, prefix, suffix;
  bool caseSensitive = false;
  int maxLength = 0;
  bool includeLeft = false;
  bool includeRight = false;
  int startPos = 1;
};

std::vector<std::string> ReferenceCollect(const std::string& source, const Collect& c) {
  std::vector<std::string> items;
  if (c.left.empty() || c.right.empty()) return items;
  const bool ignoreCase = !c.caseSensitive;
  int from = c.startPos;
  for (;;) {
    const int leftAt = reference::FindText(source, c.left, from, ignoreCase);
    if (leftAt == -1) break;
    const int valueAt = leftAt + static_cast<int>(c.left.size());
    const int rightAt = reference::FindText(source, c.right, valueAt, ignoreCase);
    if (rightAt == -1) break;
    const std::string value = reference::Trim(Mid(source, valueAt, rightAt - valueAt));
    if (value.empty()) break;
    if (c.maxLength != 0 && static_cast<int>(value.size()) > c.maxLength) break;
    std::string item = c.prefix + value + c.suffix;
    if (c.includeLeft) item = c.left + item;
    if (c.includeRight) item += c.right;
    items.push_back(item);
    from = rightAt;
  }
  return items;
}

std::string Detail(const std::string& source, const std::string& left, const std::string& right) {
  return "source=\"" + Escaped(source) + "\" left=\"" + Escaped(left) + "\" right=\"" +
         Escaped(right) + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t options = input.Byte();
  const int startPos = input.SmallInt();
  const int maxLength = input.SmallInt();
  const std::vector<std::string> fields = input.Fields(5);
  const std::string& source = fields[0];
  const std::string& left = fields[1];
  const std::string& right = fields[2];
  const bool ignoreCase = (options & 1U) != 0;

  // GetTextBetween: the reference value, found right after the left marker.
  const Text between = GetTextBetween(Text(source), Text(left), Text(right), startPos, ignoreCase);
  const Between expected = ReferenceBetween(source, left, right, startPos, ignoreCase);
  CHECK(between.bytes() == expected.value,
        Detail(source, left, right) + " got \"" + Escaped(between.bytes()) + "\"");
  if (!between.empty()) {
    CHECK(source.compare(static_cast<std::size_t>(expected.valueAt - 1), between.bytes().size(),
                         between.bytes()) == 0,
          Detail(source, left, right));
  }

  // GetFieldValue is GetTextBetween with the quoted-member markers.
  const Text field = GetFieldValue(Text(source), Text(left));
  CHECK(field.bytes() == ReferenceBetween(source, left + "\":\"", "\",\"", 0, false).value,
        Detail(source, left, "") + " field got \"" + Escaped(field.bytes()) + "\"");

  // CollectAllBetween, plain: every item trimmed and non-empty.
  Collect plain;
  plain.left = left;
  plain.right = right;
  plain.caseSensitive = (options & 2U) != 0;
  plain.startPos = startPos;
  TextList items;
  items.Append(Text("stale item"));  // emptied by the call
  const int count = CollectAllBetween(Text(source), Text(left), Text(right), items,
                                      plain.caseSensitive, 0, Text(), Text(), false, false, startPos);
  CHECK(count == items.Count(), Detail(source, left, right));
  std::vector<std::string> got;
  for (int i = 1; i <= items.Count(); ++i) {
    const std::string& item = items.Item(i).bytes();
    CHECK(!item.empty() && reference::Trim(item) == item,
          Detail(source, left, right) + " item \"" + Escaped(item) + "\"");
    got.push_back(item);
  }
  CHECK(got == ReferenceCollect(source, plain),
        Detail(source, left, right) + " collected " + std::to_string(count));

  // CollectAllBetween with every option.
  Collect dressed = plain;
  dressed.prefix = fields[3];
  dressed.suffix = fields[4];
  dressed.maxLength = maxLength;
  dressed.includeLeft = (options & 4U) != 0;
  dressed.includeRight = (options & 8U) != 0;
  const int dressedCount = CollectAllBetween(
      Text(source), Text(left), Text(right), items, dressed.caseSensitive, dressed.maxLength,
      Text(dressed.prefix), Text(dressed.suffix), dressed.includeLeft, dressed.includeRight,
      dressed.startPos);
  got.clear();
  for (int i = 1; i <= items.Count(); ++i) got.push_back(items.Item(i).bytes());
  CHECK(dressedCount == items.Count() && got == ReferenceCollect(source, dressed),
        Detail(source, left, right) + " dressed, collected " + std::to_string(dressedCount));
  return 0;
}
