#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include "MelodyTestSupport.h"
#include "melody/FirTable.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

using namespace MelodyTest;

namespace {

const std::uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

class ConversionTest : public TempDirTest {
 protected:
  // Writes a test file: the left channel carries `left`, the right one `right`.
  void WriteSignal(const std::string& name, const Format& format, const std::vector<double>& left,
                   const std::vector<double>& right) {
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < left.size(); ++i) {
      for (std::uint16_t ch = 0; ch < format.channels; ++ch) {
        const double v = ch == 0 ? left[i] : right[i];
        if (format.bits == 8) {
          data.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(v / 256.0) + 128, 0L, 255L)));
        } else {
          const auto s = static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
          data.push_back(static_cast<std::uint8_t>(s));
          data.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
        }
      }
    }
    WriteWave(Path(name), format, data);
  }

  // The two passes of opening a file: channel choice, then widening and resampling.
  std::vector<double> Convert(const std::string& name, const Format& format, int channel) {
    const std::string opened = Path("MelodyOpenTemp.wav");
    EXPECT_EQ(TransWaveFormat(channel, format.channels == 2 ? TRANS_MONAURAL : 0, Path(name), opened, 0), 0);
    const std::uint32_t flags = (format.bits == 8 ? TRANS_8TO16 : 0) | TRANS_RESAMPLE;
    EXPECT_EQ(TransWaveFormat(channel, flags, opened, Path("out.wav"), format.rate), 0);
    Format out;
    const auto samples = ReadSamples16(Path("out.wav"), &out);
    EXPECT_EQ(out.rate, 16000u);
    EXPECT_EQ(out.channels, 1);
    EXPECT_EQ(out.bits, 16);
    EXPECT_EQ(OtherFiles({name, "MelodyOpenTemp.wav", "out.wav"}), std::vector<std::string>{});
    return std::vector<double>(samples.begin(), samples.end());
  }

  // Converts a mono 16-bit tone at `frequency` and returns the steady middle of the output.
  std::vector<double> ConvertTone(std::uint32_t rate, double frequency, double amplitude, double seconds) {
    const auto n = static_cast<std::size_t>(rate * seconds);
    WriteSignal("tone.wav", {1, 16, rate}, Sine(frequency, amplitude, rate, n), {});
    const auto out = Convert("tone.wav", {1, 16, rate}, kChannelLeft);
    // Skip the filters' start and end; keep a whole number of milliseconds.
    const std::size_t skip = 800;
    const std::size_t keep = (out.size() - 2 * skip) / 16 * 16;
    return std::vector<double>(out.begin() + skip, out.begin() + static_cast<long>(skip + keep));
  }
};

}  // namespace

TEST_F(ConversionTest, EveryFormatReachesSixteenKilohertzWithTheChosenChannel) {
  for (const std::uint32_t rate : kRates) {
    const std::size_t frames = rate / 4;
    const auto left = Sine(1000, 12000, rate, frames);
    const auto right = Sine(3000, 12000, rate, frames);
    for (const std::uint16_t bits : {8, 16}) {
      for (const std::uint16_t channels : {1, 2}) {
        for (const int channel : {kChannelLeft, kChannelRight}) {
          if (channels == 1 && channel == kChannelRight) {
            continue;
          }
          SCOPED_TRACE(::testing::Message()
                       << rate << " Hz " << bits << " bit " << channels << " ch choice " << channel);
          const Format format{channels, bits, rate};
          WriteSignal("in.wav", format, left, right);
          const auto out = Convert("in.wav", format, channel);
          const double expected = static_cast<double>(frames) * 16000.0 / rate;
          EXPECT_NEAR(static_cast<double>(out.size()), expected, 6.0);
          const std::vector<double> middle(out.begin() + 400, out.end() - 400);
          const bool wantRight = channels == 2 && channel == kChannelRight;
          EXPECT_GT(ToneAmplitude(middle, wantRight ? 3000 : 1000, 16000), 10000.0);
          EXPECT_LT(ToneAmplitude(middle, wantRight ? 1000 : 3000, 16000), 100.0);
        }
      }
    }
  }
}

TEST_F(ConversionTest, OneKilohertzKeepsItsFrequencyAndLevelThroughEveryChain) {
  for (const std::uint32_t rate : kRates) {
    SCOPED_TRACE(rate);
    const auto out = ConvertTone(rate, 1000.0, 10000.0, 0.5);
    const double amplitude = ToneAmplitude(out, 1000.0, 16000);
    EXPECT_NEAR(20.0 * std::log10(amplitude / 10000.0), 0.0, 0.5);
    // Nearly all the output power is the 1 kHz tone.
    EXPECT_GT(amplitude / std::sqrt(2.0) / Rms(out), 0.999);
  }
}

TEST_F(ConversionTest, SweepShowsNoAliasingOrImagesAboveMinus50dB) {
  for (const std::uint32_t rate : kRates) {
    SCOPED_TRACE(rate);
    // In-band tones: whatever is not the tone itself is aliasing, images or distortion.
    for (const double f : {250.0, 1900.0, 3500.0}) {
      if (f >= rate * 0.45) {
        continue;
      }
      const auto out = ConvertTone(rate, f, 16000.0, 0.25);
      const double tone = ToneAmplitude(out, f, 16000) / std::sqrt(2.0);
      const double rest = std::sqrt(std::max(0.0, Rms(out) * Rms(out) - tone * tone));
      EXPECT_LT(20.0 * std::log10(rest / tone), -50.0) << f << " Hz";
    }
    // Tones above the new band (and away from the transition) must vanish.
    for (const double f : {10500.0, 14000.0, 21000.0}) {
      if (f >= rate * 0.48) {
        continue;
      }
      const auto out = ConvertTone(rate, f, 16000.0, 0.25);
      EXPECT_LT(20.0 * std::log10(std::max(Rms(out), 1e-3) / (16000.0 / std::sqrt(2.0))), -50.0) << f << " Hz";
    }
  }
}

TEST_F(ConversionTest, FullScaleSquareWaveSaturatesInsteadOfWrapping) {
  const std::uint32_t rate = 44100;
  std::vector<double> square(rate / 2);
  for (std::size_t i = 0; i < square.size(); ++i) {
    square[i] = (i / 45) % 2 == 0 ? 32767.0 : -32768.0;  // 490 Hz, overshoots after filtering
  }
  WriteSignal("sq.wav", {1, 16, rate}, square, {});
  const auto out = Convert("sq.wav", {1, 16, rate}, kChannelLeft);
  EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767.0);
  EXPECT_EQ(*std::min_element(out.begin(), out.end()), -32768.0);
  // Every output sample keeps the sign of the input half-period it lies in (none wrapped).
  for (std::size_t k = 200; k + 200 < out.size(); ++k) {
    const double t = static_cast<double>(k) * rate / 16000.0;
    const double phase = std::fmod(t / 45.0, 2.0);
    if (phase > 0.3 && phase < 0.7) {
      ASSERT_GT(out[k], 20000.0) << k;
    } else if (phase > 1.3 && phase < 1.7) {
      ASSERT_LT(out[k], -20000.0) << k;
    }
  }
}

TEST_F(ConversionTest, SixteenKilohertzMonoIsCopiedUnchanged) {
  std::vector<std::int16_t> samples(777);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
  }
  WriteWave(Path("in.wav"), {1, 16, 16000}, Samples16(samples));
  EXPECT_EQ(TransWaveFormat(kChannelLeft, TRANS_RESAMPLE, Path("in.wav"), Path("out.wav"), 16000), 0);
  EXPECT_EQ(ReadBytes(Path("in.wav")), ReadBytes(Path("out.wav")));
  EXPECT_EQ(TransWaveFormat(kChannelLeft, 0, Path("in.wav"), Path("none.wav"), 0), 0);
  EXPECT_EQ(ReadBytes(Path("in.wav")), ReadBytes(Path("none.wav")));
}

TEST_F(ConversionTest, WideningAndChannelChoiceMapSamplesExactly) {
  WriteWave(Path("u8.wav"), {2, 8, 8000}, {0, 128, 255, 1});
  Bits8To16(Path("u8.wav"), Path("w.wav"));
  Format f;
  EXPECT_EQ(ReadSamples16(Path("w.wav"), &f), (std::vector<std::int16_t>{-32768, 0, 32512, -32512}));
  EXPECT_EQ(f.channels, 2);
  StereoToMonaural(kChannelRight, Path("w.wav"), Path("r.wav"));
  EXPECT_EQ(ReadSamples16(Path("r.wav"), &f), (std::vector<std::int16_t>{0, -32512}));
  EXPECT_EQ(f.channels, 1);
  StereoToMonaural(kChannelLeft, Path("u8.wav"), Path("l8.wav"));
  const auto bytes = ReadBytes(Path("l8.wav"));
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 44, bytes.end()), (std::vector<std::uint8_t>{0, 255}));

  const auto code = [&](const std::function<void()>& work) {
    try {
      work();
    } catch (const CMelodyException& e) {
      return e.Code();
    }
    return 99u;
  };
  EXPECT_EQ(code([&] { StereoToMonaural(kChannelLeft, Path("r.wav"), Path("x.wav")); }), 3u);
  EXPECT_EQ(code([&] { Bits8To16(Path("r.wav"), Path("x.wav")); }), 3u);
  EXPECT_EQ(code([&] { Resample(Path("r.wav"), Path("x.wav"), 3, 7); }), 3u);
}

TEST_F(ConversionTest, UnsupportedRateReturnsOneAndLeavesNoTemporaryFiles) {
  WriteWave(Path("in.wav"), {2, 8, 96000}, std::vector<std::uint8_t>(400, 128));
  EXPECT_EQ(TransWaveFormat(kChannelLeft, TRANS_MONAURAL | TRANS_8TO16 | TRANS_RESAMPLE, Path("in.wav"),
                            Path("out.wav"), 96000),
            1);
  EXPECT_EQ(OtherFiles({"in.wav"}), std::vector<std::string>{});
}

TEST_F(ConversionTest, CancelStopsResamplingWithCodeZeroAndNoTemporaryFiles) {
  WriteSignal("in.wav", {2, 8, 44100}, Sine(440, 9000, 44100, 44100), Sine(440, 9000, 44100, 44100));
  MelodyThreadState().SetCancelRequest(true);
  try {
    TransWaveFormat(kChannelLeft, TRANS_MONAURAL | TRANS_8TO16 | TRANS_RESAMPLE, Path("in.wav"), Path("out.wav"),
                    44100);
    FAIL() << "not cancelled";
  } catch (const CMelodyException& e) {
    EXPECT_EQ(e.Code(), 0u);
    EXPECT_EQ(e.Where(), "");
  }
  // Only the caller's destination may remain; the chain's working files are gone.
  EXPECT_EQ(OtherFiles({"in.wav", "out.wav"}), std::vector<std::string>{});
  EXPECT_TRUE(OpenWaveFileStack().Empty());
}

TEST_F(ConversionTest, DirectDecimationConvertsBeyondTheFirstTable) {
  // 48 kHz takes the direct 1/3 path; the file is longer than one table of 1,048,576 frames.
  const std::size_t frames = CWaveFile::kTableFrames + 60000;
  std::vector<std::int16_t> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    samples[i] = static_cast<std::int16_t>(8000.0 * std::sin(2.0 * 3.14159265358979 * 1000.0 * i / 48000.0));
  }
  WriteWave(Path("long.wav"), {1, 16, 48000}, Samples16(samples));
  ASSERT_EQ(TransWaveFormat(kChannelLeft, TRANS_RESAMPLE, Path("long.wav"), Path("out.wav"), 48000), 0);
  const auto out = ReadSamples16(Path("out.wav"));
  EXPECT_EQ(out.size(), (frames + 2) / 3);
  // The last second still carries the tone at full level.
  const std::vector<double> tail(out.end() - 16000, out.end() - 100);
  EXPECT_NEAR(ToneAmplitude(tail, 1000.0, 16000), 8000.0, 150.0);
}

TEST(FirTableTest, TablesHaveTheirLengthSymmetryDcGainAndCutoff) {
  const std::vector<const FirTable*> tables = AllFirTables();
  EXPECT_EQ(tables.size(), 17u);
  for (const FirTable* t : tables) {
    SCOPED_TRACE(::testing::Message() << t->L << "/" << t->M);
    ASSERT_EQ(static_cast<int>(t->h.size()), t->taps);
    double sum = 0.0;
    for (std::size_t i = 0; i < t->h.size(); ++i) {
      EXPECT_EQ(t->h[i], t->h[t->h.size() - 1 - i]);
      sum += t->h[i];
    }
    EXPECT_NEAR(sum, t->dcGain, 1e-9);
  }
  EXPECT_NE(FirInit(1, 3, true), nullptr);
  EXPECT_EQ(FirInit(3, 7), nullptr);
}

TEST_F(ConversionTest, StreamingChainMatchesStepByStepResampling) {
  // The five steps of 44.1 kHz, once as files one after the other and once in one pass.
  const auto tone = Sine(1234.5, 12000, 44100, 11025);
  WriteSignal("in.wav", {1, 16, 44100}, tone, {});
  const int steps[][2] = {{4, 1}, {2, 7}, {5, 1}, {2, 7}, {2, 9}};
  std::string current = Path("in.wav");
  for (int i = 0; i < 5; ++i) {
    const std::string next = Path("step" + std::to_string(i) + ".wav");
    Resample(current, next, steps[i][0], steps[i][1]);
    current = next;
  }
  ASSERT_EQ(TransWaveFormat(kChannelLeft, TRANS_RESAMPLE, Path("in.wav"), Path("chain.wav"), 44100), 0);
  const auto stepwise = ReadSamples16(current);
  const auto chained = ReadSamples16(Path("chain.wav"));
  ASSERT_EQ(stepwise.size(), chained.size());
  int worst = 0;
  for (std::size_t i = 0; i < chained.size(); ++i) {
    worst = std::max(worst, std::abs(stepwise[i] - chained[i]));
  }
  // Only the rounding between the file-by-file stages differs.
  EXPECT_LE(worst, 3);
}

namespace {

std::vector<std::uint8_t> Pack(const std::vector<std::uint32_t>& values, std::size_t width) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t v : values) {
    for (std::size_t i = 0; i < width; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
  }
  return bytes;
}

std::uint32_t ErrorCode(const std::function<void()>& work) {
  try {
    work();
  } catch (const CMelodyException& e) {
    return e.Code();
  }
  return 99;
}

std::uint32_t FloatBits(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

TEST_F(ConversionTest, WideAndFloatSamplesAreNarrowedToSixteenBits) {
  // Rounded to the nearest 16-bit value, saturated at full scale.
  const std::vector<std::uint32_t> s24 = {0x7FFFFF, 0x800000, 0x000080, 0xFFFF7F, 0x123456, 0};
  WriteWave(Path("s24.wav"), {1, 24, 16000}, Pack(s24, 3));
  NarrowTo16(Path("s24.wav"), Path("n24.wav"));
  Format format;
  EXPECT_EQ(ReadSamples16(Path("n24.wav"), &format), (std::vector<std::int16_t>{32767, -32768, 1, -1, 0x1234, 0}));
  EXPECT_EQ(format.bits, 16);

  const std::vector<std::uint32_t> s32 = {0x7FFFFFFF, 0x80000000, 0x12348000, 0xFFFF0000};
  WriteBytes(Path("s32.wav"), TaggedWaveBytes({2, 32, 16000}, 0xFFFE, 1, Pack(s32, 4)));
  NarrowTo16(Path("s32.wav"), Path("n32.wav"));
  EXPECT_EQ(ReadSamples16(Path("n32.wav"), &format), (std::vector<std::int16_t>{32767, -32768, 0x1235, -1}));
  EXPECT_EQ(format.channels, 2);

  const std::vector<std::uint32_t> f32 = {FloatBits(0.5f), FloatBits(-1.0f), FloatBits(1.5f), FloatBits(-2.0f),
                                          FloatBits(std::nanf(""))};
  for (std::uint16_t tag : {3, 0xFFFE}) {
    WriteBytes(Path("f32.wav"), TaggedWaveBytes({1, 32, 16000}, tag, 3, Pack(f32, 4)));
    NarrowTo16(Path("f32.wav"), Path("nf.wav"));
    EXPECT_EQ(ReadSamples16(Path("nf.wav")), (std::vector<std::int16_t>{16384, -32768, 32767, -32768, 0})) << tag;
    const auto header = ReadBytes(Path("nf.wav"));
    EXPECT_EQ(header[20], 1) << "written as PCM";
    // Float samples reach the chain only through the narrowing step.
    EXPECT_EQ(ErrorCode([&] { TransWaveFormat(kChannelLeft, TRANS_RESAMPLE, Path("f32.wav"), Path("x.wav"), 16000); }),
              3u);
    ASSERT_EQ(TransWaveFormat(kChannelLeft, TRANS_NARROW | TRANS_RESAMPLE, Path("f32.wav"), Path("x.wav"), 16000), 0);
    EXPECT_EQ(ReadSamples16(Path("x.wav")), ReadSamples16(Path("nf.wav")));
  }

  // A 24-bit stereo 44100 Hz file goes through all four steps.
  std::vector<std::uint32_t> tone;
  for (double v : Sine(1000, 4000000, 44100, 4410)) {
    const auto s = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    tone.push_back(s);
    tone.push_back(0);
  }
  WriteWave(Path("cd24.wav"), {2, 24, 44100}, Pack(tone, 3));
  ASSERT_EQ(TransWaveFormat(kChannelLeft, TRANS_NARROW | TRANS_MONAURAL | TRANS_RESAMPLE, Path("cd24.wav"),
                            Path("out.wav"), 44100),
            0);
  const auto out = ReadSamples16(Path("out.wav"), &format);
  EXPECT_EQ(format.rate, 16000u);
  EXPECT_EQ(format.channels, 1);
  std::vector<double> x(out.begin() + 200, out.end() - 200);
  EXPECT_NEAR(ToneAmplitude(x, 1000, 16000), 4000000 / 256.0, 4000000 / 256.0 * 0.05);
  EXPECT_TRUE(
      OtherFiles({"s24.wav", "n24.wav", "s32.wav", "n32.wav", "f32.wav", "nf.wav", "x.wav", "cd24.wav", "out.wav"})
          .empty());

  WriteWave(Path("s16.wav"), {1, 16, 16000}, Samples16({1, 2}));
  EXPECT_EQ(ErrorCode([&] { NarrowTo16(Path("s16.wav"), Path("x.wav")); }), 3u);
}

TEST_F(ConversionTest, OnlyPcmAndFloatSourcesAreConverted) {
  const auto problem = [&](const std::vector<std::uint8_t>& bytes) {
    WriteBytes(Path("p.wav"), bytes);
    WaveInfo info;
    GetWaveInfo(Path("p.wav"), info);
    return std::make_pair(ConversionProblem(info), NeedsNarrowing(info));
  };
  const std::vector<std::uint8_t> data(64, 0xD5);
  EXPECT_EQ(problem(TaggedWaveBytes({1, 16, 8000}, 0xFFFE, 1, data)), std::make_pair(std::string(), false));
  EXPECT_EQ(problem(TaggedWaveBytes({2, 24, 44100}, 1, 0, data)), std::make_pair(std::string(), true));
  EXPECT_EQ(problem(TaggedWaveBytes({1, 32, 48000}, 3, 0, data)), std::make_pair(std::string(), true));
  EXPECT_NE(problem(TaggedWaveBytes({1, 8, 8000}, 0xFFFE, 6, data)).first.find("SubFormat tag 6 (PCM required)"),
            std::string::npos);
  EXPECT_NE(problem(TaggedWaveBytes({1, 8, 8000}, 6, 0, data)).first.find("format tag 6 (PCM required)"),
            std::string::npos);
  EXPECT_NE(problem(TaggedWaveBytes({1, 64, 8000}, 3, 0, data)).first.find("64-bit floating-point"), std::string::npos);
  EXPECT_NE(problem(TaggedWaveBytes({1, 12, 8000}, 1, 0, data)).first.find("12 bits per sample"), std::string::npos);

  // The chain itself refuses what the check refuses: A-law is not turned into noise.
  WriteBytes(Path("alaw.wav"), TaggedWaveBytes({1, 16, 8000}, 0xFFFE, 6, data));
  EXPECT_EQ(ErrorCode([&] { TransWaveFormat(kChannelLeft, TRANS_RESAMPLE, Path("alaw.wav"), Path("x.wav"), 8000); }),
            3u);
  EXPECT_EQ(ErrorCode([&] { TransWaveFormat(kChannelLeft, 0, Path("alaw.wav"), Path("x.wav"), 8000); }), 3u);
  WriteBytes(Path("alaw2.wav"), TaggedWaveBytes({2, 8, 8000}, 6, 0, data));
  EXPECT_EQ(ErrorCode([&] { StereoToMonaural(kChannelLeft, Path("alaw2.wav"), Path("x.wav")); }), 3u);
  EXPECT_EQ(ErrorCode([&] { Bits8To16(Path("alaw2.wav"), Path("x.wav")); }), 3u);
  EXPECT_TRUE(OpenWaveFileStack().Empty());
}
