#pragma once

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// A handset emulated at the usbfs level with umockdev: the device shows up on bus 1 with the
// handset's identifiers and interface 2 (bulk OUT 0x05, bulk IN 0x84, interrupt IN 0x83),
// and an ioctl handler answers the URBs libusb submits. Control and bulk OUT URBs complete
// at once and are logged; bulk IN and interrupt IN URBs wait until the test queues data.
// Needs the process to run under umockdev-wrapper.
class CMockHandset {
 public:
  struct ControlRequest {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    std::vector<uint8_t> data;  // the data stage of a host-to-device request
  };

  CMockHandset();
  ~CMockHandset();
  CMockHandset(const CMockHandset&) = delete;
  CMockHandset& operator=(const CMockHandset&) = delete;

  // What device-to-host vendor requests answer (cut to the requested length).
  void SetControlReply(std::vector<uint8_t> reply);
  void StallNextControl();
  void StallNextBulkOut();
  void StallNextEvent();
  void QueueBulkIn(std::vector<uint8_t> packet);
  void QueueEvent(std::vector<uint8_t> packet);
  // Takes the device away (pending URBs end with ENODEV; a remove uevent is sent when
  // `announce`) or brings it back (an add uevent).
  void Unplug(bool announce = true);
  void Plug();

  std::vector<ControlRequest> Controls() const;
  std::vector<std::vector<uint8_t>> BulkOut() const;
  std::vector<unsigned> ClearedHalts() const;
  std::vector<unsigned> ClaimedInterfaces() const;
  std::vector<unsigned> ReleasedInterfaces() const;
  // URBs submitted and waiting for data (bulk IN or interrupt IN).
  size_t WaitingUrbs() const;

 private:
  struct Urb {
    UMockdevIoctlData* data = nullptr;  // our reference to the submitted URB
    bool ready = false;
    int status = 0;
    std::vector<uint8_t> answer;  // bytes to copy into the URB's buffer when reaped
    size_t answerOffset = 0;      // 8 for control URBs: the answer follows the setup packet
    int actualLength = 0;
  };

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  gboolean HandleIoctl(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client);
  void Reap(UMockdevIoctlClient* client);
  void Discard(UMockdevIoctlClient* client);
  void SubmitControl(Urb& urb, const uint8_t* buffer, int length);
  void FeedWaitingUrbs();
  unsigned ReadUnsigned(UMockdevIoctlClient* client);

  UMockdevTestbed* m_testbed = nullptr;
  UMockdevIoctlBase* m_handler = nullptr;

  mutable std::mutex m_mutex;
  std::deque<Urb> m_urbs;
  std::deque<std::vector<uint8_t>> m_bulkIn;
  std::deque<std::vector<uint8_t>> m_events;
  std::vector<uint8_t> m_controlReply;
  bool m_stallControl = false;
  bool m_stallBulkOut = false;
  bool m_stallEvent = false;
  bool m_gone = false;
  std::vector<ControlRequest> m_controls;
  std::vector<std::vector<uint8_t>> m_bulkOut;
  std::vector<unsigned> m_clearedHalts;
  std::vector<unsigned> m_claimed;
  std::vector<unsigned> m_released;
};
