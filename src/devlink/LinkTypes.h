#pragma once

#include "platform/WindowMessage.h"

#include <cstdint>
#include <vector>

// Request and event codes share one 16-bit space; the reply to a request is its code + 1.
namespace LinkCode {
inline constexpr std::uint16_t kReadEventData = 0;  // internal step: read the data of the last event
inline constexpr std::uint16_t kStatusByte = 1;     // internal request: read one status byte
inline constexpr std::uint16_t kStartLink = 2;      // internal request: start the worker threads
inline constexpr std::uint16_t kDiscoveryReply = 0xE53;
inline constexpr std::uint16_t kModelInfo = 0xE71;
inline constexpr std::uint16_t kUtilityMode = 0xE73;
inline constexpr std::uint16_t kWriteStart = 0xE75;
inline constexpr std::uint16_t kWriteStartReply = 0xE76;
inline constexpr std::uint16_t kWriteStop = 0xE77;
inline constexpr std::uint16_t kWriteStopReply = 0xE78;
inline constexpr std::uint16_t kReadCount = 0xE7A;
inline constexpr std::uint16_t kReadCountReply = 0xE7B;
inline constexpr std::uint16_t kRead = 0xE7C;
inline constexpr std::uint16_t kReadReply = 0xE7D;
inline constexpr std::uint16_t kReadStop = 0xE7E;
inline constexpr std::uint16_t kReadStopReply = 0xE7F;
inline constexpr std::uint16_t kDelete = 0xE81;
inline constexpr std::uint16_t kDeleteReply = 0xE82;
inline constexpr std::uint16_t kRemainSize = 0xE83;
inline constexpr std::uint16_t kRemainSizeReply = 0xE84;
inline constexpr std::uint16_t kPlayStart = 0xE85;
inline constexpr std::uint16_t kPlayStartReply = 0xE86;
inline constexpr std::uint16_t kPlayStop = 0xE87;
inline constexpr std::uint16_t kPlayStopReply = 0xE88;
inline constexpr std::uint16_t kPlayEnded = 0xE89;
inline constexpr std::uint16_t kSetDefault = 0xE8F;
inline constexpr std::uint16_t kSetDefaultReply = 0xE90;
inline constexpr std::uint16_t kKeyOperation = 0xE91;
inline constexpr std::uint16_t kKeyOperationReply = 0xE92;
inline constexpr std::uint16_t kIndication93 = 0xE93;
inline constexpr std::uint16_t kIndication94 = 0xE94;
inline constexpr std::uint16_t kSession = 0xE95;
inline constexpr std::uint16_t kSessionReply = 0xE96;
inline constexpr std::uint16_t kModelInfoChanged = 0xE98;
inline constexpr std::uint16_t kRefusal79 = 0xE79;
inline constexpr std::uint16_t kRefusal80 = 0xE80;
inline constexpr std::uint16_t kBatteryLow = 0x0D80;
}  // namespace LinkCode

// Window messages posted by the link.
namespace LinkMessage {
inline constexpr std::uint32_t kRequestComplete = WM_APP + 0x64;
inline constexpr std::uint32_t kRequestNoResponse = WM_APP + 0x65;
inline constexpr std::uint32_t kRequestFailed = WM_APP + 0x66;
inline constexpr std::uint32_t kItemReceived = WM_APP + 0x67;
inline constexpr std::uint32_t kIndication68 = WM_APP + 0x68;
inline constexpr std::uint32_t kIndication69 = WM_APP + 0x69;
inline constexpr std::uint32_t kPlayEnded = WM_APP + 0x6D;
inline constexpr std::uint32_t kDriverStatus = WM_APP + 0x71;
inline constexpr std::uint32_t kBatteryLow = WM_APP + 0x72;
inline constexpr std::uint32_t kModelInfoChange = WM_APP + 0x73;
inline constexpr std::uint32_t kProgress = WM_APP + 0xCC;
}  // namespace LinkMessage

// What a window asks of the link. `data` stays owned by the caller until the outcome
// message arrives; `kind`, `arg1`, `arg2` and `arg3` are sent as their low bytes.
struct RequestParams {
  std::uint32_t kind = 0;
  std::uint32_t arg1 = 0;
  std::uint32_t arg2 = 0;
  std::uint32_t arg3 = 0;
  const std::uint8_t* data = nullptr;
  std::uint32_t dataSize = 0;
  WindowHandle notifyWindow = 0;
};

// One received object handed to a window with WM_APP+0x67 (lParam = address of the record).
// The record and its bytes stay valid until the window hands it back with
// CDeviceLink::ReleaseReceivedItem.
struct ReceivedItem {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

// One vendor request on the control channel, with its owned payload.
struct SetupPacket {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::vector<std::uint8_t> payload;  // length = payload.size()
};
