#pragma once

#include <cstdint>
#include <string>

// Conversion flags of TransWaveFormat, combined with OR.
inline constexpr std::uint32_t TRANS_MONAURAL = 1;  // take one channel of a stereo file
inline constexpr std::uint32_t TRANS_RESAMPLE = 2;  // resample to 16000 Hz
inline constexpr std::uint32_t TRANS_8TO16 = 4;     // widen 8-bit samples
// Channel choice: 1 takes the left channel, any other value the right.
inline constexpr int kChannelLeft = 1;
inline constexpr int kChannelRight = 2;
inline constexpr std::uint32_t kMelodyRate = 16000;

// True for the nine input rates the chain can bring to 16000 Hz.
bool IsSupportedRate(std::uint32_t rate);

// Runs the selected steps (channel, widening, resampling) from source to destination.
// Channel choice and widening write working files in the temporary folder when more steps
// follow; the resampling steps of a rate run in one streaming pass. Working files are
// removed however the call ends. Returns 0, or 1 when TRANS_RESAMPLE is set and
// sourceRate is not supported; every other failure throws CMelodyException (code 0 when
// the cancel request stops it). A failed call may leave an incomplete destination.
int TransWaveFormat(int channel, std::uint32_t flags, const std::string& source, const std::string& destination,
                    std::uint32_t sourceRate);
void StereoToMonaural(int channel, const std::string& source, const std::string& destination);
void Bits8To16(const std::string& source, const std::string& destination);
// L > M raises the rate, L < M lowers it, L == M copies the file.
void Resample(const std::string& source, const std::string& destination, int L, int M);
