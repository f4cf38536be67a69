#include "melody/PolyphaseFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "melody/FirTable.h"
#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"
#include "melody/TableSink.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

// The 8-lane vectors below never cross a call boundary (every helper is inlined), so the
// note about their calling convention without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

constexpr std::size_t kLanes = 8;
constexpr std::size_t kChunk = 4096;
constexpr std::size_t kCancelCheckSamples = 65536;

typedef float Vec8 __attribute__((vector_size(32)));

inline __attribute__((always_inline)) Vec8 Load8(const float* p) {
  Vec8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline __attribute__((always_inline)) float Dot(const float* c, const float* x, std::size_t k) {
  Vec8 a = {0, 0, 0, 0, 0, 0, 0, 0};
  Vec8 b = {0, 0, 0, 0, 0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 2 * kLanes <= k; i += 2 * kLanes) {
    a += Load8(c + i) * Load8(x + i);
    b += Load8(c + i + kLanes) * Load8(x + i + kLanes);
  }
  if (i < k) {
    a += Load8(c + i) * Load8(x + i);
  }
  a += b;
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

inline __attribute__((always_inline)) std::size_t Run(FilterState s, const float* in, std::size_t count,
                                                      std::int16_t* out) {
  std::size_t produced = 0;
  for (std::size_t n = 0; n < count; ++n) {
    if (s.write == s.historySize) {
      std::memmove(s.history, s.history + s.historySize - s.K, s.K * sizeof(float));
      s.write = s.K;
    }
    s.history[s.write++] = in[n];
    const float* window = s.history + s.write - s.K;
    while (s.phase < s.L) {
      const float y = Dot(s.coeffs + static_cast<std::size_t>(s.phase) * s.K, window, s.K);
      if (s.discard > 0) {
        --s.discard;
      } else {
        out[produced++] = Saturate(y);
      }
      s.phase += s.M;
    }
    s.phase -= s.L;
  }
  return produced;
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
  m_coeffs.assign(m_K * m_L, 0.0f);
  const double gain = table.Gain();
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

std::size_t CPolyphaseFilter::ProcessGeneric(const float* in, std::size_t count, std::int16_t* out) {
  return Run({m_L, m_M, m_K, m_coeffs.data(), m_history.data(), m_history.size(), m_write, m_phase, m_discard}, in,
             count, out);
}

__attribute__((target("avx2"))) std::size_t CPolyphaseFilter::ProcessAvx2(const float* in, std::size_t count,
                                                                          std::int16_t* out) {
  return Run({m_L, m_M, m_K, m_coeffs.data(), m_history.data(), m_history.size(), m_write, m_phase, m_discard}, in,
             count, out);
}

std::size_t CPolyphaseFilter::Process(const float* in, std::size_t count, std::int16_t* out) {
  return m_avx2 ? ProcessAvx2(in, count, out) : ProcessGeneric(in, count, out);
}

namespace {

void CheckCancel() {
  if (MelodyThreadState().CancelRequested()) {
    throw CMelodyException(CMelodyException::kCancelled, "");
  }
}

// Filters samples and appends the outputs to the sink as little-endian 16-bit values.
void FilterInto(CPolyphaseFilter& filter, const float* in, std::size_t count, std::vector<std::int16_t>& staged,
                CTableSink& sink) {
  staged.resize(std::max(staged.size(), filter.MaxOutput(count)));
  std::uint8_t* room = sink.Reserve(filter.MaxOutput(count) * 2);
  const std::size_t produced = filter.Process(in, count, staged.data());
  for (std::size_t i = 0; i < produced; ++i) {
    const auto v = static_cast<std::uint16_t>(staged[i]);
    room[2 * i] = static_cast<std::uint8_t>(v);
    room[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  sink.Commit(produced * 2);
}

}  // namespace

void CPolyphaseFilter::ConvertFile(const std::string& source, const std::string& destination, const FirTable& table) {
  if (table.L > 10) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CPolyphaseFilter ratio");
  }
  CWaveFile src;
  CWaveFile dst;
  OpenWaveFileStack().Push(&src);
  src.OpenR(source);
  src.ReadHeader();
  if (src.m_wChannels != 1 || src.m_wBitsPerSample != 16) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CPolyphaseFilter format");
  }
  src.SeekData();
  OpenWaveFileStack().Push(&dst);
  dst.OpenW(destination);
  dst.CopyFormatFrom(src);
  dst.m_dwSamplesPerSec = static_cast<std::uint32_t>(static_cast<std::uint64_t>(src.m_dwSamplesPerSec) * table.L /
                                                     static_cast<std::uint64_t>(table.M));
  dst.m_dwAvgBytesPerSec = static_cast<std::uint32_t>(static_cast<std::uint64_t>(src.m_dwAvgBytesPerSec) * table.L /
                                                      static_cast<std::uint64_t>(table.M));
  dst.WriteHeader();
  const std::uint8_t* table8 = src.CreateBuffer();
  CTableSink sink(dst);
  CPolyphaseFilter filter(table);
  std::vector<float> chunk(kChunk);
  std::vector<std::int16_t> staged;
  std::size_t sinceCheck = kCancelCheckSamples;
  for (std::size_t bytes = src.ReadToTable(); bytes > 0; bytes = src.ReadToTable()) {
    const std::size_t samples = bytes / 2;
    for (std::size_t first = 0; first < samples; first += kChunk) {
      if (sinceCheck >= kCancelCheckSamples) {
        CheckCancel();
        sinceCheck = 0;
      }
      const std::size_t n = std::min(kChunk, samples - first);
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = table8 + 2 * (first + i);
        chunk[i] = static_cast<float>(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
      }
      FilterInto(filter, chunk.data(), n, staged, sink);
      sinceCheck += n;
    }
  }
  std::fill(chunk.begin(), chunk.end(), 0.0f);
  for (std::size_t left = filter.FlushLength(); left > 0;) {
    const std::size_t n = std::min(kChunk, left);
    FilterInto(filter, chunk.data(), n, staged, sink);
    left -= n;
  }
  sink.Finish();
  OpenWaveFileStack().Clear();
}
