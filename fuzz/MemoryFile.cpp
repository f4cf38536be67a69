#include "MemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

CMemoryFile::CMemoryFile(const std::uint8_t* data, std::size_t size) {
  m_fd = memfd_create("fuzz-input", MFD_CLOEXEC);
  if (m_fd < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(m_fd, data + done, size - done);
    if (n <= 0) {
      std::perror("write");
      std::abort();
    }
    done += static_cast<std::size_t>(n);
  }
  m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

CMemoryFile::~CMemoryFile() {
  close(m_fd);
}
