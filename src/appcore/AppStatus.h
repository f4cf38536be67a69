#pragma once

#include "platform/WindowMessage.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

class CSettingsStore;

// Application indices: the open windows are recorded under these.
enum ApplicationIndex : std::uint8_t {
  APP_BT_MANAGER = 0,
  APP_UTILITY_MAIN = 1,
  APP_GW_TL_SETTING_MAIN = 2,
  APP_PHONEBOOK = 3,
  APP_IMAGE = 4,
  APP_MELODY = 5,
  APP_TAM = 6,
  APP_SOFTWARE_UPDATE = 7,
  APP_GW_SETTING = 8,
  APP_TL_SETTING = 9,
  APP_TL_SETTING_2 = 10,
  APP_VERSION_INFO = 11,
};

inline constexpr std::size_t kApplicationCount = 12;
inline constexpr std::size_t kDeviceInfoSize = 16;
inline constexpr std::uint32_t kModelFieldCount = 66;

// Which application windows are open, whether the handset is connected, and the
// handset's 16 bytes of device information with the model fields decoded from them.
// Setters take the lock; Get and IsConnected read single words without it.
class CAppStatus {
 public:
  explicit CAppStatus(CSettingsStore* settings);
  virtual ~CAppStatus();

  void Register(std::uint32_t index, std::uint8_t flag, WindowHandle window);
  void Get(std::uint32_t index, std::uint8_t& flag, WindowHandle& window) const;

  void SetDeviceInfo(const std::uint8_t* info);
  std::array<std::uint8_t, kDeviceInfoSize> DeviceInfo() const;
  void SetConnected(std::uint32_t connected);
  std::uint32_t IsConnected() const;

  // Field 0..64 from the device information, 65 from the "Entry" setting; false for any
  // other index.
  bool GetModelField(std::uint32_t field, std::uint32_t& value) const;
  // The "Boot" availability of an application: 0 absent, 1 disabled, 2 available.
  bool GetBootValue(std::uint32_t index, std::uint32_t& value) const;

  static std::string ApplicationName(std::uint32_t index);

 private:
  static std::uint32_t IndexOrLast(std::uint32_t index);

  CSettingsStore* m_settings;
  mutable std::mutex m_lock;
  std::array<std::uint8_t, kApplicationCount> m_flags{};
  std::array<WindowHandle, kApplicationCount> m_windows{};
  std::array<std::uint8_t, kDeviceInfoSize> m_deviceInfo{};
  std::uint32_t m_connected = 0;
};
