#include "app/AppStatus.h"

#include "app/SettingsStore.h"

#include <atomic>
#include <cstring>

namespace {

// Where each model field sits: byte, lowest bit, width. Fields run from the high bits to
// the low bits through bytes 0 to 11.
struct FieldPosition {
  std::uint8_t byte;
  std::uint8_t lowBit;
  std::uint8_t width;
};

constexpr FieldPosition kFields[65] = {
    {0, 5, 2},  {0, 4, 1},  {0, 3, 1},  {0, 2, 1},  {0, 1, 1},  {0, 0, 1},  {1, 5, 1},  {1, 4, 1},  {1, 0, 1},
    {2, 7, 1},  {2, 5, 1},  {2, 4, 1},  {2, 3, 1},  {2, 2, 1},  {2, 1, 1},  {2, 0, 1},  {3, 7, 1},  {3, 6, 1},
    {3, 5, 1},  {3, 0, 4},  {4, 7, 1},  {4, 5, 1},  {4, 4, 1},  {4, 3, 1},  {4, 2, 1},  {4, 0, 2},  {5, 6, 2},
    {5, 5, 1},  {5, 3, 1},  {5, 2, 1},  {5, 0, 2},  {6, 7, 1},  {6, 6, 1},  {6, 5, 1},  {6, 4, 1},  {6, 3, 1},
    {6, 2, 1},  {6, 1, 1},  {7, 7, 1},  {7, 6, 1},  {7, 5, 1},  {7, 4, 1},  {7, 3, 1},  {7, 2, 1},  {7, 1, 1},
    {7, 0, 1},  {8, 7, 1},  {8, 5, 2},  {8, 4, 1},  {8, 1, 1},  {9, 3, 1},  {9, 2, 1},  {9, 1, 1},  {9, 0, 1},
    {10, 7, 1}, {10, 6, 1}, {10, 5, 1}, {10, 4, 1}, {10, 3, 1}, {10, 2, 1}, {10, 1, 1}, {10, 0, 1}, {11, 4, 4},
    {11, 2, 2}, {11, 0, 2},
};

const char* const kApplicationNames[kApplicationCount] = {
    "BTManager", "UtilityMain",    "GW/TLSettingMain", "PhoneBook", "Image",     "Melody",
    "TAM",       "SoftwareUpdate", "GWSetting",        "TLSetting", "TLSetting", "VersionInfo",
};

}  // namespace

CAppStatus::CAppStatus(CSettingsStore* settings) : m_settings(settings) {}

CAppStatus::~CAppStatus() = default;

std::uint32_t CAppStatus::IndexOrLast(std::uint32_t index) {
  return index < kApplicationCount ? index : static_cast<std::uint32_t>(kApplicationCount - 1);
}

void CAppStatus::Register(std::uint32_t index, std::uint8_t flag, WindowHandle window) {
  if (index >= kApplicationCount) {
    return;
  }
  std::lock_guard lock(m_lock);
  std::atomic_ref(m_flags[index]).store(flag, std::memory_order_relaxed);
  std::atomic_ref(m_windows[index]).store(window, std::memory_order_relaxed);
}

void CAppStatus::Get(std::uint32_t index, std::uint8_t& flag, WindowHandle& window) const {
  if (index >= kApplicationCount) {
    flag = 0;
    window = 0;
    return;
  }
  flag = std::atomic_ref(const_cast<std::uint8_t&>(m_flags[index])).load(std::memory_order_relaxed);
  window = std::atomic_ref(const_cast<WindowHandle&>(m_windows[index])).load(std::memory_order_relaxed);
}

void CAppStatus::SetDeviceInfo(const std::uint8_t* info) {
  if (info == nullptr) {
    return;
  }
  std::lock_guard lock(m_lock);
  std::memcpy(m_deviceInfo.data(), info, kDeviceInfoSize);
}

std::array<std::uint8_t, kDeviceInfoSize> CAppStatus::DeviceInfo() const {
  std::lock_guard lock(m_lock);
  return m_deviceInfo;
}

void CAppStatus::SetConnected(std::uint32_t connected) {
  std::lock_guard lock(m_lock);
  std::atomic_ref(m_connected).store(connected, std::memory_order_relaxed);
}

std::uint32_t CAppStatus::IsConnected() const {
  return std::atomic_ref(const_cast<std::uint32_t&>(m_connected)).load(std::memory_order_relaxed);
}

bool CAppStatus::GetModelField(std::uint32_t field, std::uint32_t& value) const {
  if (field == 65) {
    if (m_settings == nullptr) {
      return false;
    }
    std::lock_guard registry(m_settings->RegistryMutex());
    value = m_settings->ReadOrCreateDword(kProductKey + "PhoneBook", "Entry", 50);
    return true;
  }
  if (field >= 65) {
    return false;
  }
  const FieldPosition& f = kFields[field];
  const std::array<std::uint8_t, kDeviceInfoSize> info = DeviceInfo();
  value = (info[f.byte] >> f.lowBit) & ((1u << f.width) - 1u);
  return true;
}

bool CAppStatus::GetBootValue(std::uint32_t index, std::uint32_t& value) const {
  const std::uint32_t app = IndexOrLast(index);
  const std::uint32_t defaultValue = (app == APP_PHONEBOOK || app == APP_IMAGE || app == APP_MELODY) ? 2 : 0;
  value = defaultValue;
  if (m_settings == nullptr) {
    return false;
  }
  std::lock_guard registry(m_settings->RegistryMutex());
  value = m_settings->ReadOrCreateDword(kProductKey + "Boot", ApplicationName(app), defaultValue);
  return true;
}

std::string CAppStatus::ApplicationName(std::uint32_t index) {
  return kApplicationNames[IndexOrLast(index)];
}
