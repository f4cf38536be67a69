#include "platform/MemorySettingsBackend.h"

#include <algorithm>
#include <cctype>

// Registry key names are case-insensitive; value names are compared as given.
std::string CMemorySettingsBackend::Lower(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool CMemorySettingsBackend::Read(const std::string& key, const std::string& name, SettingType type,
                                  std::vector<std::uint8_t>& data) {
  std::lock_guard lock(m_mutex);
  if (m_failing) {
    return false;
  }
  const auto it = m_values.find({Lower(key), name});
  if (it == m_values.end() || it->second.type != type) {
    return false;
  }
  data = it->second.data;
  return true;
}

bool CMemorySettingsBackend::Write(const std::string& key, const std::string& name, SettingType type,
                                   const std::vector<std::uint8_t>& data) {
  std::lock_guard lock(m_mutex);
  if (m_failing) {
    return false;
  }
  m_keys.insert(Lower(key));
  m_values[{Lower(key), name}] = Stored{type, data};
  return true;
}

bool CMemorySettingsBackend::Delete(const std::string& key, const std::string& name) {
  std::lock_guard lock(m_mutex);
  if (m_failing) {
    return false;
  }
  return m_values.erase({Lower(key), name}) != 0;
}

bool CMemorySettingsBackend::CreateKey(const std::string& key) {
  std::lock_guard lock(m_mutex);
  if (m_failing) {
    return false;
  }
  m_keys.insert(Lower(key));
  return true;
}

bool CMemorySettingsBackend::HasValue(const std::string& key, const std::string& name) const {
  std::lock_guard lock(m_mutex);
  return m_values.count({Lower(key), name}) != 0;
}

bool CMemorySettingsBackend::HasKey(const std::string& key) const {
  std::lock_guard lock(m_mutex);
  return m_keys.count(Lower(key)) != 0;
}

void CMemorySettingsBackend::SetFailing(bool failing) {
  std::lock_guard lock(m_mutex);
  m_failing = failing;
}
