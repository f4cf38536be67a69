#include "appcore/AppStatus.h"

#include "ModelFieldLayout.h"
#include "appcore/SettingsStore.h"

#include <atomic>
#include <cstring>

namespace {

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
  if (field >= kDeviceInfoModelFields) {
    return false;
  }
  const ModelFieldPosition& f = kModelFieldPositions[field];
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
