#include "skin/jedata.h"

#include <QApplication>
#include <QString>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/system.h"
#include "skin/skin_format.h"
#include "skin/skin_style.h"

#define SKIN_EXPORT __attribute__((visibility("default")))

namespace {

// The skin attached last, kept so that adjustments start from it.
std::optional<SkinColours>& AttachedSkin() {
  static std::optional<SkinColours> skin;
  return skin;
}

QApplication* WidgetApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

// The file's bytes, at most one more than a skin may have (so that a larger
// file shows as too large without being read whole); nothing when it is not
// a regular file that can be read.
std::optional<std::string> ReadCapped(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(kMaxSkinFileSize + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void ApplyLook(QApplication& application, const SkinColours& skin, const AeroSettings& settings) {
  application.setStyleSheet(QString::fromStdString(BuildStyleSheet(skin, settings)));
}

int Attach(const char* skinFilePath, const char* password) {
  if (skinFilePath == nullptr) return kSkinNoPath;
  if (password != nullptr && password[0] != '\0') return kSkinPasswordRefused;
  QApplication* application = WidgetApplication();
  if (application == nullptr) return kSkinNoApplication;
  std::string path = MapWindowsPath(skinFilePath);
  if (path.empty()) return kSkinFileUnreadable;
  std::optional<std::string> bytes = ReadCapped(path);
  if (!bytes || bytes->size() > kMaxSkinFileSize) return kSkinFileUnreadable;
  std::optional<SkinColours> skin = ParseSkinFile(*bytes);
  if (!skin) return kSkinFileInvalid;
  ApplyLook(*application, *skin, AeroSettings{});
  AttachedSkin() = *skin;
  return kSkinOk;
}

int Adjust(const AeroSettings& settings) {
  QApplication* application = WidgetApplication();
  if (application == nullptr) return kSkinNoApplication;
  if (!AttachedSkin()) return kSkinNotAttached;
  ApplyLook(*application, *AttachedSkin(), settings);
  return kSkinOk;
}

}  // namespace

// Exceptions stop here: the caller is no C++ that could catch them.
extern "C" SKIN_EXPORT int SkinH_AttachEx(const char* skinFilePath, const char* password) {
  try {
    return Attach(skinFilePath, password);
  } catch (...) {
    return kSkinInternalError;
  }
}

extern "C" SKIN_EXPORT int SkinH_AdjustAero(int alpha, int faceShade, int borderShade, int shadeMode,
                                            int cornerRadius, int borderWidth, int /*reserved1*/,
                                            int /*reserved2*/, int /*reserved3*/) {
  try {
    return Adjust(AeroSettingsFrom(alpha, faceShade, borderShade, shadeMode, cornerRadius, borderWidth));
  } catch (...) {
    return kSkinInternalError;
  }
}
