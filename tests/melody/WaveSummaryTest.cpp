#include <algorithm>
#include <random>

#include "MelodyTestSupport.h"
#include "melody/MelodyException.h"
#include "melody/WaveFile.h"
#include "melody/WaveSummary.h"

using namespace MelodyTest;

namespace {

class WaveSummaryTest : public TempDirTest {
 protected:
  // Opens a written file as the waveform view does and builds its summary.
  void Load(const std::string& path) {
    file.OpenR(path);
    file.ReadHeader();
    std::uint32_t size = 0;
    file.SeekData(&size);
    summary.Build(file, size / file.m_wBlockAlign);
  }

  CWaveFile file;
  CWaveSummary summary;
};

std::vector<std::int16_t> Noise(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-12000, 12000);
  std::vector<std::int16_t> samples(n);
  for (auto& s : samples) {
    s = static_cast<std::int16_t>(value(random));
  }
  return samples;
}

// Every range, whether inside one block, across block edges or made of whole blocks, gives
// exactly the extent of its samples.
TEST_F(WaveSummaryTest, AnyRangeMatchesTheSamples) {
  const auto samples = Noise(100003, 7);
  WriteWave(Path("noise.wav"), {}, Samples16(samples));
  Load(Path("noise.wav"));
  ASSERT_EQ(summary.Frames(), samples.size());
  std::mt19937 random(3);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges = {
      {0, 1}, {0, 256}, {255, 257}, {256, 512}, {1, 100003}, {100002, 100003}, {99840, 100003}};
  for (int i = 0; i < 400; ++i) {
    const std::uint32_t a = random() % 100003;
    const std::uint32_t length = 1 + random() % (i % 2 == 0 ? 300 : 20000);
    ranges.emplace_back(a, std::min<std::uint32_t>(a + length, 100003));
  }
  for (const auto& [first, end] : ranges) {
    const auto [low, high] = std::minmax_element(samples.begin() + first, samples.begin() + end);
    const CWaveSummary::Extent extent = summary.MinMax(file, first, end);
    ASSERT_EQ(extent.low, *low) << first << ".." << end;
    ASSERT_EQ(extent.high, *high) << first << ".." << end;
  }
}

// A lone peak in a long quiet file shows in the range holding it and in no other.
TEST_F(WaveSummaryTest, SingleSamplePeakIsKeptInItsOwnRange) {
  std::vector<std::int16_t> samples(48000, 10);
  samples[30001] = 32767;
  samples[30002] = -32768;
  WriteWave(Path("peak.wav"), {}, Samples16(samples));
  Load(Path("peak.wav"));
  EXPECT_EQ(summary.MinMax(file, 29800, 30002).high, 32767);
  EXPECT_EQ(summary.MinMax(file, 29800, 30002).low, 10);
  EXPECT_EQ(summary.MinMax(file, 30002, 30300).low, -32768);
  EXPECT_EQ(summary.MinMax(file, 30002, 30300).high, 10);
  EXPECT_EQ(summary.MinMax(file, 0, 30001).high, 10);
  EXPECT_EQ(summary.MinMax(file, 30003, 48000).low, 10);
}

TEST_F(WaveSummaryTest, EightBitSamplesAreByteValues) {
  std::vector<std::uint8_t> bytes(1000, 128);
  bytes[500] = 255;
  bytes[501] = 0;
  WriteWave(Path("eight.wav"), {1, 8, 8000}, bytes);
  Load(Path("eight.wav"));
  EXPECT_EQ(summary.MinMax(file, 0, 1000).high, 255);
  EXPECT_EQ(summary.MinMax(file, 0, 1000).low, 0);
  EXPECT_EQ(summary.MinMax(file, 0, 500).low, 128);
}

// A file whose data stops before its header says counts only the frames present.
TEST_F(WaveSummaryTest, TruncatedFileHasTheFramesPresent) {
  auto bytes = WaveBytes({}, Samples16(Noise(1000, 1)));
  bytes.resize(bytes.size() - 401);  // 200 frames and half a frame missing
  WriteBytes(Path("cut.wav"), bytes);
  Load(Path("cut.wav"));
  EXPECT_EQ(summary.Frames(), 799u);
  EXPECT_NO_THROW(summary.MinMax(file, 700, 2000));
}

TEST_F(WaveSummaryTest, StereoFileIsRefused) {
  WriteWave(Path("stereo.wav"), {2, 16, 16000}, std::vector<std::uint8_t>(400));
  file.OpenR(Path("stereo.wav"));
  file.ReadHeader();
  file.SeekData();
  EXPECT_THROW(summary.Build(file, 100), CMelodyException);
}

TEST_F(WaveSummaryTest, EmptyRangeAndEmptyFile) {
  WriteWave(Path("empty.wav"), {}, {});
  Load(Path("empty.wav"));
  EXPECT_EQ(summary.Frames(), 0u);
  const auto extent = summary.MinMax(file, 0, 10);
  EXPECT_EQ(extent.low, 0);
  EXPECT_EQ(extent.high, 0);
}

}  // namespace
