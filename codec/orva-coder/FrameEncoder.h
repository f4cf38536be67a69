#pragma once

#include <cstdint>

#include "BackwardLpc.h"
#include "CodecFrame.h"

// Encodes 32 samples per frame by analysis-by-synthesis: for each candidate step size a
// delayed-decision (M-algorithm) search picks the code sequence whose reconstruction is
// closest to the input, and the best candidate is sent. The encoder tracks exactly the
// decoder's reconstruction, so the backward predictor stays in step on both sides.
class CFrameEncoder {
 public:
  static constexpr int kSurvivors = 4;
  static constexpr int kStepSpread = 3;

  void Reset() {
    m_lpc.Reset();
    m_restartPending = true;
  }
  void Encode(const std::int16_t* pcm, std::uint8_t* code);

 private:
  struct Path {
    double cost = 0.0;
    std::int16_t recon[CBackwardLpc::kOrder + OrvaFrame::kSamples];
    std::uint8_t codes[OrvaFrame::kSamples];
  };

  // Searches the codes for one step size; returns the best path's squared error.
  double Search(const int* input, int stepIndex, Path& best) const;
  int EstimateStepIndex(const int* input) const;

  CBackwardLpc m_lpc;
  bool m_restartPending = true;
};
