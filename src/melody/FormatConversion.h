#pragma once

#include <cstdint>
#include <string>

// Conversion flags of TransWaveFormat, combined with OR.
inline constexpr std::uint32_t TRANS_MONAURAL = 1;  // take one channel of a stereo file
inline constexpr std::uint32_t TRANS_RESAMPLE = 2;  // resample to 16000 Hz
inline constexpr std::uint32_t TRANS_8TO16 = 4;     // widen 8-bit samples
inline constexpr std::uint32_t TRANS_NARROW = 8;    // narrow 24/32-bit and float samples to 16 bits
// Channel choice: 1 takes the left channel, any other value the right.
inline constexpr int kChannelLeft = 1;
inline constexpr int kChannelRight = 2;
inline constexpr std::uint32_t kMelodyRate = 16000;

struct WaveInfo;

// True for the nine input rates the chain can bring to 16000 Hz.
bool IsSupportedRate(std::uint32_t rate);
// Why a file cannot be brought to the melody format ("unsupported audio format: ..."),
// or empty when it can.
std::string ConversionProblem(const WaveInfo& info);
// True when the samples are wider than 16 bits or floating point: the conversion then
// narrows them to 16 bits first (TRANS_NARROW), losing the extra resolution.
bool NeedsNarrowing(const WaveInfo& info);

// Runs the selected steps (narrowing, channel, widening, resampling) from source to
// destination. Sources whose samples are not PCM (or floating point with TRANS_NARROW)
// are refused with code 3.
// Channel choice and widening write working files in the temporary folder when more steps
// follow; the resampling steps of a rate run in one streaming pass. Working files are
// removed however the call ends. Returns 0, or 1 when TRANS_RESAMPLE is set and
// sourceRate is not supported; every other failure throws CMelodyException (code 0 when
// the cancel request stops it). A failed call may leave an incomplete destination.
int TransWaveFormat(int channel, std::uint32_t flags, const std::string& source, const std::string& destination,
                    std::uint32_t sourceRate);
void StereoToMonaural(int channel, const std::string& source, const std::string& destination);
void Bits8To16(const std::string& source, const std::string& destination);
// 24-bit and 32-bit PCM and 32-bit floating-point samples to 16-bit PCM, rounded to the
// nearest value and saturated; the channel count is kept.
void NarrowTo16(const std::string& source, const std::string& destination);
// L > M raises the rate, L < M lowers it, L == M copies the file.
void Resample(const std::string& source, const std::string& destination, int L, int M);
