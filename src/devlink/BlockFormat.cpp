#include "devlink/BlockFormat.h"

#include <algorithm>
#include <cstring>

std::uint32_t CBlockFormat::BlockCount(std::uint32_t objectSize) {
  if (objectSize == 0) {
    return 1;
  }
  return (objectSize + kMaxPayload - 1) / kMaxPayload;
}

std::vector<std::uint8_t> CBlockFormat::BuildBlock(const std::uint8_t* object, std::uint32_t objectSize,
                                                   std::uint32_t blockNumber, bool& last) {
  const std::uint64_t offset = static_cast<std::uint64_t>(blockNumber) * kMaxPayload;
  const std::uint32_t remaining = offset >= objectSize ? 0 : static_cast<std::uint32_t>(objectSize - offset);
  const std::uint32_t length = std::min(remaining, kMaxPayload);
  last = remaining <= kMaxPayload;

  std::vector<std::uint8_t> block(kHeaderSize + length);
  std::uint8_t* out = block.data();
  out[0] = 0;
  out[1] = static_cast<std::uint8_t>(blockNumber & 0xFF);
  out[2] = static_cast<std::uint8_t>(((length >> 8) & 0x7F) | (last ? kLastBlockBit : 0));
  out[3] = static_cast<std::uint8_t>(length & 0xFF);
  if (length > 0) {
    std::memcpy(out + kHeaderSize, object + offset, length);
  }
  return block;
}

std::array<std::uint8_t, CBlockFormat::kHeaderSize> CBlockFormat::BuildReadRequest(std::uint32_t blockNumber) {
  return {kReadRequestTag, static_cast<std::uint8_t>(blockNumber & 0xFF), 0, 0};
}

std::vector<std::uint8_t> CBlockFormat::MarkRefusal(const std::uint8_t* bytes, std::uint32_t length) {
  std::vector<std::uint8_t> refusal(length == 0 ? 1 : length, 0);
  if (length > 0) {
    std::memcpy(refusal.data(), bytes, length);
  }
  refusal[0] |= kRefusalBit;
  return refusal;
}
