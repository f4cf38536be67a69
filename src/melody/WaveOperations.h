#pragma once

#include <cstdint>
#include <string>

#include "melody/BoundedStack.h"

class CWaveFile;

// Every file operation of the melody layer pushes the CWaveFile objects it declares here
// before opening them, so that a failed open can close the operation's other files, and
// empties the stack when it finishes. A CWaveFile leaves the stack when it is destroyed.
// Each thread has its own stack: an operation runs on one thread, so a worker converting a
// file and the window thread (views, headers) never touch each other's entries.
CBoundedStack<CWaveFile*>& OpenWaveFileStack();

struct WaveInfo {
  // The format tag as stored, and the encoding of the samples (for an extensible file the
  // one its SubFormat names, 0 when that is not a standard one).
  std::uint16_t m_wFormatTag = 0;
  std::uint16_t m_wSampleFormat = 0;
  // Frames of the usable data. When the stated data size runs past the end of the file
  // (truncated, or streamed with a placeholder size), the data is cut to the whole frames
  // present and m_bDataSizeClamped tells so.
  std::uint32_t m_dwFrames = 0;
  std::uint32_t m_dwStatedDataSize = 0;
  bool m_bDataSizeClamped = false;
  std::uint32_t m_dwRiffSize = 0;
  std::uint32_t m_dwSamplesPerSec = 0;
  std::uint32_t m_dwAvgBytesPerSec = 0;
  std::uint16_t m_wBlockAlign = 0;
  std::uint16_t m_wBitsPerSample = 0;
  std::uint16_t m_wChannels = 0;
};

// Byte positions and lengths count bytes of sample data. Each returns 0 or throws
// CMelodyException; a destination left by a failure is incomplete and the caller's to remove.

// Destination gets the source's format and `length` bytes from `start` (0 = to the end).
// A range that runs past the source data is cut at its end.
int WaveCopyPart(const std::string& source, const std::string& destination, std::uint32_t start, std::uint32_t length);
// Destination gets the source without [start, start + length); a non-empty removedPart
// receives those bytes as a WAVE file of the same format.
int WaveCutPart(const std::string& source, const std::string& destination, std::uint32_t start, std::uint32_t length,
                const std::string& removedPart);
// Destination gets source [0, position), the whole inserted file, then the rest of the
// source; a position past the end appends. The inserted file must have the source's format.
int WaveInsertPart(const std::string& source, const std::string& destination, std::uint32_t position,
                   const std::string& inserted);
// Multiplies every sample of a mono 8- or 16-bit file by factor, saturating at full scale.
int WaveAmplify(const std::string& source, const std::string& destination, double factor);
// Largest sample magnitude over every channel, and the format's full scale (255 for 8-bit
// files, 32767 otherwise).
int WavePeak(const std::string& file, std::uint32_t& peak, std::uint32_t& fullScale);
int GetWaveInfo(const std::string& file, WaveInfo& info);
