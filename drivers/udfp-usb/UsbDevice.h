#pragma once

#include <libusb.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "HandleObject.h"
#include "MatchIds.h"
#include "PipeGate.h"

// One opened handset: its libusb handle with interface 2 claimed, the bulk endpoints, the
// interrupt endpoint that delivers event records, and the driver status byte.
//
// Endpoints on interface 2: bulk OUT 0x05 (pipe 5), bulk IN 0x84 (pipe 4) and interrupt IN
// 0x83, whose transfers carry one 8-byte event record each. While polling is on, one interrupt
// transfer is pending (unless the queue is full); its completion (on the library's event
// thread) queues the record, and UdfpGetEventStatus takes records from that queue without
// waiting.
//
// Status byte: bit 0 = a transfer failed or an endpoint stalled since the last reset,
// bit 1 = the device is gone (stays set; the handle is of no further use).
class CUsbDevice : public CHandleObject, public std::enable_shared_from_this<CUsbDevice> {
 public:
  static constexpr int kInterface = 2;
  static constexpr uint8_t kBulkOut = 0x05;
  static constexpr uint8_t kBulkIn = 0x84;
  static constexpr uint8_t kEventIn = 0x83;
  static constexpr uint8_t kStatusTransferError = 0x01;
  static constexpr uint8_t kStatusGone = 0x02;
  // Records held for the caller; past this the interrupt endpoint is left unpolled so the
  // handset keeps its further events until the queue drains (nothing is dropped).
  static constexpr size_t kEventQueueLimit = 64;
  using EventRecord = std::array<uint8_t, 8>;

  // Opens the first device with the identifiers that can be opened and whose interface 2 can
  // be claimed; null when there is none.
  static std::shared_ptr<CUsbDevice> OpenFirst(libusb_context* context, const CMatchIds& ids);
  ~CUsbDevice() override;
  CUsbDevice(const CUsbDevice&) = delete;
  CUsbDevice& operator=(const CUsbDevice&) = delete;

  uint16_t VendorId() const { return m_vendorId; }
  uint16_t ProductId() const { return m_productId; }
  bool Is(libusb_device* device) const { return device == m_device; }
  bool HasEndpoint(uint8_t endpoint) const;

  // One control transfer of a vendor request; true when all `length` bytes moved.
  bool VendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint16_t length,
                     uint8_t* buffer);
  // One bulk transfer on the endpoint. A write succeeds when every byte went out; a read
  // when it ends without error, or times out after moving some bytes.
  bool BulkTransfer(uint8_t endpoint, uint8_t* buffer, uint32_t length, uint32_t* transferred);

  bool StartPolling();
  // Stops polling and drops queued records. Waits for the pending interrupt transfer to end
  // unless `mayWait` is false (when called on the event thread, which would complete it).
  void StopPolling(bool mayWait);
  // Takes the oldest queued record; false when none is queued.
  bool TakeEvent(EventRecord& record);

  // Stops polling, cancels the transfers in progress and refuses further ones; the libusb
  // handle is closed when the last reference goes.
  void Close(bool mayWait);
  // Set once the device has let go of its handle (or left it to CloseDeferred()).
  std::shared_ptr<std::atomic<bool>> ReleasedFlag() const { return m_released; }
  void MarkGone();
  bool IsGone() const { return (m_status.load() & kStatusGone) != 0; }
  uint8_t Status() const { return m_status.load(); }
  // Clears the transfer-error bit; a gone device stays gone.
  void ResetStatus() { m_status.fetch_and(static_cast<uint8_t>(~kStatusTransferError)); }

  // Number of device objects alive, for an orderly shutdown of the library.
  static int LiveCount() { return s_live.load(); }
  // The thread that runs libusb event handling. libusb cannot close a handle from inside its
  // own event handling, so a device whose last reference goes on that thread leaves its
  // handle to CloseDeferred(), which the library calls from its callers' threads.
  static void SetEventThread(std::thread::id id) { s_eventThread.store(id); }
  static void CloseDeferred();

 private:
  // Signalled by a transfer's callback on the event thread.
  struct Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  };

  CUsbDevice(libusb_device* device, libusb_device_handle* handle, const libusb_device_descriptor& descriptor);
  void ReadEndpoints();
  void NoteError(int error, uint8_t endpoint);
  // Submits the transfer and waits for its end; 0 or a LIBUSB_ERROR code.
  int RunTransfer(libusb_transfer* transfer, std::chrono::steady_clock::time_point deadline, int* actual);
  void WaitForEnd(libusb_transfer* transfer, Completion& completion, std::chrono::steady_clock::time_point deadline);
  bool SubmitEventTransfer();  // m_eventMutex held
  static void LIBUSB_CALL EventTransferDone(libusb_transfer* transfer);
  void OnEventTransfer(libusb_transfer* transfer);
  CPipeGate& EndpointGate(uint8_t endpoint);

  libusb_device* m_device;
  libusb_device_handle* m_handle;
  uint16_t m_vendorId;
  uint16_t m_productId;
  uint32_t m_endpoints = 0;  // bit n: IN endpoint n (n < 16), bit 16+n: OUT endpoint n
  uint16_t m_eventPacketSize = 8;
  std::atomic<uint8_t> m_status{0};
  std::atomic<bool> m_closed{false};
  std::shared_ptr<std::atomic<bool>> m_released = std::make_shared<std::atomic<bool>>(false);
  // Control and bulk transfers submitted and not yet ended, so closing can cancel them.
  std::mutex m_inflightMutex;
  std::vector<libusb_transfer*> m_inflight;
  CPipeGate m_outGate;
  CPipeGate m_inGate;

  std::mutex m_eventMutex;
  std::condition_variable m_eventIdle;
  std::deque<EventRecord> m_events;
  libusb_transfer* m_eventTransfer = nullptr;
  std::unique_ptr<uint8_t[]> m_eventBuffer;
  bool m_polling = false;
  bool m_eventPending = false;
  bool m_eventParked = false;  // left unsubmitted because the queue is full
  int m_eventErrors = 0;
  std::shared_ptr<CUsbDevice> m_selfWhilePending;  // keeps the device alive for the callback

  static std::atomic<int> s_live;
  static std::atomic<std::thread::id> s_eventThread;
  static std::mutex s_deferredMutex;
  static std::vector<std::pair<libusb_device*, libusb_device_handle*>> s_deferred;
};
