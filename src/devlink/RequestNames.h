#pragma once

#include <array>
#include <cstdint>

// Names of the request codes 0xE00..0xE96 for diagnostic lines. Every code without a name,
// and every code outside the range, reads "None".
class CRequestNames {
 public:
  static constexpr std::uint16_t kFirstCode = 0xE00;
  static constexpr std::size_t kEntryCount = 151;
  static constexpr std::size_t kEntrySize = 64;

  static const char* Name(std::uint32_t code);

 private:
  using Table = std::array<std::array<char, kEntrySize>, kEntryCount>;
  static const Table& Entries();
  static Table Build();
};
