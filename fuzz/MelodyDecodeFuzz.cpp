// Melody records received from the handset, decoded for playback on the PC: the record's
// name, its codec frames (nine bytes each, a cut last frame padded), and the decoder run
// over frames of any content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "FuzzCheck.h"
#include "melody/MelodyCodec.h"
#include "melody/MelodyException.h"
#include "melody/MelodyRecord.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ORVANE_LIBRARY_DIR", std::filesystem::path(ORVANE_CODEC_LIBRARY).parent_path().c_str(), 1);
  if (LoadMelodyCodec() != 0) {
    fuzzcheck::Fail("cannot load the melody codec");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MelodyRecordName(data, size);
  const std::vector<std::uint8_t> frames = MelodyRecordFrames(data, size);
  const auto count = static_cast<std::uint32_t>(frames.size());
  const std::uint32_t frameCount = (count + kMelodyFrameBytes - 1) / kMelodyFrameBytes;
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frameCount) * kMelodyFrameSamples);
  std::uint32_t written = 0;
  try {
    DecodeMelodyBlock(frames.data(), count, samples.data(), static_cast<std::uint32_t>(samples.size() * 2), written);
  } catch (const CMelodyException&) {
    fuzzcheck::Fail("decoding refused a buffer of the size it needs");
  }
  if (written != samples.size() * 2) {
    fuzzcheck::Fail("decoding wrote another number of samples than its frames give");
  }
  return 0;
}
