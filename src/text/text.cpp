#include "text/text.h"

#include <cstdio>
#include <cstdlib>

Text::Text(std::string_view gbkBytes) : bytes_(gbkBytes.substr(0, gbkBytes.find('\0'))) {}

const Text& TextList::Item(int i) const {
  if (i < 1 || i > Count()) {
    std::fprintf(stderr, "TextList: item %d read from a list of %d items (valid: 1..%d)\n", i,
                 Count(), Count());
    std::abort();
  }
  return items_[static_cast<std::size_t>(i - 1)];
}
