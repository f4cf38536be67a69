// WAVE files as the melody window and the CLI open them: the RIFF header and its chunks,
// the data chunk, reading frames anywhere in the data, and the waveform summary.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "MemoryFile.h"
#include "melody/MelodyException.h"
#include "melody/WaveFile.h"
#include "melody/WaveSummary.h"

namespace {

void ReadFrames(CWaveFile& wave, std::uint32_t dataSize) {
  std::vector<std::uint8_t> buffer(4096);
  while (wave.Read(buffer.data(), buffer.size()) > 0) {
  }
  wave.SeekInData(dataSize / 2);
  wave.Read(buffer.data(), buffer.size());
  wave.Skip(1);
  wave.Read(buffer.data(), 3);
}

void Summarize(CWaveFile& wave, std::uint32_t dataSize) {
  if (wave.m_wBlockAlign != 1 && wave.m_wBlockAlign != 2) {
    return;
  }
  CWaveSummary summary;
  summary.Build(wave, dataSize / wave.m_wBlockAlign);
  if (summary.Frames() > 0) {
    summary.MinMax(wave, 0, summary.Frames());
    summary.MinMax(wave, summary.Frames() / 2, summary.Frames());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  CWaveFile wave;
  try {
    wave.OpenR(input.Path());
    wave.ReadHeader();
    std::uint32_t dataSize = 0;
    wave.SeekData(&dataSize);
    ReadFrames(wave, dataSize);
    Summarize(wave, dataSize);
  } catch (const CMelodyException&) {
    // Refused files end here; the file is closed by the destructor.
  }
  return 0;
}
