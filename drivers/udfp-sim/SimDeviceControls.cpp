// The control side of the emulated handset: attachment, identity, stores, faults, state.
#include <algorithm>
#include <cstring>

#include "SampleContent.h"
#include "SimDevice.h"
#include "platform/AtomicFile.h"

// ---- controls ----------------------------------------------------------------------------------

std::int32_t CSimDevice::Plug() {
  std::lock_guard lock(m_mutex);
  EnsureStartedLocked();
  if (m_plugged) {
    return 0;
  }
  m_plugged = true;
  ++m_generation;
  NotifyHotplugLocked(true);
  return 1;
}

std::int32_t CSimDevice::Unplug() {
  std::lock_guard lock(m_mutex);
  EnsureStartedLocked();
  if (!m_plugged) {
    return 0;
  }
  UnplugLocked();
  return 1;
}

std::int32_t CSimDevice::IsPlugged() {
  std::lock_guard lock(m_mutex);
  return m_plugged ? 1 : 0;
}

void CSimDevice::FreshLocked() {
  m_stores.ResetToDefaults();
  m_firmware.ResetSettings();
  m_vendorId = UDFP_SIM_VENDOR_ID;
  m_productId = UDFP_SIM_PRODUCT_ID;
  m_inbox.clear();
  m_events.clear();
  m_currentEvent = SimEvent{};
  m_pipeReplies.clear();
  m_driverStatus = 0;
  m_applicationMode = 0;
  m_silentRequests = 0;
  m_failVendor = 0;
  m_failPipe = 0;
  m_stallPipe = 0;
  m_unplugAfterBlock = UDFP_SIM_NEVER;
  m_unplugAfterObjects = 0;
  m_responseDelayMs = 0;
  m_counters = UdfpSimCounters{};
  m_pipeReady.notify_all();
  m_firmwareWake.notify_all();
}

std::int32_t CSimDevice::Reset() {
  {
    std::lock_guard lock(m_mutex);
    FreshLocked();
    StoresChangedLocked();
  }
  FlushPendingSave();
  return 1;
}

std::int32_t CSimDevice::SetUsbIds(std::uint32_t vendorId, std::uint32_t productId) {
  std::lock_guard lock(m_mutex);
  m_vendorId = vendorId & 0xFFFF;
  m_productId = productId & 0xFFFF;
  return 1;
}

std::int32_t CSimDevice::SetDeviceInfo(const std::uint8_t* info) {
  if (info == nullptr) {
    return 0;
  }
  {
    std::lock_guard lock(m_mutex);
    std::array<std::uint8_t, 16> bytes{};
    std::copy(info, info + bytes.size(), bytes.begin());
    m_stores.SetDeviceInfo(bytes);
    StoresChangedLocked();
  }
  FlushPendingSave();
  return 1;
}

std::int32_t CSimDevice::GetDeviceInfoBytes(std::uint8_t* info) {
  if (info == nullptr) {
    return 0;
  }
  std::lock_guard lock(m_mutex);
  std::copy(m_stores.DeviceInfo().begin(), m_stores.DeviceInfo().end(), info);
  return 1;
}

std::int32_t CSimDevice::SetModelField(std::uint32_t field, std::uint32_t value) {
  bool ok = false;
  {
    std::lock_guard lock(m_mutex);
    ok = m_stores.SetModelField(field, value);
    if (ok) {
      StoresChangedLocked();
    }
  }
  FlushPendingSave();
  return ok ? 1 : 0;
}

std::int32_t CSimDevice::SetCapacity(std::uint32_t kind, std::uint32_t items) {
  bool ok = false;
  {
    std::lock_guard lock(m_mutex);
    ok = m_stores.SetCapacity(kind, items);
    if (ok) {
      StoresChangedLocked();
    }
  }
  FlushPendingSave();
  return ok ? 1 : 0;
}

std::int32_t CSimDevice::GetCapacity(std::uint32_t kind) {
  std::lock_guard lock(m_mutex);
  const auto capacity = m_stores.Capacity(kind);
  return capacity ? static_cast<std::int32_t>(*capacity) : -1;
}

std::int32_t CSimDevice::SetMemorySize(std::uint32_t bytes) {
  {
    std::lock_guard lock(m_mutex);
    m_stores.SetMemorySize(bytes);
    StoresChangedLocked();
  }
  FlushPendingSave();
  return 1;
}

std::int32_t CSimDevice::SetFreeKilobytes(std::uint32_t kilobytes) {
  {
    std::lock_guard lock(m_mutex);
    const std::uint64_t size = static_cast<std::uint64_t>(m_stores.UsedBytes()) + kilobytes * 1024ull;
    if (size > 0xFFFFFFFFull) {
      return 0;
    }
    m_stores.SetMemorySize(static_cast<std::uint32_t>(size));
    StoresChangedLocked();
  }
  FlushPendingSave();
  return 1;
}

std::uint32_t CSimDevice::GetFreeBytes() {
  std::lock_guard lock(m_mutex);
  return m_stores.FreeBytes();
}

std::int32_t CSimDevice::StoreCount(std::uint32_t kind) {
  std::lock_guard lock(m_mutex);
  const auto* items = m_stores.Items(kind);
  return items != nullptr ? static_cast<std::int32_t>(items->size()) : -1;
}

std::int32_t CSimDevice::StoreAdd(std::uint32_t kind, const std::uint8_t* data, std::uint32_t length) {
  if (data == nullptr && length > 0) {
    return 0;
  }
  std::uint32_t number = 0;
  {
    std::lock_guard lock(m_mutex);
    number = m_stores.Add(kind, std::span<const std::uint8_t>(data, length));
    if (number != 0) {
      StoresChangedLocked();
    }
  }
  FlushPendingSave();
  return static_cast<std::int32_t>(number);
}

std::int32_t CSimDevice::StoreGet(std::uint32_t kind, std::uint32_t position, std::uint8_t* buffer,
                                  std::uint32_t capacity, std::uint32_t* length, std::uint32_t* itemNumber) {
  std::lock_guard lock(m_mutex);
  const auto* items = m_stores.Items(kind);
  if (items == nullptr || position >= items->size() || length == nullptr) {
    return 0;
  }
  const auto& item = (*items)[position];
  *length = static_cast<std::uint32_t>(item.bytes.size());
  if (itemNumber != nullptr) {
    *itemNumber = item.number;
  }
  if (item.bytes.size() > capacity || (buffer == nullptr && !item.bytes.empty())) {
    return 0;
  }
  std::copy(item.bytes.begin(), item.bytes.end(), buffer);
  return 1;
}

std::int32_t CSimDevice::StoreClear(std::uint32_t kind) {
  {
    std::lock_guard lock(m_mutex);
    if (m_stores.Items(kind) == nullptr) {
      return 0;
    }
    m_stores.Clear(kind);
    StoresChangedLocked();
  }
  FlushPendingSave();
  return 1;
}

std::int32_t CSimDevice::StoreFill(std::uint32_t kind, std::uint32_t count) {
  std::int32_t added = 0;
  {
    std::lock_guard lock(m_mutex);
    if (m_stores.Items(kind) == nullptr) {
      return 0;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      const auto index = static_cast<std::uint32_t>(m_stores.Items(kind)->size() + 1);
      if (m_stores.Add(kind, CSampleContent::Make(kind, index)) == 0) {
        break;
      }
      ++added;
    }
    if (added > 0) {
      StoresChangedLocked();
    }
  }
  FlushPendingSave();
  return added;
}

std::int32_t CSimDevice::SilenceNextRequests(std::uint32_t count) {
  std::lock_guard lock(m_mutex);
  m_silentRequests = count;
  return 1;
}

std::int32_t CSimDevice::RefuseNextBlock(std::uint8_t code) {
  std::lock_guard lock(m_mutex);
  m_firmware.RefuseNextBlock(code);
  return 1;
}

std::int32_t CSimDevice::FailVendorRequests(std::uint32_t count) {
  std::lock_guard lock(m_mutex);
  m_failVendor = count;
  return 1;
}

std::int32_t CSimDevice::FailPipeTransfers(std::uint32_t count) {
  std::lock_guard lock(m_mutex);
  m_failPipe = count;
  return 1;
}

std::int32_t CSimDevice::StallPipeTransfers(std::uint32_t count) {
  std::lock_guard lock(m_mutex);
  m_stallPipe = count;
  return 1;
}

std::int32_t CSimDevice::RaiseDriverStatus(std::uint8_t status) {
  std::lock_guard lock(m_mutex);
  m_driverStatus = status;
  return 1;
}

std::int32_t CSimDevice::QueueEvent(std::uint32_t code, const std::uint8_t* data, std::uint32_t length) {
  std::lock_guard lock(m_mutex);
  if (!m_plugged || code > 0xFFFF || length > 0xFFFF || (data == nullptr && length > 0)) {
    return 0;
  }
  SimEvent event{static_cast<std::uint16_t>(code), {}};
  if (length > 0) {
    event.data.assign(data, data + length);
  }
  QueueEventLocked(std::move(event));
  return 1;
}

std::int32_t CSimDevice::UnplugAfterBlock(std::uint32_t block) {
  std::lock_guard lock(m_mutex);
  m_unplugAfterBlock = block;
  return 1;
}

std::int32_t CSimDevice::UnplugAfterObjects(std::uint32_t kind, std::uint32_t count) {
  std::lock_guard lock(m_mutex);
  if (count != 0 && count != UDFP_SIM_NEVER && !m_stores.Capacity(kind)) {
    return 0;  // the handset keeps no objects of that kind
  }
  m_unplugObjectKind = kind;
  m_unplugAfterObjects = count == UDFP_SIM_NEVER ? 0 : count;
  return 1;
}

bool CSimDevice::UnplugDueAfterObjectLocked(std::uint32_t kind) {
  if (m_unplugAfterObjects == 0 || kind != m_unplugObjectKind) {
    return false;
  }
  return --m_unplugAfterObjects == 0;
}

std::int32_t CSimDevice::SetResponseDelay(std::uint32_t milliseconds) {
  std::lock_guard lock(m_mutex);
  m_responseDelayMs = std::min<std::uint32_t>(milliseconds, UDFP_MAX_BLOCKING_MS);
  return 1;
}

std::int32_t CSimDevice::ClearFaults() {
  std::lock_guard lock(m_mutex);
  m_silentRequests = 0;
  m_failVendor = 0;
  m_failPipe = 0;
  m_stallPipe = 0;
  m_unplugAfterBlock = UDFP_SIM_NEVER;
  m_unplugAfterObjects = 0;
  m_driverStatus = 0;
  m_firmware.ClearFaults();
  return 1;
}

std::int32_t CSimDevice::SetPlayDuration(std::uint32_t milliseconds) {
  std::lock_guard lock(m_mutex);
  m_firmware.SetPlayDuration(milliseconds);
  return 1;
}

std::int32_t CSimDevice::EndPlay() {
  std::lock_guard lock(m_mutex);
  if (!m_firmware.EndPlay()) {
    return 0;
  }
  QueueEventLocked(SimEvent{UDFP_SIM_EVENT_PLAY_ENDED, {}});
  m_firmwareWake.notify_all();
  return 1;
}

std::int32_t CSimDevice::SetStatusByte(std::uint32_t index, std::uint8_t value) {
  if (index > 0xFFFF) {
    return 0;
  }
  std::lock_guard lock(m_mutex);
  m_firmware.SetStatusByte(static_cast<std::uint16_t>(index), value);
  return 1;
}

std::int32_t CSimDevice::GetState(UdfpSimState* state) {
  if (state == nullptr) {
    return 0;
  }
  std::lock_guard lock(m_mutex);
  *state = UdfpSimState{};
  state->plugged = m_plugged ? 1 : 0;
  state->deviceOpen = m_deviceHandle != 0 ? 1 : 0;
  state->polling = m_polling ? 1 : 0;
  state->sessionOpen = m_firmware.SessionOpen() ? 1 : 0;
  state->writing = m_firmware.Writing() ? 1 : 0;
  state->reading = m_firmware.Reading() ? 1 : 0;
  state->playing = m_firmware.Playing() ? 1 : 0;
  state->playingSlot = m_firmware.PlayingSlot();
  state->applicationMode = m_applicationMode;
  state->utilityState = m_firmware.UtilityState();
  state->pendingEvents = static_cast<std::uint32_t>(m_events.size());
  state->driverStatus = m_driverStatus;
  state->pipeReadsWaiting = m_pipeReadsWaiting;
  state->hotplugPending = static_cast<std::uint32_t>(m_hotplugNotes.size()) + (m_hotplugDelivering ? 1 : 0);
  return 1;
}

std::int32_t CSimDevice::GetCounters(UdfpSimCounters* counters) {
  if (counters == nullptr) {
    return 0;
  }
  std::lock_guard lock(m_mutex);
  *counters = m_counters;
  counters->blocksWritten = m_firmware.BlocksWritten();
  counters->blocksRead = m_firmware.BlocksRead();
  counters->blocksRefused = m_firmware.BlocksRefused();
  counters->objectsStored = m_firmware.ObjectsStored();
  counters->deleteRequests = m_firmware.DeleteRequests();
  counters->lastOperation = m_firmware.LastOperation();
  return 1;
}

std::int32_t CSimDevice::ResetCounters() {
  std::lock_guard lock(m_mutex);
  m_counters = UdfpSimCounters{};
  m_firmware.ResetCounters();
  return 1;
}

std::int32_t CSimDevice::SaveState(const char* path) {
  if (path == nullptr || *path == '\0') {
    return 0;
  }
  std::string image;
  {
    std::lock_guard lock(m_mutex);
    image = m_stores.Serialize();
  }
  return CAtomicFile::WriteWhole(path, image) ? 1 : 0;
}

std::int32_t CSimDevice::LoadState(const char* path) {
  if (path == nullptr) {
    return 0;
  }
  const auto image = ReadStateFile(path);
  if (!image) {
    return 0;
  }
  bool ok = false;
  {
    std::lock_guard lock(m_mutex);
    ok = m_stores.Deserialize(*image);
    if (ok) {
      StoresChangedLocked();
    }
  }
  FlushPendingSave();
  return ok ? 1 : 0;
}
