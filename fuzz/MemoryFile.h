#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The fuzz input as a file that lives in memory only (memfd), for parsers that read by
// file name: nothing is written to disk, and every run starts from a fresh file.
class CMemoryFile {
 public:
  CMemoryFile(const std::uint8_t* data, std::size_t size);
  ~CMemoryFile();
  CMemoryFile(const CMemoryFile&) = delete;
  CMemoryFile& operator=(const CMemoryFile&) = delete;

  // A name that opens the file ("/proc/self/fd/N").
  const std::string& Path() const { return m_path; }
  int Descriptor() const { return m_fd; }

 private:
  int m_fd = -1;
  std::string m_path;
};
