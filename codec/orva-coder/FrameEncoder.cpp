#include "FrameEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kOrder = CBackwardLpc::kOrder;
constexpr int kSamples = OrvaFrame::kSamples;
constexpr int kStepIndices = OrvaFrame::kSteps * 2;

}  // namespace

int CFrameEncoder::EstimateStepIndex(const int* input) const {
  // Open-loop residual of the input through this frame's predictor.
  std::int16_t buffer[kOrder + kSamples];
  std::memcpy(buffer, m_lpc.Tail(), sizeof(std::int16_t) * kOrder);
  double energy = 0.0;
  for (int n = 0; n < kSamples; ++n) {
    const double e = input[n] - m_lpc.Predict(buffer + kOrder + n - 1);
    energy += e * e;
    buffer[kOrder + n] = static_cast<std::int16_t>(input[n]);
  }
  const double rms = std::sqrt(energy / kSamples);
  const int index = static_cast<int>(std::lround(20.0 * std::log10(std::max(rms, 0.01) / OrvaFrame::Step(0)) / 0.75));
  return std::clamp(index, 0, kStepIndices - 1);
}

double CFrameEncoder::Search(const int* input, int stepIndex, Path& best) const {
  const double step = OrvaFrame::Step(stepIndex);
  Path paths[2][kSurvivors * 4];
  int count = 1;
  Path* current = paths[0];
  Path* next = paths[1];
  current[0].cost = 0.0;
  std::memcpy(current[0].recon, m_lpc.Tail(), sizeof(std::int16_t) * kOrder);
  struct Candidate {
    double cost;
    int parent;
    int code;
    std::int16_t value;
  };
  Candidate candidates[kSurvivors * 4];
  for (int n = 0; n < kSamples; ++n) {
    int made = 0;
    for (int p = 0; p < count; ++p) {
      const double prediction = m_lpc.Predict(current[p].recon + kOrder + n - 1);
      for (int c = 0; c < 4; ++c) {
        const int value = OrvaFrame::Reconstruct(prediction, c, step);
        const double e = input[n] - value;
        candidates[made++] = {current[p].cost + e * e, p, c, static_cast<std::int16_t>(value)};
      }
    }
    const int keep = std::min(made, kSurvivors);
    std::partial_sort(candidates, candidates + keep, candidates + made,
                      [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
    for (int s = 0; s < keep; ++s) {
      const Candidate& cand = candidates[s];
      const Path& parent = current[cand.parent];
      Path& child = next[s];
      child.cost = cand.cost;
      std::memcpy(child.recon, parent.recon, sizeof(std::int16_t) * (kOrder + n));
      std::memcpy(child.codes, parent.codes, static_cast<std::size_t>(n));
      child.recon[kOrder + n] = cand.value;
      child.codes[n] = static_cast<std::uint8_t>(cand.code);
    }
    count = keep;
    std::swap(current, next);
  }
  best = current[0];
  return current[0].cost;
}

void CFrameEncoder::Encode(const std::int16_t* pcm, std::uint8_t* code) {
  OrvaFrame::Fields fields;
  fields.restart = m_restartPending;
  m_restartPending = false;
  m_lpc.Update();
  int input[kSamples];
  for (int n = 0; n < kSamples; ++n) {
    input[n] = std::clamp<int>(pcm[n], OrvaFrame::kMinSample, OrvaFrame::kMaxSample);
  }
  // Closed-loop search over the step sizes around the open-loop estimate.
  const int centre = EstimateStepIndex(input);
  Path best;
  Path trial;
  double bestCost = -1.0;
  const int first = std::max(0, centre - kStepSpread);
  const int last = std::min(kStepIndices - 1, centre + kStepSpread);
  for (int index = first; index <= last; ++index) {
    const double cost = Search(input, index, trial);
    if (bestCost < 0.0 || cost < bestCost) {
      bestCost = cost;
      best = trial;
      fields.stepIndex = index;
    }
  }
  std::memcpy(fields.codes.data(), best.codes, kSamples);
  OrvaFrame::Pack(fields, code);
  m_lpc.Append(best.recon + kOrder, kSamples);
}
