#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Objective quality of a decoded signal against its reference (both 16 kHz mono):
// SNR, segmental SNR and log-spectral distance after delay alignment.
struct QualityFigures {
  int delay = 0;           // samples the test signal lags the reference
  double snrDb = 0;        // whole-signal SNR
  double segSnrDb = 0;     // mean over 20 ms frames, each clamped to [-10, 35] dB, silent frames skipped
  double lsdDb = 0;        // mean over non-silent 20 ms frames of the RMS dB difference of the spectra
  std::size_t frames = 0;  // frames that counted
};

QualityFigures MeasureQuality(const std::vector<double>& reference, const std::vector<double>& test,
                              int maxDelay = 400);
// Reads a 16-bit mono WAVE file; throws std::runtime_error on failure.
std::vector<double> ReadMonoWave(const std::string& path, std::uint32_t* rate = nullptr);
