// The fuzz targets' assertion: a broken invariant prints what was compared
// and aborts, which libFuzzer reports as a crash and saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Bytes shown as C escapes, so that GBK and control bytes stay readable.
inline std::string Escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      out.push_back(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out;
}

[[noreturn]] inline void FailCheck(const char* condition, const char* file, int line,
                                   const std::string& detail) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n  %s\n", file, line, condition,
               detail.c_str());
  std::abort();
}

// CHECK(condition, detail): detail is any expression giving a std::string.
#define CHECK(condition, detail) \
  do { \
    if (!(condition)) FailCheck(#condition, __FILE__, __LINE__, (detail)); \
  } while (false)
