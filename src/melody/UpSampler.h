#pragma once

#include <string>

// Raises the rate of a 16-bit mono WAVE file by L/M (L > M); the constructor does the
// whole conversion and the object holds nothing afterwards. Unknown pairs raise code 3.
class CUpSampler {
 public:
  CUpSampler(const std::string& source, const std::string& destination, int L, int M);
};
