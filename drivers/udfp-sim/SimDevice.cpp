#include "SimDevice.h"

#include "platform/WholeFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "SampleContent.h"
#include "platform/AtomicFile.h"

namespace {

constexpr std::uint8_t kRequestNumber = 3;
constexpr std::uint16_t kEventDataValue = 0;
constexpr std::uint16_t kStatusByteValue = 1;
constexpr std::uint32_t kInterfaceNumber = 2;
constexpr std::uint32_t kMaxPipeTransfer = 1024;
constexpr std::uint32_t kDeviceHandleBase = 0x5100;
constexpr std::uint32_t kPipeHandleBase = 0x00710000;
// A pipe read waits this long when the handset has nothing in hand that would answer it,
// and at most this long when it is still working on a block.
constexpr auto kIdleReadWait = std::chrono::milliseconds(100);
constexpr auto kBusyReadWait = std::chrono::milliseconds(2000);
constexpr auto kMaxReadWait = std::chrono::milliseconds(UDFP_MAX_BLOCKING_MS - 500);

}  // namespace

CSimDevice& CSimDevice::Instance() {
  static CSimDevice device;
  return device;
}

CSimDevice::CSimDevice() {
  bool restored = false;
  if (const char* plugged = std::getenv("ORVANE_SIM_PLUGGED"); plugged != nullptr && std::strcmp(plugged, "0") == 0) {
    m_plugged = false;
  }
  if (const char* path = std::getenv("ORVANE_SIM_STATE"); path != nullptr && *path != '\0') {
    m_statePath = path;
    // A missing or damaged file leaves the fresh handset; the next change rewrites it.
    if (auto image = ReadStateFile(path)) {
      restored = m_stores.Deserialize(*image);
    }
  }
  if (const char* samples = std::getenv("ORVANE_SIM_SAMPLES");
      !restored && samples != nullptr && std::strcmp(samples, "1") == 0) {
    AddSamplesLocked();
  }
}

void CSimDevice::AddSamplesLocked() {
  constexpr std::pair<std::uint32_t, std::uint32_t> kSamples[] = {{UDFP_SIM_KIND_PHONEBOOK, 5},
                                                                  {UDFP_SIM_KIND_CALLER_LIST, 3},
                                                                  {UDFP_SIM_KIND_WALLPAPER, 2},
                                                                  {UDFP_SIM_KIND_PICTURE_ID, 2},
                                                                  {UDFP_SIM_KIND_MELODY, 2}};
  for (const auto& [kind, count] : kSamples) {
    for (std::uint32_t index = 1; index <= count; ++index) {
      m_stores.Add(kind, CSampleContent::Make(kind, index));
    }
  }
}

CSimDevice::~CSimDevice() {
  StopThreads();
}

std::optional<std::string> CSimDevice::ReadStateFile(const char* path) {
  return ReadWholeFile(path, kMaxStateFileBytes);
}

// ---- threads -------------------------------------------------------------------------------

void CSimDevice::EnsureStartedLocked() {
  if (m_running) {
    return;
  }
  m_running = true;
  m_stopping = false;
  ++m_threadEpoch;
  m_firmwareThread = std::thread(&CSimDevice::FirmwareLoop, this, m_threadEpoch);
  m_hotplugThread = std::thread(&CSimDevice::HotplugLoop, this, m_threadEpoch);
}

void CSimDevice::StopThreads() {
  std::thread firmware;
  std::thread hotplug;
  {
    std::lock_guard lock(m_mutex);
    if (!m_running) {
      return;
    }
    m_stopping = true;
    m_running = false;
    ++m_threadEpoch;
    firmware = std::move(m_firmwareThread);
    hotplug = std::move(m_hotplugThread);
  }
  m_firmwareWake.notify_all();
  m_pipeReady.notify_all();
  m_hotplugWake.notify_all();
  firmware.join();
  if (hotplug.get_id() == std::this_thread::get_id()) {
    hotplug.detach();  // terminated from inside a hotplug callback: the loop ends on return
  } else {
    hotplug.join();
  }
}

void CSimDevice::FirmwareLoop(std::uint64_t epoch) {
  std::unique_lock lock(m_mutex);
  while (!m_stopping && epoch == m_threadEpoch) {
    if (!m_inbox.empty()) {
      Command command = std::move(m_inbox.front());
      m_inbox.pop_front();
      Process(lock, std::move(command));
      continue;
    }
    if (auto deadline = m_firmware.PlayDeadline()) {
      if (Clock::now() >= *deadline) {
        m_firmware.EndPlay();
        QueueEventLocked(SimEvent{UDFP_SIM_EVENT_PLAY_ENDED, {}});
        continue;
      }
      m_firmwareWake.wait_until(lock, *deadline);
    } else {
      m_firmwareWake.wait(lock);
    }
  }
}

void CSimDevice::Process(std::unique_lock<std::mutex>& lock, Command command) {
  m_firmwareBusy = true;
  const std::uint64_t generation = m_generation;
  if (m_responseDelayMs > 0) {
    const auto until = Clock::now() + std::chrono::milliseconds(m_responseDelayMs);
    m_firmwareWake.wait_until(lock, until, [&] { return m_stopping || m_generation != generation; });
  }
  // Work that was in flight when the handset was unplugged is lost with it.
  if (m_stopping || !m_plugged || m_generation != generation) {
    m_firmwareBusy = false;
    m_pipeReady.notify_all();
    return;
  }
  bool changed = false;
  if (command.isBlock) {
    auto result = m_firmware.HandleBlock(command.bytes);
    changed = result.storesChanged;
    const bool objectDue = result.committedKind && UnplugDueAfterObjectLocked(*result.committedKind);
    if (result.blockNumber && *result.blockNumber == m_unplugAfterBlock) {
      m_unplugAfterBlock = UDFP_SIM_NEVER;
      UnplugLocked();
    } else if (objectDue) {
      UnplugLocked();
    } else {
      m_pipeReplies.push_back(std::move(result.reply));
    }
  } else {
    // A new request means the host has moved on: answers to blocks it never collected
    // must not be taken for answers to the blocks that follow.
    m_pipeReplies.clear();
    auto result = m_firmware.HandleRequest(command.value, command.bytes, Clock::now());
    changed = result.storesChanged;
    if (result.reply && !command.silent) {
      ++m_counters.requestsAnswered;
      QueueEventLocked(std::move(*result.reply));
    }
  }
  m_firmwareBusy = false;
  m_pipeReady.notify_all();
  if (changed) {
    StoresChangedLocked();
    lock.unlock();
    FlushPendingSave();
    lock.lock();
  }
}

void CSimDevice::HotplugLoop(std::uint64_t epoch) {
  m_hotplugThreadId.store(std::this_thread::get_id());
  // A loop detached by a shutdown from inside its own callback must not run on beside
  // the loop of a later start: it ends as soon as its epoch has passed.
  auto ended = [&] { return m_stopping || epoch != m_threadEpoch; };
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      m_hotplugWake.wait(lock, [&] { return ended() || !m_hotplugNotes.empty(); });
      if (ended()) {
        break;
      }
    }
    // The note is taken under the callback lock so that a registration, which clears the
    // queue under the same lock, never sees an older note delivered to a newer callback.
    std::lock_guard callbackLock(m_callbackMutex);
    HotplugNote note;
    {
      std::lock_guard lock(m_mutex);
      if (ended()) {
        break;
      }
      if (m_hotplugNotes.empty()) {
        continue;
      }
      note = m_hotplugNotes.front();
      m_hotplugNotes.pop_front();
      m_hotplugDelivering = true;
    }
    if (m_callback != nullptr) {
      m_callback(m_callbackContext, note.arrived ? 1 : 0, note.vendorId, note.productId);
    }
    std::lock_guard lock(m_mutex);
    m_hotplugDelivering = false;
  }
  std::thread::id self = std::this_thread::get_id();
  m_hotplugThreadId.compare_exchange_strong(self, std::thread::id{});
}

// ---- helpers -------------------------------------------------------------------------------

bool CSimDevice::IsOpenDevice(std::uint32_t device) const {
  return m_plugged && m_deviceHandle != 0 && device == m_deviceHandle;
}

const CSimDevice::PipeRef* CSimDevice::FindPipe(std::uint32_t pipe) const {
  auto it = m_pipes.find(pipe);
  if (it == m_pipes.end() || it->second.generation != m_generation || !m_plugged) {
    return nullptr;
  }
  return &it->second;
}

void CSimDevice::QueueEventLocked(SimEvent event) {
  m_events.push_back(std::move(event));
}

void CSimDevice::UnplugLocked() {
  m_plugged = false;
  ++m_generation;
  m_deviceHandle = 0;
  m_pipes.clear();
  m_polling = false;
  m_inbox.clear();
  m_events.clear();
  m_currentEvent = SimEvent{};
  m_pipeReplies.clear();
  m_driverStatus = 0;
  m_firmware.PowerCycle();
  NotifyHotplugLocked(false);
  m_pipeReady.notify_all();
  m_firmwareWake.notify_all();
}

void CSimDevice::NotifyHotplugLocked(bool arrived) {
  m_hotplugNotes.push_back(HotplugNote{arrived, m_vendorId, m_productId});
  m_hotplugWake.notify_all();
}

bool CSimDevice::TakeFaultCount(std::uint32_t& counter) {
  if (counter == 0) {
    return false;
  }
  --counter;
  return true;
}

void CSimDevice::StoresChangedLocked() {
  if (m_statePath.empty()) {
    return;
  }
  m_pendingImage = m_stores.Serialize();
  m_pendingSequence = ++m_saveSequence;
}

void CSimDevice::FlushPendingSave() {
  std::string image;
  std::string path;
  std::uint64_t sequence = 0;
  {
    std::lock_guard lock(m_mutex);
    if (m_pendingSequence == 0) {
      return;
    }
    image = std::move(m_pendingImage);
    sequence = m_pendingSequence;
    m_pendingImage.clear();
    m_pendingSequence = 0;
    path = m_statePath;
  }
  std::lock_guard saveLock(m_saveMutex);
  if (sequence > m_savedSequence) {
    CAtomicFile::WriteWhole(path, image);
    m_savedSequence = sequence;
  }
}

// ---- driver interface -----------------------------------------------------------------------

std::uint32_t CSimDevice::Open() {
  std::lock_guard lock(m_mutex);
  EnsureStartedLocked();
  if (!m_plugged || m_deviceHandle != 0) {
    return UDFP_INVALID_HANDLE;
  }
  m_deviceHandle = kDeviceHandleBase + (m_nextSerial++ & 0xFFFF);
  m_polling = false;
  // Events nobody collected before this open belong to no one.
  m_events.clear();
  m_currentEvent = SimEvent{};
  ++m_counters.opens;
  return m_deviceHandle;
}

std::int32_t CSimDevice::StartPolling(std::uint32_t device, std::uint32_t enable) {
  std::lock_guard lock(m_mutex);
  EnsureStartedLocked();
  if (!IsOpenDevice(device)) {
    return 0;
  }
  m_polling = enable != 0;
  return 1;
}

std::int32_t CSimDevice::StopPolling(std::uint32_t device) {
  std::lock_guard lock(m_mutex);
  if (!IsOpenDevice(device)) {
    return 0;
  }
  m_polling = false;
  return 1;
}

std::int32_t CSimDevice::Close(std::uint32_t device) {
  std::lock_guard lock(m_mutex);
  if (device == 0 || device != m_deviceHandle) {
    return 0;
  }
  m_deviceHandle = 0;
  m_polling = false;
  m_pipes.clear();
  ++m_counters.closes;
  m_pipeReady.notify_all();
  return 1;
}

std::int32_t CSimDevice::ChangeApplicationMode(std::uint32_t device, std::uint32_t mode) {
  std::lock_guard lock(m_mutex);
  if (!IsOpenDevice(device) || mode < 1 || mode > 4) {
    return 0;
  }
  m_applicationMode = mode;
  return 1;
}

std::int32_t CSimDevice::VendorRequest(std::uint32_t device, std::uint8_t type, std::uint8_t request,
                                       std::uint16_t value, std::uint16_t index, std::uint16_t length,
                                       std::uint8_t* buffer) {
  std::lock_guard lock(m_mutex);
  EnsureStartedLocked();
  if (!IsOpenDevice(device)) {
    return 0;
  }
  ++m_counters.vendorRequests;
  const bool toHost = (type & 0x80) != 0;
  ++(toHost ? m_counters.vendorRequestsIn : m_counters.vendorRequestsOut);
  m_counters.lastRequestType = type;
  m_counters.lastRequest = request;
  m_counters.lastValue = value;
  m_counters.lastIndex = index;
  m_counters.lastLength = length;
  std::memset(m_counters.lastPayload, 0, sizeof m_counters.lastPayload);
  if (!toHost && buffer != nullptr) {
    std::memcpy(m_counters.lastPayload, buffer, std::min<std::size_t>(length, sizeof m_counters.lastPayload));
  }
  if (TakeFaultCount(m_failVendor) || (length > 0 && buffer == nullptr)) {
    return 0;
  }
  if (type == UDFP_REQTYPE_OUT && request == kRequestNumber) {
    Command command;
    command.value = value;
    command.bytes.assign(buffer, buffer + length);
    command.silent = TakeFaultCount(m_silentRequests);
    m_inbox.push_back(std::move(command));
    m_firmwareWake.notify_all();
    return 1;
  }
  if (type == UDFP_REQTYPE_IN && request == 0 && value == kEventDataValue) {
    std::memset(buffer, 0, length);
    std::memcpy(buffer, m_currentEvent.data.data(), std::min<std::size_t>(length, m_currentEvent.data.size()));
    return 1;
  }
  if (type == UDFP_REQTYPE_IN && request == 0 && value == kStatusByteValue && length >= 1) {
    std::memset(buffer, 0, length);
    buffer[0] = m_firmware.StatusByte(index);
    return 1;
  }
  return 0;  // stalled: the handset knows no such request
}

std::int32_t CSimDevice::GetEventStatus(std::uint32_t device, std::uint8_t* record, std::uint32_t size,
                                        std::uint32_t* count) {
  std::lock_guard lock(m_mutex);
  EnsureStartedLocked();
  if (!IsOpenDevice(device) || record == nullptr || count == nullptr || size < UDFP_EVENT_RECORD_SIZE) {
    return 0;
  }
  ++m_counters.eventPolls;
  if (!m_polling || m_events.empty()) {
    *count = 0;
    return 1;
  }
  m_currentEvent = std::move(m_events.front());
  m_events.pop_front();
  const auto length = static_cast<std::uint16_t>(m_currentEvent.data.size());
  std::memset(record, 0, size);
  record[0] = static_cast<std::uint8_t>(m_currentEvent.code);
  record[1] = static_cast<std::uint8_t>(m_currentEvent.code >> 8);
  record[2] = static_cast<std::uint8_t>(length);
  record[3] = static_cast<std::uint8_t>(length >> 8);
  *count = 1;
  ++m_counters.eventsDelivered;
  return 1;
}

std::uint32_t CSimDevice::OpenPipe(std::uint32_t device, std::uint32_t interfaceNumber, std::uint32_t pipe) {
  std::lock_guard lock(m_mutex);
  if (!IsOpenDevice(device) || interfaceNumber != kInterfaceNumber || (pipe != UDFP_PIPE_OUT && pipe != UDFP_PIPE_IN)) {
    return UDFP_INVALID_HANDLE;
  }
  const std::uint32_t handle = kPipeHandleBase + (m_nextSerial++ & 0xFFFF);
  m_pipes[handle] = PipeRef{pipe, m_generation};
  return handle;
}

std::int32_t CSimDevice::WriteData(std::uint32_t pipe, const std::uint8_t* buffer, std::uint32_t length,
                                   std::uint32_t* transferred) {
  std::lock_guard lock(m_mutex);
  if (transferred == nullptr) {
    return 0;
  }
  *transferred = 0;
  const PipeRef* ref = FindPipe(pipe);
  if (ref == nullptr || ref->number != UDFP_PIPE_OUT || (buffer == nullptr && length > 0)) {
    return 0;
  }
  ++m_counters.pipeWrites;
  if (TakeFaultCount(m_failPipe) || length > kMaxPipeTransfer) {
    return 0;
  }
  if (TakeFaultCount(m_stallPipe) || length == 0) {
    return 1;
  }
  Command command;
  command.isBlock = true;
  command.bytes.assign(buffer, buffer + length);
  m_inbox.push_back(std::move(command));
  m_firmwareWake.notify_all();
  *transferred = length;
  return 1;
}

std::int32_t CSimDevice::ReadData(std::uint32_t pipe, std::uint8_t* buffer, std::uint32_t capacity,
                                  std::uint32_t* transferred) {
  std::unique_lock lock(m_mutex);
  if (transferred == nullptr) {
    return 0;
  }
  *transferred = 0;
  const PipeRef* ref = FindPipe(pipe);
  if (ref == nullptr || ref->number != UDFP_PIPE_IN || buffer == nullptr) {
    return 0;
  }
  ++m_counters.pipeReads;
  if (TakeFaultCount(m_failPipe)) {
    return 0;
  }
  if (TakeFaultCount(m_stallPipe)) {
    return 1;
  }
  const bool working =
      m_firmwareBusy || std::any_of(m_inbox.begin(), m_inbox.end(), [](const Command& c) { return c.isBlock; });
  const auto wait =
      working ? std::min<Clock::duration>(kBusyReadWait + std::chrono::milliseconds(m_responseDelayMs), kMaxReadWait)
              : Clock::duration(kIdleReadWait);
  const std::uint64_t generation = m_generation;
  ++m_pipeReadsWaiting;
  m_pipeReady.wait_for(lock, wait, [&] {
    return !m_pipeReplies.empty() || m_stopping || m_generation != generation || m_pipes.count(pipe) == 0;
  });
  --m_pipeReadsWaiting;
  if (m_pipeReplies.empty() || m_generation != generation || m_pipes.count(pipe) == 0) {
    return 0;  // nothing moved in time, or the handset or the pipe went away
  }
  std::vector<std::uint8_t> reply = std::move(m_pipeReplies.front());
  m_pipeReplies.pop_front();
  if (reply.size() > capacity) {
    return 0;  // the host's buffer is too small: the packet is lost, as on the bus
  }
  std::memcpy(buffer, reply.data(), reply.size());
  *transferred = static_cast<std::uint32_t>(reply.size());
  return 1;
}

std::int32_t CSimDevice::ClosePipe(std::uint32_t pipe) {
  std::lock_guard lock(m_mutex);
  if (pipe == 0 || pipe == UDFP_INVALID_HANDLE) {
    return 1;
  }
  const bool closed = m_pipes.erase(pipe) > 0;
  m_pipeReady.notify_all();
  return closed ? 1 : 0;
}

std::int32_t CSimDevice::GetDriverStatus(std::uint32_t device, std::uint8_t* status) {
  std::lock_guard lock(m_mutex);
  if (!IsOpenDevice(device) || status == nullptr) {
    return 0;
  }
  ++m_counters.driverStatusReads;
  *status = m_driverStatus;
  return 1;
}

std::int32_t CSimDevice::ResetDriverStatus(std::uint32_t device) {
  std::lock_guard lock(m_mutex);
  if (!IsOpenDevice(device)) {
    return 0;
  }
  m_driverStatus = 0;
  return 1;
}

std::int32_t CSimDevice::GetDeviceInfo(std::uint32_t device, std::uint32_t* vendorId, std::uint32_t* productId) {
  std::lock_guard lock(m_mutex);
  if (!IsOpenDevice(device) || vendorId == nullptr || productId == nullptr) {
    return 0;
  }
  *vendorId = m_vendorId;
  *productId = m_productId;
  return 1;
}

std::int32_t CSimDevice::Terminate() {
  {
    std::lock_guard lock(m_mutex);
    m_deviceHandle = 0;
    m_polling = false;
    m_pipes.clear();
  }
  {
    // After unloading no callback may run; from inside a callback the mutex is ours already.
    const bool onHotplugThread = m_hotplugThreadId.load() == std::this_thread::get_id();
    std::unique_lock callbackLock(m_callbackMutex, std::defer_lock);
    if (!onHotplugThread) {
      callbackLock.lock();
    }
    m_callback = nullptr;
    m_callbackContext = nullptr;
  }
  StopThreads();
  FlushPendingSave();
  return 1;
}

std::int32_t CSimDevice::RegisterHotplug(UdfpHotplugCallback callback, void* context) {
  {
    std::lock_guard lock(m_mutex);
    EnsureStartedLocked();
  }
  const bool onHotplugThread = m_hotplugThreadId.load() == std::this_thread::get_id();
  std::unique_lock callbackLock(m_callbackMutex, std::defer_lock);
  if (!onHotplugThread) {
    callbackLock.lock();  // waits for a running callback to return
  }
  {
    // Only attachments and removals after the registration are reported.
    std::lock_guard lock(m_mutex);
    m_hotplugNotes.clear();
  }
  m_callback = callback;
  m_callbackContext = callback != nullptr ? context : nullptr;
  return 1;
}
