#pragma once

#include <cstdint>
#include <memory>

#include "HandleObject.h"

class CUsbDevice;

// An open bulk pipe: the device it belongs to and its endpoint address (bit 7 set = IN).
class CUsbPipe : public CHandleObject {
 public:
  CUsbPipe(std::shared_ptr<CUsbDevice> device, uint8_t endpoint) : m_device(std::move(device)), m_endpoint(endpoint) {}

  const std::shared_ptr<CUsbDevice>& Device() const { return m_device; }
  uint8_t Endpoint() const { return m_endpoint; }
  bool IsIn() const { return (m_endpoint & 0x80u) != 0; }

 private:
  std::shared_ptr<CUsbDevice> m_device;
  uint8_t m_endpoint;
};
