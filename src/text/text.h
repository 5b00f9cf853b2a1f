// The three value types that every part of the program passes around.
//
// Text holds GBK (code page 936) bytes and never a NUL byte. It is kept apart
// from std::string on purpose: a UTF-8 string cannot become a Text by
// accident, only through the explicit constructor (which takes the bytes as
// they are) or the code-page conversions in the HTTP layer.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class Text {
 public:
  Text() = default;
  // Takes the bytes as GBK, up to the first NUL byte (a Text never holds one).
  explicit Text(std::string_view gbkBytes);
  // The same for a string the caller gives up: its buffer is taken over, not
  // copied, which matters for answers of a megabyte. Only an rvalue
  // std::string chooses this; anything else takes the copying form above.
  template <typename String>
    requires std::same_as<String, std::string>
  explicit Text(String&& gbkBytes) : bytes_(std::move(gbkBytes)) {
    bytes_.resize(std::min(bytes_.find('\0'), bytes_.size()));
  }

  // The GBK bytes, without terminator.
  const std::string& bytes() const { return bytes_; }
  // NUL-terminated, for the C interfaces of the platform layers.
  const char* c_str() const { return bytes_.c_str(); }
  bool empty() const { return bytes_.empty(); }

  // Joining two texts (GBK + GBK) can never form a NUL, so it stays a Text.
  Text& operator+=(const Text& tail) {
    bytes_ += tail.bytes_;
    return *this;
  }
  friend Text operator+(Text head, const Text& tail) { return head += tail; }

  friend bool operator==(const Text&, const Text&) = default;

 private:
  std::string bytes_;
};

// A length-counted byte string; any byte value, 0 included.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
  // Takes over a string the caller gives up, without copying it.
  template <typename String>
    requires std::same_as<String, std::string>
  explicit Bytes(String&& bytes) : bytes_(std::move(bytes)) {}

  const std::string& bytes() const { return bytes_; }
  const char* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  void append(const char* data, std::size_t size) { bytes_.append(data, size); }

  friend bool operator==(const Bytes&, const Bytes&) = default;

 private:
  std::string bytes_;
};

// A growable list of Text, numbered 1..Count().
class TextList {
 public:
  // Stores a copy at the end.
  void Append(const Text& item) { items_.push_back(item); }
  void Append(Text&& item) { items_.push_back(std::move(item)); }
  int Count() const { return static_cast<int>(items_.size()); }
  // Item number i, 1-based. Outside 1..Count() the process ends with a report
  // on stderr: reading past the list is a programming error, never data.
  const Text& Item(int i) const;
  void Clear() { items_.clear(); }

  friend bool operator==(const TextList&, const TextList&) = default;

 private:
  std::vector<Text> items_;
};

// "abc"_t builds a Text from a literal; for ASCII literals and \x escapes
// (the source files are UTF-8, so Chinese literals need the code-page layer).
namespace text_literals {
inline Text operator""_t(const char* bytes, std::size_t size) {
  return Text(std::string_view(bytes, size));
}
}  // namespace text_literals
