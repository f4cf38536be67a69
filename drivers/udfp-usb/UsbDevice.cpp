#include "UsbDevice.h"

#include <udfp.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/DebugLog.h"

std::atomic<int> CUsbDevice::s_live{0};
std::atomic<std::thread::id> CUsbDevice::s_eventThread{};
std::mutex CUsbDevice::s_deferredMutex;
std::vector<std::pair<libusb_device*, libusb_device_handle*>> CUsbDevice::s_deferred;

namespace {

using Clock = std::chrono::steady_clock;

// Whole-call budget of a blocking export, less a margin for libusb to cancel a timed-out
// transfer and for the caller's bookkeeping.
constexpr auto kCallBudget = std::chrono::milliseconds(UDFP_MAX_BLOCKING_MS - 100);
// How long closing waits for the pending interrupt transfer to report its cancellation.
constexpr auto kCancelWait = std::chrono::milliseconds(2000);
// Consecutive failed interrupt transfers after which polling gives up instead of spinning.
constexpr int kEventErrorLimit = 5;

unsigned RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  // libusb reads a time-out of 0 as "wait for ever": never pass it.
  return left < 1 ? 1u : static_cast<unsigned>(left);
}

uint32_t EndpointBit(uint8_t endpoint) {
  unsigned number = endpoint & 0x0Fu;
  return (endpoint & 0x80u) ? (1u << number) : (1u << (16 + number));
}

bool TryOpen(libusb_device* device, const CMatchIds& ids, libusb_device_handle** handle,
             libusb_device_descriptor& descriptor) {
  if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != ids.vendorId ||
      descriptor.idProduct != ids.productId) {
    return false;
  }
  int result = libusb_open(device, handle);
  if (result != 0) {
    ORVANE_TRACE("udfp-usb: open failed: %s", libusb_error_name(result));
    return false;
  }
  // A kernel driver bound to the interface is detached while we hold it and re-attached on
  // release; platforms without that feature just claim.
  libusb_set_auto_detach_kernel_driver(*handle, 1);
  result = libusb_claim_interface(*handle, CUsbDevice::kInterface);
  if (result != 0) {
    ORVANE_TRACE("udfp-usb: claiming interface %d failed: %s", CUsbDevice::kInterface, libusb_error_name(result));
    libusb_close(*handle);
    *handle = nullptr;
    return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<CUsbDevice> CUsbDevice::OpenFirst(libusb_context* context, const CMatchIds& ids) {
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(context, &list);
  std::shared_ptr<CUsbDevice> opened;
  for (ssize_t i = 0; i < count && !opened; ++i) {
    libusb_device_handle* handle = nullptr;
    libusb_device_descriptor descriptor{};
    if (TryOpen(list[i], ids, &handle, descriptor)) {
      opened.reset(new CUsbDevice(list[i], handle, descriptor));
    }
  }
  if (count >= 0) {
    libusb_free_device_list(list, 1);
  }
  return opened;
}

CUsbDevice::CUsbDevice(libusb_device* device, libusb_device_handle* handle, const libusb_device_descriptor& descriptor)
    : m_device(libusb_ref_device(device)),
      m_handle(handle),
      m_vendorId(descriptor.idVendor),
      m_productId(descriptor.idProduct) {
  ++s_live;
  ReadEndpoints();
  m_eventBuffer = std::make_unique<uint8_t[]>(m_eventPacketSize);
  m_eventTransfer = libusb_alloc_transfer(0);
}

CUsbDevice::~CUsbDevice() {
  // Only reached when no interrupt transfer is pending: a pending one holds a reference.
  if (m_eventTransfer != nullptr) {
    libusb_free_transfer(m_eventTransfer);
  }
  if (std::this_thread::get_id() == s_eventThread.load()) {
    std::lock_guard lock(s_deferredMutex);
    s_deferred.emplace_back(m_device, m_handle);
  } else {
    libusb_release_interface(m_handle, kInterface);
    libusb_close(m_handle);
    libusb_unref_device(m_device);
    --s_live;
  }
  m_released->store(true);
}

void CUsbDevice::CloseDeferred() {
  std::vector<std::pair<libusb_device*, libusb_device_handle*>> deferred;
  {
    std::lock_guard lock(s_deferredMutex);
    deferred.swap(s_deferred);
  }
  for (auto& [device, handle] : deferred) {
    libusb_release_interface(handle, kInterface);
    libusb_close(handle);
    libusb_unref_device(device);
    --s_live;
  }
}

void CUsbDevice::ReadEndpoints() {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(m_device, &config) != 0) {
    return;
  }
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& interface = config->interface[i];
    if (interface.num_altsetting < 1 || interface.altsetting[0].bInterfaceNumber != kInterface) {
      continue;
    }
    const libusb_interface_descriptor& setting = interface.altsetting[0];
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
      m_endpoints |= EndpointBit(endpoint.bEndpointAddress);
      if (endpoint.bEndpointAddress == kEventIn) {
        // Read whole packets so a handset that pads its record does not overflow the transfer.
        m_eventPacketSize = std::max<uint16_t>(8, endpoint.wMaxPacketSize & 0x7FFu);
      }
    }
  }
  libusb_free_config_descriptor(config);
}

bool CUsbDevice::HasEndpoint(uint8_t endpoint) const {
  return (m_endpoints & EndpointBit(endpoint)) != 0;
}

void CUsbDevice::MarkGone() {
  m_status.fetch_or(kStatusGone);
}

void CUsbDevice::NoteError(int error, uint8_t endpoint) {
  switch (error) {
    case LIBUSB_ERROR_NO_DEVICE:
      MarkGone();
      break;
    case LIBUSB_ERROR_TIMEOUT:
    case LIBUSB_ERROR_INTERRUPTED:
      // Not a fault of the driver (a silent handset, or the device being closed): the caller
      // sees the failed call and decides.
      break;
    case LIBUSB_ERROR_PIPE:
      m_status.fetch_or(kStatusTransferError);
      // A stalled bulk or interrupt endpoint stays halted until cleared; the control
      // endpoint recovers by itself at the next setup packet.
      if ((endpoint & 0x0Fu) != 0) {
        libusb_clear_halt(m_handle, endpoint);
      }
      break;
    default:
      m_status.fetch_or(kStatusTransferError);
      break;
  }
  ORVANE_TRACE("udfp-usb: endpoint 0x%02x: %s", endpoint, libusb_error_name(error));
}

bool CUsbDevice::VendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint16_t length,
                               uint8_t* buffer) {
  // Only vendor requests pass: a standard request (SET_CONFIGURATION, SET_INTERFACE...) sent
  // behind libusb's back would leave the claimed interface in an unknown state.
  if ((requestType & LIBUSB_REQUEST_TYPE_VENDOR) == 0 || (requestType & LIBUSB_REQUEST_TYPE_CLASS) != 0) {
    return false;
  }
  if ((length != 0 && buffer == nullptr) || m_closed.load() || IsGone()) {
    return false;
  }
  bool in = (requestType & LIBUSB_ENDPOINT_IN) != 0;
  std::vector<uint8_t> packet(LIBUSB_CONTROL_SETUP_SIZE + length);
  libusb_fill_control_setup(packet.data(), requestType, request, value, index, length);
  if (!in && length != 0) {
    std::memcpy(packet.data() + LIBUSB_CONTROL_SETUP_SIZE, buffer, length);
  }
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (transfer == nullptr) {
    return false;
  }
  libusb_fill_control_transfer(transfer, m_handle, packet.data(), nullptr, nullptr, 0);
  int actual = 0;
  int result = RunTransfer(transfer, Clock::now() + kCallBudget, &actual);
  libusb_free_transfer(transfer);
  if (result != 0) {
    NoteError(result, 0);
    return false;
  }
  if (in) {
    std::memcpy(buffer, packet.data() + LIBUSB_CONTROL_SETUP_SIZE, static_cast<size_t>(actual));
  }
  if (actual != length) {
    // A short answer would leave stale bytes in the caller's buffer that look like a reply.
    ORVANE_TRACE("udfp-usb: vendor request 0x%02x moved %d of %u bytes", request, actual, length);
    if (in) {
      std::memset(buffer + actual, 0, length - static_cast<size_t>(actual));
    }
    return false;
  }
  return true;
}

void CUsbDevice::WaitForEnd(libusb_transfer* transfer, Completion& completion, Clock::time_point deadline) {
  std::unique_lock lock(completion.mutex);
  // libusb ends the transfer at its time-out; the extra second only guards against a time-out
  // that is never handled, after which the transfer is cancelled. Either way the transfer has
  // finished with the caller's buffers before this returns.
  if (!completion.done.wait_until(lock, deadline + std::chrono::seconds(1), [&] { return completion.finished; })) {
    libusb_cancel_transfer(transfer);
    completion.done.wait(lock, [&] { return completion.finished; });
  }
}

int CUsbDevice::RunTransfer(libusb_transfer* transfer, std::chrono::steady_clock::time_point deadline, int* actual) {
  // Transfers are submitted here and completed on the library's event thread, which alone
  // runs libusb event handling; so callbacks never run on a caller's thread.
  Completion completion;
  transfer->user_data = &completion;
  transfer->timeout = RemainingMs(deadline);
  transfer->callback = [](libusb_transfer* t) {
    auto* c = static_cast<Completion*>(t->user_data);
    std::lock_guard lock(c->mutex);
    c->finished = true;
    c->done.notify_all();
  };
  {
    // Checked under the same lock Close() takes, so no transfer slips past its cancelling.
    std::lock_guard inflight(m_inflightMutex);
    if (m_closed.load()) {
      return LIBUSB_ERROR_INTERRUPTED;
    }
    int result = libusb_submit_transfer(transfer);
    if (result != 0) {
      return result;
    }
    m_inflight.push_back(transfer);
  }
  WaitForEnd(transfer, completion, deadline);
  {
    std::lock_guard inflight(m_inflightMutex);
    m_inflight.erase(std::find(m_inflight.begin(), m_inflight.end(), transfer));
  }
  *actual = std::max(transfer->actual_length, 0);
  switch (transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED:
      return 0;
    case LIBUSB_TRANSFER_TIMED_OUT:
      return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_CANCELLED:
      return LIBUSB_ERROR_INTERRUPTED;
    case LIBUSB_TRANSFER_STALL:
      return LIBUSB_ERROR_PIPE;
    case LIBUSB_TRANSFER_NO_DEVICE:
      return LIBUSB_ERROR_NO_DEVICE;
    case LIBUSB_TRANSFER_OVERFLOW:
      return LIBUSB_ERROR_OVERFLOW;
    default:
      return LIBUSB_ERROR_IO;
  }
}

CPipeGate& CUsbDevice::EndpointGate(uint8_t endpoint) {
  return (endpoint & LIBUSB_ENDPOINT_IN) ? m_inGate : m_outGate;
}

bool CUsbDevice::BulkTransfer(uint8_t endpoint, uint8_t* buffer, uint32_t length, uint32_t* transferred) {
  *transferred = 0;
  if ((length != 0 && buffer == nullptr) || length > static_cast<uint32_t>(INT_MAX) || m_closed.load() || IsGone()) {
    return false;
  }
  // Transfers on one pipe run one at a time, so blocks reach the handset in call order; a
  // caller queued behind another spends its wait out of the same budget.
  auto deadline = Clock::now() + kCallBudget;
  CPipeGate& gate = EndpointGate(endpoint);
  if (!gate.EnterBefore(deadline)) {
    return false;
  }
  struct LeaveOnReturn {
    CPipeGate& gate;
    ~LeaveOnReturn() { gate.Leave(); }
  } leave{gate};
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (transfer == nullptr) {
    return false;
  }
  libusb_fill_bulk_transfer(transfer, m_handle, endpoint, buffer, static_cast<int>(length), nullptr, nullptr, 0);
  int actual = 0;
  int result = RunTransfer(transfer, deadline, &actual);
  libusb_free_transfer(transfer);
  *transferred = static_cast<uint32_t>(std::max(actual, 0));
  if (result == 0) {
    return (endpoint & LIBUSB_ENDPOINT_IN) || *transferred == length;
  }
  NoteError(result, endpoint);
  // Bytes already read cannot be put back: hand them over rather than lose them.
  return result == LIBUSB_ERROR_TIMEOUT && (endpoint & LIBUSB_ENDPOINT_IN) && actual > 0;
}

bool CUsbDevice::StartPolling() {
  if (!HasEndpoint(kEventIn) || m_eventTransfer == nullptr || m_closed.load() || IsGone()) {
    return false;
  }
  std::lock_guard lock(m_eventMutex);
  m_polling = true;
  m_eventErrors = 0;
  if (m_eventPending || m_eventParked) {
    return true;
  }
  if (!SubmitEventTransfer()) {
    m_polling = false;
    return false;
  }
  return true;
}

bool CUsbDevice::SubmitEventTransfer() {
  libusb_fill_interrupt_transfer(m_eventTransfer, m_handle, kEventIn, m_eventBuffer.get(), m_eventPacketSize,
                                 &CUsbDevice::EventTransferDone, this, 0);
  int result = libusb_submit_transfer(m_eventTransfer);
  if (result != 0) {
    NoteError(result, kEventIn);
    return false;
  }
  m_eventPending = true;
  m_eventParked = false;
  m_selfWhilePending = shared_from_this();
  return true;
}

void LIBUSB_CALL CUsbDevice::EventTransferDone(libusb_transfer* transfer) {
  static_cast<CUsbDevice*>(transfer->user_data)->OnEventTransfer(transfer);
}

void CUsbDevice::OnEventTransfer(libusb_transfer* transfer) {
  std::shared_ptr<CUsbDevice> keepUntilReturn;
  std::unique_lock lock(m_eventMutex);
  m_eventPending = false;
  bool again = m_polling;
  switch (transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED:
      m_eventErrors = 0;
      // A record needs at least its code and data length; shorter packets carry nothing usable.
      if (transfer->actual_length >= 4) {
        EventRecord record{};
        std::memcpy(record.data(), transfer->buffer, std::min<size_t>(record.size(), transfer->actual_length));
        m_events.push_back(record);
      }
      break;
    case LIBUSB_TRANSFER_CANCELLED:
      again = false;
      break;
    case LIBUSB_TRANSFER_NO_DEVICE:
      MarkGone();
      again = false;
      break;
    case LIBUSB_TRANSFER_STALL:
      NoteError(LIBUSB_ERROR_PIPE, kEventIn);
      again = again && ++m_eventErrors < kEventErrorLimit;
      break;
    default:
      NoteError(LIBUSB_ERROR_IO, kEventIn);
      again = again && ++m_eventErrors < kEventErrorLimit;
      break;
  }
  if (again && m_events.size() >= kEventQueueLimit) {
    m_eventParked = true;
    again = false;
  }
  if (!(again && SubmitEventTransfer())) {
    if (m_polling && !m_eventParked) {
      ORVANE_TRACE("udfp-usb: event polling ended");
      m_polling = false;
    }
    // Released after the lock: it may be the last reference, and the device then closes here.
    keepUntilReturn = std::move(m_selfWhilePending);
    m_eventIdle.notify_all();
  }
}

bool CUsbDevice::TakeEvent(EventRecord& record) {
  std::lock_guard lock(m_eventMutex);
  if (m_events.empty()) {
    return false;
  }
  record = m_events.front();
  m_events.pop_front();
  if (m_eventParked && m_polling && m_events.size() < kEventQueueLimit && !SubmitEventTransfer()) {
    m_polling = false;
    m_eventParked = false;
  }
  return true;
}

void CUsbDevice::StopPolling(bool mayWait) {
  std::unique_lock lock(m_eventMutex);
  m_polling = false;
  m_eventParked = false;
  m_events.clear();
  if (m_eventPending) {
    libusb_cancel_transfer(m_eventTransfer);
    if (mayWait) {
      m_eventIdle.wait_for(lock, kCancelWait, [this] { return !m_eventPending; });
    }
  }
}

void CUsbDevice::Close(bool mayWait) {
  {
    std::lock_guard inflight(m_inflightMutex);
    m_closed.store(true);
    for (libusb_transfer* transfer : m_inflight) {
      libusb_cancel_transfer(transfer);
    }
  }
  StopPolling(mayWait);
}
