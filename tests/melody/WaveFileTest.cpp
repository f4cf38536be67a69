#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "MelodyTestSupport.h"
#include "melody/BoundedStack.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

using namespace MelodyTest;

namespace {

class WaveFileTest : public TempDirTest {};

std::uint32_t ErrorCode(const std::function<void()>& work) {
  try {
    work();
  } catch (const CMelodyException& e) {
    return e.Code();
  }
  return 99;
}

std::vector<std::int16_t> Ramp(std::size_t n) {
  std::vector<std::int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    v[i] = static_cast<std::int16_t>(i * 7 - 3000);
  }
  return v;
}

// A header with a 'fmt ' body of fmtSize bytes and the given chunks before "data".
std::vector<std::uint8_t> HeaderWithChunks(std::uint32_t fmtSize, const std::vector<std::uint8_t>& between,
                                           const std::vector<std::uint8_t>& data,
                                           const std::vector<std::uint8_t>& after) {
  std::vector<std::uint8_t> b;
  Append(b, "RIFF");
  Append32(b, 0);
  Append(b, "WAVEfmt ");
  Append32(b, fmtSize);
  const std::size_t body = b.size();
  b.resize(b.size() + fmtSize + (fmtSize & 1u), 0xEE);
  Put16(b, body, 1);
  Put16(b, body + 2, 1);
  Put32(b, body + 4, 16000);
  Put32(b, body + 8, 32000);
  Put16(b, body + 12, 2);
  Put16(b, body + 14, 16);
  b.insert(b.end(), between.begin(), between.end());
  Append(b, "data");
  Append32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  b.insert(b.end(), after.begin(), after.end());
  Put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
  return b;
}

std::vector<std::uint8_t> Chunk(const std::string& id, std::uint32_t size) {
  std::vector<std::uint8_t> c;
  Append(c, id);
  Append32(c, size);
  c.resize(c.size() + size + (size & 1u), 'x');
  return c;
}

}  // namespace

TEST_F(WaveFileTest, ReadsHeaderVariantsAndStopsAtTheEndOfTheData) {
  const auto data = Samples16(Ramp(50));
  std::vector<std::uint8_t> between = Chunk("LIST", 27);  // odd size: followed by a pad byte
  const auto fact = Chunk("fact", 4);
  between.insert(between.end(), fact.begin(), fact.end());
  const auto trailing = Chunk("id3 ", 10);
  WriteBytes(Path("a.wav"), HeaderWithChunks(18, between, data, trailing));

  CWaveFile file;
  file.OpenR(Path("a.wav"));
  file.ReadHeader();
  EXPECT_EQ(file.m_wChannels, 1);
  EXPECT_EQ(file.m_dwSamplesPerSec, 16000u);
  std::uint32_t size = 0;
  file.SeekData(&size);
  EXPECT_EQ(size, data.size());
  file.CreateBuffer();
  // Only the data chunk's bytes are returned, not the chunk that follows it.
  ASSERT_EQ(file.ReadToTable(), data.size());
  EXPECT_EQ(0, std::memcmp(file.Table(), data.data(), data.size()));
  EXPECT_EQ(file.ReadToTable(), 0u);
}

TEST_F(WaveFileTest, ComputesBlockAlignFromTheSampleFormat) {
  auto bytes = WaveBytes({2, 16, 22050}, Samples16(Ramp(40)));
  Put16(bytes, 32, 7);  // stored block align disagrees
  WriteBytes(Path("a.wav"), bytes);
  WaveInfo info;
  GetWaveInfo(Path("a.wav"), info);
  EXPECT_EQ(info.m_wBlockAlign, 4);
  EXPECT_EQ(info.m_dwFrames, 20u);
  EXPECT_EQ(info.m_wChannels, 2);
  EXPECT_EQ(info.m_dwSamplesPerSec, 22050u);
}

TEST_F(WaveFileTest, RejectsBrokenFilesWithFileOrFormatCodes) {
  const auto good = WaveBytes({1, 16, 16000}, Samples16(Ramp(20)));
  struct Case {
    const char* name;
    std::function<std::vector<std::uint8_t>()> make;
    std::uint32_t code;
  };
  const std::vector<Case> cases = {
      {"empty", [] { return std::vector<std::uint8_t>{}; }, 2},
      {"truncated RIFF", [&] { return std::vector<std::uint8_t>(good.begin(), good.begin() + 10); }, 2},
      {"not RIFF",
       [&] {
         auto b = good;
         b[0] = 'X';
         return b;
       },
       2},
      {"not WAVE",
       [&] {
         auto b = good;
         b[8] = 'A';
         return b;
       },
       2},
      {"LIST before fmt",
       [&] {
         std::vector<std::uint8_t> b(good.begin(), good.begin() + 12);
         const auto list = Chunk("LIST", 4);
         b.insert(b.end(), list.begin(), list.end());
         b.insert(b.end(), good.begin() + 12, good.end());
         return b;
       },
       2},
      {"fmt too short",
       [&] {
         auto b = good;
         Put32(b, 16, 12);
         return b;
       },
       2},
      {"truncated fmt", [&] { return std::vector<std::uint8_t>(good.begin(), good.begin() + 30); }, 2},
      {"fmt size past the end",
       [&] {
         auto b = good;
         Put32(b, 16, 0x7FFFFFF0);
         return b;
       },
       2},
      {"empty chunk and empty data are valid", [&] { return HeaderWithChunks(16, Chunk("LIST", 0), {}, {}); }, 99},
      {"huge chunk",
       [&] {
         auto between = Chunk("LIST", 4);
         Put32(between, 4, 0xFFFFFFF0);
         return HeaderWithChunks(16, between, Samples16(Ramp(4)), {});
       },
       2},
      {"no data chunk", [&] { return std::vector<std::uint8_t>(good.begin(), good.begin() + 36); }, 2},
      {"zero channels",
       [&] {
         auto b = good;
         Put16(b, 22, 0);
         return b;
       },
       3},
      {"zero bits",
       [&] {
         auto b = good;
         Put16(b, 34, 0);
         return b;
       },
       3},
      {"4-bit samples (block align 0)",
       [&] {
         auto b = good;
         Put16(b, 34, 4);
         return b;
       },
       3},
      {"frame wider than 16 bits of block align",
       [&] {
         auto b = good;
         Put16(b, 22, 0xFFFF);
         Put16(b, 34, 0xFFFF);
         return b;
       },
       3},
  };
  for (const Case& c : cases) {
    WriteBytes(Path("bad.wav"), c.make());
    WaveInfo info;
    EXPECT_EQ(ErrorCode([&] { GetWaveInfo(Path("bad.wav"), info); }), c.code) << c.name;
  }
  EXPECT_EQ(ErrorCode([&] {
              WaveInfo info;
              GetWaveInfo(Path("missing.wav"), info);
            }),
            2u);
}

TEST_F(WaveFileTest, ExtensibleFilesAreReadByTheirSubFormatAndWrittenAsPlainTags) {
  const auto data = Samples16(Ramp(40));
  WriteBytes(Path("ext.wav"), TaggedWaveBytes({2, 16, 22050}, 0xFFFE, 1, data));
  WaveInfo info;
  GetWaveInfo(Path("ext.wav"), info);
  EXPECT_EQ(info.m_wFormatTag, 0xFFFE);
  EXPECT_EQ(info.m_wSampleFormat, 1);
  EXPECT_EQ(info.m_dwFrames, 20u);

  // The copy has the canonical 16-byte body, which cannot say "extensible": tag 1.
  WaveCopyPart(Path("ext.wav"), Path("copy.wav"), 0, 0);
  const auto bytes = ReadBytes(Path("copy.wav"));
  ASSERT_EQ(bytes.size(), 44 + data.size());
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 16, bytes.begin() + 22),
            (std::vector<std::uint8_t>{16, 0, 0, 0, 1, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 44, bytes.end()), data);

  WriteBytes(Path("alaw.wav"), TaggedWaveBytes({1, 8, 8000}, 0xFFFE, 6, std::vector<std::uint8_t>(10, 0xD5)));
  GetWaveInfo(Path("alaw.wav"), info);
  EXPECT_EQ(info.m_wSampleFormat, 6);
  auto odd = TaggedWaveBytes({1, 16, 8000}, 0xFFFE, 1, data);
  odd[44 + 15] = 0x00;  // not the standard GUID tail
  WriteBytes(Path("odd.wav"), odd);
  GetWaveInfo(Path("odd.wav"), info);
  EXPECT_EQ(info.m_wSampleFormat, 0);
  // A short extensible chunk names no encoding either.
  auto shortExt = WaveBytes({1, 16, 8000}, data);
  Put16(shortExt, 20, 0xFFFE);
  WriteBytes(Path("short.wav"), shortExt);
  GetWaveInfo(Path("short.wav"), info);
  EXPECT_EQ(info.m_wSampleFormat, 0);
}

TEST_F(WaveFileTest, StreamedAndTruncatedDataAreCutToTheWholeFramesPresent) {
  const auto data = Samples16(Ramp(30));  // 15 stereo frames
  struct Case {
    const char* name;
    std::uint32_t riffSize;
    std::uint32_t dataSize;
    std::size_t extraBytes;  // a partial frame at the end
    std::uint32_t frames;
    bool clamped;
  };
  const Case cases[] = {
      {"written to a pipe (all ones)", 0xFFFFFFFF, 0xFFFFFFFF, 0, 15, true},
      {"written to a pipe (zeros)", 0, 0, 0, 15, true},
      {"zero data size under a RIFF size too small for the header", 20, 0, 0, 15, true},
      {"truncated in the middle of a frame", 36 + 400, 400, 3, 15, true},
      {"correct sizes", 36 + 60, 60, 0, 15, false},
      {"a real empty data chunk", 36, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    auto bytes = WaveBytes({2, 16, 8000}, c.riffSize == 36 ? std::vector<std::uint8_t>{} : data);
    bytes.resize(bytes.size() + c.extraBytes, 0x55);
    Put32(bytes, 4, c.riffSize);
    Put32(bytes, 40, c.dataSize);
    WriteBytes(Path("s.wav"), bytes);
    WaveInfo info;
    GetWaveInfo(Path("s.wav"), info);
    EXPECT_EQ(info.m_dwFrames, c.frames) << c.name;
    EXPECT_EQ(info.m_bDataSizeClamped, c.clamped) << c.name;
    EXPECT_EQ(info.m_dwStatedDataSize, c.dataSize) << c.name;
    if (c.frames != 0) {
      EXPECT_EQ(ReadSamples16(Path("s.wav")), Ramp(30)) << c.name;
    }
  }
}

TEST_F(WaveFileTest, OddSizedChunkWithoutPadByteIsFollowed) {
  // The data size 100 makes the padded offset read "ata" + 'd': a well-formed but unknown
  // identifier, while the unpadded offset holds "data".
  for (std::size_t samples : {50, 8}) {
    const auto data = Samples16(Ramp(samples));
    auto list = Chunk("LIST", 27);
    list.pop_back();  // the writer left out the pad byte
    WriteBytes(Path("np.wav"), HeaderWithChunks(16, list, data, {}));
    WaveInfo info;
    GetWaveInfo(Path("np.wav"), info);
    EXPECT_EQ(info.m_dwFrames, samples) << samples;
    EXPECT_EQ(ReadSamples16(Path("np.wav")), Ramp(samples)) << samples;
  }
}

TEST_F(WaveFileTest, FifoIsRefusedWithoutWaitingForAWriter) {
  ASSERT_EQ(::mkfifo(Path("pipe.wav").c_str(), 0600), 0);
  CWaveFile file;
  EXPECT_EQ(ErrorCode([&] { file.OpenR(Path("pipe.wav")); }), 2u);
  EXPECT_EQ(ErrorCode([&] { file.OpenW(Path("pipe.wav")); }), 2u);
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(WaveFileTest, WrittenHeadersTakeBytesPerSecondFromRateAndFrame) {
  auto bytes = WaveBytes({2, 16, 16000}, Samples16(Ramp(40)));
  Put32(bytes, 28, 12345);  // a wrong stored value must not be carried or scaled
  WriteBytes(Path("in.wav"), bytes);
  const auto bytesPerSecond = [&](const std::string& name) {
    const auto b = ReadBytes(Path(name));
    return b.size() < 32 ? 0u : static_cast<std::uint32_t>(b[28] | (b[29] << 8) | (b[30] << 16) | (b[31] << 24));
  };
  WaveCopyPart(Path("in.wav"), Path("copy.wav"), 0, 0);
  EXPECT_EQ(bytesPerSecond("copy.wav"), 64000u);
  StereoToMonaural(kChannelLeft, Path("in.wav"), Path("mono.wav"));
  EXPECT_EQ(bytesPerSecond("mono.wav"), 32000u);
  Put32(bytes, 24, 8000);
  WriteBytes(Path("in8k.wav"), bytes);
  StereoToMonaural(kChannelLeft, Path("in8k.wav"), Path("mono8k.wav"));
  ASSERT_EQ(TransWaveFormat(kChannelLeft, TRANS_RESAMPLE, Path("mono8k.wav"), Path("up.wav"), 8000), 0);
  EXPECT_EQ(bytesPerSecond("up.wav"), 32000u);
  WriteWave(Path("u8.wav"), {1, 8, 16000}, std::vector<std::uint8_t>(10, 128));
  Bits8To16(Path("u8.wav"), Path("w16.wav"));
  EXPECT_EQ(bytesPerSecond("w16.wav"), 32000u);
}

TEST_F(WaveFileTest, WrittenFilesHaveCanonicalSizes) {
  CWaveFile out;
  out.OpenW(Path("w.wav"));
  out.m_wChannels = 1;
  out.m_dwSamplesPerSec = 16000;
  out.m_dwAvgBytesPerSec = 32000;
  out.m_wBlockAlign = 2;
  out.m_wBitsPerSample = 16;
  out.WriteHeader();
  std::uint8_t* table = out.CreateBuffer();
  const auto data = Samples16(Ramp(333));
  std::memcpy(table, data.data(), data.size());
  out.WriteTable(data.size());
  out.WriteTable(0);
  out.WriteFileAndDataSize(data.size());
  out.Close();
  const auto bytes = ReadBytes(Path("w.wav"));
  ASSERT_EQ(bytes.size(), 44 + data.size());
  EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);
  EXPECT_EQ(bytes[4] | (bytes[5] << 8) | (bytes[6] << 16), static_cast<int>(data.size() + 36));
  EXPECT_EQ(bytes[40] | (bytes[41] << 8), static_cast<int>(data.size()));
  EXPECT_EQ(ReadSamples16(Path("w.wav")), Ramp(333));
}

TEST_F(WaveFileTest, CopyCutAndInsertMoveTheRightBytes) {
  const auto samples = Ramp(1000);
  WriteWave(Path("src.wav"), {1, 16, 16000}, Samples16(samples));
  const auto slice = [&](std::size_t a, std::size_t b) {
    return std::vector<std::int16_t>(samples.begin() + static_cast<long>(a), samples.begin() + static_cast<long>(b));
  };

  WaveCopyPart(Path("src.wav"), Path("all.wav"), 0, 0);
  EXPECT_EQ(ReadSamples16(Path("all.wav")), samples);
  WaveCopyPart(Path("src.wav"), Path("tail.wav"), 200, 0);
  EXPECT_EQ(ReadSamples16(Path("tail.wav")), slice(100, 1000));
  WaveCopyPart(Path("src.wav"), Path("mid.wav"), 200, 100);
  EXPECT_EQ(ReadSamples16(Path("mid.wav")), slice(100, 150));
  WaveCopyPart(Path("src.wav"), Path("over.wav"), 1900, 500);  // runs past the end: cut at the end
  EXPECT_EQ(ReadSamples16(Path("over.wav")), slice(950, 1000));

  WaveCutPart(Path("src.wav"), Path("cut.wav"), 400, 600, Path("removed.wav"));
  auto expected = slice(0, 200);
  const auto rest = slice(500, 1000);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(ReadSamples16(Path("cut.wav")), expected);
  EXPECT_EQ(ReadSamples16(Path("removed.wav")), slice(200, 500));
  WaveCutPart(Path("src.wav"), Path("dropped.wav"), 400, 600, "");
  EXPECT_EQ(ReadSamples16(Path("dropped.wav")), expected);

  // Undo of a cut: inserting the removed part back restores the original.
  WaveInsertPart(Path("cut.wav"), Path("restored.wav"), 400, Path("removed.wav"));
  EXPECT_EQ(ReadSamples16(Path("restored.wav")), samples);

  WaveInsertPart(Path("mid.wav"), Path("front.wav"), 0, Path("tail.wav"));
  auto front = slice(100, 1000);
  const auto mid = slice(100, 150);
  front.insert(front.end(), mid.begin(), mid.end());
  EXPECT_EQ(ReadSamples16(Path("front.wav")), front);
  WaveInsertPart(Path("mid.wav"), Path("end.wav"), 5000, Path("tail.wav"));
  auto end = mid;
  const auto tail = slice(100, 1000);
  end.insert(end.end(), tail.begin(), tail.end());
  EXPECT_EQ(ReadSamples16(Path("end.wav")), end);

  WriteWave(Path("stereo.wav"), {2, 16, 16000}, Samples16(Ramp(10)));
  EXPECT_EQ(ErrorCode([&] { WaveInsertPart(Path("src.wav"), Path("x.wav"), 0, Path("stereo.wav")); }), 3u);
  EXPECT_TRUE(OpenWaveFileStack().Empty());
}

TEST_F(WaveFileTest, AmplifySaturatesInsteadOfWrapping) {
  WriteWave(Path("s16.wav"), {1, 16, 16000}, Samples16({1000, -1000, 20000, -20000, 32767, -32768, 3}));
  WaveAmplify(Path("s16.wav"), Path("a16.wav"), 2.5);
  EXPECT_EQ(ReadSamples16(Path("a16.wav")), (std::vector<std::int16_t>{2500, -2500, 32767, -32768, 32767, -32768, 7}));

  WriteWave(Path("s8.wav"), {1, 8, 8000}, {128, 138, 118, 250, 5});
  WaveAmplify(Path("s8.wav"), Path("a8.wav"), 2.0);
  const auto bytes = ReadBytes(Path("a8.wav"));
  ASSERT_EQ(bytes.size(), 49u);
  // 8-bit samples are scaled around their midpoint 128.
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 44, bytes.end()),
            (std::vector<std::uint8_t>{128, 148, 108, 255, 0}));

  WriteWave(Path("st.wav"), {2, 16, 16000}, Samples16({1, 2}));
  EXPECT_EQ(ErrorCode([&] { WaveAmplify(Path("st.wav"), Path("x.wav"), 2.0); }), 3u);
}

TEST_F(WaveFileTest, PeakCountsBothPolaritiesAndEveryChannel) {
  std::uint32_t peak = 0;
  std::uint32_t full = 0;
  WriteWave(Path("p.wav"), {2, 16, 16000}, Samples16({100, -200, 300, -32768}));
  WavePeak(Path("p.wav"), peak, full);
  EXPECT_EQ(peak, 32768u);
  EXPECT_EQ(full, 32767u);
  WriteWave(Path("p8.wav"), {1, 8, 8000}, {128, 140, 20});
  WavePeak(Path("p8.wav"), peak, full);
  EXPECT_EQ(peak, 108u);
  EXPECT_EQ(full, 255u);
}

TEST_F(WaveFileTest, FailedOpenClosesTheOperationsOtherFiles) {
  WriteWave(Path("a.wav"), {1, 16, 16000}, Samples16(Ramp(10)));
  CWaveFile first;
  OpenWaveFileStack().Push(&first);
  first.OpenR(Path("a.wav"));
  {
    // A file that goes away leaves the stack, so nothing later touches it.
    CWaveFile gone;
    OpenWaveFileStack().Push(&gone);
  }
  CWaveFile second;
  OpenWaveFileStack().Push(&second);
  EXPECT_EQ(ErrorCode([&] { second.OpenR(Path("missing.wav")); }), 2u);
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(OpenWaveFileStack().Empty());
  // An operation that fails part-way leaves no dangling entries behind.
  EXPECT_EQ(ErrorCode([&] { WaveCopyPart(Path("a.wav"), Path("nodir/x.wav"), 0, 0); }), 2u);
  EXPECT_TRUE(OpenWaveFileStack().Empty());
}

TEST(BoundedStackTest, FullStackDropsTheOldestEntry) {
  CBoundedStack<int> stack(3);
  for (int i = 1; i <= 5; ++i) {
    stack.Push(i);
  }
  EXPECT_EQ(stack.Size(), 3u);
  EXPECT_EQ(stack[0], 3);
  EXPECT_EQ(stack.Pop(), 5);
  EXPECT_EQ(stack.Pop(), 4);
  EXPECT_EQ(stack.Pop(), 3);
  EXPECT_TRUE(stack.Empty());
  EXPECT_THROW(stack.Pop(), std::out_of_range);
}
