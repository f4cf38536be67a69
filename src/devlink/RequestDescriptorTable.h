#pragma once

#include <array>
#include <cstdint>

// How a request code is sent as a vendor request: a 6-byte descriptor per code
// 0xE00..0xE96 (request type, request number, value little-endian, payload rule, unused).
// A request type of 0 marks a code that cannot be sent.
class CRequestDescriptorTable {
 public:
  enum PayloadRule : std::uint8_t {
    kNoPayload = 0,
    kSessionByte = 3,
    kKindAndOne = 5,
    kKindOnly = 6,
    kKindAndArg3 = 7,
  };

  struct Descriptor {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint8_t payloadRule = 0;
  };

  static constexpr std::uint16_t kFirstCode = 0xE00;
  static constexpr std::size_t kEntryCount = 151;
  static constexpr std::size_t kEntrySize = 6;

  // The descriptor of a code; all zero for codes that cannot be sent or lie outside the table.
  static Descriptor Find(std::uint32_t code);
  // The raw 6-byte entry as stored.
  static std::array<std::uint8_t, kEntrySize> RawEntry(std::uint32_t code);

 private:
  using Table = std::array<std::array<std::uint8_t, kEntrySize>, kEntryCount>;
  static const Table& Entries();
  static Table Build();
};
