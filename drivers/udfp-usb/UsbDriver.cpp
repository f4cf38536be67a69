#include "UsbDriver.h"

#include <chrono>
#include <cstring>

#include <pthread.h>

#include "UsbDevice.h"
#include "UsbPipe.h"
#include "platform/DebugLog.h"

namespace {

// The application mode travels as its own vendor request: number 4 (apart from the protocol's
// request 3), the mode 1..4 in the value field, no data stage.
constexpr uint8_t kModeRequest = 4;
constexpr uint32_t kInterfaceNumber = 2;
// How long closing waits for cancelled transfers to let go of the device.
constexpr auto kReleaseWait = std::chrono::milliseconds(1500);
// How long shutdown waits for transfers still in progress to let go of their devices.
constexpr auto kShutdownWait = std::chrono::milliseconds(2 * UDFP_MAX_BLOCKING_MS);

}  // namespace

CUsbDriver& CUsbDriver::Instance() {
  // Destroyed when the library is unloaded; the destructor ends the threads should the
  // caller have skipped UdfpTerminateDLL.
  static CUsbDriver driver;
  return driver;
}

CUsbDriver::~CUsbDriver() {
  Terminate();
}

bool CUsbDriver::EnsureContext() {
  if (m_context != nullptr) {
    return true;
  }
  libusb_context* context = nullptr;
  int result = libusb_init(&context);
  if (result != 0) {
    ORVANE_TRACE("udfp-usb: libusb_init failed: %s", libusb_error_name(result));
    return false;
  }
  m_context = context;
  m_ids = CMatchIds::FromEnvironment();
  m_stopEvents.store(false);
  m_eventThread = std::thread(&CUsbDriver::EventLoop, this);
  // Named for diagnostics (top, gdb); set here so the name is in place when this returns.
  pthread_setname_np(m_eventThread.native_handle(), "udfp-usb-events");
  if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
    result = libusb_hotplug_register_callback(
        m_context, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, LIBUSB_HOTPLUG_NO_FLAGS,
        m_ids.vendorId, m_ids.productId, LIBUSB_HOTPLUG_MATCH_ANY, &CUsbDriver::HotplugThunk, this, &m_hotplugHandle);
    m_hotplugWatched = result == LIBUSB_SUCCESS;
  }
  return true;
}

void CUsbDriver::EventLoop() {
  m_eventThreadId.store(std::this_thread::get_id());
  CUsbDevice::SetEventThread(std::this_thread::get_id());
  while (!m_stopEvents.load()) {
    timeval interval{0, 250000};
    int result = libusb_handle_events_timeout_completed(m_context, &interval, nullptr);
    if (result != 0 && result != LIBUSB_ERROR_INTERRUPTED) {
      // Do not spin on a failing poll; the next round may succeed.
      ORVANE_TRACE("udfp-usb: event handling failed: %s", libusb_error_name(result));
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

int LIBUSB_CALL CUsbDriver::HotplugThunk(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                                         void* user) {
  static_cast<CUsbDriver*>(user)->OnHotplug(device, event);
  return 0;  // stay registered
}

void CUsbDriver::OnHotplug(libusb_device* device, libusb_hotplug_event event) {
  bool arrived = event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
  if (!arrived) {
    for (const auto& open : m_handles.All<CUsbDevice>()) {
      if (open->Is(device)) {
        open->MarkGone();
      }
    }
  }
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != 0) {
    return;
  }
  std::lock_guard lock(m_callbackMutex);
  if (m_callback != nullptr) {
    m_callback(m_callbackContext, arrived ? 1 : 0, descriptor.idVendor, descriptor.idProduct);
  }
}

int32_t CUsbDriver::RegisterHotplug(UdfpHotplugCallback callback, void* context) {
  if (callback != nullptr) {
    std::lock_guard life(m_lifeMutex);
    if (!EnsureContext() || !m_hotplugWatched) {
      return 0;
    }
  }
  if (OnEventThread()) {
    // Called from inside our own callback: this thread already holds the callback lock, and
    // the call in progress is the caller's own, so no further call starts after this one.
    m_callback = callback;
    m_callbackContext = context;
    return 1;
  }
  std::lock_guard lock(m_callbackMutex);
  m_callback = callback;
  m_callbackContext = context;
  return 1;
}

uint32_t CUsbDriver::Open() {
  std::lock_guard life(m_lifeMutex);
  if (!EnsureContext()) {
    return UDFP_INVALID_HANDLE;
  }
  // A handset closed on the event thread still holds its interface until closed here.
  CUsbDevice::CloseDeferred();
  auto device = CUsbDevice::OpenFirst(m_context, m_ids);
  if (!device) {
    return UDFP_INVALID_HANDLE;
  }
  uint32_t handle = m_handles.Add(device);
  if (handle == UDFP_INVALID_HANDLE) {
    device->Close(!OnEventThread());
  }
  return handle;
}

int32_t CUsbDriver::StartPolling(uint32_t device, uint32_t enable) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open) {
    return 0;
  }
  if (enable == 0) {
    open->StopPolling(!OnEventThread());
    return 1;
  }
  return open->StartPolling() ? 1 : 0;
}

int32_t CUsbDriver::StopPolling(uint32_t device) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open) {
    return 0;
  }
  open->StopPolling(!OnEventThread());
  return 1;
}

int32_t CUsbDriver::Close(uint32_t device) {
  auto open = m_handles.Remove<CUsbDevice>(device);
  if (!open) {
    return 0;
  }
  // Pipes of the device go with it: a forgotten pipe would otherwise keep the interface
  // claimed and the next open of the handset would fail.
  m_handles.RemoveIf([&](const CHandleObject& object) {
    auto* pipe = dynamic_cast<const CUsbPipe*>(&object);
    return pipe != nullptr && pipe->Device() == open;
  });
  bool onEventThread = OnEventThread();
  open->Close(!onEventThread);
  if (!onEventThread) {
    // Transfers still ending hold the device for a moment; once they let go the interface is
    // released, so the handset can be opened again as soon as this returns.
    auto released = open->ReleasedFlag();
    open.reset();
    auto deadline = std::chrono::steady_clock::now() + kReleaseWait;
    while (!released->load() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    CUsbDevice::CloseDeferred();
  }
  return 1;
}

int32_t CUsbDriver::ChangeApplicationMode(uint32_t device, uint32_t mode) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open || mode < 1 || mode > 4) {
    return 0;
  }
  return open->VendorRequest(UDFP_REQTYPE_OUT, kModeRequest, static_cast<uint16_t>(mode), 0, 0, nullptr) ? 1 : 0;
}

int32_t CUsbDriver::VendorRequest(uint32_t device, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                  uint16_t length, uint8_t* buffer) {
  auto open = m_handles.Find<CUsbDevice>(device);
  return open && open->VendorRequest(requestType, request, value, index, length, buffer) ? 1 : 0;
}

int32_t CUsbDriver::GetEventStatus(uint32_t device, uint8_t* record, uint32_t recordSize, uint32_t* count) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open || record == nullptr || count == nullptr || recordSize < UDFP_EVENT_RECORD_SIZE) {
    return 0;
  }
  if (*count == 0) {
    return 1;  // nothing asked for
  }
  CUsbDevice::EventRecord taken{};
  if (open->TakeEvent(taken)) {
    std::memcpy(record, taken.data(), UDFP_EVENT_RECORD_SIZE);
    *count = 1;
    return 1;
  }
  *count = 0;
  // Once the handset is gone no record can come: say so rather than "nothing yet".
  return open->IsGone() ? 0 : 1;
}

uint32_t CUsbDriver::OpenPipe(uint32_t device, uint32_t interfaceNumber, uint32_t pipe) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open || interfaceNumber != kInterfaceNumber || open->IsGone()) {
    return UDFP_INVALID_HANDLE;
  }
  uint8_t endpoint = 0;
  if (pipe == UDFP_PIPE_OUT) {
    endpoint = CUsbDevice::kBulkOut;
  } else if (pipe == UDFP_PIPE_IN) {
    endpoint = CUsbDevice::kBulkIn;
  } else {
    return UDFP_INVALID_HANDLE;
  }
  if (!open->HasEndpoint(endpoint)) {
    return UDFP_INVALID_HANDLE;
  }
  return m_handles.Add(std::make_shared<CUsbPipe>(open, endpoint));
}

int32_t CUsbDriver::Transfer(uint32_t pipe, bool write, uint8_t* buffer, uint32_t length, uint32_t* transferred) {
  if (transferred == nullptr) {
    return 0;
  }
  *transferred = 0;
  auto open = m_handles.Find<CUsbPipe>(pipe);
  // A write on the IN pipe (or the reverse) is the caller's mistake, not a transfer.
  if (!open || open->IsIn() == write) {
    return 0;
  }
  return open->Device()->BulkTransfer(open->Endpoint(), buffer, length, transferred) ? 1 : 0;
}

int32_t CUsbDriver::ClosePipe(uint32_t pipe) {
  if (pipe == 0 || pipe == UDFP_INVALID_HANDLE) {
    return 1;
  }
  return m_handles.Remove<CUsbPipe>(pipe) ? 1 : 0;
}

int32_t CUsbDriver::GetDriverStatus(uint32_t device, uint8_t* status) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open || status == nullptr) {
    return 0;
  }
  *status = open->Status();
  return 1;
}

int32_t CUsbDriver::ResetDriverStatus(uint32_t device) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open) {
    return 0;
  }
  open->ResetStatus();
  return 1;
}

int32_t CUsbDriver::GetDeviceInfo(uint32_t device, uint32_t* vendorId, uint32_t* productId) {
  auto open = m_handles.Find<CUsbDevice>(device);
  if (!open || vendorId == nullptr || productId == nullptr) {
    return 0;
  }
  // The identifiers of a handset that was unplugged would make the caller believe it is
  // still there, and take a handset plugged in again for the old one: fail instead.
  if (open->IsGone() || !IsAttached(*open)) {
    open->MarkGone();
    return 0;
  }
  *vendorId = open->VendorId();
  *productId = open->ProductId();
  return 1;
}

bool CUsbDriver::IsAttached(const CUsbDevice& device) {
  std::lock_guard life(m_lifeMutex);
  if (m_context == nullptr) {
    return false;
  }
  // libusb drops a device from its list as soon as it learns of the removal, which may be
  // before the hotplug notice reaches the event thread.
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(m_context, &list);
  if (count < 0) {
    return true;  // cannot tell: rely on the gone bit
  }
  bool attached = false;
  for (ssize_t i = 0; i < count && !attached; ++i) {
    attached = device.Is(list[i]);
  }
  libusb_free_device_list(list, 1);
  return attached;
}

int32_t CUsbDriver::Terminate() {
  if (OnEventThread()) {
    return 0;  // the event thread cannot end itself from inside a callback
  }
  {
    // First, outside the life lock: a callback in progress may itself call into the library.
    std::lock_guard lock(m_callbackMutex);
    m_callback = nullptr;
    m_callbackContext = nullptr;
  }
  std::lock_guard life(m_lifeMutex);
  if (m_context == nullptr) {
    return 1;
  }
  if (m_hotplugWatched) {
    libusb_hotplug_deregister_callback(m_context, m_hotplugHandle);
    m_hotplugWatched = false;
  }
  for (auto& object : m_handles.TakeAll()) {
    if (auto device = std::dynamic_pointer_cast<CUsbDevice>(object)) {
      device->Close(true);
    }
  }
  // Transfers still running on other threads hold their device until they end (each within
  // the blocking limit); the event thread must keep running to complete them.
  auto deadline = std::chrono::steady_clock::now() + kShutdownWait;
  while (CUsbDevice::LiveCount() > 0 && std::chrono::steady_clock::now() < deadline) {
    CUsbDevice::CloseDeferred();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  m_stopEvents.store(true);
  libusb_interrupt_event_handler(m_context);
  m_eventThread.join();
  m_eventThreadId.store(std::thread::id());
  CUsbDevice::SetEventThread(std::thread::id());
  CUsbDevice::CloseDeferred();
  if (CUsbDevice::LiveCount() == 0) {
    libusb_exit(m_context);
  } else {
    // A device still in use by a stuck caller: leaving the context is safer than freeing it
    // under that caller.
    ORVANE_TRACE("udfp-usb: %d device(s) still in use at shutdown", CUsbDevice::LiveCount());
  }
  m_context = nullptr;
  return 1;
}
