#include "MockHandset.h"

// clang-format off
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
// clang-format on

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr const char* kDevNode = "/dev/bus/usb/001/001";
constexpr const char* kSysPath = "/sys/devices/usb1";
constexpr size_t kSetupSize = 8;

// Device descriptor (3a7e:1276) and a configuration of three vendor interfaces; interface 2
// holds bulk OUT 0x05, bulk IN 0x84 (512 bytes) and interrupt IN 0x83 (8 bytes).
constexpr const char* kDevice =
    "P: /devices/usb1\n"
    "N: bus/usb/001/001\n"
    "E: SUBSYSTEM=usb\n"
    "E: DRIVER=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=001\n"
    "E: DEVNAME=/dev/bus/usb/001/001\n"
    "E: DEVTYPE=usb_device\n"
    "A: bConfigurationValue=1\\n\n"
    "A: busnum=1\\n\n"
    "A: devnum=1\\n\n"
    "A: speed=480\\n\n"
    "H: descriptors="
    "12010002000000407e3a761200010000"
    "0001"
    "090239000301008032"
    "0904000000ff000000"
    "0904010000ff000000"
    "0904020003ff000000"
    "07050502000200"
    "07058402000200"
    "07058303080004\n";

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

CMockHandset::CMockHandset() {
  m_testbed = umockdev_testbed_new();
  m_handler = umockdev_ioctl_base_new();
  g_signal_connect_after(m_handler, "handle-ioctl", G_CALLBACK(&CMockHandset::OnIoctl), this);
  // The handler goes first so the device can be opened as soon as libusb sees it.
  if (!umockdev_testbed_attach_ioctl(m_testbed, kDevNode, m_handler, nullptr)) {
    throw std::runtime_error("cannot attach the ioctl handler");
  }
  if (!umockdev_testbed_add_from_string(m_testbed, kDevice, nullptr)) {
    throw std::runtime_error("cannot add the emulated handset");
  }
}

CMockHandset::~CMockHandset() {
  umockdev_testbed_detach_ioctl(m_testbed, kDevNode, nullptr);
  for (Urb& urb : m_urbs) {
    umockdev_ioctl_data_unref(urb.data);
  }
  g_object_unref(m_handler);
  g_object_unref(m_testbed);
}

void CMockHandset::SetControlReply(std::vector<uint8_t> reply) {
  std::lock_guard lock(m_mutex);
  m_controlReply = std::move(reply);
}

void CMockHandset::StallNextControl() {
  std::lock_guard lock(m_mutex);
  m_stallControl = true;
}

void CMockHandset::StallNextBulkOut() {
  std::lock_guard lock(m_mutex);
  m_stallBulkOut = true;
}

void CMockHandset::StallNextEvent() {
  std::lock_guard lock(m_mutex);
  m_stallEvent = true;
}

void CMockHandset::QueueBulkIn(std::vector<uint8_t> packet) {
  std::lock_guard lock(m_mutex);
  m_bulkIn.push_back(std::move(packet));
}

void CMockHandset::QueueEvent(std::vector<uint8_t> packet) {
  std::lock_guard lock(m_mutex);
  m_events.push_back(std::move(packet));
}

void CMockHandset::Unplug(bool announce) {
  {
    std::lock_guard lock(m_mutex);
    m_gone = true;
    for (Urb& urb : m_urbs) {
      if (!urb.ready) {
        urb.ready = true;
        urb.status = -ENODEV;
      }
    }
  }
  if (announce) {
    umockdev_testbed_uevent(m_testbed, kSysPath, "remove");
  }
}

void CMockHandset::Plug() {
  {
    std::lock_guard lock(m_mutex);
    m_gone = false;
  }
  umockdev_testbed_uevent(m_testbed, kSysPath, "add");
}

std::vector<CMockHandset::ControlRequest> CMockHandset::Controls() const {
  std::lock_guard lock(m_mutex);
  return m_controls;
}

std::vector<std::vector<uint8_t>> CMockHandset::BulkOut() const {
  std::lock_guard lock(m_mutex);
  return m_bulkOut;
}

std::vector<unsigned> CMockHandset::ClearedHalts() const {
  std::lock_guard lock(m_mutex);
  return m_clearedHalts;
}

std::vector<unsigned> CMockHandset::ClaimedInterfaces() const {
  std::lock_guard lock(m_mutex);
  return m_claimed;
}

std::vector<unsigned> CMockHandset::ReleasedInterfaces() const {
  std::lock_guard lock(m_mutex);
  return m_released;
}

size_t CMockHandset::WaitingUrbs() const {
  std::lock_guard lock(m_mutex);
  size_t waiting = 0;
  for (const Urb& urb : m_urbs) {
    waiting += urb.ready ? 0 : 1;
  }
  return waiting;
}

gboolean CMockHandset::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  return static_cast<CMockHandset*>(self)->HandleIoctl(client);
}

unsigned CMockHandset::ReadUnsigned(UMockdevIoctlClient* client) {
  UMockdevIoctlData* value =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(unsigned), nullptr);
  unsigned result = 0;
  if (value != nullptr) {
    std::memcpy(&result, value->data, sizeof result);
    umockdev_ioctl_data_unref(value);
  }
  return result;
}

gboolean CMockHandset::HandleIoctl(UMockdevIoctlClient* client) {
  gulong request = umockdev_ioctl_client_get_request(client);
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps =
          umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(guint32), nullptr);
      guint32 value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                      USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      std::memcpy(caps->data, &value, sizeof value);
      umockdev_ioctl_client_complete(client, 0, 0);
      umockdev_ioctl_data_unref(caps);
      return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT: {
      unsigned value = ReadUnsigned(client);
      std::lock_guard lock(m_mutex);
      auto& log = request == USBDEVFS_CLAIMINTERFACE     ? m_claimed
                  : request == USBDEVFS_RELEASEINTERFACE ? m_released
                                                         : m_clearedHalts;
      log.push_back(value);
      umockdev_ioctl_client_complete(client, m_gone ? -1 : 0, m_gone ? ENODEV : 0);
      return TRUE;
    }
    case USBDEVFS_DISCONNECT_CLAIM: {
      UMockdevIoctlData* claim = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                             sizeof(usbdevfs_disconnect_claim), nullptr);
      std::lock_guard lock(m_mutex);
      m_claimed.push_back(reinterpret_cast<usbdevfs_disconnect_claim*>(claim->data)->interface);
      umockdev_ioctl_client_complete(client, 0, 0);
      umockdev_ioctl_data_unref(claim);
      return TRUE;
    }
    case USBDEVFS_IOCTL:
    case USBDEVFS_GETDRIVER:
      umockdev_ioctl_client_complete(client, -1, ENODATA);  // no kernel driver bound
      return TRUE;
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
    case USBDEVFS_SETCONFIGURATION:
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_SUBMITURB:
      Submit(client);
      return TRUE;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      Reap(client);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      Discard(client);
      return TRUE;
    default:
      return FALSE;
  }
}

void CMockHandset::Submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* urbData =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_urb), nullptr);
  auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
  UMockdevIoctlData* buffer =
      umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
  std::lock_guard lock(m_mutex);
  if (m_gone) {
    umockdev_ioctl_data_unref(buffer);
    umockdev_ioctl_data_unref(urbData);
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return;
  }
  Urb entry;
  entry.data = urbData;
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    SubmitControl(entry, buffer->data, urb->buffer_length);
  } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == 0x05) {
    entry.ready = true;
    if (m_stallBulkOut) {
      m_stallBulkOut = false;
      entry.status = -EPIPE;
    } else {
      m_bulkOut.emplace_back(buffer->data, buffer->data + urb->buffer_length);
      entry.actualLength = urb->buffer_length;
    }
  }
  // Bulk IN 0x84 and interrupt IN 0x83 wait for data queued by the test.
  m_urbs.push_back(std::move(entry));
  umockdev_ioctl_data_unref(buffer);
  umockdev_ioctl_client_complete(client, 0, 0);
}

void CMockHandset::SubmitControl(Urb& urb, const uint8_t* buffer, int length) {
  urb.ready = true;
  urb.answerOffset = kSetupSize;
  ControlRequest request{buffer[0], buffer[1], Le16(buffer + 2), Le16(buffer + 4), {}};
  uint16_t wanted = Le16(buffer + 6);
  if ((request.requestType & 0x80) == 0) {
    request.data.assign(buffer + kSetupSize, buffer + length);
  }
  m_controls.push_back(request);
  if (m_stallControl) {
    m_stallControl = false;
    urb.status = -EPIPE;
    return;
  }
  if (request.requestType & 0x80) {
    urb.answer.assign(m_controlReply.begin(), m_controlReply.begin() + std::min<size_t>(wanted, m_controlReply.size()));
    urb.actualLength = static_cast<int>(urb.answer.size());
  } else {
    urb.actualLength = length - kSetupSize;
  }
}

void CMockHandset::FeedWaitingUrbs() {
  for (Urb& urb : m_urbs) {
    if (urb.ready) {
      continue;
    }
    auto* submitted = reinterpret_cast<usbdevfs_urb*>(urb.data->data);
    auto& source = submitted->endpoint == 0x84 ? m_bulkIn : m_events;
    if (submitted->endpoint != 0x84 && submitted->endpoint != 0x83) {
      continue;
    }
    if (submitted->endpoint == 0x83 && m_stallEvent) {
      m_stallEvent = false;
      urb.ready = true;
      urb.status = -EPIPE;
    } else if (!source.empty()) {
      std::vector<uint8_t>& packet = source.front();
      size_t take = std::min<size_t>(packet.size(), static_cast<size_t>(submitted->buffer_length));
      urb.answer.assign(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(take));
      urb.actualLength = static_cast<int>(take);
      urb.ready = true;
      source.pop_front();
    }
  }
}

void CMockHandset::Reap(UMockdevIoctlClient* client) {
  std::unique_lock lock(m_mutex);
  FeedWaitingUrbs();
  for (auto it = m_urbs.begin(); it != m_urbs.end(); ++it) {
    if (!it->ready) {
      continue;
    }
    Urb done = std::move(*it);
    m_urbs.erase(it);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(done.data->data);
    urb->status = done.status;
    urb->actual_length = done.actualLength;
    // The test shares the address space with libusb: the URB's buffer is written in place.
    if (!done.answer.empty()) {
      std::memcpy(static_cast<uint8_t*>(urb->buffer) + done.answerOffset, done.answer.data(), done.answer.size());
    }
    UMockdevIoctlData* pointer =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, done.data);
    umockdev_ioctl_client_complete(client, 0, 0);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_data_unref(done.data);
    return;
  }
  if (m_gone) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
  } else {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
  }
}

void CMockHandset::Discard(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  gulong address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
  std::lock_guard lock(m_mutex);
  for (Urb& urb : m_urbs) {
    if (urb.data->client_addr == address && !urb.ready) {
      urb.ready = true;
      urb.status = -ENOENT;
      urb.actualLength = 0;
      umockdev_ioctl_client_complete(client, 0, 0);
      return;
    }
  }
  umockdev_ioctl_client_complete(client, -1, EINVAL);
}
