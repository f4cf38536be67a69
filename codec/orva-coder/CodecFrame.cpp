#include "CodecFrame.h"

#include <cmath>

namespace OrvaFrame {

void Pack(const Fields& fields, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>((fields.restart ? 0x80 : 0) | ((fields.stepIndex & 0x7F)));
  for (int b = 0; b < 8; ++b) {
    std::uint8_t byte = 0;
    for (int i = 0; i < 4; ++i) {
      byte = static_cast<std::uint8_t>((byte << 2) | (fields.codes[static_cast<std::size_t>(b * 4 + i)] & 3));
    }
    out[1 + b] = byte;
  }
}

Fields Unpack(const std::uint8_t* in) {
  Fields fields;
  fields.restart = (in[0] & 0x80) != 0;
  fields.stepIndex = in[0] & 0x7F;
  for (int b = 0; b < 8; ++b) {
    for (int i = 0; i < 4; ++i) {
      fields.codes[static_cast<std::size_t>(b * 4 + i)] = static_cast<std::uint8_t>((in[1 + b] >> (6 - 2 * i)) & 3);
    }
  }
  return fields;
}

double Step(int stepIndex) {
  static const std::array<double, kSteps* 2> table = [] {
    std::array<double, kSteps * 2> t{};
    for (int i = 0; i < kSteps * 2; ++i) {
      t[static_cast<std::size_t>(i)] = 0.6 * std::pow(10.0, 0.75 * i / 20.0);
    }
    return t;
  }();
  return table[static_cast<std::size_t>(stepIndex & (kSteps * 2 - 1))];
}

}  // namespace OrvaFrame
