#include "melody/WaveSummary.h"

#include <algorithm>

#include "melody/MelodyException.h"
#include "melody/WaveFile.h"

namespace {

std::int16_t SampleAt(const std::uint8_t* p, std::uint16_t blockAlign) {
  if (blockAlign == 1) {
    return static_cast<std::int16_t>(p[0]);
  }
  return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

}  // namespace

void CWaveSummary::Clear() {
  m_blocks.clear();
  m_frames = 0;
  m_blockAlign = 0;
}

void CWaveSummary::Build(CWaveFile& file, std::uint32_t frames) {
  Clear();
  if (file.m_wBlockAlign != 1 && file.m_wBlockAlign != 2) {
    throw CMelodyException(CMelodyException::kGeneral, "CWaveSummary::Build BlockAlign");
  }
  m_blockAlign = file.m_wBlockAlign;
  m_blocks.resize((frames + kBlockFrames - 1) / kBlockFrames);
  file.SeekInData(0);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kBlockFrames) * 256 * m_blockAlign);
  std::uint32_t frame = 0;
  while (frame < frames) {
    const std::uint32_t want = std::min<std::uint32_t>(frames - frame, kBlockFrames * 256);
    const std::size_t got = file.Read(buffer.data(), static_cast<std::size_t>(want) * m_blockAlign) / m_blockAlign;
    if (got == 0) {
      break;
    }
    for (std::size_t i = 0; i < got; ++i) {
      const std::int16_t v = SampleAt(buffer.data() + i * m_blockAlign, m_blockAlign);
      const std::uint32_t at = frame + static_cast<std::uint32_t>(i);
      Extent& block = m_blocks[at / kBlockFrames];
      if (at % kBlockFrames == 0) {
        block = {v, v};
      } else {
        block.low = std::min(block.low, v);
        block.high = std::max(block.high, v);
      }
    }
    frame += static_cast<std::uint32_t>(got);
  }
  // A file shorter than its header claims ends at the last frame that could be read.
  m_frames = frame;
  m_blocks.resize((m_frames + kBlockFrames - 1) / kBlockFrames);
}

void CWaveSummary::Merge(Extent& extent, bool& any, const Extent& other) {
  if (!any) {
    extent = other;
    any = true;
    return;
  }
  extent.low = std::min(extent.low, other.low);
  extent.high = std::max(extent.high, other.high);
}

void CWaveSummary::Scan(CWaveFile& file, std::uint32_t first, std::uint32_t end, Extent& extent, bool& any) const {
  std::uint8_t buffer[kBlockFrames * 2 * 2];
  const std::uint32_t capacity = sizeof buffer / m_blockAlign;
  file.SeekInData(static_cast<std::uint64_t>(first) * m_blockAlign);
  while (first < end) {
    const std::uint32_t want = std::min(end - first, capacity);
    const std::size_t got = file.Read(buffer, static_cast<std::size_t>(want) * m_blockAlign) / m_blockAlign;
    if (got == 0) {
      throw CMelodyException(CMelodyException::kFile, "CWaveSummary::Scan");
    }
    for (std::size_t i = 0; i < got; ++i) {
      const std::int16_t v = SampleAt(buffer + i * m_blockAlign, m_blockAlign);
      Merge(extent, any, {v, v});
    }
    first += static_cast<std::uint32_t>(got);
  }
}

CWaveSummary::Extent CWaveSummary::MinMax(CWaveFile& file, std::uint32_t first, std::uint32_t end) const {
  end = std::min(end, m_frames);
  Extent extent;
  bool any = false;
  if (first >= end) {
    return extent;
  }
  const std::uint32_t firstBlock = (first + kBlockFrames - 1) / kBlockFrames;
  const std::uint32_t endBlock = end / kBlockFrames;
  if (firstBlock >= endBlock) {
    Scan(file, first, end, extent, any);
    return extent;
  }
  if (first < firstBlock * kBlockFrames) {
    Scan(file, first, firstBlock * kBlockFrames, extent, any);
  }
  for (std::uint32_t b = firstBlock; b < endBlock; ++b) {
    Merge(extent, any, m_blocks[b]);
  }
  if (endBlock * kBlockFrames < end) {
    Scan(file, endBlock * kBlockFrames, end, extent, any);
  }
  return extent;
}
