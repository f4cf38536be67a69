#pragma once

#include <cstdint>
#include <string>

// Binding to the melody codec library (orva-coder.so in the library folder), loaded by
// file name for the length of one conversion, and the block encoder and decoder around it.
// A codec frame is 32 samples of 16 kHz mono audio (2 ms) and 9 bytes of code.
inline constexpr std::uint32_t kMelodyFrameSamples = 32;
inline constexpr std::uint32_t kMelodyFrameBytes = 9;
// ".gc" data always holds a multiple of this many frames (20 ms).
inline constexpr std::uint32_t kMelodyFrameGroup = 10;

// 0 when the library and its five entry points were found, 1 otherwise. A failed load
// leaves nothing loaded; FreeMelodyCodec is still called after it.
int LoadMelodyCodec();
void FreeMelodyCodec();
bool MelodyCodecLoaded();
// The file the binding loads.
std::string MelodyCodecPath();

// Encodes byteCount bytes of 16-bit samples (whole frames, then a zero-filled last frame)
// into frames. The codec restarts at every block. Checks the melody workers' cancel
// request every 10,000 frames (code 0). Raises code 1 when the codec is not loaded or
// the output would exceed capacity.
void EncodeMelodyBlock(const std::int16_t* samples, std::uint32_t byteCount, std::uint8_t* frames,
                       std::uint32_t capacity, std::uint32_t& bytesWritten, std::uint32_t& frameCounter);
// Decodes byteCount bytes of frames (a trailing partial frame decodes as if zero-filled)
// into 16-bit samples: each decoded value is clamped to 14 bits and multiplied by 4.
void DecodeMelodyBlock(const std::uint8_t* frames, std::uint32_t byteCount, std::int16_t* samples,
                       std::uint32_t capacity, std::uint32_t& bytesWritten);

// 16 kHz 16-bit mono WAVE file -> ".gc" frames (a multiple of 10 frames); and back.
// Both return 0 or throw CMelodyException.
int WaveToMelodyData(const std::string& wave, const std::string& gc);
int MelodyDataToWave(const std::string& gc, const std::string& wave);
