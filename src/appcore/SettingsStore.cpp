#include "appcore/SettingsStore.h"

#include <algorithm>
#include <cstring>
#include <vector>

CSettingsStore::CSettingsStore(std::unique_ptr<ISettingsBackend> backend) : m_backend(std::move(backend)) {}

CSettingsStore::~CSettingsStore() = default;

bool CSettingsStore::ReadOrCreate(const std::string& key, const std::string& name, SettingType type, void* data,
                                  std::uint32_t& size) {
  if (!m_backend || data == nullptr || !m_backend->CreateKey(key)) {
    return false;
  }
  std::vector<std::uint8_t> stored;
  if (m_backend->Read(key, name, type, stored)) {
    if (stored.size() > size) {
      // The caller's buffer cannot hold the value: its default stays in effect.
      return false;
    }
    std::memcpy(data, stored.data(), stored.size());
    size = static_cast<std::uint32_t>(stored.size());
    return true;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return m_backend->Write(key, name, type, std::vector<std::uint8_t>(bytes, bytes + size));
}

bool CSettingsStore::Write(const std::string& key, const std::string& name, SettingType type, const void* data,
                           std::uint32_t size) {
  if (!m_backend || (data == nullptr && size != 0) || !m_backend->CreateKey(key)) {
    return false;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return m_backend->Write(key, name, type, std::vector<std::uint8_t>(bytes, bytes + size));
}

bool CSettingsStore::DeleteValue(const std::string& key, const std::string& name) {
  return m_backend && m_backend->Delete(key, name);
}

std::uint32_t CSettingsStore::ReadOrCreateDword(const std::string& key, const std::string& name,
                                                std::uint32_t defaultValue) {
  std::uint32_t value = defaultValue;
  std::uint32_t size = sizeof value;
  if (!ReadOrCreate(key, name, REG_DWORD, &value, size) || size != sizeof value) {
    return defaultValue;
  }
  return value;
}

std::string CSettingsStore::ReadOrCreateString(const std::string& key, const std::string& name,
                                               const std::string& defaultValue) {
  std::string value;
  if (ReadString(key, name, value)) {
    return value;
  }
  WriteString(key, name, defaultValue);
  return defaultValue;
}

bool CSettingsStore::WriteDword(const std::string& key, const std::string& name, std::uint32_t value) {
  return Write(key, name, REG_DWORD, &value, sizeof value);
}

bool CSettingsStore::WriteString(const std::string& key, const std::string& name, const std::string& value) {
  return Write(key, name, REG_SZ, value.c_str(), static_cast<std::uint32_t>(value.size() + 1));
}

bool CSettingsStore::ReadString(const std::string& key, const std::string& name, std::string& value) {
  std::vector<std::uint8_t> stored;
  if (!m_backend || !m_backend->Read(key, name, REG_SZ, stored)) {
    return false;
  }
  const auto end = std::find(stored.begin(), stored.end(), std::uint8_t{0});
  value.assign(stored.begin(), end);
  return true;
}

std::string CSettingsStore::ReadIni(const std::string& section, const std::string& key,
                                    const std::filesystem::path& file) {
  const CIniProfile::Result result = m_ini.Read(file, section, key, kIniBufferChars);
  // A value that filled the buffer (32766 characters) was cut: it counts as empty.
  if (result.characters >= kIniBufferChars - 1) {
    return {};
  }
  return result.text;
}
