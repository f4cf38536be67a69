#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Value types of the settings store, numbered as the registry numbers them.
enum SettingType : std::uint32_t {
  REG_SZ = 1,
  REG_BINARY = 3,
  REG_DWORD = 4,
};

// Where settings are kept. Keys are backslash-separated paths such as
// "Software\Vorlandix\VX-RM1276series\Boot"; value names are case-sensitive as given.
// A REG_DWORD is 4 little-endian bytes, a REG_SZ the text's bytes with its terminating zero.
class ISettingsBackend {
 public:
  virtual ~ISettingsBackend() = default;

  // Reads a value of the expected type; false when the key or value is missing or the
  // stored value cannot be read as that type.
  virtual bool Read(const std::string& key, const std::string& name, SettingType type,
                    std::vector<std::uint8_t>& data) = 0;
  virtual bool Write(const std::string& key, const std::string& name, SettingType type,
                     const std::vector<std::uint8_t>& data) = 0;
  virtual bool Delete(const std::string& key, const std::string& name) = 0;
  // Creates the key when it does not exist; false when it cannot be created.
  virtual bool CreateKey(const std::string& key) = 0;
};
