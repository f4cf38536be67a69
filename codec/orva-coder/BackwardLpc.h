#pragma once

#include <array>
#include <cstdint>

// Short-term predictor computed from already decoded samples only, so the encoder and the
// decoder derive the same coefficients without sending them. Also keeps that history.
class CBackwardLpc {
 public:
  static constexpr int kOrder = 32;
  static constexpr int kWindow = 256;

  CBackwardLpc();
  void Reset();
  // Recomputes the coefficients from the current history (once per frame).
  void Update();
  // Appends decoded samples to the history.
  void Append(const std::int16_t* samples, int count);

  // Prediction of the next sample from the kOrder samples before `newest + 1`; `newest`
  // points at the most recent decoded sample and the earlier ones precede it in memory.
  double Predict(const std::int16_t* newest) const {
    // Four partial sums shorten the chain of dependent additions; the order is fixed, so
    // encoder and decoder still compute identical values.
    static_assert(kOrder % 4 == 0);
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (int k = 0; k < kOrder; k += 4) {
      s0 += m_coeffs[static_cast<std::size_t>(k)] * newest[-k];
      s1 += m_coeffs[static_cast<std::size_t>(k + 1)] * newest[-k - 1];
      s2 += m_coeffs[static_cast<std::size_t>(k + 2)] * newest[-k - 2];
      s3 += m_coeffs[static_cast<std::size_t>(k + 3)] * newest[-k - 3];
    }
    return (s0 + s1) + (s2 + s3);
  }
  double Coefficient(int k) const { return m_coeffs[static_cast<std::size_t>(k)]; }
  // The last kOrder decoded samples, oldest first.
  const std::int16_t* Tail() const { return m_history.data() + kWindow - kOrder; }

 private:
  std::array<double, kOrder> m_coeffs{};
  std::array<std::int16_t, kWindow> m_history{};
  std::array<double, kWindow> m_window{};
  std::array<double, kOrder + 1> m_lagWindow{};
};
