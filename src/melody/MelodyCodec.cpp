#include "melody/MelodyCodec.h"

#include <dlfcn.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"
#include "platform/DebugLog.h"
#include "platform/Paths.h"

// WAVE samples are little-endian: table bytes and host 16-bit values share one layout.
static_assert(std::endian::native == std::endian::little);

namespace {

using InitFn = void (*)();
using EncodeFn = void (*)(const std::int16_t*, std::uint8_t*);
using DecodeFn = void (*)(std::int16_t*, const std::uint8_t*);

struct CodecBinding {
  void* handle = nullptr;
  DecodeFn decode = nullptr;
  EncodeFn encode = nullptr;
  InitFn initDecoder = nullptr;
  InitFn initEncoder = nullptr;
  InitFn initDspRegs = nullptr;
};

CodecBinding g_codec;

constexpr std::uint32_t kCancelCheckFrames = 10000;

template <typename Fn>
bool Resolve(Fn& slot, const char* name) {
  slot = reinterpret_cast<Fn>(::dlsym(g_codec.handle, name));
  return slot != nullptr;
}

void CheckCancelAndPause() {
  if (MelodyThreadState().CancelRequested()) {
    throw CMelodyException(CMelodyException::kCancelled, "");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void RequireCodec(const char* where) {
  if (g_codec.handle == nullptr) {
    throw CMelodyException(CMelodyException::kGeneral, where);
  }
}

void EncodeFrame(const std::int16_t* samples, std::uint8_t* out) {
  std::int16_t frame[kMelodyFrameSamples];
  for (std::uint32_t i = 0; i < kMelodyFrameSamples; ++i) {
    frame[i] = static_cast<std::int16_t>(samples[i] >> 2);
  }
  g_codec.encode(frame, out);
}

void DecodeFrame(const std::uint8_t* in, std::int16_t* out) {
  std::int16_t frame[kMelodyFrameSamples];
  g_codec.decode(frame, in);
  for (std::uint32_t i = 0; i < kMelodyFrameSamples; ++i) {
    out[i] = static_cast<std::int16_t>(std::clamp<int>(frame[i], -8192, 8191) * 4);
  }
}

}  // namespace

std::string MelodyCodecPath() {
  return (CPaths::LibraryDir() / "orva-coder.so").string();
}

int LoadMelodyCodec() {
  FreeMelodyCodec();
  g_codec.handle = ::dlopen(MelodyCodecPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (g_codec.handle == nullptr) {
    ORVANE_TRACE("LoadMelodyCodec - %s\n", ::dlerror());
    return 1;
  }
  if (!Resolve(g_codec.decode, "vOrva_Decode") || !Resolve(g_codec.encode, "vOrva_Encode") ||
      !Resolve(g_codec.initDecoder, "vOrva_Init_Decoder") || !Resolve(g_codec.initEncoder, "vOrva_Init_Encoder") ||
      !Resolve(g_codec.initDspRegs, "vOrva_Init_Dsp_Regs")) {
    FreeMelodyCodec();
    return 1;
  }
  return 0;
}

void FreeMelodyCodec() {
  if (g_codec.handle != nullptr) {
    ::dlclose(g_codec.handle);
  }
  g_codec = CodecBinding{};
}

bool MelodyCodecLoaded() {
  return g_codec.handle != nullptr;
}

void EncodeMelodyBlock(const std::int16_t* samples, std::uint32_t byteCount, std::uint8_t* frames,
                       std::uint32_t capacity, std::uint32_t& bytesWritten, std::uint32_t& frameCounter) {
  RequireCodec("EncodeMelodyBlock");
  const std::uint32_t count = byteCount / 2;
  const std::uint32_t whole = count / kMelodyFrameSamples;
  const std::uint32_t rest = count % kMelodyFrameSamples;
  const std::uint64_t needed = static_cast<std::uint64_t>(whole + (rest != 0 ? 1 : 0)) * kMelodyFrameBytes;
  if (needed > capacity) {
    throw CMelodyException(CMelodyException::kGeneral, "EncodeMelodyBlock capacity");
  }
  g_codec.initDspRegs();
  g_codec.initEncoder();
  bytesWritten = 0;
  for (std::uint32_t f = 0; f < whole; ++f) {
    if (f % kCancelCheckFrames == 0) {
      CheckCancelAndPause();
    }
    EncodeFrame(samples + static_cast<std::size_t>(f) * kMelodyFrameSamples, frames + bytesWritten);
    ++frameCounter;
    bytesWritten += kMelodyFrameBytes;
  }
  if (rest != 0) {
    std::int16_t last[kMelodyFrameSamples] = {};
    std::memcpy(last, samples + static_cast<std::size_t>(whole) * kMelodyFrameSamples, rest * sizeof(std::int16_t));
    ++frameCounter;
    EncodeFrame(last, frames + bytesWritten);
    bytesWritten += kMelodyFrameBytes;
  }
}

void DecodeMelodyBlock(const std::uint8_t* frames, std::uint32_t byteCount, std::int16_t* samples,
                       std::uint32_t capacity, std::uint32_t& bytesWritten) {
  RequireCodec("DecodeMelodyBlock");
  const std::uint32_t whole = byteCount / kMelodyFrameBytes;
  const std::uint32_t rest = byteCount % kMelodyFrameBytes;
  const std::uint64_t needed = static_cast<std::uint64_t>(whole + (rest != 0 ? 1 : 0)) * kMelodyFrameSamples * 2;
  if (needed > capacity) {
    throw CMelodyException(CMelodyException::kGeneral, "DecodeMelodyBlock capacity");
  }
  g_codec.initDspRegs();
  g_codec.initDecoder();
  bytesWritten = 0;
  for (std::uint32_t f = 0; f < whole; ++f) {
    if (f % kCancelCheckFrames == 0) {
      CheckCancelAndPause();
    }
    DecodeFrame(frames + static_cast<std::size_t>(f) * kMelodyFrameBytes, samples + bytesWritten / 2);
    bytesWritten += kMelodyFrameSamples * 2;
  }
  if (rest != 0) {
    std::uint8_t last[kMelodyFrameBytes] = {};
    std::memcpy(last, frames + static_cast<std::size_t>(whole) * kMelodyFrameBytes, rest);
    DecodeFrame(last, samples + bytesWritten / 2);
    bytesWritten += kMelodyFrameSamples * 2;
  }
}

int WaveToMelodyData(const std::string& wave, const std::string& gc) {
  RequireCodec("WaveToMelodyData");
  CWaveFile in;
  CWaveFile out;
  OpenWaveFileStack().Push(&in);
  in.OpenR(wave);
  in.ReadHeader();
  if (in.m_wChannels != 1 || in.m_wBitsPerSample != 16 || in.m_dwSamplesPerSec != kMelodyRate ||
      in.SampleFormat() != CWaveFile::kTagPcm) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "WaveToMelodyData format");
  }
  in.SeekData();
  OpenWaveFileStack().Push(&out);
  out.OpenW(gc);
  out.m_wBlockAlign = in.m_wBlockAlign;
  std::size_t capacity = 0;
  const std::uint8_t* table = in.CreateBuffer();
  std::uint8_t* frames = out.CreateBuffer(&capacity);
  std::vector<std::int16_t> samples(CWaveFile::kTableFrames);
  std::uint32_t frameCounter = 0;
  for (std::size_t n = in.ReadToTable(); n > 0; n = in.ReadToTable()) {
    std::memcpy(samples.data(), table, n & ~static_cast<std::size_t>(1));
    std::uint32_t bytes = 0;
    EncodeMelodyBlock(samples.data(), static_cast<std::uint32_t>(n), frames, static_cast<std::uint32_t>(capacity),
                      bytes, frameCounter);
    out.WriteTable(bytes);
  }
  const std::int16_t silence[kMelodyFrameSamples] = {};
  while (frameCounter % kMelodyFrameGroup != 0) {
    std::uint32_t bytes = 0;
    EncodeMelodyBlock(silence, sizeof silence, frames, static_cast<std::uint32_t>(capacity), bytes, frameCounter);
    out.WriteTable(bytes);
  }
  in.DeleteBuffer();
  out.DeleteBuffer();
  in.Close();
  out.Close();
  OpenWaveFileStack().Clear();
  return 0;
}

int MelodyDataToWave(const std::string& gc, const std::string& wave) {
  RequireCodec("MelodyDataToWave");
  CWaveFile in;
  CWaveFile out;
  OpenWaveFileStack().Push(&in);
  in.OpenR(gc);
  OpenWaveFileStack().Push(&out);
  out.OpenW(wave);
  out.m_wFormatTag = 1;
  out.m_wChannels = 1;
  out.m_dwSamplesPerSec = kMelodyRate;
  out.m_dwAvgBytesPerSec = kMelodyRate * 2;
  out.m_wBlockAlign = 2;
  out.m_wBitsPerSample = 16;
  out.WriteHeader();
  out.SeekData();
  in.m_wBlockAlign = 2;
  std::size_t capacity = 0;
  std::uint8_t* frames = in.CreateBuffer();
  std::uint8_t* table = out.CreateBuffer(&capacity);
  std::vector<std::int16_t> samples(capacity / 2);
  const std::size_t piece = capacity / (kMelodyFrameSamples * 2) * kMelodyFrameBytes;
  std::uint64_t total = 0;
  for (std::size_t n = in.Read(frames, piece); n > 0; n = in.Read(frames, piece)) {
    std::uint32_t bytes = 0;
    DecodeMelodyBlock(frames, static_cast<std::uint32_t>(n), samples.data(), static_cast<std::uint32_t>(capacity),
                      bytes);
    std::memcpy(table, samples.data(), bytes);
    out.WriteTable(bytes);
    total += bytes;
  }
  out.WriteFileAndDataSize(total);
  in.DeleteBuffer();
  out.DeleteBuffer();
  in.Close();
  out.Close();
  OpenWaveFileStack().Clear();
  return 0;
}
