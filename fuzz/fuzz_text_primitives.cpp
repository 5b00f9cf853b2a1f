// The Text primitives against the slow reference: searches, case folding,
// trimming, replacing, splitting and number reading, on arbitrary GBK-ish
// bytes. A "long" input repeats the text past 64 KiB so that case-ignoring
// searches cross the finder's folding windows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check.h"
#include "fuzz_input.h"
#include "reference.h"
#include "text/text.h"
#include "text/text_primitives.h"

namespace {

constexpr std::size_t kLongTextBytes = 64 * 1024;

std::string Cut(const std::string& s, int start0, int count) {
  if (count <= 0 || start0 < 0 || static_cast<std::size_t>(start0) >= s.size()) return {};
  return s.substr(static_cast<std::size_t>(start0), static_cast<std::size_t>(count));
}

std::string Joined(const std::vector<std::string>& pieces, const std::string& delim) {
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) joined += (i == 0 ? "" : delim) + pieces[i];
  return joined;
}

std::vector<std::string> Items(const TextList& list) {
  std::vector<std::string> items;
  for (int i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i).bytes());
  return items;
}

std::string Detail(const std::string& t, const std::string& sub, int start) {
  return "t=\"" + Escaped(t) + "\" sub=\"" + Escaped(sub) + "\" start=" + std::to_string(start);
}

void CheckCutting(const Text& text, int n, int s) {
  const std::string& t = text.bytes();
  const int length = static_cast<int>(t.size());
  CHECK(TextLength(text) == length, Escaped(t));
  CHECK(TextLeft(text, n).bytes() == (n <= 0 ? "" : t.substr(0, static_cast<std::size_t>(n))),
        Detail(t, "", n));
  const std::string right =
      n <= 0 ? "" : t.substr(t.size() - std::min(t.size(), static_cast<std::size_t>(n)));
  CHECK(TextRight(text, n).bytes() == right, Detail(t, "", n));
  CHECK(TextMid(text, s, n).bytes() == (s < 1 ? "" : Cut(t, s - 1, n)), Detail(t, "", s));
}

void CheckSearches(const Text& text, const Text& sub, int start, bool ignoreCase) {
  const std::string& t = text.bytes();
  const std::string& s = sub.bytes();
  const std::vector<char> starts = reference::CharStarts(t);

  const int found = FindText(text, sub, start, ignoreCase);
  CHECK(found == reference::FindText(t, s, start, ignoreCase),
        Detail(t, s, start) + " got " + std::to_string(found));
  CHECK(found == -1 || (found >= 1 && starts[static_cast<std::size_t>(found - 1)]),
        Detail(t, s, start));
  CHECK(FindText(text, sub) == FindText(text, sub, 1, false), Detail(t, s, 1));

  const int last = FindTextReverse(text, sub, start);
  CHECK(last == reference::FindTextReverse(t, s, start),
        Detail(t, s, start) + " reverse got " + std::to_string(last));
  const int lastAnywhere = FindTextReverse(text, sub);
  CHECK(lastAnywhere == reference::FindTextReverse(t, s, std::nullopt), Detail(t, s, 0));
}

void CheckCaseAndSpaces(const Text& text) {
  const std::string& t = text.bytes();
  CHECK(ToLowerText(text).bytes() == reference::ToLower(t), Escaped(t));
  CHECK(ToUpperText(text).bytes() == reference::ToUpper(t), Escaped(t));

  const std::string trimmed = TrimText(text).bytes();
  CHECK(trimmed == reference::Trim(t), Escaped(t) + " -> " + Escaped(trimmed));
  if (!trimmed.empty()) {
    CHECK(t.find(trimmed) != std::string::npos, Escaped(t));
    CHECK(!reference::IsSpaceAt(trimmed, 0), Escaped(t));
    // The last character of the trimmed text is no space either.
    const std::vector<char> starts = reference::CharStarts(trimmed);
    std::size_t lastStart = trimmed.size() - 1;
    while (!starts[lastStart]) --lastStart;
    CHECK(!reference::IsSpaceAt(trimmed, lastStart), Escaped(t));
  }
  CHECK(RemoveSpaces(text).bytes() == reference::RemoveSpaces(t), Escaped(t));
}

void CheckReplaceAndSplit(const Text& text, const Text& sub, const Text& rep, bool caseSensitive) {
  const std::string& t = text.bytes();
  const std::string& s = sub.bytes();
  const std::string replaced = ReplaceText(text, sub, rep, caseSensitive).bytes();
  CHECK(replaced == reference::Replace(t, s, rep.bytes(), caseSensitive),
        Detail(t, s, 0) + " rep=\"" + Escaped(rep.bytes()) + "\" got \"" + Escaped(replaced) + "\"");
  CHECK(ReplaceText(text, sub, sub, true) == text, Detail(t, s, 0));

  const std::vector<std::string> pieces = Items(SplitText(text, sub));
  CHECK(pieces == reference::Split(t, s), Detail(t, s, 0));
  if (!s.empty()) {
    // A final empty piece is dropped, so the joined pieces give the text back,
    // or the text without one delimiter at its end.
    const std::string joined = Joined(pieces, s);
    const bool endsWithDelim =
        t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0;
    CHECK(joined == t || (endsWithDelim && joined == t.substr(0, t.size() - s.size())),
          Detail(t, s, 0) + " joined=\"" + Escaped(joined) + "\"");
  } else {
    CHECK(pieces.size() == (t.empty() ? 0U : 1U), Detail(t, s, 0));
  }
}

void CheckConversions(const Text& text, int c) {
  const std::string& t = text.bytes();
  CHECK(TextToInt(text) == reference::ToInt(t),
        Escaped(t) + " got " + std::to_string(TextToInt(text)));
  const char byte = static_cast<char>(c & 0xFF);
  CHECK(CharText(c).bytes() == (byte == '\0' ? std::string() : std::string(1, byte)),
        std::to_string(c));
  CHECK(BytesToText(TextToBytes(text)) == text, Escaped(t));
}

// The searches that fold the text a window at a time, on a text longer than
// one window: the folded candidates must agree with the reference across the
// window boundaries.
void CheckLongText(const Text& text, const Text& sub, const Text& rep, int start) {
  const std::string& t = text.bytes();
  const std::string& s = sub.bytes();
  const int found = FindText(text, sub, start, true);
  CHECK(found == reference::FindText(t, s, start, true),
        "long text, " + Escaped(s) + " from " + std::to_string(start));
  CHECK(ReplaceText(text, sub, rep, false).bytes() == reference::Replace(t, s, rep.bytes(), false),
        "long text, " + Escaped(s) + " -> " + Escaped(rep.bytes()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t options = input.Byte();
  const bool ignoreCase = (options & 1U) != 0;
  const bool caseSensitive = (options & 2U) != 0;
  // One input in eight at most: the long text is slow to check.
  const bool longText = (options & 0x1CU) == 0x1CU;
  const int start = input.SmallInt();
  const int count = input.SmallInt();
  const std::uint8_t growth = input.Byte();
  const std::vector<std::string> fields = input.Fields(3);
  const Text sub(fields[1]);
  const Text rep(fields[2]);

  if (longText) {
    if (fields[0].empty()) return 0;
    std::string t;
    const std::size_t wanted = kLongTextBytes + 131U * growth;
    while (t.size() < wanted) t += fields[0];
    CheckLongText(Text(t), sub, rep, start * 1031);  // starts across the whole text
    return 0;
  }

  const Text text(fields[0]);
  CheckSearches(text, sub, start, ignoreCase);
  CheckReplaceAndSplit(text, sub, rep, caseSensitive);
  CheckCaseAndSpaces(text);
  CheckCutting(text, count, start);
  CheckConversions(text, count);
  CheckConversions(sub, start);
  return 0;
}
