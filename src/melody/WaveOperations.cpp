#include "melody/WaveOperations.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "melody/MelodyException.h"
#include "melody/TableSink.h"
#include "melody/WaveFile.h"

CBoundedStack<CWaveFile*>& OpenWaveFileStack() {
  // One stack per thread: a file operation runs on one thread, and a worker's files must
  // never meet the window thread's, which opens views and reads headers meanwhile.
  thread_local CBoundedStack<CWaveFile*> stack(20);
  return stack;
}

namespace {

// Opens a WAVE file for reading and stands at its first sample byte.
std::uint32_t OpenSource(CWaveFile& file, const std::string& name) {
  OpenWaveFileStack().Push(&file);
  file.OpenR(name);
  file.ReadHeader();
  std::uint32_t size = 0;
  file.SeekData(&size);
  return size;
}

// Creates a WAVE file with the format of `format` and writes its header.
void OpenDestination(CWaveFile& file, const std::string& name, const CWaveFile& format) {
  OpenWaveFileStack().Push(&file);
  file.OpenW(name);
  file.CopyFormatFrom(format);
  file.WriteHeader();
}

// Streams source samples into sinks, switching sink at absolute data positions.
class CRangeRouter {
 public:
  // Sends the next `count` source bytes to sink (null drops them); returns bytes moved.
  static std::uint64_t Route(CWaveFile& source, std::uint8_t* table, std::size_t& fill, std::size_t& offset,
                             std::uint64_t count, CTableSink* sink) {
    std::uint64_t moved = 0;
    while (moved < count) {
      if (offset == fill) {
        fill = source.ReadToTable();
        offset = 0;
        if (fill == 0) {
          break;
        }
      }
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(fill - offset, count - moved));
      if (sink != nullptr) {
        sink->Append(table + offset, n);
      }
      offset += n;
      moved += n;
    }
    return moved;
  }
};

void Finish() {
  OpenWaveFileStack().Clear();
}

std::int16_t LoadS16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

void StoreS16(std::uint8_t* p, std::int32_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

int WaveCopyPart(const std::string& source, const std::string& destination, std::uint32_t start, std::uint32_t length) {
  CWaveFile src;
  CWaveFile dst;
  const std::uint32_t dataSize = OpenSource(src, source);
  OpenDestination(dst, destination, src);
  const std::uint32_t first = std::min(start, dataSize);
  const std::uint64_t available = dataSize - first;
  const std::uint64_t wanted = length == 0 ? available : std::min<std::uint64_t>(length, available);
  src.Skip(first);
  std::uint8_t* table = src.CreateBuffer();
  CTableSink sink(dst);
  std::size_t fill = 0;
  std::size_t offset = 0;
  CRangeRouter::Route(src, table, fill, offset, wanted, &sink);
  sink.Finish();
  Finish();
  return 0;
}

int WaveCutPart(const std::string& source, const std::string& destination, std::uint32_t start, std::uint32_t length,
                const std::string& removedPart) {
  CWaveFile src;
  CWaveFile dst;
  CWaveFile removed;
  OpenSource(src, source);
  OpenDestination(dst, destination, src);
  std::uint8_t* table = src.CreateBuffer();
  CTableSink sink(dst);
  std::size_t fill = 0;
  std::size_t offset = 0;
  CRangeRouter::Route(src, table, fill, offset, start, &sink);
  if (!removedPart.empty()) {
    OpenDestination(removed, removedPart, src);
    CTableSink removedSink(removed);
    CRangeRouter::Route(src, table, fill, offset, length, &removedSink);
    removedSink.Finish();
  } else {
    CRangeRouter::Route(src, table, fill, offset, length, nullptr);
  }
  CRangeRouter::Route(src, table, fill, offset, UINT64_MAX, &sink);
  sink.Finish();
  Finish();
  return 0;
}

int WaveInsertPart(const std::string& source, const std::string& destination, std::uint32_t position,
                   const std::string& inserted) {
  CWaveFile src;
  CWaveFile dst;
  CWaveFile ins;
  OpenSource(src, source);
  OpenSource(ins, inserted);
  if (ins.m_wChannels != src.m_wChannels || ins.m_wBitsPerSample != src.m_wBitsPerSample ||
      ins.m_dwSamplesPerSec != src.m_dwSamplesPerSec) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "WaveInsertPart format");
  }
  OpenDestination(dst, destination, src);
  std::uint8_t* table = src.CreateBuffer();
  std::uint8_t* insTable = ins.CreateBuffer();
  CTableSink sink(dst);
  std::size_t fill = 0;
  std::size_t offset = 0;
  CRangeRouter::Route(src, table, fill, offset, position, &sink);
  std::size_t insFill = 0;
  std::size_t insOffset = 0;
  CRangeRouter::Route(ins, insTable, insFill, insOffset, UINT64_MAX, &sink);
  CRangeRouter::Route(src, table, fill, offset, UINT64_MAX, &sink);
  sink.Finish();
  Finish();
  return 0;
}

int WaveAmplify(const std::string& source, const std::string& destination, double factor) {
  CWaveFile src;
  CWaveFile dst;
  OpenSource(src, source);
  if (src.m_wChannels != 1 || (src.m_wBlockAlign != 1 && src.m_wBlockAlign != 2)) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "WaveAmplify format");
  }
  OpenDestination(dst, destination, src);
  std::uint8_t* in = src.CreateBuffer();
  std::uint8_t* out = dst.CreateBuffer();
  std::uint64_t total = 0;
  for (std::size_t n = src.ReadToTable(); n > 0; n = src.ReadToTable()) {
    if (src.m_wBlockAlign == 1) {
      // 8-bit samples are unsigned around 128: scale the signed excursion, not the code.
      for (std::size_t i = 0; i < n; ++i) {
        const double v = std::trunc((in[i] - 128) * factor) + 128.0;
        out[i] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
      }
    } else {
      const std::size_t whole = n & ~static_cast<std::size_t>(1);
      for (std::size_t i = 0; i < whole; i += 2) {
        const double v = std::clamp(std::trunc(LoadS16(in + i) * factor), -32768.0, 32767.0);
        StoreS16(out + i, static_cast<std::int32_t>(v));
      }
      if (whole != n) {
        out[whole] = in[whole];
      }
    }
    dst.WriteTable(n);
    total += n;
  }
  dst.WriteFileAndDataSize(total);
  Finish();
  return 0;
}

int WavePeak(const std::string& file, std::uint32_t& peak, std::uint32_t& fullScale) {
  CWaveFile src;
  OpenSource(src, file);
  const bool eightBit = src.m_wBitsPerSample == 8;
  const std::size_t step = src.m_wBlockAlign / src.m_wChannels;
  if (step != 1 && step != 2) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "WavePeak format");
  }
  fullScale = eightBit ? 255 : 32767;
  std::uint32_t best = 0;
  std::uint8_t* table = src.CreateBuffer();
  for (std::size_t n = src.ReadToTable(); n > 0; n = src.ReadToTable()) {
    for (std::size_t i = 0; i + step <= n; i += step) {
      const std::int32_t value = step == 1 ? table[i] - 128 : LoadS16(table + i);
      best = std::max(best, static_cast<std::uint32_t>(value < 0 ? -value : value));
    }
  }
  peak = best;
  Finish();
  return 0;
}

int GetWaveInfo(const std::string& file, WaveInfo& info) {
  CWaveFile src;
  const std::uint32_t dataSize = OpenSource(src, file);
  src.Close();
  info.m_wFormatTag = src.m_wFormatTag;
  info.m_wSampleFormat = src.SampleFormat();
  info.m_dwFrames = dataSize / src.m_wBlockAlign;
  info.m_dwStatedDataSize = src.StatedDataSize();
  info.m_bDataSizeClamped = src.DataSizeClamped();
  info.m_dwRiffSize = src.m_dwRiffSize;
  info.m_dwSamplesPerSec = src.m_dwSamplesPerSec;
  info.m_dwAvgBytesPerSec = src.m_dwAvgBytesPerSec;
  info.m_wBlockAlign = src.m_wBlockAlign;
  info.m_wBitsPerSample = src.m_wBitsPerSample;
  info.m_wChannels = src.m_wChannels;
  Finish();
  return 0;
}
