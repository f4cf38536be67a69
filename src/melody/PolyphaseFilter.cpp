#include "melody/PolyphaseFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "melody/FirTable.h"
#include "melody/ResampleChain.h"

// The 8-lane vectors below never cross a call boundary (every helper is inlined), so the
// note about their calling convention without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

constexpr std::size_t kLanes = 8;
constexpr std::size_t kChunk = 4096;

typedef float Vec8 __attribute__((vector_size(32)));
typedef std::int32_t Vec8i __attribute__((vector_size(32)));

inline __attribute__((always_inline)) Vec8 Load8(const float* p) {
  Vec8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename Vec>
inline __attribute__((always_inline)) Vec LoadVec(const float* p) {
  Vec v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Dot product of k coefficients (k a multiple of the vector width) with the history.
template <typename Vec>
inline __attribute__((always_inline)) float Dot(const float* c, const float* x, std::size_t k) {
  constexpr std::size_t lanes = sizeof(Vec) / sizeof(float);
  Vec a = {};
  Vec b = a;
  Vec d = a;
  Vec e = a;
  std::size_t i = 0;
  for (; i + 4 * lanes <= k; i += 4 * lanes) {
    a += LoadVec<Vec>(c + i) * LoadVec<Vec>(x + i);
    b += LoadVec<Vec>(c + i + lanes) * LoadVec<Vec>(x + i + lanes);
    d += LoadVec<Vec>(c + i + 2 * lanes) * LoadVec<Vec>(x + i + 2 * lanes);
    e += LoadVec<Vec>(c + i + 3 * lanes) * LoadVec<Vec>(x + i + 3 * lanes);
  }
  for (; i < k; i += lanes) {
    a += LoadVec<Vec>(c + i) * LoadVec<Vec>(x + i);
  }
  a = (a + b) + (d + e);
  static_assert(lanes == 8);
  return ((a[0] + a[4]) + (a[1] + a[5])) + ((a[2] + a[6]) + (a[3] + a[7]));
}

inline std::int16_t Saturate(float y) {
  const float t = std::trunc(y);
  if (t >= 32767.0f) {
    return 32767;
  }
  if (t <= -32768.0f) {
    return -32768;
  }
  return static_cast<std::int16_t>(t);
}

struct FilterState {
  int L, M;
  std::size_t K;
  const float* coeffs;
  float* history;
  std::size_t historySize;
  std::size_t& write;
  int& phase;
  std::size_t& discard;
};

template <typename Out>
inline Out Convert(float y) {
  if constexpr (std::is_same_v<Out, float>) {
    return y;
  } else {
    return Saturate(y);
  }
}

template <typename Out, typename Vec>
inline __attribute__((always_inline)) std::size_t Run(FilterState s, const float* in, std::size_t count, Out* out) {
  // Inputs are appended to the history a block at a time; the outputs are then visited
  // directly, stepping over the inputs that produce none. `phase` is kept relative to the
  // next input position, exactly as if the inputs were taken one by one.
  std::size_t produced = 0;
  std::size_t taken = 0;
  const auto L = static_cast<std::size_t>(s.L);
  const auto M = static_cast<std::size_t>(s.M);
  auto t = static_cast<std::size_t>(s.phase);
  while (taken < count) {
    if (s.write == s.historySize) {
      std::memmove(s.history, s.history + s.historySize - s.K, s.K * sizeof(float));
      s.write = s.K;
    }
    const std::size_t block = std::min(count - taken, s.historySize - s.write);
    std::memcpy(s.history + s.write, in + taken, block * sizeof(float));
    std::size_t pos = s.write;
    const std::size_t end = s.write + block;
    for (;;) {
      while (t < L) {
        const float y = Dot<Vec>(s.coeffs + t * s.K, s.history + pos + 1 - s.K, s.K);
        if (s.discard > 0) {
          --s.discard;
        } else {
          out[produced++] = Convert<Out>(y);
        }
        t += M;
      }
      const std::size_t skip = t / L;
      if (pos + skip >= end) {
        t -= (end - pos) * L;
        break;
      }
      pos += skip;
      t -= skip * L;
    }
    s.write = end;
    taken += block;
  }
  s.phase = static_cast<int>(t);
  return produced;
}

// Integer-factor interpolation (M = 1): G consecutive inputs yield G * L outputs, computed
// side by side in vector lanes (lane g * L + p holds phase p of input g of the group). Row a
// of the bank multiplies the input a samples before the group's newest one, so each history
// sample is broadcast once per group and no horizontal sums are needed.
template <std::size_t Width, std::size_t G, typename Out>
inline __attribute__((always_inline)) std::size_t RunInterpolator(FilterState s, const float* bankStart,
                                                                  std::size_t rows, const float* in, std::size_t count,
                                                                  Out* out) {
  std::size_t produced = 0;
  constexpr std::size_t vectors = Width / kLanes;
  for (std::size_t n = 0; n + G <= count; n += G) {
    if (s.write + G > s.historySize) {
      std::memmove(s.history, s.history + s.write - s.K, s.K * sizeof(float));
      s.write = s.K;
    }
    std::memcpy(s.history + s.write, in + n, G * sizeof(float));
    s.write += G;
    const float* newest = s.history + s.write - 1;
    // Four partial sums per vector keep the additions out of one long dependency chain.
    Vec8 acc[4][vectors];
#pragma GCC unroll 4
    for (auto& partial : acc) {
#pragma GCC unroll 2
      for (std::size_t v = 0; v < vectors; ++v) {
        partial[v] = Vec8{0, 0, 0, 0, 0, 0, 0, 0};
      }
    }
    const float* bank = bankStart;
    std::size_t j = 0;
    for (; j + 4 <= rows; j += 4, bank += 4 * Width) {
#pragma GCC unroll 4
      for (std::size_t u = 0; u < 4; ++u) {
        const float x = newest[-static_cast<std::ptrdiff_t>(j + u)];
#pragma GCC unroll 2
        for (std::size_t v = 0; v < vectors; ++v) {
          acc[u][v] += Load8(bank + u * Width + v * kLanes) * x;
        }
      }
    }
    for (; j < rows; ++j, bank += Width) {
      const float x = newest[-static_cast<std::ptrdiff_t>(j)];
#pragma GCC unroll 2
      for (std::size_t v = 0; v < vectors; ++v) {
        acc[0][v] += Load8(bank + v * kLanes) * x;
      }
    }
    Out values[Width];
#pragma GCC unroll 2
    for (std::size_t v = 0; v < vectors; ++v) {
      Vec8 y = (acc[0][v] + acc[1][v]) + (acc[2][v] + acc[3][v]);
      if constexpr (std::is_same_v<Out, float>) {
        std::memcpy(values + v * kLanes, &y, sizeof y);
      } else {
        const Vec8 lo = {-32768.0f, -32768.0f, -32768.0f, -32768.0f, -32768.0f, -32768.0f, -32768.0f, -32768.0f};
        const Vec8 hi = {32767.0f, 32767.0f, 32767.0f, 32767.0f, 32767.0f, 32767.0f, 32767.0f, 32767.0f};
        y = y < lo ? lo : y;
        y = y > hi ? hi : y;
        const Vec8i converted = __builtin_convertvector(y, Vec8i);
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
          values[v * kLanes + lane] = static_cast<Out>(converted[lane]);
        }
      }
    }
    const std::size_t outputs = G * static_cast<std::size_t>(s.L);
    std::size_t first = 0;
    while (s.discard > 0 && first < outputs) {
      --s.discard;
      ++first;
    }
    for (std::size_t i = first; i < outputs; ++i) {
      out[produced++] = values[i];
    }
  }
  return produced;
}

template <typename Out>
inline __attribute__((always_inline)) std::size_t RunShape(InterpolatorShape shape, FilterState s, const float* bank,
                                                           std::size_t rows, const float* in, std::size_t count,
                                                           Out* out) {
  if (shape.width == 8 && shape.group == 4) {
    return RunInterpolator<8, 4>(s, bank, rows, in, count, out);
  }
  if (shape.width == 8 && shape.group == 2) {
    return RunInterpolator<8, 2>(s, bank, rows, in, count, out);
  }
  if (shape.width == 16 && shape.group == 3) {
    return RunInterpolator<16, 3>(s, bank, rows, in, count, out);
  }
  if (shape.width == 16) {
    return RunInterpolator<16, 1>(s, bank, rows, in, count, out);
  }
  return RunInterpolator<8, 1>(s, bank, rows, in, count, out);
}

template <typename Vec, typename Out>
inline __attribute__((always_inline)) std::size_t Dispatch(FilterState s, const InterpolatorBanks* banks,
                                                           const float* in, std::size_t count, Out* out) {
  if (banks == nullptr) {
    return Run<Out, Vec>(s, in, count, out);
  }
  // Whole groups first, then the inputs left over one at a time.
  const std::size_t whole = count / banks->group.group * banks->group.group;
  std::size_t produced = RunShape(banks->group, s, banks->groupBank, banks->groupRows, in, whole, out);
  produced +=
      RunShape(banks->single, s, banks->singleBank, banks->singleRows, in + whole, count - whole, out + produced);
  return produced;
}

// Picks the lane count and group size that fill the most lanes for L phases.
InterpolatorShape ChooseShape(std::size_t L) {
  InterpolatorShape best{8, 1};
  double bestUse = 0.0;
  for (const std::size_t width : {std::size_t{8}, std::size_t{16}}) {
    const std::size_t group = std::min<std::size_t>(width / L, 4);
    const double use = static_cast<double>(group * L) / static_cast<double>(width);
    if (group > 0 && (group == 4 || group == 2 || group == 3 || group == 1) && use > bestUse + 1e-9) {
      best = {width, group};
      bestUse = use;
    }
  }
  // Only the shapes RunShape knows are used.
  const bool known = (best.width == 8 && (best.group == 4 || best.group == 2 || best.group == 1)) ||
                     (best.width == 16 && (best.group == 3 || best.group == 1));
  return known ? best : InterpolatorShape{L <= 8 ? std::size_t{8} : std::size_t{16}, 1};
}

// Row a, lane g * L + p: tap p + j * L with j = a - (G - 1 - g).
std::vector<float> BuildBank(const FirTable& table, InterpolatorShape shape, std::size_t perPhase, double gain) {
  const auto L = static_cast<std::size_t>(table.L);
  const std::size_t rows = perPhase + shape.group - 1;
  std::vector<float> bank(rows * shape.width, 0.0f);
  for (std::size_t a = 0; a < rows; ++a) {
    for (std::size_t g = 0; g < shape.group; ++g) {
      const std::size_t lag = shape.group - 1 - g;
      if (a < lag || a - lag >= perPhase) {
        continue;
      }
      for (std::size_t p = 0; p < L; ++p) {
        const std::size_t tap = p + (a - lag) * L;
        if (tap < table.h.size()) {
          bank[a * shape.width + g * L + p] = static_cast<float>(table.h[tap] * gain);
        }
      }
    }
  }
  return bank;
}

}  // namespace

CPolyphaseFilter::CPolyphaseFilter(const FirTable& table)
    : m_L(table.L),
      m_M(table.M),
      m_write(0),
      m_phase(table.direct ? table.centre : 0),
      m_discard(static_cast<std::size_t>(table.delay)),
      m_flush(table.direct ? static_cast<std::size_t>(table.centre)
                           : static_cast<std::size_t>(table.delay) * table.M / table.L),
      m_avx2(__builtin_cpu_supports("avx2")) {
  const std::size_t taps = table.h.size();
  const std::size_t perPhase = (taps + m_L - 1) / m_L;
  m_K = (perPhase + kLanes - 1) / kLanes * kLanes;
  const double gain = table.Gain();
  if (m_M == 1 && m_L > 1 && m_L <= 16) {
    m_groupShape = ChooseShape(static_cast<std::size_t>(m_L));
    m_singleShape = {m_L <= 8 ? std::size_t{8} : std::size_t{16}, 1};
    m_groupBank = BuildBank(table, m_groupShape, perPhase, gain);
    m_singleBank = BuildBank(table, m_singleShape, perPhase, gain);
    m_banks = InterpolatorBanks{m_groupShape,  m_groupBank.data(),  perPhase + m_groupShape.group - 1,
                                m_singleShape, m_singleBank.data(), perPhase};
    m_K = perPhase + m_groupShape.group - 1;
    m_interpolator = true;
    m_history.assign(m_K + kChunk, 0.0f);
    m_write = m_K;
    return;
  }
  m_coeffs.assign(m_K * m_L, 0.0f);
  for (int p = 0; p < m_L; ++p) {
    for (std::size_t k = 0; k < m_K; ++k) {
      // Position K-1 meets the newest input, which takes tap p; older inputs take p + jL.
      const std::size_t j = m_K - 1 - k;
      const std::size_t tap = static_cast<std::size_t>(p) + j * m_L;
      if (tap < taps) {
        m_coeffs[static_cast<std::size_t>(p) * m_K + k] = static_cast<float>(table.h[tap] * gain);
      }
    }
  }
  m_history.assign(m_K + kChunk, 0.0f);
  m_write = m_K;
}

// The filter's state and, for interpolators, its lane banks.
#define ORVANE_FILTER_STATE                                                                                     \
  FilterState{m_L, m_M, m_K, m_coeffs.data(), m_history.data(), m_history.size(), m_write, m_phase, m_discard}, \
      (m_interpolator ? &m_banks : nullptr)

std::size_t CPolyphaseFilter::ProcessGeneric(const float* in, std::size_t count, std::int16_t* out) {
  return Dispatch<Vec8>(ORVANE_FILTER_STATE, in, count, out);
}

std::size_t CPolyphaseFilter::ProcessGeneric(const float* in, std::size_t count, float* out) {
  return Dispatch<Vec8>(ORVANE_FILTER_STATE, in, count, out);
}

__attribute__((target("avx2"))) std::size_t CPolyphaseFilter::ProcessAvx2(const float* in, std::size_t count,
                                                                          std::int16_t* out) {
  return Dispatch<Vec8>(ORVANE_FILTER_STATE, in, count, out);
}

__attribute__((target("avx2"))) std::size_t CPolyphaseFilter::ProcessAvx2(const float* in, std::size_t count,
                                                                          float* out) {
  return Dispatch<Vec8>(ORVANE_FILTER_STATE, in, count, out);
}

#undef ORVANE_FILTER_STATE

std::size_t CPolyphaseFilter::Process(const float* in, std::size_t count, std::int16_t* out) {
  return m_avx2 ? ProcessAvx2(in, count, out) : ProcessGeneric(in, count, out);
}

std::size_t CPolyphaseFilter::Process(const float* in, std::size_t count, float* out) {
  return m_avx2 ? ProcessAvx2(in, count, out) : ProcessGeneric(in, count, out);
}

void CPolyphaseFilter::ConvertFile(const std::string& source, const std::string& destination, const FirTable& table) {
  CResampleChain({&table}).ConvertFile(source, destination);
}
