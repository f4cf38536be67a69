#pragma once

#include <cstdint>

// Where each model field sits in the handset's 16 bytes of device information: byte,
// lowest bit and width. Fields run from the high bits to the low bits through bytes 0 to
// 11. The program reads the fields from it and the handset emulator writes them.
struct ModelFieldPosition {
  std::uint8_t byte;
  std::uint8_t lowBit;
  std::uint8_t width;
};

inline constexpr std::uint32_t kDeviceInfoModelFields = 65;

inline constexpr ModelFieldPosition kModelFieldPositions[kDeviceInfoModelFields] = {
    {0, 5, 2},  {0, 4, 1},  {0, 3, 1},  {0, 2, 1},  {0, 1, 1},  {0, 0, 1},  {1, 5, 1},  {1, 4, 1},  {1, 0, 1},
    {2, 7, 1},  {2, 5, 1},  {2, 4, 1},  {2, 3, 1},  {2, 2, 1},  {2, 1, 1},  {2, 0, 1},  {3, 7, 1},  {3, 6, 1},
    {3, 5, 1},  {3, 0, 4},  {4, 7, 1},  {4, 5, 1},  {4, 4, 1},  {4, 3, 1},  {4, 2, 1},  {4, 0, 2},  {5, 6, 2},
    {5, 5, 1},  {5, 3, 1},  {5, 2, 1},  {5, 0, 2},  {6, 7, 1},  {6, 6, 1},  {6, 5, 1},  {6, 4, 1},  {6, 3, 1},
    {6, 2, 1},  {6, 1, 1},  {7, 7, 1},  {7, 6, 1},  {7, 5, 1},  {7, 4, 1},  {7, 3, 1},  {7, 2, 1},  {7, 1, 1},
    {7, 0, 1},  {8, 7, 1},  {8, 5, 2},  {8, 4, 1},  {8, 1, 1},  {9, 3, 1},  {9, 2, 1},  {9, 1, 1},  {9, 0, 1},
    {10, 7, 1}, {10, 6, 1}, {10, 5, 1}, {10, 4, 1}, {10, 3, 1}, {10, 2, 1}, {10, 1, 1}, {10, 0, 1}, {11, 4, 4},
    {11, 2, 2}, {11, 0, 2},
};
