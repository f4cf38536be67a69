#include <random>

#include "MelodyTestSupport.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/WaveOperations.h"

using namespace MelodyTest;

namespace {

class WaveFuzzTest : public TempDirTest {};

std::vector<std::vector<std::uint8_t>> Seeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  std::vector<std::uint8_t> samples(600);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::uint8_t>(i * 37);
  }
  seeds.push_back(WaveBytes({1, 16, 16000}, samples));
  seeds.push_back(WaveBytes({2, 8, 44100}, samples));
  seeds.push_back(WaveBytes({2, 16, 11025}, samples));
  seeds.push_back(WaveBytes({1, 8, 48000}, samples));
  // An extended 'fmt ' chunk and an odd-sized LIST chunk before the data.
  auto extended = WaveBytes({1, 16, 22050}, samples);
  Put32(extended, 16, 18);
  extended.insert(extended.begin() + 36, {0, 0});
  const std::uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  extended.insert(extended.begin() + 38, std::begin(list), std::end(list));
  seeds.push_back(extended);
  return seeds;
}

std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> bytes, std::mt19937& rng) {
  const int kind = static_cast<int>(rng() % 5);
  const std::size_t header = std::min<std::size_t>(bytes.size(), 72);
  if (kind == 0) {
    for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n) {
      bytes[rng() % header] = static_cast<std::uint8_t>(rng());
    }
  } else if (kind == 1) {
    bytes.resize(rng() % bytes.size());
  } else {
    // Overwrite a size or format field with an extreme or random value.
    static const std::size_t fields[] = {4, 16, 20, 22, 24, 32, 34, 40, 42, 46, 50};
    const std::size_t at = fields[rng() % std::size(fields)];
    static const std::uint32_t values[] = {0, 1, 2, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFF8, 0x10000, 3, 65535};
    const std::uint32_t value = kind == 2 ? values[rng() % std::size(values)] : static_cast<std::uint32_t>(rng());
    if (at + 4 <= bytes.size()) {
      Put32(bytes, at, value);
    }
  }
  return bytes;
}

}  // namespace

TEST_F(WaveFuzzTest, MutatedHeadersFailCleanlyOrConvert) {
  const auto seeds = Seeds();
  std::mt19937 rng(20261208);
  int opened = 0;
  int converted = 0;
  for (int i = 0; i < 2000; ++i) {
    WriteBytes(Path("f.wav"), Mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], rng));
    WaveInfo info;
    try {
      GetWaveInfo(Path("f.wav"), info);
    } catch (const CMelodyException& e) {
      ASSERT_TRUE(e.Code() == 2 || e.Code() == 3) << i << " code " << e.Code();
      continue;
    }
    ++opened;
    const std::uint32_t flags =
        (info.m_wChannels == 2 ? TRANS_MONAURAL : 0) | (info.m_wBitsPerSample == 8 ? TRANS_8TO16 : 0) | TRANS_RESAMPLE;
    try {
      if (TransWaveFormat(kChannelRight, flags, Path("f.wav"), Path("out.wav"), info.m_dwSamplesPerSec) == 0) {
        ++converted;
      }
    } catch (const CMelodyException& e) {
      ASSERT_TRUE(e.Code() == 2 || e.Code() == 3) << i << " code " << e.Code();
    }
    ASSERT_TRUE(OpenWaveFileStack().Empty());
  }
  // The mutations leave plenty of valid files, so both paths were exercised.
  EXPECT_GT(opened, 200);
  EXPECT_GT(converted, 70);
}
