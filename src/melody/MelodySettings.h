#pragma once

#include <cstdint>

class CSettingsStore;

// The melody window's settings (subkey "Melody" of the product key), read once when the
// window opens; a missing value is written with its default. Each value is brought into a
// usable range as it is read: 0 undo levels, a zoom limit of 0 (a division by zero in the
// view), a target peak of 0 or beyond 16-bit full scale, or a volume step of 0 dB would each
// break an editing command.
class CMelodySettings {
 public:
  static constexpr std::uint32_t kDefaultMaxUndoCount = 5;
  static constexpr std::uint32_t kDefaultMaxVolume = 32767;
  static constexpr std::uint32_t kDefaultMaxZoomSize = 50;
  static constexpr std::uint32_t kDefaultVolumeChangeRate = 4;
  static constexpr std::uint32_t kUndoLimit = 100;
  static constexpr std::uint32_t kZoomLimit = 1000;
  static constexpr std::uint32_t kVolumeStepLimit = 40;

  // Reads the four values; with no store every value keeps its default.
  void Read(CSettingsStore* store);

  std::uint32_t maxUndoCount = kDefaultMaxUndoCount;
  std::uint32_t maxVolume = kDefaultMaxVolume;
  std::uint32_t maxZoomSize = kDefaultMaxZoomSize;
  std::uint32_t volumeChangeRate = kDefaultVolumeChangeRate;
};
