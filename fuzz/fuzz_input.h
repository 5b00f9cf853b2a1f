// How the fuzz targets read their input: a few leading option bytes, then
// text fields separated by NUL bytes. A Text never holds a NUL, so the
// separator can never be part of a field, and seed files stay readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  // The next option byte; 0 once the input is used up.
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
  }
  bool Flag() { return (Byte() & 1U) != 0; }
  // A small signed number, -128..127: start positions and counts.
  int SmallInt() { return static_cast<int>(static_cast<std::int8_t>(Byte())); }

  // The next field: the bytes up to the next NUL (dropped) or the end.
  std::string Field() {
    const std::size_t end = rest_.find('\0');
    std::string field(rest_.substr(0, end));
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return field;
  }

  // Whatever is left, NULs and all.
  std::string_view Rest() {
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
  }

  // The remaining input cut into exactly count fields at NUL bytes; missing
  // fields are empty, and the last field takes everything after the
  // (count - 1)-th NUL with any further NULs dropped.
  std::vector<std::string> Fields(std::size_t count) {
    std::vector<std::string> fields(count);
    std::size_t index = 0;
    for (const char c : rest_) {
      if (c == '\0') {
        if (index + 1 < count) ++index;
        continue;
      }
      fields[index].push_back(c);
    }
    rest_ = {};
    return fields;
  }

 private:
  std::string_view rest_;
};
