#pragma once

#include <libusb.h>
#include <udfp.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "HandleTable.h"
#include "MatchIds.h"

class CUsbDevice;

// The library's single state: the libusb context, the thread that runs libusb event handling
// (interrupt transfers and hotplug notifications complete there), the table of device and
// pipe handles, and the hotplug callback of the caller. The context and the thread start on
// first need and end in Terminate().
class CUsbDriver {
 public:
  static CUsbDriver& Instance();
  ~CUsbDriver();

  uint32_t Open();
  int32_t StartPolling(uint32_t device, uint32_t enable);
  int32_t StopPolling(uint32_t device);
  int32_t Close(uint32_t device);
  int32_t ChangeApplicationMode(uint32_t device, uint32_t mode);
  int32_t VendorRequest(uint32_t device, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint16_t length, uint8_t* buffer);
  int32_t GetEventStatus(uint32_t device, uint8_t* record, uint32_t recordSize, uint32_t* count);
  uint32_t OpenPipe(uint32_t device, uint32_t interfaceNumber, uint32_t pipe);
  int32_t Transfer(uint32_t pipe, bool write, uint8_t* buffer, uint32_t length, uint32_t* transferred);
  int32_t ClosePipe(uint32_t pipe);
  int32_t GetDriverStatus(uint32_t device, uint8_t* status);
  int32_t ResetDriverStatus(uint32_t device);
  int32_t GetDeviceInfo(uint32_t device, uint32_t* vendorId, uint32_t* productId);
  int32_t Terminate();
  int32_t RegisterHotplug(UdfpHotplugCallback callback, void* context);

 private:
  CUsbDriver() = default;
  bool EnsureContext();  // m_lifeMutex held
  void EventLoop();
  bool OnEventThread() const { return std::this_thread::get_id() == m_eventThreadId.load(); }
  static int LIBUSB_CALL HotplugThunk(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                      void* user);
  void OnHotplug(libusb_device* device, libusb_hotplug_event event);
  // Whether libusb still lists the device (false once it has learnt of its removal).
  bool IsAttached(const CUsbDevice& device);

  // Serialises start-up and shutdown of the context against opening devices.
  std::mutex m_lifeMutex;
  libusb_context* m_context = nullptr;
  CMatchIds m_ids;
  std::thread m_eventThread;
  std::atomic<std::thread::id> m_eventThreadId{};
  std::atomic<bool> m_stopEvents{false};
  bool m_hotplugWatched = false;
  libusb_hotplug_callback_handle m_hotplugHandle{};

  CHandleTable m_handles;

  // Held while the caller's hotplug callback runs, so replacing or clearing the callback
  // waits for a call in progress to finish.
  std::mutex m_callbackMutex;
  UdfpHotplugCallback m_callback = nullptr;
  void* m_callbackContext = nullptr;
};
