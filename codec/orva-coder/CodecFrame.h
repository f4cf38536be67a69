#pragma once

#include <array>
#include <cstdint>

// Layout of one 9-byte frame and the quantiser shared by encoder and decoder.
//   byte 0: bit 7 restart flag (the encoder had just been reset: the decoder clears its
//           state before this frame), bits 6-1 step index, bit 0 half-step refinement;
//   bytes 1-8: 32 two-bit residual codes, first sample in the top bits of byte 1.
namespace OrvaFrame {

inline constexpr int kSamples = 32;
inline constexpr int kBytes = 9;
inline constexpr int kSteps = 64;
inline constexpr int kMinSample = -8192;
inline constexpr int kMaxSample = 8191;

struct Fields {
  bool restart = false;
  int stepIndex = 0;  // 0..kSteps*2-1, in 0.75 dB steps
  std::array<std::uint8_t, kSamples> codes{};
};

void Pack(const Fields& fields, std::uint8_t* out);
Fields Unpack(const std::uint8_t* in);

// Quantiser step for an index, and the four reconstruction levels in steps.
double Step(int stepIndex);
inline constexpr std::array<double, 4> kLevels = {-1.51, -0.4528, 0.4528, 1.51};

// The reconstructed sample for a prediction and a code; shared so that encoder and decoder
// compute bit-identical values.
inline int Reconstruct(double prediction, int code, double step) {
  double v = prediction + kLevels[static_cast<std::size_t>(code)] * step;
  v = v < kMinSample ? kMinSample : (v > kMaxSample ? kMaxSample : v);
  return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5);
}

}  // namespace OrvaFrame
