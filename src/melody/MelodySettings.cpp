#include "melody/MelodySettings.h"

#include "appcore/SettingsStore.h"

#include <algorithm>

void CMelodySettings::Read(CSettingsStore* store) {
  if (store == nullptr) {
    return;
  }
  const std::string key = kProductKey + "Melody";
  maxUndoCount =
      std::clamp<std::uint32_t>(store->ReadOrCreateDword(key, "MaxUndoCount", kDefaultMaxUndoCount), 1, kUndoLimit);
  maxVolume = std::clamp<std::uint32_t>(store->ReadOrCreateDword(key, "MaxVolume", kDefaultMaxVolume), 1, 32767);
  maxZoomSize =
      std::clamp<std::uint32_t>(store->ReadOrCreateDword(key, "MaxZoomSize", kDefaultMaxZoomSize), 1, kZoomLimit);
  volumeChangeRate = std::clamp<std::uint32_t>(
      store->ReadOrCreateDword(key, "VolumeChangeRate", kDefaultVolumeChangeRate), 1, kVolumeStepLimit);
}
