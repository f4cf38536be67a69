#include "BackwardLpc.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// The analysis window rises slowly over the older samples and falls quickly over the
// newest ones, weighting the recent past most while keeping the spectrum smooth.
constexpr int kFall = 64;
// Bandwidth expansion per lag and white-noise correction keep the predictor stable and
// tolerant of the quantisation noise in its own history.
constexpr double kExpansion = 0.996;
constexpr double kNoiseCorrection = 1.0002;

}  // namespace

CBackwardLpc::CBackwardLpc() {
  constexpr int rise = kWindow - kFall;
  for (int n = 0; n < rise; ++n) {
    m_window[static_cast<std::size_t>(n)] = 0.5 - 0.5 * std::cos(std::numbers::pi * (n + 0.5) / rise);
  }
  for (int n = 0; n < kFall; ++n) {
    m_window[static_cast<std::size_t>(rise + n)] = std::cos(0.5 * std::numbers::pi * (n + 0.5) / kFall);
  }
  for (int k = 0; k <= kOrder; ++k) {
    const double x = 2.0 * std::numbers::pi * 50.0 * k / 16000.0;
    m_lagWindow[static_cast<std::size_t>(k)] = std::exp(-0.5 * x * x);
  }
  Reset();
}

void CBackwardLpc::Reset() {
  m_coeffs.fill(0.0);
  m_history.fill(0);
}

void CBackwardLpc::Append(const std::int16_t* samples, int count) {
  std::memmove(m_history.data(), m_history.data() + count, sizeof(std::int16_t) * (kWindow - count));
  std::memcpy(m_history.data() + kWindow - count, samples, sizeof(std::int16_t) * count);
}

void CBackwardLpc::Update() {
  std::array<double, kWindow> x{};
  for (int n = 0; n < kWindow; ++n) {
    x[static_cast<std::size_t>(n)] = m_history[static_cast<std::size_t>(n)] * m_window[static_cast<std::size_t>(n)];
  }
  std::array<double, kOrder + 1> r{};
  for (int k = 0; k <= kOrder; ++k) {
    double sums[4] = {0.0, 0.0, 0.0, 0.0};
    int n = k;
    for (; n + 4 <= kWindow; n += 4) {
      for (int u = 0; u < 4; ++u) {
        sums[u] += x[static_cast<std::size_t>(n + u)] * x[static_cast<std::size_t>(n + u - k)];
      }
    }
    for (; n < kWindow; ++n) {
      sums[0] += x[static_cast<std::size_t>(n)] * x[static_cast<std::size_t>(n - k)];
    }
    const double sum = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    r[static_cast<std::size_t>(k)] = sum * m_lagWindow[static_cast<std::size_t>(k)];
  }
  m_coeffs.fill(0.0);
  // Silence (or a history too quiet to model) predicts nothing.
  if (r[0] < 1.0 * kWindow) {
    return;
  }
  r[0] = r[0] * kNoiseCorrection + 1.0;
  // Levinson-Durbin recursion for the predictor a: x[n] ~ sum a[k] x[n-1-k].
  std::array<double, kOrder> a{};
  std::array<double, kOrder> previous{};
  double error = r[0];
  for (int i = 0; i < kOrder; ++i) {
    double acc = r[static_cast<std::size_t>(i + 1)];
    for (int j = 0; j < i; ++j) {
      acc -= a[static_cast<std::size_t>(j)] * r[static_cast<std::size_t>(i - j)];
    }
    const double k = acc / error;
    if (!(std::fabs(k) < 1.0)) {
      break;
    }
    previous = a;
    a[static_cast<std::size_t>(i)] = k;
    for (int j = 0; j < i; ++j) {
      a[static_cast<std::size_t>(j)] =
          previous[static_cast<std::size_t>(j)] - k * previous[static_cast<std::size_t>(i - 1 - j)];
    }
    error *= 1.0 - k * k;
  }
  double g = kExpansion;
  for (int k = 0; k < kOrder; ++k) {
    m_coeffs[static_cast<std::size_t>(k)] = a[static_cast<std::size_t>(k)] * g;
    g *= kExpansion;
  }
}
