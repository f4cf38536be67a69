#pragma once

#include <string>

// Lowers the rate of a 16-bit mono WAVE file by L/M (L < M); the constructor does the
// whole conversion. 1/3 and 1/7 use the direct-decimation tables. Unknown pairs raise code 3.
class CDownSampler {
 public:
  CDownSampler(const std::string& source, const std::string& destination, int L, int M);
};
