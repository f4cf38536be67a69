#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "udfp.h"
#include "udfp_sim.h"

// A minimal host for the emulator's tests: it speaks the handset protocol through the
// driver exports directly (no device link), so each test can see every byte.
class CSimHost {
 public:
  struct Event {
    std::uint16_t code = 0;
    std::vector<std::uint8_t> data;
  };

  // Resets the emulator to a fresh, attached handset and opens it with polling.
  bool Start();
  void Stop();
  // Opens the handset again after it was unplugged and plugged (the old handle is dead).
  bool Reopen();
  std::uint32_t Device() const { return m_device; }

  // Sends a host-to-device request (type 0x43, request 3).
  bool Send(std::uint16_t value, const std::vector<std::uint8_t>& payload);
  // Polls until an event arrives (reading its data), or nullopt after `timeoutMs`.
  std::optional<Event> NextEvent(int timeoutMs = 2000);
  // Sends and waits for the reply event; nullopt on a failed send or no reply.
  std::optional<Event> Request(std::uint16_t value, const std::vector<std::uint8_t>& payload);
  // The session byte followed by its reply byte (nullopt: no reply).
  std::optional<std::uint8_t> Session(bool open);

  // One block through pipe 5 and the handset's answer from pipe 4 (empty when none).
  std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& block);
  static std::vector<std::uint8_t> WriteBlock(std::uint8_t number, const std::uint8_t* payload, std::size_t length,
                                              bool last);

  // Whole operations inside their own session. WriteObject answers the refusal byte of
  // the write start or of the refused block, UDFP_SIM_ACK_ACCEPTED when stored.
  std::uint8_t WriteObject(std::uint8_t kind, const std::vector<std::uint8_t>& bytes, std::uint8_t arg1 = 0,
                           std::uint8_t arg2 = 0);
  // Reads item `item` of `kind`; nullopt when refused.
  std::optional<std::vector<std::uint8_t>> ReadObject(std::uint8_t kind, std::uint8_t item);
  std::optional<std::uint8_t> ReadCount(std::uint8_t kind);
  std::optional<std::vector<std::uint8_t>> Operation(std::uint16_t code, const std::vector<std::uint8_t>& payload);

 private:
  std::uint32_t m_device = UDFP_INVALID_HANDLE;
};
