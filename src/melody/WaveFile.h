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

  void ReadHeader();
  // Positions the file at the first sample byte of the "data" chunk. Later reads stop at
  // the end of that chunk, so chunks that follow the samples are never taken for audio.
  void SeekData(std::uint32_t* dataSize = nullptr);
  std::size_t Read(void* buffer, std::size_t count);
  void Skip(std::uint64_t count);
  void WriteHeader();
  void WriteFileAndDataSize(std::uint64_t dataSize);

  std::uint8_t* CreateBuffer(std::size_t* size = nullptr);
  void DeleteBuffer();
  std::uint8_t* Table() const { return m_table.get(); }
  std::size_t TableBytes() const { return static_cast<std::size_t>(m_wBlockAlign) * m_dwTableFrames; }
  std::size_t ReadToTable();
  void WriteTable(std::size_t count);

  // Copies the six format fields of another file.
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
  [[noreturn]] void FailClosing(std::uint32_t code, const char* where);

  std::string m_strFileName;
  bool m_bOpen = false;
  int m_fd = -1;
  std::unique_ptr<std::uint8_t[]> m_table;
  // Absolute end of the sample data once SeekData has run; reads stop there.
  std::uint64_t m_dataEnd = 0;
  bool m_dataLimited = false;
};
