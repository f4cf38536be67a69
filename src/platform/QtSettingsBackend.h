#pragma once

#include "platform/SettingsBackend.h"

#include <QSettings>
#include <memory>
#include <mutex>

// Settings in the desktop's native per-user store through QSettings: on Linux the file
// $XDG_CONFIG_HOME/Vorlandix/VX-RM1276series.conf, on Windows the registry. Keys under the
// product key become groups of that file ("...\VX-RM1276series\Boot" -> [Boot]); values of
// the product key itself are top-level values. No administrator rights are needed.
class CQtSettingsBackend : public ISettingsBackend {
 public:
  CQtSettingsBackend();
  // A store in an explicit INI file (tests, portable use).
  explicit CQtSettingsBackend(const QString& iniFile);
  ~CQtSettingsBackend() override;

  bool Read(const std::string& key, const std::string& name, SettingType type,
            std::vector<std::uint8_t>& data) override;
  bool Write(const std::string& key, const std::string& name, SettingType type,
             const std::vector<std::uint8_t>& data) override;
  bool Delete(const std::string& key, const std::string& name) override;
  bool CreateKey(const std::string& key) override;

  QString FileName() const;

 private:
  static QString SettingPath(const std::string& key, const std::string& name);
  bool Flush();

  std::mutex m_mutex;
  std::unique_ptr<QSettings> m_settings;
};
