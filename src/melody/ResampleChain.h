#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "melody/PolyphaseFilter.h"

class CTableSink;
struct FirTable;

// A sequence of resampling stages run in one pass over a 16-bit mono WAVE file: each
// block of input flows through every stage in memory (as floating point, so nothing is
// rounded between stages) and only the last stage's output is converted to 16 bits and
// written. The result matches running the stages one after the other, each flushed with
// its own zero tail, except that nothing is rounded to 16 bits between stages, and the
// intermediate rates never reach the disk.
class CResampleChain {
 public:
  explicit CResampleChain(const std::vector<const FirTable*>& tables);

  // Reads the melody workers' cancel request (code 0 when set).
  void ConvertFile(const std::string& source, const std::string& destination);

 private:
  void Push(std::size_t stage, const float* in, std::size_t count, CTableSink& sink);

  std::vector<const FirTable*> m_tables;
  std::vector<CPolyphaseFilter> m_stages;
  std::vector<std::vector<float>> m_buffers;
  std::vector<std::int16_t> m_staged;
};
