#include "ioutlk/PasswordChecksum.h"

#include <array>
#include <optional>
#include <string>

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1U) != 0 ? (value >> 1) ^ 0xEDB88320U : value >> 1;
    }
    table[i] = value;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

// The Latin-1 bytes of UTF-8 text; nullopt when a character lies outside Latin-1 or the
// text is not UTF-8.
std::optional<std::string> Latin1Of(std::string_view utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
      continue;
    }
    if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if ((next & 0xC0U) == 0x80U) {
        bytes += static_cast<char>(((lead & 0x03U) << 6) | (next & 0x3FU));
        ++i;
        continue;
      }
    }
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

std::uint32_t PasswordChecksum(std::string_view bytes) {
  std::uint32_t crc = 0;
  for (const char c : bytes) {
    crc = kTable[(crc ^ static_cast<unsigned char>(c)) & 0xFFU] ^ (crc >> 8);
  }
  return crc;
}

bool PasswordMatches(std::string_view utf8Password, std::uint32_t storedChecksum) {
  if (PasswordChecksum(utf8Password) == storedChecksum) {
    return true;
  }
  const std::optional<std::string> latin1 = Latin1Of(utf8Password);
  return latin1 && PasswordChecksum(*latin1) == storedChecksum;
}
