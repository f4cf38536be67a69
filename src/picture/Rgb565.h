#pragma once

#include <cstdint>

#include "picture/RgbImage.h"

// The handset's 16-bit colour: red in bits 15-11, green in bits 10-5, blue in bits 4-0.
// Going to 16 bits drops the low bits; coming back, each field fills its low bits with
// its own low bits, so 0x0000 is black and 0xFFFF is white.
inline constexpr std::uint16_t ToRgb565(Rgb c) {
  return static_cast<std::uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

// The 8-bit level a 5-bit red or blue field stands for.
inline constexpr std::uint8_t Level5(unsigned v5) {
  return static_cast<std::uint8_t>(v5 * 8 + (v5 & 7));
}
// The 8-bit level a 6-bit green field stands for.
inline constexpr std::uint8_t Level6(unsigned v6) {
  return static_cast<std::uint8_t>(v6 * 4 + (v6 & 3));
}

inline constexpr Rgb FromRgb565(std::uint16_t v) {
  return Rgb{Level5((v >> 11) & 0x1F), Level6((v >> 5) & 0x3F), Level5(v & 0x1F)};
}

// The colour the handset shows for c after the trip to 16 bits and back.
inline constexpr Rgb Through565(Rgb c) {
  return FromRgb565(ToRgb565(c));
}

// True when c survives the trip to 16 bits and back unchanged.
inline constexpr bool IsExact565(Rgb c) {
  return Through565(c) == c;
}
