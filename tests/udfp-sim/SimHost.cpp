#include "SimHost.h"

#include <chrono>
#include <cstring>
#include <thread>

bool CSimHost::Start() {
  UdfpSimReset();
  UdfpSimPlug();
  m_device = UdfpOpen();
  return m_device != UDFP_INVALID_HANDLE && UdfpStartPolling(m_device, 0, 1) != 0;
}

bool CSimHost::Reopen() {
  m_device = UdfpOpen();
  return m_device != UDFP_INVALID_HANDLE && UdfpStartPolling(m_device, 0, 1) != 0;
}

void CSimHost::Stop() {
  if (m_device != UDFP_INVALID_HANDLE) {
    UdfpStopPolling(m_device);
    UdfpClose(m_device);
    m_device = UDFP_INVALID_HANDLE;
  }
  UdfpTerminateDLL();
}

bool CSimHost::Send(std::uint16_t value, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> buffer = payload;
  return UdfpVendorRequest(m_device, UDFP_REQTYPE_OUT, 3, value, 0, static_cast<std::uint16_t>(buffer.size()),
                           buffer.empty() ? nullptr : buffer.data()) != 0;
}

std::optional<CSimHost::Event> CSimHost::NextEvent(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    std::uint8_t record[UDFP_EVENT_RECORD_SIZE] = {};
    std::uint32_t count = 1;
    if (UdfpGetEventStatus(m_device, record, sizeof record, &count) == 0) {
      return std::nullopt;
    }
    if (count != 0) {
      Event event;
      event.code = static_cast<std::uint16_t>(record[0] | (record[1] << 8));
      const std::uint16_t length = static_cast<std::uint16_t>(record[2] | (record[3] << 8));
      event.data.resize(length);
      if (length > 0 && UdfpVendorRequest(m_device, UDFP_REQTYPE_IN, 0, 0, 0, length, event.data.data()) == 0) {
        return std::nullopt;
      }
      return event;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return std::nullopt;
}

std::optional<CSimHost::Event> CSimHost::Request(std::uint16_t value, const std::vector<std::uint8_t>& payload) {
  if (!Send(value, payload)) {
    return std::nullopt;
  }
  return NextEvent();
}

std::optional<std::uint8_t> CSimHost::Session(bool open) {
  auto reply = Request(0xE95, {static_cast<std::uint8_t>(open ? 1 : 0)});
  if (!reply || reply->code != 0xE96 || reply->data.empty()) {
    return std::nullopt;
  }
  return reply->data[0];
}

std::vector<std::uint8_t> CSimHost::Exchange(const std::vector<std::uint8_t>& block) {
  std::vector<std::uint8_t> answer;
  const std::uint32_t out = UdfpOpenPipe(m_device, 2, UDFP_PIPE_OUT);
  std::uint32_t moved = 0;
  const bool written = UdfpWriteData(out, block.data(), static_cast<std::uint32_t>(block.size()), &moved, 0) != 0 &&
                       moved == block.size();
  UdfpClosePipe(out);
  if (!written) {
    return answer;
  }
  const std::uint32_t in = UdfpOpenPipe(m_device, 2, UDFP_PIPE_IN);
  answer.resize(1024);
  if (UdfpReadData(in, answer.data(), 1024, &moved, 0) == 0) {
    moved = 0;
  }
  answer.resize(moved);
  UdfpClosePipe(in);
  return answer;
}

std::vector<std::uint8_t> CSimHost::WriteBlock(std::uint8_t number, const std::uint8_t* payload, std::size_t length,
                                               bool last) {
  std::vector<std::uint8_t> block(4 + length);
  block[1] = number;
  block[2] = static_cast<std::uint8_t>(((length >> 8) & 0x7F) | (last ? 0x80 : 0));
  block[3] = static_cast<std::uint8_t>(length);
  if (length > 0) {
    std::memcpy(block.data() + 4, payload, length);
  }
  return block;
}

std::uint8_t CSimHost::WriteObject(std::uint8_t kind, const std::vector<std::uint8_t>& bytes, std::uint8_t arg1,
                                   std::uint8_t arg2) {
  if (Session(true) != 0) {
    return 0xFF;
  }
  const auto size = bytes.size();
  auto reply =
      Request(0xE75, {kind, 0, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), arg1, arg2});
  std::uint8_t result = 0xFF;
  if (reply && reply->code == 0xE76 && !reply->data.empty()) {
    result = reply->data[0];
  }
  for (std::size_t offset = 0, n = 0; result == 0 && (offset < size || n == 0); offset += 1020, ++n) {
    const std::size_t length = std::min<std::size_t>(1020, size - offset);
    const bool last = offset + length >= size;
    auto ack = Exchange(WriteBlock(static_cast<std::uint8_t>(n), bytes.data() + offset, length, last));
    if (ack.size() != 4 || ack[0] != UDFP_SIM_ACK_ACCEPTED) {
      result = ack.empty() ? 0xFF : ack[0];
    }
    if (last) {
      break;
    }
  }
  Session(false);
  return result == 0 ? static_cast<std::uint8_t>(UDFP_SIM_ACK_ACCEPTED) : result;
}

std::optional<std::vector<std::uint8_t>> CSimHost::ReadObject(std::uint8_t kind, std::uint8_t item) {
  if (Session(true) != 0) {
    return std::nullopt;
  }
  std::optional<std::vector<std::uint8_t>> object;
  auto reply = Request(0xE7C, {kind, item});
  if (reply && reply->code == 0xE7D && !reply->data.empty() && reply->data[0] == 0) {
    object.emplace();
    for (std::uint8_t n = 0;; ++n) {
      auto block = Exchange({1, n, 0, 0});
      if (block.size() < 4 || block[0] != 2) {
        object.reset();
        break;
      }
      object->insert(object->end(), block.begin() + 4, block.end());
      if ((block[2] & 0x80) != 0 || n == 255) {
        break;
      }
    }
  }
  Session(false);
  return object;
}

std::optional<std::uint8_t> CSimHost::ReadCount(std::uint8_t kind) {
  auto reply = Operation(0xE7A, {kind});
  if (!reply || reply->empty()) {
    return std::nullopt;
  }
  return (*reply)[0];
}

std::optional<std::vector<std::uint8_t>> CSimHost::Operation(std::uint16_t code,
                                                             const std::vector<std::uint8_t>& payload) {
  if (Session(true) != 0) {
    return std::nullopt;
  }
  auto reply = Request(code, payload);
  Session(false);
  if (!reply || reply->code != code + 1) {
    return std::nullopt;
  }
  return reply->data;
}
