#include "skin/skin_format.h"

#include <array>
#include <vector>

namespace {

constexpr std::size_t kLengthOffset = kSkinMagic.size();
constexpr std::size_t kColourTextSize = 7;  // "#RRGGBB"
constexpr int kBitsPerByte = 8;
constexpr std::size_t kLengthBytes = 4;

struct ColourKey {
  std::string_view key;
  Rgb SkinColours::*member;
};

constexpr std::array kColourKeys = {
    ColourKey{"window_background", &SkinColours::windowBackground},
    ColourKey{"label_text", &SkinColours::labelText},
    ColourKey{"button_face", &SkinColours::buttonFace},
    ColourKey{"button_hover", &SkinColours::buttonHover},
    ColourKey{"button_pressed", &SkinColours::buttonPressed},
    ColourKey{"button_text", &SkinColours::buttonText},
    ColourKey{"field_background", &SkinColours::fieldBackground},
    ColourKey{"field_text", &SkinColours::fieldText},
    ColourKey{"border", &SkinColours::border},
    ColourKey{"accent", &SkinColours::accent},
    ColourKey{"selection_background", &SkinColours::selectionBackground},
    ColourKey{"selection_text", &SkinColours::selectionText},
};

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

std::optional<std::uint8_t> HexByte(std::string_view twoDigits) {
  std::optional<int> high = HexDigit(twoDigits[0]);
  std::optional<int> low = HexDigit(twoDigits[1]);
  if (!high || !low) return std::nullopt;
  return static_cast<std::uint8_t>(*high * 16 + *low);
}

std::optional<Rgb> ParseColour(std::string_view text) {
  if (text.size() != kColourTextSize || text[0] != '#') return std::nullopt;
  std::optional<std::uint8_t> red = HexByte(text.substr(1, 2));
  std::optional<std::uint8_t> green = HexByte(text.substr(3, 2));
  std::optional<std::uint8_t> blue = HexByte(text.substr(5, 2));
  if (!red || !green || !blue) return std::nullopt;
  return Rgb{*red, *green, *blue};
}

std::uint32_t ReadLittleEndian32(std::string_view bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (kBitsPerByte * i);
  }
  return value;
}

// The body of a well-formed file, or nothing.
std::optional<std::string_view> BodyOf(std::string_view fileBytes) {
  if (fileBytes.size() < kSkinHeaderSize || fileBytes.size() > kMaxSkinFileSize) return std::nullopt;
  if (fileBytes.substr(0, kSkinMagic.size()) != kSkinMagic) return std::nullopt;
  std::uint32_t length = ReadLittleEndian32(fileBytes.substr(kLengthOffset, kLengthBytes));
  if (length != fileBytes.size() - kSkinHeaderSize) return std::nullopt;
  return fileBytes.substr(kSkinHeaderSize);
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::vector<std::string_view> LinesOf(std::string_view body) {
  std::vector<std::string_view> lines;
  while (!body.empty()) {
    std::size_t end = body.find('\n');
    lines.push_back(WithoutCarriageReturn(body.substr(0, end)));
    body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
  }
  return lines;
}

// Applies one "key=#RRGGBB" line; false for a bad or repeated key or value.
bool ApplyLine(std::string_view line, SkinColours& colours, std::array<bool, kColourKeys.size()>& seen) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  std::string_view key = line.substr(0, equals);
  std::optional<Rgb> colour = ParseColour(line.substr(equals + 1));
  if (!colour) return false;
  for (std::size_t i = 0; i < kColourKeys.size(); ++i) {
    if (kColourKeys[i].key != key) continue;
    if (seen[i]) return false;
    seen[i] = true;
    colours.*kColourKeys[i].member = *colour;
    return true;
  }
  return false;
}

}  // namespace

std::optional<SkinColours> ParseSkinFile(std::string_view fileBytes) {
  std::optional<std::string_view> body = BodyOf(fileBytes);
  if (!body) return std::nullopt;
  SkinColours colours;
  std::array<bool, kColourKeys.size()> seen{};
  for (std::string_view line : LinesOf(*body)) {
    if (line.empty() || line[0] == '#') continue;
    if (!ApplyLine(line, colours, seen)) return std::nullopt;
  }
  for (bool present : seen) {
    if (!present) return std::nullopt;
  }
  return colours;
}

std::string PackSkinFile(std::string_view body) {
  std::string file(kSkinMagic);
  auto length = static_cast<std::uint32_t>(body.size());
  for (std::size_t i = 0; i < kLengthBytes; ++i) {
    file += static_cast<char>((length >> (kBitsPerByte * i)) & 0xFFu);
  }
  file += body;
  return file;
}
