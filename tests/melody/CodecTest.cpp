#include <cmath>
#include <cstdlib>
#include <random>

#include "MelodyTestSupport.h"
#include "melody/MelodyCodec.h"
#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"

using namespace MelodyTest;

namespace {

class CodecTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ASSERT_EQ(LoadMelodyCodec(), 0) << MelodyCodecPath();
  }
  void TearDown() override {
    FreeMelodyCodec();
    TempDirTest::TearDown();
  }

  std::vector<std::uint8_t> Encode(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> frames((samples.size() / 32 + 1) * 9);
    std::uint32_t written = 0;
    std::uint32_t counter = 0;
    EncodeMelodyBlock(samples.data(), static_cast<std::uint32_t>(samples.size() * 2), frames.data(),
                      static_cast<std::uint32_t>(frames.size()), written, counter);
    frames.resize(written);
    return frames;
  }

  std::vector<std::int16_t> Decode(const std::vector<std::uint8_t>& frames) {
    std::vector<std::int16_t> samples((frames.size() / 9 + 1) * 32);
    std::uint32_t written = 0;
    DecodeMelodyBlock(frames.data(), static_cast<std::uint32_t>(frames.size()), samples.data(),
                      static_cast<std::uint32_t>(samples.size() * 2), written);
    samples.resize(written / 2);
    return samples;
  }
};

// Voiced-speech-like test signal: a pitch pulse train through two resonances, with a
// slowly changing level, plus a little noise.
std::vector<std::int16_t> SpeechLike(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 60.0);
  std::vector<std::int16_t> out(n);
  double y1 = 0, y2 = 0, z1 = 0, z2 = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double excitation = (i % 131 == 0 ? 4000.0 : 0.0) + noise(rng);
    const double y = excitation + 1.8 * 0.97 * std::cos(0.09) * y1 - 0.97 * 0.97 * y2;
    y2 = y1;
    y1 = y;
    const double z = y + 2.0 * 0.9 * std::cos(0.6) * z1 - 0.81 * z2;
    z2 = z1;
    z1 = z;
    const double level = 0.6 + 0.4 * std::sin(2.0 * 3.14159265 * static_cast<double>(i) / 9000.0);
    out[i] = static_cast<std::int16_t>(std::clamp(z * 0.05 * level, -32768.0, 32767.0));
  }
  return out;
}

double SnrDb(const std::vector<std::int16_t>& ref, const std::vector<std::int16_t>& test) {
  double s = 0, e = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    s += double(ref[i]) * ref[i];
    e += (double(ref[i]) - test[i]) * (double(ref[i]) - test[i]);
  }
  return 10.0 * std::log10(s / std::max(e, 1.0));
}

}  // namespace

TEST_F(CodecTest, GcFilesHoldWholeGroupsOfTenFrames) {
  const struct {
    std::size_t samples;
    std::size_t bytes;
  } cases[] = {{100, 90}, {320, 90}, {321, 180}, {0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.samples);
    std::vector<std::int16_t> samples(c.samples, 1200);
    WriteWave(Path("in.wav"), {1, 16, 16000}, Samples16(samples));
    EXPECT_EQ(WaveToMelodyData(Path("in.wav"), Path("out.gc")), 0);
    EXPECT_EQ(ReadBytes(Path("out.gc")).size(), c.bytes);
  }
  WriteWave(Path("st.wav"), {2, 16, 16000}, Samples16({1, 2}));
  EXPECT_THROW(WaveToMelodyData(Path("st.wav"), Path("x.gc")), CMelodyException);
}

TEST_F(CodecTest, RoundTripKeepsTheSignalInFourfoldSteps) {
  const auto samples = SpeechLike(16000, 1);
  WriteWave(Path("in.wav"), {1, 16, 16000}, Samples16(samples));
  ASSERT_EQ(WaveToMelodyData(Path("in.wav"), Path("m.gc")), 0);
  ASSERT_EQ(MelodyDataToWave(Path("m.gc"), Path("out.wav")), 0);
  Format format;
  const auto decoded = ReadSamples16(Path("out.wav"), &format);
  EXPECT_EQ(format.rate, 16000u);
  EXPECT_EQ(format.channels, 1);
  ASSERT_EQ(decoded.size(), 16000u);  // 500 frames, already a multiple of ten
  for (const std::int16_t v : decoded) {
    ASSERT_EQ(v % 4, 0);
    ASSERT_LE(v, 32764);
  }
  EXPECT_GT(SnrDb(samples, decoded), 18.0);
}

TEST_F(CodecTest, PartialLastFrameDecodesAsIfZeroFilled) {
  const auto frames = Encode(SpeechLike(640, 2));
  ASSERT_EQ(frames.size(), 180u);
  std::vector<std::uint8_t> cut(frames.begin(), frames.end() - 4);
  std::vector<std::uint8_t> padded = cut;
  padded.resize(180, 0);
  EXPECT_EQ(Decode(cut), Decode(padded));
  WriteBytes(Path("cut.gc"), cut);
  ASSERT_EQ(MelodyDataToWave(Path("cut.gc"), Path("cut.wav")), 0);
  EXPECT_EQ(ReadSamples16(Path("cut.wav")), Decode(padded));
}

TEST_F(CodecTest, FramesAfterAnEncoderResetDecodeCleanlyWithoutADecoderReset) {
  // Two blocks encoded separately (the encoder restarts at each), decoded as one stream.
  const auto a = SpeechLike(3200, 3);
  const auto b = SpeechLike(3200, 4);
  auto first = Encode(a);
  const auto second = Encode(b);
  const auto alone = Decode(second);
  first.insert(first.end(), second.begin(), second.end());
  const auto joined = Decode(first);
  ASSERT_EQ(joined.size(), 6400u);
  EXPECT_EQ(std::vector<std::int16_t>(joined.begin() + 3200, joined.end()), alone);

  // The zero frames appended after a block are encoded after a reset too.
  std::vector<std::int16_t> tail(100, 3000);
  WriteWave(Path("t.wav"), {1, 16, 16000}, Samples16(tail));
  ASSERT_EQ(WaveToMelodyData(Path("t.wav"), Path("t.gc")), 0);
  const auto decoded = Decode(ReadBytes(Path("t.gc")));
  ASSERT_EQ(decoded.size(), 320u);
  for (std::size_t i = 128; i < decoded.size(); ++i) {
    ASSERT_EQ(decoded[i], 0) << i;
  }
}

TEST_F(CodecTest, EncodingIsDeterministicAndGarbageDecodesWithinRange) {
  const auto samples = SpeechLike(4000, 5);
  EXPECT_EQ(Encode(samples), Encode(samples));
  std::mt19937 rng(9);
  std::vector<std::uint8_t> garbage(9 * 2000);
  for (auto& b : garbage) {
    b = static_cast<std::uint8_t>(rng());
  }
  for (const std::int16_t v : Decode(garbage)) {
    ASSERT_EQ(v % 4, 0);
    ASSERT_LE(v, 32764);
  }
  // Full-scale input of both polarities survives the 14-bit path without wrapping.
  std::vector<std::int16_t> loud(640);
  for (std::size_t i = 0; i < loud.size(); ++i) {
    loud[i] = (i / 20) % 2 == 0 ? 32767 : -32768;
  }
  const auto back = Decode(Encode(loud));
  EXPECT_GT(SnrDb(loud, back), 6.0);
}

TEST_F(CodecTest, CancelRequestStopsTheCodecLoops) {
  const auto samples = SpeechLike(640, 6);
  MelodyThreadState().SetCancelRequest(true);
  try {
    Encode(samples);
    FAIL() << "not cancelled";
  } catch (const CMelodyException& e) {
    EXPECT_EQ(e.Code(), 0u);
  }
  EXPECT_THROW(Decode(std::vector<std::uint8_t>(90, 0)), CMelodyException);
}

TEST_F(CodecTest, MissingLibraryIsReported) {
  FreeMelodyCodec();
  EXPECT_FALSE(MelodyCodecLoaded());
  std::uint32_t written = 0;
  std::uint32_t counter = 0;
  std::int16_t pcm[32] = {};
  std::uint8_t code[9];
  EXPECT_THROW(EncodeMelodyBlock(pcm, 64, code, 9, written, counter), CMelodyException);
  ::setenv("ORVANE_LIBRARY_DIR", m_dir.c_str(), 1);
  EXPECT_EQ(LoadMelodyCodec(), 1);
  EXPECT_FALSE(MelodyCodecLoaded());
  ::unsetenv("ORVANE_LIBRARY_DIR");
  EXPECT_EQ(LoadMelodyCodec(), 0);
}

// Melodies already stored on handsets were encoded by this bit stream: the encoder's output
// for a fixed signal and the decoder's output for fixed frames must not change unnoticed.
// ORVANE_UPDATE_GOLDEN=1 rewrites the golden files after a deliberate change.
TEST_F(CodecTest, BitStreamMatchesTheGoldenFiles) {
  const std::string dir = std::string(ORVANE_TEST_DATA_DIR) + "/melody/";
  const auto samples = SpeechLike(3200, 11);
  const auto frames = Encode(samples);
  const auto decoded = Decode(frames);
  if (std::getenv("ORVANE_UPDATE_GOLDEN") != nullptr) {
    WriteBytes(dir + "speechlike.gc", frames);
    WriteWave(dir + "speechlike-decoded.wav", {1, 16, 16000}, Samples16(decoded));
  }
  EXPECT_EQ(frames, ReadBytes(dir + "speechlike.gc"));
  EXPECT_EQ(Decode(ReadBytes(dir + "speechlike.gc")), ReadSamples16(dir + "speechlike-decoded.wav"));
}
