#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Block-buffered reader and writer of RIFF/WAVE files (and, without the header
// operations, of raw melody data). Audio is streamed through one heap table of
// TableFrames frames; no per-sample file calls are made. Every failure throws
// CMelodyException: code 2 for file problems, 3 for unsupported formats, 1 otherwise.
class CWaveFile {
 public:
  static constexpr std::uint32_t kTableFrames = 1048576;
  // Frames wider than this are refused by CreateBuffer: the table would need more than
  // 16 MiB, and no format this program converts comes near it.
  static constexpr std::uint32_t kMaxTableBlockAlign = 16;

  CWaveFile();
  ~CWaveFile();
  CWaveFile(const CWaveFile&) = delete;
  CWaveFile& operator=(const CWaveFile&) = delete;

  void OpenR(const std::string& name);
  void OpenW(const std::string& name);
  void Close();
  bool IsOpen() const { return m_bOpen; }
  const std::string& FileName() const { return m_strFileName; }

  // Sample encodings, as format tags (and as the first two bytes of an extensible
  // file's SubFormat).
  static constexpr std::uint16_t kTagPcm = 1;
  static constexpr std::uint16_t kTagFloat = 3;
  static constexpr std::uint16_t kTagExtensible = 0xFFFE;

  void ReadHeader();
  // The encoding of the samples: the format tag, or for an extensible file the encoding
  // its SubFormat names (0 when the SubFormat is not a standard one).
  std::uint16_t SampleFormat() const { return m_wFormatTag == kTagExtensible ? m_wSubFormatTag : m_wFormatTag; }
  // Positions the file at the first sample byte of the "data" chunk. Later reads stop at
  // the end of that chunk, so chunks that follow the samples are never taken for audio.
  // A stated size that runs past the end of the file (a truncated file, or one streamed
  // to a pipe with a placeholder size) is cut to the whole frames present; see
  // DataSizeClamped.
  void SeekData(std::uint32_t* dataSize = nullptr);
  bool DataSizeClamped() const { return m_bDataSizeClamped; }
  std::uint32_t StatedDataSize() const { return m_dwStatedDataSize; }
  std::size_t Read(void* buffer, std::size_t count);
  // Moves to `offset` bytes into the sample data (at most its end); SeekData must have run.
  void SeekInData(std::uint64_t offset);
  void Skip(std::uint64_t count);
  // Writes the canonical 44-byte header. Its 16-byte format body cannot describe an
  // extensible format, so the encoding is written as a plain tag, and the average bytes
  // per second always follows from the rate and the frame width.
  void WriteHeader();
  void WriteFileAndDataSize(std::uint64_t dataSize);

  std::uint8_t* CreateBuffer(std::size_t* size = nullptr);
  void DeleteBuffer();
  std::uint8_t* Table() const { return m_table.get(); }
  std::size_t TableBytes() const { return static_cast<std::size_t>(m_wBlockAlign) * m_dwTableFrames; }
  std::size_t ReadToTable();
  void WriteTable(std::size_t count);

  // Copies the six format fields of another file (the encoding as a plain tag).
  void CopyFormatFrom(const CWaveFile& other);

  std::uint32_t m_dwRiffSize = 0;
  std::uint16_t m_wFormatTag = 1;
  std::uint16_t m_wChannels = 0;
  std::uint32_t m_dwSamplesPerSec = 0;
  std::uint32_t m_dwAvgBytesPerSec = 0;
  std::uint16_t m_wBlockAlign = 0;
  std::uint16_t m_wBitsPerSample = 0;
  const std::uint32_t m_dwTableFrames = kTableFrames;

 private:
  void Open(const std::string& name, bool write);
  void ReadExact(void* buffer, std::size_t count, const char* where);
  void WriteExact(const void* buffer, std::size_t count, const char* where);
  void SeekTo(std::uint64_t offset, const char* where);
  std::uint64_t Position(const char* where) const;
  std::uint64_t FileSize(const char* where) const;
  // Walks chunk headers from the current position to the "data" chunk, honouring the pad
  // byte of odd-sized chunks; returns the data size and leaves the file at its first byte.
  std::uint32_t FindDataChunk(const char* where);
  // Where the chunk after one of `size` bytes ending its header at `pos` begins: at the
  // padded offset, unless only the unpadded one holds a chunk header (writers that omit
  // the pad byte of an odd-sized chunk).
  std::uint64_t NextChunk(std::uint64_t pos, std::uint32_t size, std::uint64_t fileSize, const char* where);
  bool ChunkIdAt(std::uint64_t offset, std::uint64_t fileSize, char id[4], const char* where);
  // Reads the SubFormat of an extensible "fmt " chunk of fmtSize bytes.
  void ReadExtensible(std::uint32_t fmtSize);
  // The data size to use for a "data" chunk stating `size` with its samples at `pos`.
  std::uint32_t UsableDataSize(std::uint32_t size, std::uint64_t pos, std::uint64_t fileSize);
  [[noreturn]] void FailClosing(std::uint32_t code, const char* where);

  std::string m_strFileName;
  bool m_bOpen = false;
  int m_fd = -1;
  std::unique_ptr<std::uint8_t[]> m_table;
  // Absolute end of the sample data once SeekData has run; reads stop there.
  std::uint64_t m_dataStart = 0;
  std::uint64_t m_dataEnd = 0;
  bool m_dataLimited = false;
  // The encoding named by an extensible file's SubFormat (0 when unknown).
  std::uint16_t m_wSubFormatTag = 0;
  bool m_bDataSizeClamped = false;
  std::uint32_t m_dwStatedDataSize = 0;
};
