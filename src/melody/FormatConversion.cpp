#include "melody/FormatConversion.h"

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "melody/BoundedStack.h"
#include "melody/DownSampler.h"
#include "melody/FirTable.h"
#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"
#include "melody/ResampleChain.h"
#include "melody/TableSink.h"
#include "melody/UpSampler.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"
#include "platform/Paths.h"

namespace {

struct Step {
  int L;
  int M;
};

struct RateChain {
  std::uint32_t rate;
  std::vector<Step> steps;
};

// Small-factor steps whose product brings each rate to exactly 16000 Hz
// (11025 * 640/441, 22050 * 320/441, 44100 * 160/441).
const std::vector<RateChain>& Chains() {
  static const std::vector<RateChain> chains = {
      {8000, {{3, 2}, {4, 3}}}, {11025, {{8, 1}, {2, 7}, {10, 1}, {2, 7}, {2, 9}}}, {12000, {{4, 3}}},
      {16000, {{1, 1}}},        {22050, {{8, 1}, {2, 7}, {5, 1}, {2, 7}, {2, 9}}},  {24000, {{4, 3}, {1, 2}}},
      {32000, {{1, 2}}},        {44100, {{4, 1}, {2, 7}, {5, 1}, {2, 7}, {2, 9}}},  {48000, {{1, 3}}},
  };
  return chains;
}

// The table of one step: direct decimation for 1/3 and 1/7, polyphase otherwise.
const FirTable* StepTable(const Step& step) {
  const bool direct = step.L == 1 && (step.M == 3 || step.M == 7);
  return FirInit(step.L, step.M, direct);
}

const RateChain* FindChain(std::uint32_t rate) {
  for (const RateChain& chain : Chains()) {
    if (chain.rate == rate) {
      return &chain;
    }
  }
  return nullptr;
}

// Records the temporary files of one chain run and deletes them however the run ends,
// so a cancelled or failed conversion leaves nothing behind in the temporary folder.
class CTempFiles {
 public:
  CTempFiles() : m_names(20) {}
  ~CTempFiles() {
    while (!m_names.Empty()) {
      std::error_code ec;
      std::filesystem::remove(m_names.Pop(), ec);
    }
  }
  std::string Add(const char* name) {
    std::string path = (CPaths::TempDir() / name).string();
    m_names.Push(path);
    return path;
  }

 private:
  CBoundedStack<std::string> m_names;
};

std::uint32_t OpenWaveSource(CWaveFile& file, const std::string& name) {
  OpenWaveFileStack().Push(&file);
  file.OpenR(name);
  file.ReadHeader();
  std::uint32_t size = 0;
  file.SeekData(&size);
  return size;
}

void OpenWaveDestination(CWaveFile& file, const std::string& name) {
  OpenWaveFileStack().Push(&file);
  file.OpenW(name);
  file.WriteHeader();
}

// Compressed or floating-point samples would be taken for PCM and come out as noise.
void RequirePcm(const CWaveFile& file, const char* where) {
  if (file.SampleFormat() != CWaveFile::kTagPcm) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, where);
  }
}

// Refuses a source the selected steps cannot read: every step but narrowing takes PCM.
void CheckSourceEncoding(const std::string& source, std::uint32_t flags) {
  CWaveFile probe;
  OpenWaveFileStack().Push(&probe);
  probe.OpenR(source);
  probe.ReadHeader();
  probe.Close();
  OpenWaveFileStack().Remove(&probe);
  const bool narrowable = (flags & TRANS_NARROW) != 0 && probe.SampleFormat() == CWaveFile::kTagFloat;
  if (!narrowable) {
    RequirePcm(probe, "TransWaveFormat encoding");
  }
}

std::int16_t Saturate16(double v) {
  if (std::isnan(v)) {
    return 0;
  }
  return static_cast<std::int16_t>(std::clamp(std::round(v), -32768.0, 32767.0));
}

std::int32_t Load24(const std::uint8_t* p) {
  const auto raw = static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
  return static_cast<std::int32_t>(raw << 8) >> 8;
}

std::int32_t Load32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

float LoadFloat(const std::uint8_t* p) {
  const std::uint32_t bits = static_cast<std::uint32_t>(Load32(p));
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// One sample of a wide encoding as a 16-bit value.
std::int16_t Narrow(const std::uint8_t* p, std::uint16_t bits, bool isFloat) {
  if (isFloat) {
    return Saturate16(static_cast<double>(LoadFloat(p)) * 32768.0);
  }
  if (bits == 24) {
    return Saturate16(Load24(p) / 256.0);
  }
  return Saturate16(Load32(p) / 65536.0);
}

void CheckCancel() {
  if (MelodyThreadState().CancelRequested()) {
    throw CMelodyException(CMelodyException::kCancelled, "");
  }
}

}  // namespace

bool IsSupportedRate(std::uint32_t rate) {
  return FindChain(rate) != nullptr;
}

std::string ConversionProblem(const WaveInfo& info) {
  const std::string prefix = "unsupported audio format: ";
  const bool isFloat = info.m_wSampleFormat == CWaveFile::kTagFloat;
  if (info.m_wSampleFormat != CWaveFile::kTagPcm && !isFloat) {
    if (info.m_wFormatTag == CWaveFile::kTagExtensible) {
      return prefix + "extensible format with SubFormat tag " + std::to_string(info.m_wSampleFormat) +
             " (PCM required)";
    }
    return prefix + "format tag " + std::to_string(info.m_wFormatTag) + " (PCM required)";
  }
  if (info.m_wChannels != 1 && info.m_wChannels != 2) {
    return prefix + std::to_string(info.m_wChannels) + " channels (1 or 2 supported)";
  }
  if (isFloat && info.m_wBitsPerSample != 32) {
    return prefix + std::to_string(info.m_wBitsPerSample) + "-bit floating-point samples (32-bit supported)";
  }
  const std::uint16_t bits = info.m_wBitsPerSample;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return prefix + std::to_string(bits) + " bits per sample (8, 16, 24 or 32 supported)";
  }
  if (!IsSupportedRate(info.m_dwSamplesPerSec)) {
    return prefix + std::to_string(info.m_dwSamplesPerSec) + " Hz";
  }
  return {};
}

bool NeedsNarrowing(const WaveInfo& info) {
  return info.m_wSampleFormat == CWaveFile::kTagFloat || info.m_wBitsPerSample > 16;
}

int TransWaveFormat(int channel, std::uint32_t flags, const std::string& source, const std::string& destination,
                    std::uint32_t sourceRate) {
  const RateChain* chain = nullptr;
  if ((flags & TRANS_RESAMPLE) != 0) {
    chain = FindChain(sourceRate);
    if (chain == nullptr) {
      return 1;
    }
  }
  CheckSourceEncoding(source, flags);
  CTempFiles temps;
  std::string current = source;
  bool ran = false;
  if ((flags & TRANS_NARROW) != 0) {
    flags &= ~TRANS_NARROW;
    const std::string output = flags == 0 ? destination : temps.Add("MelodyNarrowTemp.WAV");
    NarrowTo16(current, output);
    current = output;
    ran = true;
  }
  if ((flags & TRANS_MONAURAL) != 0) {
    flags &= ~TRANS_MONAURAL;
    const std::string output = flags == 0 ? destination : temps.Add("MelodyMonauralTemp.WAV");
    StereoToMonaural(channel, current, output);
    current = output;
    ran = true;
  }
  if ((flags & TRANS_8TO16) != 0) {
    flags &= ~TRANS_8TO16;
    const std::string output = flags == 0 ? destination : temps.Add("Melody8To16Temp.WAV");
    Bits8To16(current, output);
    current = output;
    ran = true;
  }
  if (chain != nullptr) {
    if (chain->steps.size() == 1 && chain->steps[0].L == chain->steps[0].M) {
      WaveCopyPart(current, destination, 0, 0);
    } else {
      // The steps run in one streaming pass; the intermediate rates never reach the disk.
      std::vector<const FirTable*> tables;
      for (const Step& step : chain->steps) {
        tables.push_back(StepTable(step));
      }
      CResampleChain(tables).ConvertFile(current, destination);
    }
    ran = true;
  }
  if (!ran) {
    WaveCopyPart(source, destination, 0, 0);
  }
  return 0;
}

void StereoToMonaural(int channel, const std::string& source, const std::string& destination) {
  CWaveFile src;
  CWaveFile dst;
  OpenWaveSource(src, source);
  RequirePcm(src, "StereoToMonaural encoding");
  if (src.m_wChannels != 2 || (src.m_wBlockAlign != 2 && src.m_wBlockAlign != 4)) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "StereoToMonaural format");
  }
  dst.CopyFormatFrom(src);
  dst.m_wChannels = 1;
  dst.m_wBlockAlign = static_cast<std::uint16_t>(src.m_wBlockAlign / 2);
  OpenWaveDestination(dst, destination);
  const std::size_t width = dst.m_wBlockAlign;
  const std::size_t skip = channel == kChannelLeft ? 0 : width;
  const std::uint8_t* in = src.CreateBuffer();
  CTableSink sink(dst);
  for (std::size_t n = src.ReadToTable(); n > 0; n = src.ReadToTable()) {
    const std::size_t frames = n / src.m_wBlockAlign;
    std::uint8_t* out = sink.Reserve(frames * width);
    for (std::size_t f = 0; f < frames; ++f) {
      const std::uint8_t* sample = in + f * src.m_wBlockAlign + skip;
      out[f * width] = sample[0];
      if (width == 2) {
        out[f * width + 1] = sample[1];
      }
    }
    sink.Commit(frames * width);
  }
  sink.Finish();
  OpenWaveFileStack().Clear();
}

void Bits8To16(const std::string& source, const std::string& destination) {
  CWaveFile src;
  CWaveFile dst;
  OpenWaveSource(src, source);
  RequirePcm(src, "Bits8To16 encoding");
  if (src.m_wBitsPerSample != 8 || (src.m_wBlockAlign != 1 && src.m_wBlockAlign != 2)) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "Bits8To16 format");
  }
  // The channel count is kept: a two-channel 8-bit file widens to two-channel 16-bit.
  dst.CopyFormatFrom(src);
  dst.m_wBlockAlign = static_cast<std::uint16_t>(src.m_wBlockAlign * 2);
  dst.m_wBitsPerSample = 16;
  OpenWaveDestination(dst, destination);
  std::array<std::uint8_t, 512> widen{};
  for (int v = 0; v < 256; ++v) {
    const auto wide = static_cast<std::uint16_t>((v - 128) * 256);
    widen[static_cast<std::size_t>(2 * v)] = static_cast<std::uint8_t>(wide);
    widen[static_cast<std::size_t>(2 * v + 1)] = static_cast<std::uint8_t>(wide >> 8);
  }
  const std::uint8_t* in = src.CreateBuffer();
  CTableSink sink(dst);
  for (std::size_t n = src.ReadToTable(); n > 0; n = src.ReadToTable()) {
    const std::size_t samples = n / src.m_wBlockAlign * src.m_wBlockAlign;
    std::uint8_t* out = sink.Reserve(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
      out[2 * i] = widen[2 * std::size_t{in[i]}];
      out[2 * i + 1] = widen[2 * std::size_t{in[i]} + 1];
    }
    sink.Commit(samples * 2);
  }
  sink.Finish();
  OpenWaveFileStack().Clear();
}

void NarrowTo16(const std::string& source, const std::string& destination) {
  CWaveFile src;
  CWaveFile dst;
  OpenWaveSource(src, source);
  const bool isFloat = src.SampleFormat() == CWaveFile::kTagFloat;
  const std::uint16_t bits = src.m_wBitsPerSample;
  const bool supported =
      isFloat ? bits == 32 : (src.SampleFormat() == CWaveFile::kTagPcm && (bits == 24 || bits == 32));
  if (!supported || src.m_wChannels == 0 || src.m_wChannels > 2) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "NarrowTo16 format");
  }
  dst.CopyFormatFrom(src);
  dst.m_wFormatTag = CWaveFile::kTagPcm;
  dst.m_wBitsPerSample = 16;
  dst.m_wBlockAlign = static_cast<std::uint16_t>(2 * src.m_wChannels);
  OpenWaveDestination(dst, destination);
  const std::size_t width = bits / 8;
  const std::uint8_t* in = src.CreateBuffer();
  CTableSink sink(dst);
  for (std::size_t n = src.ReadToTable(); n > 0; n = src.ReadToTable()) {
    CheckCancel();
    const std::size_t samples = n / src.m_wBlockAlign * src.m_wChannels;
    std::uint8_t* out = sink.Reserve(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
      const auto v = static_cast<std::uint16_t>(Narrow(in + i * width, bits, isFloat));
      out[2 * i] = static_cast<std::uint8_t>(v);
      out[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    sink.Commit(samples * 2);
  }
  sink.Finish();
  OpenWaveFileStack().Clear();
}

void Resample(const std::string& source, const std::string& destination, int L, int M) {
  if (L > M) {
    CUpSampler(source, destination, L, M);
  } else if (L < M) {
    CDownSampler(source, destination, L, M);
  } else {
    WaveCopyPart(source, destination, 0, 0);
  }
}
