#pragma once

#include "platform/SettingsBackend.h"

#include <map>
#include <mutex>
#include <set>

// Settings kept in memory, for tests. Failures can be switched on to exercise the
// callers' fallbacks to their defaults.
class CMemorySettingsBackend : public ISettingsBackend {
 public:
  bool Read(const std::string& key, const std::string& name, SettingType type,
            std::vector<std::uint8_t>& data) override;
  bool Write(const std::string& key, const std::string& name, SettingType type,
             const std::vector<std::uint8_t>& data) override;
  bool Delete(const std::string& key, const std::string& name) override;
  bool CreateKey(const std::string& key) override;

  bool HasValue(const std::string& key, const std::string& name) const;
  bool HasKey(const std::string& key) const;
  void SetFailing(bool failing);

 private:
  struct Stored {
    SettingType type;
    std::vector<std::uint8_t> data;
  };
  static std::string Lower(const std::string& text);

  mutable std::mutex m_mutex;
  std::set<std::string> m_keys;
  std::map<std::pair<std::string, std::string>, Stored> m_values;
  bool m_failing = false;
};
