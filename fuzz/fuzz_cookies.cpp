// The cookie merge on arbitrary cookie texts: the result against a reference
// of the merge, and what every merged text must look like (no deleted items,
// no exact repeats, no spaces inside items).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "fuzz_input.h"
#include "http/cookies.h"
#include "reference.h"
#include "text/text.h"

namespace {

const std::string kDeleted = "=deleted";

bool IsDeleted(const std::string& item) {
  return item.size() >= kDeleted.size() &&
         item.compare(item.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0;
}

std::string Name(const std::string& item) {
  const int equals = reference::FindText(item, "=", 1, false);
  return reference::Trim(equals == -1 ? item : item.substr(0, static_cast<std::size_t>(equals - 1)));
}

std::string Joined(const std::vector<std::string>& items, const std::string& delimiter) {
  std::string joined;
  for (const std::string& item : items) joined += item + delimiter;
  return joined.substr(0, joined.size() - std::min(joined.size(), delimiter.size()));
}

std::string ReferenceMerge(const std::string& cookies, const std::string& fresh) {
  const std::vector<std::string> current = reference::Split(reference::RemoveSpaces(cookies), ";");
  std::vector<std::string> merged = reference::Split(reference::RemoveSpaces(fresh), ";");
  for (const std::string& item : current) {
    const bool named = std::any_of(merged.begin(), merged.end(),
                                   [&](const std::string& m) { return Name(m) == Name(item); });
    if (!named) merged.push_back(item);
  }
  std::vector<std::string> kept;
  for (const std::string& item : merged) {
    if (!IsDeleted(item)) kept.push_back(item);
  }
  std::vector<std::string> unique;
  for (const std::string& item : reference::Split(Joined(kept, "; "), "; ")) {
    if (std::find(unique.begin(), unique.end(), item) == unique.end()) unique.push_back(item);
  }
  return Joined(unique, "; ");
}

// The merged items. No item holds a space character, and a ";" that is a
// character of its own ends an item, so every "; " in the merged text is a
// separator.
std::vector<std::string> MergedItems(const std::string& merged) {
  std::vector<std::string> items;
  if (merged.empty()) return items;
  std::size_t from = 0;
  for (std::size_t at = merged.find("; "); at != std::string::npos; at = merged.find("; ", from)) {
    items.push_back(merged.substr(from, at - from));
    from = at + 2;
  }
  items.push_back(merged.substr(from));
  return items;
}

bool EndsInLoneLeadByte(const std::string& item) {
  if (item.empty()) return false;
  const std::vector<char> starts = reference::CharStarts(item);
  return starts[item.size() - 1] && static_cast<unsigned char>(item.back()) >= 0x80;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::vector<std::string> fields = input.Fields(2);
  Text cookies(fields[0]);
  Text fresh(fields[1]);
  const std::string detail = "cookies=\"" + Escaped(fields[0]) + "\" new=\"" + Escaped(fields[1]) + "\"";

  const Text merged = MergeCookies(cookies, fresh);
  CHECK(cookies == merged, detail);
  CHECK(merged.bytes() == ReferenceMerge(fields[0], fields[1]),
        detail + " merged \"" + Escaped(merged.bytes()) + "\"");
  CHECK(fresh.bytes() == reference::RemoveSpaces(fields[1]), detail);

  const std::vector<std::string> items = MergedItems(merged.bytes());
  for (std::size_t i = 0; i < items.size(); ++i) {
    CHECK(!IsDeleted(items[i]), detail + " item \"" + Escaped(items[i]) + "\"");
    CHECK(reference::RemoveSpaces(items[i]) == items[i], detail + " item \"" + Escaped(items[i]) + "\"");
    CHECK(std::find(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(i), items[i]) ==
              items.begin() + static_cast<std::ptrdiff_t>(i),
          detail + " repeated item \"" + Escaped(items[i]) + "\"");
  }

  // The merged text taken as new cookies comes back unchanged, unless an
  // item ends in a lone lead byte, which then takes the ";" after it, or the
  // last item is empty, which the split drops.
  if (std::none_of(items.begin(), items.end(), EndsInLoneLeadByte) &&
      (items.empty() || !items.back().empty())) {
    Text none;
    Text again = merged;
    CHECK(MergeCookies(none, again) == merged, detail);
  }
  return 0;
}
