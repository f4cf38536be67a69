#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FirTable;

// Lane layout of an integer-factor interpolator: vector lanes per bank row and the number
// of consecutive inputs whose outputs share one pass over the history.
struct InterpolatorShape {
  std::size_t width;
  std::size_t group;
};

struct InterpolatorBanks {
  InterpolatorShape group;
  const float* groupBank;
  std::size_t groupRows;
  InterpolatorShape single;
  const float* singleBank;
  std::size_t singleRows;
};

// Streaming rational resampler by L/M over one FIR table: the equivalent of inserting
// L - 1 zeros between input samples, low-pass filtering and keeping every M-th sample,
// computing only the kept outputs. For M > 1 each phase's coefficients are stored reversed
// and padded so every output is one contiguous dot product over the input history; integer
// interpolators (M = 1) compute all phases of a few inputs at once in vector lanes.
class CPolyphaseFilter {
 public:
  explicit CPolyphaseFilter(const FirTable& table);
  // m_banks points into the filter's own vectors: moving keeps those buffers, copying
  // would not.
  CPolyphaseFilter(const CPolyphaseFilter&) = delete;
  CPolyphaseFilter& operator=(const CPolyphaseFilter&) = delete;
  CPolyphaseFilter(CPolyphaseFilter&&) noexcept = default;
  CPolyphaseFilter& operator=(CPolyphaseFilter&&) noexcept = default;

  // Filters count input samples; writes the outputs (gain applied, the leading delay
  // discarded, truncated toward zero and saturated to 16 bits) to out, which must have
  // room for MaxOutput(count) samples. Returns the number written.
  std::size_t Process(const float* in, std::size_t count, std::int16_t* out);
  // The same without the conversion to 16 bits, for chaining stages in memory.
  std::size_t Process(const float* in, std::size_t count, float* out);
  std::size_t MaxOutput(std::size_t count) const { return count * m_L / m_M + 2; }
  // Zero input samples that push the last real input through the filter.
  std::size_t FlushLength() const { return m_flush; }

  // Resamples a 16-bit mono WAVE file with the table; reads the cancel request of the
  // melody workers (code 0 when set). The destination rate is the source rate * L / M.
  static void ConvertFile(const std::string& source, const std::string& destination, const FirTable& table);

 private:
  std::size_t ProcessGeneric(const float* in, std::size_t count, std::int16_t* out);
  std::size_t ProcessGeneric(const float* in, std::size_t count, float* out);
  std::size_t ProcessAvx2(const float* in, std::size_t count, std::int16_t* out);
  std::size_t ProcessAvx2(const float* in, std::size_t count, float* out);

  int m_L;
  int m_M;
  // History kept between blocks: the padded taps per phase of a decimator, or the bank
  // rows of an interpolator.
  std::size_t m_K;
  std::vector<float> m_coeffs;
  std::vector<float> m_history;
  std::size_t m_write;
  int m_phase;
  std::size_t m_discard;
  std::size_t m_flush;
  bool m_avx2;
  // Integer-factor interpolators (M = 1) use lane banks instead of m_coeffs.
  bool m_interpolator = false;
  InterpolatorShape m_groupShape{8, 1};
  InterpolatorShape m_singleShape{8, 1};
  std::vector<float> m_groupBank;
  std::vector<float> m_singleBank;
  InterpolatorBanks m_banks{};
};
