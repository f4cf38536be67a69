#pragma once

#include <array>
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
  static constexpr int kStepSpread = 2;
  static constexpr int kStepWiden = 4;

  void Reset() {
    m_lpc.Reset();
    m_errorTail.fill(0.0);
    m_restartPending = true;
  }
  void Encode(const std::int16_t* pcm, std::uint8_t* code);

 private:
  static constexpr int kWeightOrder = 10;
  struct Result {
    std::uint8_t codes[OrvaFrame::kSamples];
    std::int16_t recon[OrvaFrame::kSamples];
    double errorTail[kWeightOrder];
  };

  // Searches the codes for one step size; returns the best path's squared error.
  double Search(const int* input, int stepIndex, Result& result) const;
  int EstimateStepIndex(const int* input) const;

  CBackwardLpc m_lpc;
  // Error weighting A(z/gamma) of this frame and the coding errors of the chosen path.
  std::array<double, CBackwardLpc::kOrder> m_weights{};
  std::array<double, kWeightOrder> m_errorTail{};
  bool m_restartPending = true;
};
