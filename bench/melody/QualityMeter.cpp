#include "QualityMeter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

#include "melody/MelodyException.h"
#include "melody/WaveFile.h"

namespace {

constexpr std::size_t kFrame = 320;  // 20 ms at 16 kHz
constexpr std::size_t kFft = 512;
constexpr double kSilenceBelowLoudestDb = 50.0;

void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1) {
      j ^= bit;
    }
    j ^= bit;
    if (i < j) {
      std::swap(a[i], a[j]);
    }
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2.0 * std::numbers::pi / static_cast<double>(len);
    const std::complex<double> wlen(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0);
      for (std::size_t k = 0; k < len / 2; ++k) {
        const auto u = a[i + k];
        const auto v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= wlen;
      }
    }
  }
}

std::vector<double> PowerSpectrum(const double* x) {
  std::vector<std::complex<double>> a(kFft);
  for (std::size_t i = 0; i < kFrame; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / kFrame);
    a[i] = x[i] * w;
  }
  Fft(a);
  std::vector<double> p(kFft / 2 + 1);
  for (std::size_t k = 0; k < p.size(); ++k) {
    p[k] = std::norm(a[k]);
  }
  return p;
}

int BestDelay(const std::vector<double>& ref, const std::vector<double>& test, int maxDelay) {
  const std::size_t n = std::min(ref.size(), test.size());
  int best = 0;
  double bestScore = -1e300;
  for (int d = -maxDelay; d <= maxDelay; ++d) {
    double score = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const long j = static_cast<long>(i) + d;
      if (j >= 0 && static_cast<std::size_t>(j) < test.size()) {
        score += ref[i] * test[static_cast<std::size_t>(j)];
      }
    }
    if (score > bestScore) {
      bestScore = score;
      best = d;
    }
  }
  return best;
}

}  // namespace

QualityFigures MeasureQuality(const std::vector<double>& reference, const std::vector<double>& test, int maxDelay) {
  QualityFigures q;
  q.delay = BestDelay(reference, test, maxDelay);
  std::vector<double> aligned(reference.size(), 0.0);
  for (std::size_t i = 0; i < reference.size(); ++i) {
    const long j = static_cast<long>(i) + q.delay;
    if (j >= 0 && static_cast<std::size_t>(j) < test.size()) {
      aligned[i] = test[static_cast<std::size_t>(j)];
    }
  }
  double signal = 0.0;
  double noise = 0.0;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    signal += reference[i] * reference[i];
    noise += (reference[i] - aligned[i]) * (reference[i] - aligned[i]);
  }
  q.snrDb = 10.0 * std::log10(signal / std::max(noise, 1e-9));
  const std::size_t frames = reference.size() / kFrame;
  double loudest = 0.0;
  std::vector<double> energy(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    for (std::size_t i = 0; i < kFrame; ++i) {
      energy[f] += reference[f * kFrame + i] * reference[f * kFrame + i];
    }
    loudest = std::max(loudest, energy[f]);
  }
  const double floor = loudest * std::pow(10.0, -kSilenceBelowLoudestDb / 10.0);
  double segSum = 0.0;
  double lsdSum = 0.0;
  for (std::size_t f = 0; f < frames; ++f) {
    if (energy[f] <= floor || energy[f] <= 0.0) {
      continue;
    }
    const double* r = reference.data() + f * kFrame;
    const double* t = aligned.data() + f * kFrame;
    double e = 0.0;
    for (std::size_t i = 0; i < kFrame; ++i) {
      e += (r[i] - t[i]) * (r[i] - t[i]);
    }
    segSum += std::clamp(10.0 * std::log10(energy[f] / std::max(e, 1e-9)), -10.0, 35.0);
    const auto pr = PowerSpectrum(r);
    const auto pt = PowerSpectrum(t);
    // A floor far below the quietest audible level keeps empty bins from dominating.
    const double eps = 1e-1 * kFrame;
    double d = 0.0;
    for (std::size_t k = 0; k < pr.size(); ++k) {
      const double diff = 10.0 * std::log10((pr[k] + eps) / (pt[k] + eps));
      d += diff * diff;
    }
    lsdSum += std::sqrt(d / static_cast<double>(pr.size()));
    ++q.frames;
  }
  if (q.frames > 0) {
    q.segSnrDb = segSum / static_cast<double>(q.frames);
    q.lsdDb = lsdSum / static_cast<double>(q.frames);
  }
  return q;
}

std::vector<double> ReadMonoWave(const std::string& path, std::uint32_t* rate) {
  try {
    CWaveFile file;
    file.OpenR(path);
    file.ReadHeader();
    if (file.m_wChannels != 1 || file.m_wBitsPerSample != 16) {
      throw std::runtime_error(path + ": not 16-bit mono");
    }
    std::uint32_t size = 0;
    file.SeekData(&size);
    std::vector<std::int16_t> samples(size / 2);
    file.Read(samples.data(), samples.size() * 2);
    if (rate != nullptr) {
      *rate = file.m_dwSamplesPerSec;
    }
    return std::vector<double>(samples.begin(), samples.end());
  } catch (const CMelodyException& e) {
    throw std::runtime_error(path + ": cannot be read (" + e.Where() + ")");
  }
}
