#pragma once

#include <array>
#include <cstdint>

// Short-term predictor computed from already decoded samples only, so the encoder and the
// decoder derive the same coefficients without sending them. Also keeps that history.
class CBackwardLpc {
 public:
  static constexpr int kOrder = 24;
  static constexpr int kWindow = 384;

  CBackwardLpc();
  void Reset();
  // Recomputes the coefficients from the current history (once per frame).
  void Update();
  // Appends decoded samples to the history.
  void Append(const std::int16_t* samples, int count);

  // Prediction of the next sample from the kOrder samples before `newest + 1`; `newest`
  // points at the most recent decoded sample and the earlier ones precede it in memory.
  double Predict(const std::int16_t* newest) const {
    double sum = 0.0;
    for (int k = 0; k < kOrder; ++k) {
      sum += m_coeffs[static_cast<std::size_t>(k)] * newest[-k];
    }
    return sum;
  }
  // The last kOrder decoded samples, oldest first.
  const std::int16_t* Tail() const { return m_history.data() + kWindow - kOrder; }

 private:
  std::array<double, kOrder> m_coeffs{};
  std::array<std::int16_t, kWindow> m_history{};
  std::array<double, kWindow> m_window{};
  std::array<double, kOrder + 1> m_lagWindow{};
};
