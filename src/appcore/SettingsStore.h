#pragma once

#include "platform/IniProfile.h"
#include "platform/SettingsBackend.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

// The product key under which every setting lives; subkeys are appended directly.
inline const std::string kProductKey = "Software\\Vorlandix\\VX-RM1276series\\";

// USB identifiers of the supported handset, the defaults of "VendorID" and "ProductID".
inline constexpr std::uint32_t kDefaultVendorId = 0x3A7E;
inline constexpr std::uint32_t kDefaultProductId = 0x1276;

// The only road to the settings and to INI files. Settings are read with a default that
// is written back when missing, so after a first run every setting is visible and
// editable. Callers hold the registry lock around settings calls and the INI lock around
// INI reads; the operations take no lock themselves. Both locks are re-entrant.
class CSettingsStore {
 public:
  explicit CSettingsStore(std::unique_ptr<ISettingsBackend> backend);
  virtual ~CSettingsStore();

  void LockRegistry() { m_registryLock.lock(); }
  void UnlockRegistry() { m_registryLock.unlock(); }
  void LockIni() { m_iniLock.lock(); }
  void UnlockIni() { m_iniLock.unlock(); }
  std::recursive_mutex& RegistryMutex() { return m_registryLock; }
  std::recursive_mutex& IniMutex() { return m_iniLock; }

  // Opens or creates the key; reads the value into data when it can be read, otherwise
  // writes data (type, size bytes) as the value, which makes it the default. size is the
  // buffer size on entry and the value's size on return. True on success.
  bool ReadOrCreate(const std::string& key, const std::string& name, SettingType type, void* data, std::uint32_t& size);
  bool Write(const std::string& key, const std::string& name, SettingType type, const void* data, std::uint32_t size);
  bool DeleteValue(const std::string& key, const std::string& name);

  // Typed forms of read-or-create and write; the value keeps the default on failure.
  std::uint32_t ReadOrCreateDword(const std::string& key, const std::string& name, std::uint32_t defaultValue);
  std::string ReadOrCreateString(const std::string& key, const std::string& name, const std::string& defaultValue);
  bool WriteDword(const std::string& key, const std::string& name, std::uint32_t value);
  bool WriteString(const std::string& key, const std::string& name, const std::string& value);
  // Reads without creating; false when missing (the auto start-up check needs that).
  bool ReadString(const std::string& key, const std::string& name, std::string& value);

  // Profile-string read with a buffer of 32767 characters; a value that fills the buffer
  // counts as empty.
  std::string ReadIni(const std::string& section, const std::string& key, const std::filesystem::path& file);

  static constexpr std::size_t kIniBufferChars = 32767;

  ISettingsBackend& Backend() { return *m_backend; }

 private:
  std::unique_ptr<ISettingsBackend> m_backend;
  CIniProfile m_ini;
  std::recursive_mutex m_registryLock;
  std::recursive_mutex m_iniLock;
};
