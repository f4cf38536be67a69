#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "HandsetStores.h"

// One event the handset queues for the host: a code and its data.
struct SimEvent {
  std::uint16_t code = 0;
  std::vector<std::uint8_t> data;
};

// The handset's protocol logic: sessions, operations with their replies, numbered blocks
// with acknowledgements, melody playback. Single-threaded: the emulated device calls it
// under its own lock from its firmware thread and from the host's control calls.
class CHandsetFirmware {
 public:
  using Clock = std::chrono::steady_clock;

  // What a written block produced: the reply for pipe 4 and the block number it carried.
  struct BlockResult {
    std::vector<std::uint8_t> reply;
    std::optional<std::uint32_t> blockNumber;
    bool storesChanged = false;
    // The kind of the object this block completed and stored, if it did.
    std::optional<std::uint32_t> committedKind;
  };
  // What a host-to-device request produced.
  struct RequestResult {
    std::optional<SimEvent> reply;
    bool storesChanged = false;
  };

  explicit CHandsetFirmware(CHandsetStores& stores) : m_stores(stores) {}

  RequestResult HandleRequest(std::uint16_t value, std::span<const std::uint8_t> payload, Clock::time_point now);
  BlockResult HandleBlock(std::span<const std::uint8_t> block);

  // Status byte `index` of the device-to-host status request.
  std::uint8_t StatusByte(std::uint16_t index) const;
  void SetStatusByte(std::uint16_t index, std::uint8_t value);

  // Melody playback: when it ends by itself, and ending it (the caller queues 0xE89).
  std::optional<Clock::time_point> PlayDeadline() const;
  bool EndPlay();
  void SetPlayDuration(std::uint32_t milliseconds) { m_playDurationMs = milliseconds; }

  void RefuseNextBlock(std::uint8_t code) { m_refuseNextBlock = code; }
  void ClearFaults() { m_refuseNextBlock.reset(); }

  // The handset lost power or was reset: everything volatile is forgotten.
  void PowerCycle();
  void ResetSettings();

  bool SessionOpen() const { return m_sessionOpen; }
  bool Writing() const { return m_write.has_value(); }
  bool Reading() const { return m_read.has_value(); }
  bool Playing() const { return m_playSlot != 0; }
  std::uint32_t PlayingSlot() const { return m_playSlot; }
  std::uint8_t UtilityState() const { return m_status[kUtilityStateIndex]; }
  std::uint32_t LastOperation() const { return m_lastOperation; }
  std::uint32_t BlocksWritten() const { return m_blocksWritten; }
  std::uint32_t BlocksRead() const { return m_blocksRead; }
  std::uint32_t BlocksRefused() const { return m_blocksRefused; }
  std::uint32_t ObjectsStored() const { return m_objectsStored; }
  std::uint32_t DeleteRequests() const { return m_deleteRequests; }
  void ResetCounters();

 private:
  static constexpr std::uint16_t kUtilityStateIndex = 3;

  struct WriteTransfer {
    std::uint32_t kind = 0;
    std::uint32_t declaredSize = 0;
    std::uint32_t nextBlock = 0;
    std::vector<std::uint8_t> bytes;
  };
  struct ReadTransfer {
    std::vector<std::uint8_t> object;
    std::uint32_t blockCount = 0;
  };

  RequestResult Operation(std::uint16_t code, std::span<const std::uint8_t> payload, Clock::time_point now);
  std::uint8_t WriteStart(std::span<const std::uint8_t> payload);
  std::vector<std::uint8_t> ReadCount(std::span<const std::uint8_t> payload) const;
  std::uint8_t ReadStart(std::span<const std::uint8_t> payload);
  std::uint8_t Delete(std::span<const std::uint8_t> payload, bool& changed);
  std::vector<std::uint8_t> RemainingSize(std::span<const std::uint8_t> payload) const;
  std::uint8_t PlayStart(std::span<const std::uint8_t> payload, Clock::time_point now);
  std::uint8_t KeyOperation(std::span<const std::uint8_t> payload);
  void SetSession(bool open);
  void EndTransfers();
  BlockResult WriteBlock(std::span<const std::uint8_t> block);
  BlockResult ReadBlock(std::span<const std::uint8_t> block);
  BlockResult Refuse(std::uint8_t code, std::uint32_t blockNumber, bool endWrite);

  CHandsetStores& m_stores;
  bool m_sessionOpen = false;
  std::optional<WriteTransfer> m_write;
  std::optional<ReadTransfer> m_read;
  std::uint32_t m_playSlot = 0;
  Clock::time_point m_playEnd{};
  std::uint32_t m_playDurationMs = 0;
  std::optional<std::uint8_t> m_refuseNextBlock;
  std::array<std::uint8_t, 65536> m_status{};
  std::uint32_t m_lastOperation = 0;
  std::uint32_t m_blocksWritten = 0;
  std::uint32_t m_blocksRead = 0;
  std::uint32_t m_blocksRefused = 0;
  std::uint32_t m_objectsStored = 0;
  std::uint32_t m_deleteRequests = 0;
};
