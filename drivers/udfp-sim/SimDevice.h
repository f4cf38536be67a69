#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "HandsetFirmware.h"
#include "HandsetStores.h"
#include "udfp_sim.h"

// The emulated handset as the driver library sees it: USB attachment, the device and pipe
// handles, the event queue, the bulk pipes, the driver status byte, hotplug, fault
// injection and counters. The firmware runs on a thread of its own and answers requests
// and blocks as they arrive; a second thread delivers hotplug callbacks. One lock guards
// all state; callbacks and file writes run outside it.
class CSimDevice {
 public:
  static CSimDevice& Instance();

  CSimDevice();
  ~CSimDevice();
  CSimDevice(const CSimDevice&) = delete;
  CSimDevice& operator=(const CSimDevice&) = delete;

  // Driver interface.
  std::uint32_t Open();
  std::int32_t StartPolling(std::uint32_t device, std::uint32_t enable);
  std::int32_t StopPolling(std::uint32_t device);
  std::int32_t Close(std::uint32_t device);
  std::int32_t ChangeApplicationMode(std::uint32_t device, std::uint32_t mode);
  std::int32_t VendorRequest(std::uint32_t device, std::uint8_t type, std::uint8_t request, std::uint16_t value,
                             std::uint16_t index, std::uint16_t length, std::uint8_t* buffer);
  std::int32_t GetEventStatus(std::uint32_t device, std::uint8_t* record, std::uint32_t size, std::uint32_t* count);
  std::uint32_t OpenPipe(std::uint32_t device, std::uint32_t interfaceNumber, std::uint32_t pipe);
  std::int32_t WriteData(std::uint32_t pipe, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* transferred);
  std::int32_t ReadData(std::uint32_t pipe, std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* transferred);
  std::int32_t ClosePipe(std::uint32_t pipe);
  std::int32_t GetDriverStatus(std::uint32_t device, std::uint8_t* status);
  std::int32_t ResetDriverStatus(std::uint32_t device);
  std::int32_t GetDeviceInfo(std::uint32_t device, std::uint32_t* vendorId, std::uint32_t* productId);
  std::int32_t Terminate();
  std::int32_t RegisterHotplug(UdfpHotplugCallback callback, void* context);

  // Controls.
  std::int32_t Plug();
  std::int32_t Unplug();
  std::int32_t IsPlugged();
  std::int32_t Reset();
  std::int32_t SetUsbIds(std::uint32_t vendorId, std::uint32_t productId);
  std::int32_t SetDeviceInfo(const std::uint8_t* info);
  std::int32_t GetDeviceInfoBytes(std::uint8_t* info);
  std::int32_t SetModelField(std::uint32_t field, std::uint32_t value);
  std::int32_t SetCapacity(std::uint32_t kind, std::uint32_t items);
  std::int32_t GetCapacity(std::uint32_t kind);
  std::int32_t SetMemorySize(std::uint32_t bytes);
  std::int32_t SetFreeKilobytes(std::uint32_t kilobytes);
  std::uint32_t GetFreeBytes();
  std::int32_t StoreCount(std::uint32_t kind);
  std::int32_t StoreAdd(std::uint32_t kind, const std::uint8_t* data, std::uint32_t length);
  std::int32_t StoreGet(std::uint32_t kind, std::uint32_t position, std::uint8_t* buffer, std::uint32_t capacity,
                        std::uint32_t* length, std::uint32_t* itemNumber);
  std::int32_t StoreClear(std::uint32_t kind);
  std::int32_t StoreFill(std::uint32_t kind, std::uint32_t count);
  std::int32_t SilenceNextRequests(std::uint32_t count);
  std::int32_t RefuseNextBlock(std::uint8_t code);
  std::int32_t FailVendorRequests(std::uint32_t count);
  std::int32_t FailPipeTransfers(std::uint32_t count);
  std::int32_t StallPipeTransfers(std::uint32_t count);
  std::int32_t RaiseDriverStatus(std::uint8_t status);
  std::int32_t QueueEvent(std::uint32_t code, const std::uint8_t* data, std::uint32_t length);
  std::int32_t UnplugAfterBlock(std::uint32_t block);
  std::int32_t UnplugAfterObjects(std::uint32_t kind, std::uint32_t count);
  std::int32_t SetResponseDelay(std::uint32_t milliseconds);
  std::int32_t ClearFaults();
  std::int32_t SetPlayDuration(std::uint32_t milliseconds);
  std::int32_t EndPlay();
  std::int32_t SetStatusByte(std::uint32_t index, std::uint8_t value);
  std::int32_t GetState(UdfpSimState* state);
  std::int32_t GetCounters(UdfpSimCounters* counters);
  std::int32_t ResetCounters();
  std::int32_t SaveState(const char* path);
  std::int32_t LoadState(const char* path);

 private:
  using Clock = std::chrono::steady_clock;

  // Work for the firmware thread: a host-to-device request or a written block.
  struct Command {
    bool isBlock = false;
    bool silent = false;
    std::uint16_t value = 0;
    std::vector<std::uint8_t> bytes;
  };
  struct HotplugNote {
    bool arrived = false;
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
  };
  struct PipeRef {
    std::uint32_t number = 0;
    std::uint64_t generation = 0;
  };

  void EnsureStartedLocked();
  void StopThreads();
  void FirmwareLoop(std::uint64_t epoch);
  void HotplugLoop(std::uint64_t epoch);
  void Process(std::unique_lock<std::mutex>& lock, Command command);
  bool IsOpenDevice(std::uint32_t device) const;
  const PipeRef* FindPipe(std::uint32_t pipe) const;
  void QueueEventLocked(SimEvent event);
  void UnplugLocked();
  void NotifyHotplugLocked(bool arrived);
  void FreshLocked();
  void AddSamplesLocked();
  // Persistence: the image is taken under the lock, written after it is released.
  void StoresChangedLocked();
  void FlushPendingSave();
  bool TakeFaultCount(std::uint32_t& counter);
  // Counts a stored object against the armed unplug; true when the cable goes now.
  bool UnplugDueAfterObjectLocked(std::uint32_t kind);
  // A state file holds at most the emulated memory and its lists; anything larger is not one.
  static constexpr std::size_t kMaxStateFileBytes = 256u * 1024u * 1024u;
  static std::optional<std::string> ReadStateFile(const char* path);

  std::mutex m_mutex;
  std::condition_variable m_firmwareWake;
  std::condition_variable m_pipeReady;
  std::condition_variable m_hotplugWake;
  std::thread m_firmwareThread;
  std::thread m_hotplugThread;
  bool m_running = false;
  bool m_stopping = false;
  std::uint64_t m_threadEpoch = 0;  // a loop whose epoch has passed ends

  CHandsetStores m_stores;
  CHandsetFirmware m_firmware{m_stores};

  bool m_plugged = true;
  std::uint64_t m_generation = 1;  // changes on every plug, unplug and close
  std::uint32_t m_deviceHandle = 0;
  std::uint32_t m_nextSerial = 1;
  std::map<std::uint32_t, PipeRef> m_pipes;
  bool m_polling = false;
  std::uint32_t m_applicationMode = 0;
  std::uint32_t m_vendorId = UDFP_SIM_VENDOR_ID;
  std::uint32_t m_productId = UDFP_SIM_PRODUCT_ID;
  std::uint8_t m_driverStatus = 0;

  std::deque<Command> m_inbox;
  bool m_firmwareBusy = false;
  std::deque<SimEvent> m_events;
  SimEvent m_currentEvent;
  std::deque<std::vector<std::uint8_t>> m_pipeReplies;

  std::uint32_t m_silentRequests = 0;
  std::uint32_t m_failVendor = 0;
  std::uint32_t m_failPipe = 0;
  std::uint32_t m_stallPipe = 0;
  std::uint32_t m_unplugAfterBlock = UDFP_SIM_NEVER;
  std::uint32_t m_unplugObjectKind = 0;
  std::uint32_t m_unplugAfterObjects = 0;  // objects of that kind still to store; 0 disarmed
  std::uint32_t m_responseDelayMs = 0;
  UdfpSimCounters m_counters{};

  std::deque<HotplugNote> m_hotplugNotes;
  bool m_hotplugDelivering = false;  // a note was taken and its callback has not returned
  std::uint32_t m_pipeReadsWaiting = 0;
  std::mutex m_callbackMutex;  // held while a hotplug callback runs
  UdfpHotplugCallback m_callback = nullptr;
  void* m_callbackContext = nullptr;
  std::atomic<std::thread::id> m_hotplugThreadId{};

  std::string m_statePath;
  std::uint64_t m_saveSequence = 0;
  std::string m_pendingImage;
  std::uint64_t m_pendingSequence = 0;
  std::mutex m_saveMutex;  // orders file writes; never held together with m_mutex
  std::uint64_t m_savedSequence = 0;
};
