#include "skin/skin_style.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kEdgePadding = 4;  // pixels between a control's border and its text

// over laid on base with opacity alpha (0..255).
Rgb Blend(Rgb base, Rgb over, int alpha) {
  auto mix = [alpha](std::uint8_t from, std::uint8_t to) {
    int value = (from * (kMaxAlpha - alpha) + to * alpha + kMaxAlpha / 2) / kMaxAlpha;
    return static_cast<std::uint8_t>(value);
  };
  return Rgb{mix(base.red, over.red), mix(base.green, over.green), mix(base.blue, over.blue)};
}

Rgb Darken(Rgb colour, int percent) {
  return Blend(colour, Rgb{}, percent * kMaxAlpha / kMaxShadePercent);
}

std::string Css(Rgb colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return text;
}

// The colours of the finished look, after the settings have worked on the
// skin's own.
struct Palette {
  Rgb window;
  Rgb label;
  Rgb face;
  Rgb faceHover;
  Rgb facePressed;
  Rgb buttonText;
  Rgb buttonBorder;
  Rgb field;
  Rgb fieldText;
  Rgb border;
  Rgb highlightBorder;
  Rgb selection;
  Rgb selectionText;
};

Palette PaletteFor(const SkinColours& skin, const AeroSettings& settings) {
  const int alpha = settings.accentAlpha;
  Palette p;
  p.window = skin.windowBackground;
  p.label = skin.labelText;
  p.face = Darken(skin.buttonFace, settings.faceShade);
  p.faceHover = Darken(skin.buttonHover, settings.faceShade);
  p.facePressed = Darken(skin.buttonPressed, settings.faceShade);
  p.buttonText = skin.buttonText;
  p.field = skin.fieldBackground;
  p.fieldText = skin.fieldText;
  p.border = Darken(skin.border, settings.borderShade);
  p.highlightBorder = Blend(p.border, skin.accent, alpha);
  p.buttonBorder = p.border;
  p.selection = skin.selectionBackground;
  p.selectionText = skin.selectionText;
  switch (settings.shadeMode) {
    case ShadeMode::kFlat:
      break;
    case ShadeMode::kOutline:
      p.face = p.window;
      p.buttonBorder = p.highlightBorder;
      break;
    case ShadeMode::kSolidAccent:
      p.face = Blend(p.face, skin.accent, alpha);
      p.faceHover = Blend(p.face, skin.fieldBackground, kMaxAlpha / 4);
      p.facePressed = Darken(p.face, kMaxShadePercent / 5);
      p.buttonText = skin.fieldBackground;
      break;
    case ShadeMode::kTinted:
      p.faceHover = Blend(p.face, skin.accent, alpha / 4);
      p.facePressed = Blend(p.face, skin.accent, alpha / 2);
      p.selection = Blend(p.field, skin.accent, alpha);
      p.selectionText = skin.fieldBackground;
      break;
  }
  return p;
}

std::string Px(int pixels) { return std::to_string(pixels) + "px"; }

}  // namespace

AeroSettings AeroSettingsFrom(int alpha, int faceShade, int borderShade, int shadeMode, int cornerRadius,
                              int borderWidth) {
  AeroSettings settings;
  settings.accentAlpha = std::clamp(alpha, 0, kMaxAlpha);
  settings.faceShade = std::clamp(faceShade, 0, kMaxShadePercent);
  settings.borderShade = std::clamp(borderShade, 0, kMaxShadePercent);
  bool knownMode = shadeMode >= static_cast<int>(ShadeMode::kFlat) && shadeMode <= static_cast<int>(ShadeMode::kTinted);
  settings.shadeMode = knownMode ? static_cast<ShadeMode>(shadeMode) : ShadeMode::kFlat;
  settings.cornerRadius = std::clamp(cornerRadius, 0, kMaxCornerRadius);
  settings.borderWidth = borderWidth <= 0 ? kMinBorderWidth : std::min(borderWidth, kMaxBorderWidth);
  return settings;
}

std::string BuildStyleSheet(const SkinColours& skin, const AeroSettings& settings) {
  const Palette p = PaletteFor(skin, settings);
  const std::string edge = Px(settings.borderWidth) + " solid ";
  const std::string radius = "border-radius: " + Px(settings.cornerRadius) + "; ";
  const std::string padding = "padding: 0 " + Px(kEdgePadding) + "; ";
  std::string sheet;
  sheet += "QWidget:window { background-color: " + Css(p.window) + "; }\n";
  sheet += "QLabel { color: " + Css(p.label) + "; background: transparent; }\n";
  sheet += "QPushButton { background-color: " + Css(p.face) + "; color: " + Css(p.buttonText) + "; border: " +
           edge + Css(p.buttonBorder) + "; " + radius + padding + "}\n";
  sheet += "QPushButton:hover { background-color: " + Css(p.faceHover) + "; border-color: " +
           Css(p.highlightBorder) + "; }\n";
  sheet += "QPushButton:pressed { background-color: " + Css(p.facePressed) + "; }\n";
  sheet += "QPushButton:focus { border-color: " + Css(p.highlightBorder) + "; }\n";
  // No color here: the program colours the edit box's text itself.
  sheet += "QLineEdit { background-color: " + Css(p.field) + "; border: " + edge + Css(p.border) + "; " + radius +
           padding + "}\n";
  sheet += "QLineEdit:focus { border-color: " + Css(p.highlightBorder) + "; }\n";
  sheet += "QListView { background-color: " + Css(p.field) + "; color: " + Css(p.fieldText) + "; border: " + edge +
           Css(p.border) + "; selection-background-color: " + Css(p.selection) + "; selection-color: " +
           Css(p.selectionText) + "; outline: 0; }\n";
  return sheet;
}
