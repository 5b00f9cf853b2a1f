// The skin file: what a skin says and how it is stored.
//
// A skin file is a 10-byte header followed by a text body:
//   bytes 0..3  ".SHE"                   the magic
//   bytes 4..5  0x00 0x03                the format version, 3
//   bytes 6..9  body length N            unsigned 32-bit, little-endian
//   bytes 10..  N bytes of UTF-8 text    and nothing after them
// The body is lines "key=#RRGGBB" (hexadecimal, either case), one colour
// each, every key of SkinColours exactly once; blank lines and lines
// starting with '#' are ignored; a line may end in "\r\n".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// Every colour a skin names, by its key in the file.
struct SkinColours {
  Rgb windowBackground;     // window_background: the window's surface
  Rgb labelText;            // label_text: text of labels
  Rgb buttonFace;           // button_face: a button at rest
  Rgb buttonHover;          // button_hover: a button under the mouse
  Rgb buttonPressed;        // button_pressed: a button held down
  Rgb buttonText;           // button_text: a button's caption
  Rgb fieldBackground;      // field_background: edit boxes and lists
  Rgb fieldText;            // field_text: the lines of a list
  Rgb border;               // border: thin borders round controls
  Rgb accent;               // accent: focus and hover borders, tints
  Rgb selectionBackground;  // selection_background: a selected list line
  Rgb selectionText;        // selection_text: its text
};

inline constexpr std::string_view kSkinMagic{".SHE\0\x03", 6};
inline constexpr std::size_t kSkinHeaderSize = 10;
// No skin comes near this; a larger file is not a skin.
inline constexpr std::size_t kMaxSkinFileSize = std::size_t{1} << 20;

// The colours of a skin file's bytes; nothing when the bytes are not a
// valid skin file (bad magic or version, a length that disagrees with the
// file's size, a file over kMaxSkinFileSize, an unknown, repeated or missing
// key, a value that is not "#RRGGBB").
std::optional<SkinColours> ParseSkinFile(std::string_view fileBytes);

// A skin file holding body as its text: the header, then body unchanged.
std::string PackSkinFile(std::string_view body);
