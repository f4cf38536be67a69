#include "HandsetFirmware.h"

#include <algorithm>

#include "udfp_sim.h"

namespace {

constexpr std::uint16_t kSession = 0xE95;
constexpr std::uint16_t kUtilityMode = 0xE73;
constexpr std::uint16_t kModelInfo = 0xE71;
constexpr std::uint16_t kKeyOperation = 0xE91;
constexpr std::uint16_t kWriteStart = 0xE75;
constexpr std::uint16_t kWriteStop = 0xE77;
constexpr std::uint16_t kReadCount = 0xE7A;
constexpr std::uint16_t kRead = 0xE7C;
constexpr std::uint16_t kReadStop = 0xE7E;
constexpr std::uint16_t kDelete = 0xE81;
constexpr std::uint16_t kRemainingSize = 0xE83;
constexpr std::uint16_t kPlayStart = 0xE85;
constexpr std::uint16_t kPlayStop = 0xE87;
constexpr std::uint16_t kSetDefault = 0xE8F;

constexpr std::size_t kBlockHeader = 4;
constexpr std::size_t kBlockPayload = 1020;
constexpr std::uint8_t kLastBlockFlag = 0x80;
constexpr std::uint8_t kWriteBlockTag = 0;
constexpr std::uint8_t kReadRequestTag = 1;
// The melody codec produces 36 000 bits per second: 4 500 bytes of frames per second.
constexpr std::uint32_t kMelodyBytesPerSecond = 4500;

SimEvent Reply(std::uint16_t request, std::vector<std::uint8_t> data) {
  return SimEvent{static_cast<std::uint16_t>(request + 1), std::move(data)};
}

std::vector<std::uint8_t> BigEndian16(std::uint32_t value) {
  value = std::min<std::uint32_t>(value, 0xFFFF);
  return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

}  // namespace

CHandsetFirmware::RequestResult CHandsetFirmware::HandleRequest(std::uint16_t value,
                                                                std::span<const std::uint8_t> payload,
                                                                Clock::time_point now) {
  switch (value) {
    case kSession:
    case kUtilityMode: {
      if (payload.size() != 1 || payload[0] > 1) {
        return {Reply(value, {UDFP_SIM_REFUSE_WRONG_SIZE}), false};
      }
      SetSession(payload[0] == 1);
      return {Reply(value, {UDFP_SIM_REPLY_OK}), false};
    }
    case kModelInfo: {
      const auto& info = m_stores.DeviceInfo();
      m_lastOperation = value;
      return {Reply(value, {info.begin(), info.end()}), false};
    }
    case kKeyOperation:
      m_lastOperation = value;
      return {Reply(value, {KeyOperation(payload)}), false};
    default:
      break;
  }
  m_lastOperation = value;
  if (!m_sessionOpen) {
    if (value == kReadCount) {
      return {Reply(value, {UDFP_SIM_COUNT_FAILED}), false};
    }
    return {Reply(value, {UDFP_SIM_REFUSE_NO_SESSION}), false};
  }
  return Operation(value, payload, now);
}

CHandsetFirmware::RequestResult CHandsetFirmware::Operation(std::uint16_t code, std::span<const std::uint8_t> payload,
                                                            Clock::time_point now) {
  switch (code) {
    case kWriteStart:
      return {Reply(code, {WriteStart(payload)}), false};
    case kWriteStop:
      m_write.reset();
      return {Reply(code, {UDFP_SIM_REPLY_OK}), false};
    case kReadCount:
      return {Reply(code, ReadCount(payload)), false};
    case kRead:
      return {Reply(code, {ReadStart(payload)}), false};
    case kReadStop:
      m_read.reset();
      return {Reply(code, {UDFP_SIM_REPLY_OK}), false};
    case kDelete: {
      ++m_deleteRequests;
      bool changed = false;
      const std::uint8_t status = Delete(payload, changed);
      return {Reply(code, {status}), changed};
    }
    case kRemainingSize:
      return {Reply(code, RemainingSize(payload)), false};
    case kPlayStart:
      return {Reply(code, {PlayStart(payload, now)}), false};
    case kPlayStop:
      m_playSlot = 0;
      return {Reply(code, {UDFP_SIM_REPLY_OK}), false};
    case kSetDefault: {
      const bool known = payload.size() == 1 && CHandsetStores::IsStoreKind(payload[0]);
      const auto status = static_cast<std::uint8_t>(known ? UDFP_SIM_REPLY_OK : UDFP_SIM_REFUSE_UNKNOWN_KIND);
      return {Reply(code, {status}), false};
    }
    default:
      // A request the handset does not implement is answered as an unknown kind of work.
      return {Reply(code, {UDFP_SIM_REFUSE_UNKNOWN_KIND}), false};
  }
}

void CHandsetFirmware::SetSession(bool open) {
  // Opening again restarts the session (the host may have lost track after a time-out);
  // either way whatever the previous session was doing ends.
  EndTransfers();
  m_playSlot = 0;
  m_sessionOpen = open;
}

void CHandsetFirmware::EndTransfers() {
  m_write.reset();
  m_read.reset();
}

std::uint8_t CHandsetFirmware::WriteStart(std::span<const std::uint8_t> payload) {
  EndTransfers();
  if (payload.size() != 6) {
    return UDFP_SIM_REFUSE_WRONG_SIZE;
  }
  const std::uint32_t kind = payload[0];
  const std::uint32_t declared = (static_cast<std::uint32_t>(payload[2]) << 8) | payload[3];
  const auto fit = m_stores.CheckWriteStart(kind, declared);
  // Lack of room is found when the first block is to be stored: it is refused with the
  // memory-full acknowledgement, which the host tells apart from other refusals.
  if (fit != CHandsetStores::Fit::kOk && fit != CHandsetStores::Fit::kMemoryFull) {
    return CHandsetStores::RefusalCode(fit);
  }
  m_write = WriteTransfer{kind, declared, 0, {}};
  return UDFP_SIM_REPLY_OK;
}

std::vector<std::uint8_t> CHandsetFirmware::ReadCount(std::span<const std::uint8_t> payload) const {
  if (payload.size() != 1) {
    return {UDFP_SIM_COUNT_FAILED};
  }
  const auto count = m_stores.ReadCount(payload[0]);
  if (!count) {
    return {UDFP_SIM_COUNT_FAILED};
  }
  return {static_cast<std::uint8_t>(*count)};
}

std::uint8_t CHandsetFirmware::ReadStart(std::span<const std::uint8_t> payload) {
  EndTransfers();
  if (payload.size() != 2) {
    return UDFP_SIM_REFUSE_WRONG_SIZE;
  }
  if (!m_stores.ReadCount(payload[0])) {
    return UDFP_SIM_REFUSE_UNKNOWN_KIND;
  }
  auto object = m_stores.ReadObject(payload[0], payload[1]);
  if (!object) {
    return UDFP_SIM_REFUSE_BAD_ITEM;
  }
  const auto blocks =
      static_cast<std::uint32_t>(std::max<std::size_t>(1, (object->size() + kBlockPayload - 1) / kBlockPayload));
  m_read = ReadTransfer{std::move(*object), blocks};
  return UDFP_SIM_REPLY_OK;
}

std::uint8_t CHandsetFirmware::Delete(std::span<const std::uint8_t> payload, bool& changed) {
  if (payload.size() != 2) {
    return UDFP_SIM_REFUSE_WRONG_SIZE;
  }
  if (!CHandsetStores::IsStoreKind(payload[0])) {
    return UDFP_SIM_REFUSE_UNKNOWN_KIND;
  }
  if (payload[0] == UDFP_SIM_KIND_MELODY && m_playSlot != 0 && (payload[1] == m_playSlot || payload[1] == 255)) {
    m_playSlot = 0;
  }
  if (!m_stores.Delete(payload[0], payload[1])) {
    return UDFP_SIM_REFUSE_BAD_ITEM;
  }
  changed = true;
  return UDFP_SIM_REPLY_OK;
}

std::vector<std::uint8_t> CHandsetFirmware::RemainingSize(std::span<const std::uint8_t> payload) const {
  if (payload.size() != 2 || !m_stores.ReadCount(payload[0])) {
    return {0, 0};
  }
  switch (payload[1]) {
    case 0:
      return BigEndian16(m_stores.FreeBytes() / 1024);
    case 1:
      return BigEndian16(m_stores.FreeItems(payload[0]));
    default:
      return {0, 0};
  }
}

std::uint8_t CHandsetFirmware::PlayStart(std::span<const std::uint8_t> payload, Clock::time_point now) {
  if (payload.size() != 2) {
    return UDFP_SIM_REFUSE_WRONG_SIZE;
  }
  if (payload[0] != UDFP_SIM_KIND_MELODY) {
    return UDFP_SIM_REFUSE_UNKNOWN_KIND;
  }
  const auto* melody = m_stores.Melody(payload[1]);
  if (melody == nullptr) {
    return UDFP_SIM_REFUSE_BAD_ITEM;
  }
  std::uint64_t ms = m_playDurationMs;
  if (ms == 0) {
    ms = (melody->bytes.size() - UDFP_SIM_MELODY_HEADER_SIZE) * 1000u / kMelodyBytesPerSecond;
  }
  m_playSlot = payload[1];
  m_playEnd = now + std::chrono::milliseconds(ms);
  return UDFP_SIM_REPLY_OK;
}

std::uint8_t CHandsetFirmware::KeyOperation(std::span<const std::uint8_t> payload) {
  if (payload.size() != 1 || payload[0] > 1) {
    return UDFP_SIM_REFUSE_UNKNOWN_KIND;
  }
  m_status[kUtilityStateIndex] = payload[0] == 0 ? 1 : 0;
  return UDFP_SIM_REPLY_OK;
}

CHandsetFirmware::BlockResult CHandsetFirmware::HandleBlock(std::span<const std::uint8_t> block) {
  if (block.size() < kBlockHeader) {
    return Refuse(UDFP_SIM_REFUSE_WRONG_SIZE, block.size() > 1 ? block[1] : 0, true);
  }
  if (block[0] == kReadRequestTag) {
    return ReadBlock(block);
  }
  if (block[0] == kWriteBlockTag) {
    return WriteBlock(block);
  }
  return Refuse(UDFP_SIM_REFUSE_SEQUENCE, block[1], true);
}

CHandsetFirmware::BlockResult CHandsetFirmware::Refuse(std::uint8_t code, std::uint32_t blockNumber, bool endWrite) {
  if (endWrite) {
    m_write.reset();
  }
  ++m_blocksRefused;
  BlockResult result;
  result.reply = {code, static_cast<std::uint8_t>(blockNumber), 0, 0};
  result.blockNumber = blockNumber;
  return result;
}

CHandsetFirmware::BlockResult CHandsetFirmware::WriteBlock(std::span<const std::uint8_t> block) {
  const std::uint32_t number = block[1];
  if (m_refuseNextBlock) {
    const std::uint8_t code = *m_refuseNextBlock;
    m_refuseNextBlock.reset();
    return Refuse(code, number, true);
  }
  if (!m_write || number != (m_write->nextBlock & 0xFFu)) {
    return Refuse(UDFP_SIM_REFUSE_SEQUENCE, number, true);
  }
  const bool last = (block[2] & kLastBlockFlag) != 0;
  const std::size_t length = (static_cast<std::size_t>(block[2] & 0x7F) << 8) | block[3];
  const std::size_t payloadSize = block.size() - kBlockHeader;
  if (length != payloadSize || length > kBlockPayload || (!last && length != kBlockPayload) ||
      m_write->nextBlock >= UDFP_SIM_MAX_OBJECT_SIZE / kBlockPayload) {
    return Refuse(UDFP_SIM_REFUSE_WRONG_SIZE, number, true);
  }
  if (m_write->nextBlock == 0) {
    const auto room = m_stores.CheckWriteStart(m_write->kind, m_write->declaredSize);
    if (room != CHandsetStores::Fit::kOk) {
      return Refuse(CHandsetStores::RefusalCode(room), number, true);
    }
  }
  const std::size_t total = m_write->bytes.size() + length;
  const auto growth = m_stores.CheckGrowth(m_write->kind, total);
  if (growth != CHandsetStores::Fit::kOk) {
    return Refuse(CHandsetStores::RefusalCode(growth), number, true);
  }
  m_write->bytes.insert(m_write->bytes.end(), block.begin() + kBlockHeader, block.end());
  ++m_write->nextBlock;
  BlockResult result;
  result.blockNumber = number;
  std::uint32_t item = 0;
  if (last) {
    const auto fit = m_stores.CheckComplete(m_write->kind, total, m_write->declaredSize);
    if (fit != CHandsetStores::Fit::kOk) {
      return Refuse(CHandsetStores::RefusalCode(fit), number, true);
    }
    item = m_stores.Add(m_write->kind, m_write->bytes);
    if (item == 0) {
      return Refuse(UDFP_SIM_REFUSE_MEMORY_FULL, number, true);
    }
    result.committedKind = m_write->kind;
    m_write.reset();
    ++m_objectsStored;
    result.storesChanged = true;
  }
  ++m_blocksWritten;
  result.reply = {UDFP_SIM_ACK_ACCEPTED, static_cast<std::uint8_t>(number), 0, static_cast<std::uint8_t>(item)};
  return result;
}

CHandsetFirmware::BlockResult CHandsetFirmware::ReadBlock(std::span<const std::uint8_t> block) {
  const std::uint32_t number = block[1];
  if (m_refuseNextBlock) {
    const std::uint8_t code = *m_refuseNextBlock;
    m_refuseNextBlock.reset();
    m_read.reset();
    return Refuse(code, number, false);
  }
  // Any block of the object may be asked for again (the host retries a lost block).
  if (!m_read || number >= m_read->blockCount) {
    return Refuse(!m_read ? UDFP_SIM_REFUSE_SEQUENCE : UDFP_SIM_REFUSE_BAD_ITEM, number, false);
  }
  const std::size_t offset = number * kBlockPayload;
  const std::size_t length = std::min(kBlockPayload, m_read->object.size() - offset);
  const bool last = number + 1 == m_read->blockCount;
  BlockResult result;
  result.blockNumber = number;
  result.reply = {2, static_cast<std::uint8_t>(number),
                  static_cast<std::uint8_t>(((length >> 8) & 0x7F) | (last ? kLastBlockFlag : 0)),
                  static_cast<std::uint8_t>(length)};
  result.reply.insert(result.reply.end(), m_read->object.begin() + static_cast<std::ptrdiff_t>(offset),
                      m_read->object.begin() + static_cast<std::ptrdiff_t>(offset + length));
  ++m_blocksRead;
  return result;
}

std::uint8_t CHandsetFirmware::StatusByte(std::uint16_t index) const {
  return m_status[index];
}

void CHandsetFirmware::SetStatusByte(std::uint16_t index, std::uint8_t value) {
  m_status[index] = value;
}

std::optional<CHandsetFirmware::Clock::time_point> CHandsetFirmware::PlayDeadline() const {
  if (m_playSlot == 0) {
    return std::nullopt;
  }
  return m_playEnd;
}

bool CHandsetFirmware::EndPlay() {
  if (m_playSlot == 0) {
    return false;
  }
  m_playSlot = 0;
  return true;
}

void CHandsetFirmware::PowerCycle() {
  m_sessionOpen = false;
  EndTransfers();
  m_playSlot = 0;
  m_status[kUtilityStateIndex] = 0;
}

void CHandsetFirmware::ResetSettings() {
  PowerCycle();
  m_status.fill(0);
  m_playDurationMs = 0;
  m_refuseNextBlock.reset();
  m_lastOperation = 0;
  ResetCounters();
}

void CHandsetFirmware::ResetCounters() {
  m_blocksWritten = 0;
  m_blocksRead = 0;
  m_blocksRefused = 0;
  m_objectsStored = 0;
  m_deleteRequests = 0;
}
