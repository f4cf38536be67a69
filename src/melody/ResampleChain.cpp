#include "melody/ResampleChain.h"

#include <algorithm>

#include "melody/FirTable.h"
#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"
#include "melody/TableSink.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

namespace {

constexpr std::size_t kChunk = 4096;
constexpr std::size_t kCancelCheckSamples = 65536;

void CheckCancel() {
  if (MelodyThreadState().CancelRequested()) {
    throw CMelodyException(CMelodyException::kCancelled, "");
  }
}

std::uint32_t Scale(std::uint32_t value, const FirTable& t) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) * static_cast<std::uint64_t>(t.L) /
                                    static_cast<std::uint64_t>(t.M));
}

}  // namespace

CResampleChain::CResampleChain(const std::vector<const FirTable*>& tables) : m_tables(tables) {
  m_stages.reserve(m_tables.size());
  for (const FirTable* t : m_tables) {
    m_stages.emplace_back(*t);
  }
  m_buffers.resize(m_stages.size());
}

void CResampleChain::Push(std::size_t stage, const float* in, std::size_t count, CTableSink& sink) {
  CPolyphaseFilter& filter = m_stages[stage];
  if (stage + 1 == m_stages.size()) {
    m_staged.resize(std::max(m_staged.size(), filter.MaxOutput(count)));
    const std::size_t produced = filter.Process(in, count, m_staged.data());
    std::uint8_t* room = sink.Reserve(produced * 2);
    for (std::size_t i = 0; i < produced; ++i) {
      const auto v = static_cast<std::uint16_t>(m_staged[i]);
      room[2 * i] = static_cast<std::uint8_t>(v);
      room[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    sink.Commit(produced * 2);
    return;
  }
  std::vector<float>& out = m_buffers[stage];
  out.resize(std::max(out.size(), filter.MaxOutput(count)));
  const std::size_t produced = filter.Process(in, count, out.data());
  // Feed the next stage in pieces so its buffers stay small.
  for (std::size_t first = 0; first < produced; first += kChunk) {
    Push(stage + 1, out.data() + first, std::min(kChunk, produced - first), sink);
  }
}

void CResampleChain::ConvertFile(const std::string& source, const std::string& destination) {
  if (m_stages.empty()) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CResampleChain stages");
  }
  CWaveFile src;
  CWaveFile dst;
  OpenWaveFileStack().Push(&src);
  src.OpenR(source);
  src.ReadHeader();
  if (src.m_wChannels != 1 || src.m_wBitsPerSample != 16 || src.SampleFormat() != CWaveFile::kTagPcm) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CResampleChain format");
  }
  src.SeekData();
  OpenWaveFileStack().Push(&dst);
  dst.OpenW(destination);
  dst.CopyFormatFrom(src);
  for (const FirTable* t : m_tables) {
    dst.m_dwSamplesPerSec = Scale(dst.m_dwSamplesPerSec, *t);
  }
  dst.WriteHeader();
  const std::uint8_t* table = src.CreateBuffer();
  CTableSink sink(dst);
  std::vector<float> chunk(kChunk);
  std::size_t sinceCheck = kCancelCheckSamples;
  for (std::size_t bytes = src.ReadToTable(); bytes > 0; bytes = src.ReadToTable()) {
    const std::size_t samples = bytes / 2;
    for (std::size_t first = 0; first < samples; first += kChunk) {
      if (sinceCheck >= kCancelCheckSamples) {
        CheckCancel();
        sinceCheck = 0;
      }
      const std::size_t n = std::min(kChunk, samples - first);
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = table + 2 * (first + i);
        chunk[i] = static_cast<float>(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
      }
      Push(0, chunk.data(), n, sink);
      sinceCheck += n;
    }
  }
  // Each stage is flushed with its own zero tail, which then flows through the rest.
  std::fill(chunk.begin(), chunk.end(), 0.0f);
  for (std::size_t stage = 0; stage < m_stages.size(); ++stage) {
    for (std::size_t left = m_stages[stage].FlushLength(); left > 0;) {
      const std::size_t n = std::min(kChunk, left);
      Push(stage, chunk.data(), n, sink);
      left -= n;
    }
  }
  sink.Finish();
  OpenWaveFileStack().Clear();
}
