// The look a skin gives the program's windows, as a Qt style sheet.
#pragma once

#include <string>

#include "skin/skin_format.h"

// How the accent is laid over the skin's own colours.
enum class ShadeMode {
  kFlat = 0,         // the skin's colours; the accent marks hover and focus borders
  kOutline = 1,      // buttons drawn as accent outlines on the window's surface
  kSolidAccent = 2,  // buttons filled with the accent
  kTinted = 3,       // hover, pressed and selected surfaces tinted with the accent
};

// The adjustable part of the look; the defaults are the skin as attached.
struct AeroSettings {
  int accentAlpha = 255;  // 0..255: how strongly the accent covers what lies beneath
  int faceShade = 0;      // 0..100: percent by which button faces darken
  int borderShade = 0;    // 0..100: percent by which borders darken
  ShadeMode shadeMode = ShadeMode::kFlat;
  int cornerRadius = 0;   // 0..8 pixels
  int borderWidth = 1;    // 1..4 pixels
};

inline constexpr int kMaxAlpha = 255;
inline constexpr int kMaxShadePercent = 100;
inline constexpr int kMaxCornerRadius = 8;
inline constexpr int kMinBorderWidth = 1;
inline constexpr int kMaxBorderWidth = 4;

// Settings from SkinH_AdjustAero's first six arguments: each clamped into its
// range, an unknown shade mode taken as kFlat, a border width of 0 or less
// taken as the default 1.
AeroSettings AeroSettingsFrom(int alpha, int faceShade, int borderShade, int shadeMode, int cornerRadius,
                              int borderWidth);

// The application style sheet for a skin under settings: flat buttons with
// hover and pressed states, thin-bordered lists and edit boxes, label and
// window colours. It never sets the text colour of edit boxes, which the
// program sets itself.
std::string BuildStyleSheet(const SkinColours& skin, const AeroSettings& settings);
