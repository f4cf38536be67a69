#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The block format of bulk transfers. A written block is [0, block number, length high
// (bit 7 = last block), length low, payload...] with at most 1020 payload bytes; the handset
// acknowledges each with 4 bytes whose byte 0 is 2. A read is asked block by block with
// [1, block number, 0, 0] and answered with up to 1024 bytes laid out like a written block
// but with byte 0 = 2. Block numbers are 8 bits, so one object has at most 256 blocks.
class CBlockFormat {
 public:
  static constexpr std::uint32_t kMaxPayload = 1020;
  static constexpr std::uint32_t kHeaderSize = 4;
  static constexpr std::uint32_t kMaxBlockSize = kMaxPayload + kHeaderSize;
  static constexpr std::uint32_t kMaxBlocks = 256;
  static constexpr std::uint32_t kMaxObjectSize = kMaxPayload * kMaxBlocks;  // 261 120
  static constexpr std::uint8_t kAccepted = 2;
  static constexpr std::uint8_t kDataBlock = 2;
  static constexpr std::uint8_t kReadRequestTag = 1;
  static constexpr std::uint8_t kLastBlockBit = 0x80;
  static constexpr std::uint8_t kRefusalBit = 0x80;

  // Blocks needed for an object; an empty object still takes one (empty, last) block.
  static std::uint32_t BlockCount(std::uint32_t objectSize);
  static bool FitsBlockNumbers(std::uint32_t objectSize) { return objectSize <= kMaxObjectSize; }

  // Block n of the object; `last` tells whether it is the final one.
  static std::vector<std::uint8_t> BuildBlock(const std::uint8_t* object, std::uint32_t objectSize,
                                              std::uint32_t blockNumber, bool& last);
  static std::array<std::uint8_t, kHeaderSize> BuildReadRequest(std::uint32_t blockNumber);

  static bool IsAccepted(const std::uint8_t* ack, std::uint32_t length) { return length > 0 && ack[0] == kAccepted; }

  // A received data block: byte 0 = 2 and at least the 4-byte header.
  static bool IsDataBlock(const std::uint8_t* block, std::uint32_t length) {
    return length >= kHeaderSize && block[0] == kDataBlock;
  }
  static bool IsLastBlock(const std::uint8_t* block) { return (block[2] & kLastBlockBit) != 0; }

  // The handset's refusal bytes with bit 7 of byte 0 set, so a window can tell a refusal
  // code from a reply. An empty refusal becomes the single byte 0x80.
  static std::vector<std::uint8_t> MarkRefusal(const std::uint8_t* bytes, std::uint32_t length);
};
