#pragma once

#include <cstdint>
#include <vector>

class CWaveFile;

// The smallest and largest sample of every block of kBlockFrames frames of a mono 8- or
// 16-bit WAVE file, built in one pass. MinMax answers exactly for any frame range: whole
// blocks come from the table and the partial blocks at both ends are read from the file, so
// a drawing at any zoom never loses a peak and never shifts it into a neighbouring column.
// Samples are signed for 16-bit data and their byte value (0..255) for 8-bit data.
class CWaveSummary {
 public:
  static constexpr std::uint32_t kBlockFrames = 256;

  struct Extent {
    std::int16_t low = 0;
    std::int16_t high = 0;
  };

  // `file` is open for reading with its header read and SeekData done; it must stay open
  // for MinMax. Throws CMelodyException when the file cannot be read.
  void Build(CWaveFile& file, std::uint32_t frames);
  void Clear();
  std::uint32_t Frames() const { return m_frames; }
  // Extent of frames [first, end); first < end <= Frames().
  Extent MinMax(CWaveFile& file, std::uint32_t first, std::uint32_t end) const;

 private:
  // Widens extent by the samples of frames [first, end) read from the file.
  void Scan(CWaveFile& file, std::uint32_t first, std::uint32_t end, Extent& extent, bool& any) const;
  static void Merge(Extent& extent, bool& any, const Extent& other);

  std::vector<Extent> m_blocks;
  std::uint32_t m_frames = 0;
  std::uint16_t m_blockAlign = 0;
};
