#pragma once

#include <cstdint>

#include "BackwardLpc.h"

// Turns 9-byte frames back into 32 samples, keeping the predictor history between frames.
class CFrameDecoder {
 public:
  void Reset() { m_lpc.Reset(); }
  void Decode(const std::uint8_t* code, std::int16_t* pcm);

 private:
  CBackwardLpc m_lpc;
};
