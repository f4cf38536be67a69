// WAVE files through the melody window's conversion: the file information, then the
// conversion passes it needs (narrowing, one channel, 8 to 16 bits, resampling to 16 kHz),
// and the converted file read back. The passes write into a folder made for each input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

namespace {

// A folder for one input, also the temporary folder of the conversion; removed after it.
class CWorkFolder {
 public:
  CWorkFolder() {
    static const std::string base = [] {
      const char* tmp = std::getenv("TMPDIR");
      return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    }();
    std::string pattern = base + "/orvane-fuzz-wave.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      fuzzcheck::Fail("cannot make the work folder");
    }
    m_dir = pattern;
    setenv("TMPDIR", m_dir.c_str(), 1);
  }
  ~CWorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  CWorkFolder(const CWorkFolder&) = delete;
  CWorkFolder& operator=(const CWorkFolder&) = delete;
  std::string File(const char* name) const { return (m_dir / name).string(); }

 private:
  std::filesystem::path m_dir;
};

std::uint32_t Flags(const WaveInfo& info) {
  return (NeedsNarrowing(info) ? TRANS_NARROW : 0) | (info.m_wChannels == 2 ? TRANS_MONAURAL : 0) |
         (info.m_wBitsPerSample == 8 ? TRANS_8TO16 : 0) | (info.m_dwSamplesPerSec != kMelodyRate ? TRANS_RESAMPLE : 0);
}

// The converted file is what the melody codec takes: PCM, one channel, 16 bits, 16 kHz.
void RequireMelodyFormat(const std::string& file) {
  WaveInfo out;
  GetWaveInfo(file, out);
  if (out.m_wSampleFormat != CWaveFile::kTagPcm || out.m_wChannels != 1 || out.m_wBitsPerSample != 16 ||
      out.m_dwSamplesPerSec != kMelodyRate) {
    fuzzcheck::Fail("a converted file is not 16-bit mono PCM at 16 kHz");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  const CWorkFolder work;
  WaveInfo info;
  try {
    GetWaveInfo(input.Path(), info);
    std::uint32_t peak = 0;
    std::uint32_t fullScale = 0;
    WavePeak(input.Path(), peak, fullScale);
  } catch (const CMelodyException&) {
    return 0;
  }
  if (!ConversionProblem(info).empty()) {
    return 0;
  }
  const std::uint32_t flags = Flags(info);
  const std::string converted = work.File("converted.wav");
  try {
    if (flags == 0 || TransWaveFormat(kChannelRight, flags, input.Path(), converted, info.m_dwSamplesPerSec) != 0) {
      return 0;
    }
  } catch (const CMelodyException&) {
    // A file that turns out shorter or other than its header said is refused.
    return 0;
  }
  RequireMelodyFormat(converted);
  return 0;
}
