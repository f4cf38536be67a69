// Shared pieces of the window-kit tests: the shipped language texts and the screenshot folder.
#pragma once

#include "appcore/LanguageStrings.h"
#include "appcore/SettingsStore.h"
#include "platform/MemorySettingsBackend.h"

#include <QDir>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace uitest {

inline constexpr int kLanguageCount = 4;

// The texts of one shipped language file, read from the build's program data folder.
class ShippedLanguage {
 public:
  explicit ShippedLanguage(int languageIndex)
      : m_settings(std::make_unique<CMemorySettingsBackend>()), m_strings(m_settings, ORVANE_OUTPUT_DIR) {
    m_loaded = m_strings.InitialLoad(languageIndex) == 0;
  }
  bool Loaded() const { return m_loaded; }
  std::string Text(std::int32_t id) const { return m_strings.GetString(id); }
  std::function<std::string(std::int32_t)> Lookup() const {
    return [this](std::int32_t id) { return m_strings.GetString(id); };
  }
  static std::string Name(int languageIndex) { return CLanguageStrings::LanguageName(languageIndex); }

 private:
  CSettingsStore m_settings;
  CLanguageStrings m_strings;
  bool m_loaded = false;
};

// <build>/screenshots, created on demand.
inline QString ScreenshotDir() {
  const QString dir = QDir(QStringLiteral(ORVANE_OUTPUT_DIR)).absoluteFilePath(QStringLiteral("../screenshots"));
  QDir().mkpath(dir);
  return QDir::cleanPath(dir);
}

inline bool SaveScreenshot(QWidget& widget, const QString& name) {
  return widget.grab().save(ScreenshotDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace uitest
