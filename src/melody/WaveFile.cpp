#include "melody/WaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "melody/MelodyException.h"
#include "melody/WaveOperations.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

bool IsId(const std::uint8_t* p, const char* id) {
  return std::memcmp(p, id, 4) == 0;
}

// A chunk identifier is four printable ASCII characters.
bool IsChunkId(const char* id) {
  for (int i = 0; i < 4; ++i) {
    if (id[i] < 0x20 || id[i] > 0x7E) {
      return false;
    }
  }
  return true;
}

// Chunks that commonly follow an odd-sized one in WAVE files.
bool IsKnownChunk(const char* id) {
  static const char* const known[] = {"data", "LIST", "fact", "cue ", "smpl", "inst", "bext",
                                      "id3 ", "ID3 ", "JUNK", "junk", "PEAK", "PAD ", "iXML"};
  for (const char* k : known) {
    if (std::memcmp(id, k, 4) == 0) {
      return true;
    }
  }
  return false;
}

// The standard SubFormat GUIDs carry the format tag in their first two bytes, followed by
// this fixed tail.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Offsets inside an extensible "fmt " body.
constexpr std::uint32_t kExtensibleFmtSize = 40;
constexpr std::size_t kSubFormatOffset = 24;

}  // namespace

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile() {
  // A file that goes away must not stay reachable through the open-file stack, where a
  // later failure would try to close it.
  OpenWaveFileStack().Remove(this);
  if (m_fd >= 0) {
    ::close(m_fd);
  }
}

void CWaveFile::OpenR(const std::string& name) {
  Open(name, false);
}

void CWaveFile::OpenW(const std::string& name) {
  Open(name, true);
}

void CWaveFile::Open(const std::string& name, bool write) {
  Close();
  m_strFileName = name;
  m_dataLimited = false;
  m_dataEnd = 0;
  // Opened without blocking so that a FIFO or a device is refused at once instead of
  // waiting for a writer; regular files then get ordinary blocking I/O again.
  const int flags = (write ? (O_RDWR | O_CREAT | O_TRUNC) : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  const int fd = ::open(name.c_str(), flags, 0644);
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)) {
    ::close(fd);
    errno = EISDIR;
  } else if (fd >= 0) {
    m_fd = fd;
    m_bOpen = true;
    return;
  }
  // Close every other file of the failed operation before reporting.
  auto& stack = OpenWaveFileStack();
  while (!stack.Empty()) {
    CWaveFile* other = stack.Pop();
    if (other != this && other->IsOpen()) {
      other->Close();
    }
  }
  throw CMelodyException(CMelodyException::kFile, write ? "CWaveFile::OpenW" : "CWaveFile::OpenR");
}

void CWaveFile::Close() {
  if (m_fd >= 0) {
    ::close(m_fd);
  }
  m_fd = -1;
  m_bOpen = false;
}

void CWaveFile::FailClosing(std::uint32_t code, const char* where) {
  Close();
  throw CMelodyException(code, where);
}

void CWaveFile::ReadExact(void* buffer, std::size_t count, const char* where) {
  if (Read(buffer, count) != count) {
    FailClosing(CMelodyException::kFile, where);
  }
}

void CWaveFile::WriteExact(const void* buffer, std::size_t count, const char* where) {
  if (!m_bOpen) {
    throw CMelodyException(CMelodyException::kFile, where);
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(m_fd, bytes, count);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw CMelodyException(CMelodyException::kFile, where);
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

void CWaveFile::SeekTo(std::uint64_t offset, const char* where) {
  if (!m_bOpen || ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    throw CMelodyException(CMelodyException::kFile, where);
  }
}

std::uint64_t CWaveFile::Position(const char* where) const {
  const off_t pos = m_bOpen ? ::lseek(m_fd, 0, SEEK_CUR) : -1;
  if (pos < 0) {
    throw CMelodyException(CMelodyException::kFile, where);
  }
  return static_cast<std::uint64_t>(pos);
}

std::uint64_t CWaveFile::FileSize(const char* where) const {
  struct stat st {};
  if (!m_bOpen || ::fstat(m_fd, &st) != 0) {
    throw CMelodyException(CMelodyException::kFile, where);
  }
  return static_cast<std::uint64_t>(st.st_size);
}

void CWaveFile::ReadHeader() {
  std::uint8_t riff[12];
  ReadExact(riff, sizeof riff, "CWaveFile::ReadHeader RIFF");
  if (!IsId(riff, "RIFF")) {
    FailClosing(CMelodyException::kFile, "CWaveFile::ReadHeader RIFF");
  }
  m_dwRiffSize = Le32(riff + 4);
  if (!IsId(riff + 8, "WAVE")) {
    FailClosing(CMelodyException::kFile, "CWaveFile::ReadHeader WAVE");
  }
  std::uint8_t chunk[8];
  ReadExact(chunk, sizeof chunk, "CWaveFile::ReadHeader fmt ");
  const std::uint32_t fmtSize = Le32(chunk + 4);
  if (!IsId(chunk, "fmt ") || fmtSize < 16) {
    FailClosing(CMelodyException::kFile, "CWaveFile::ReadHeader fmt ");
  }
  std::uint8_t body[16];
  ReadExact(body, sizeof body, "CWaveFile::ReadHeader fmt body");
  m_wFormatTag = Le16(body);
  m_wChannels = Le16(body + 2);
  m_dwSamplesPerSec = Le32(body + 4);
  m_dwAvgBytesPerSec = Le32(body + 8);
  m_wBitsPerSample = Le16(body + 14);
  m_wSubFormatTag = 0;
  if (m_wFormatTag == kTagExtensible) {
    ReadExtensible(fmtSize);
  }
  // The stored block align is ignored; the frame width follows from the sample format.
  const std::uint32_t blockAlign = static_cast<std::uint32_t>(m_wBitsPerSample / 8) * m_wChannels;
  if (m_wChannels == 0 || m_wBitsPerSample == 0 || blockAlign == 0 || blockAlign > 0xFFFF) {
    FailClosing(CMelodyException::kUnsupportedFormat, "CWaveFile::ReadHeader format");
  }
  m_wBlockAlign = static_cast<std::uint16_t>(blockAlign);
}

void CWaveFile::ReadExtensible(std::uint32_t fmtSize) {
  if (fmtSize < kExtensibleFmtSize) {
    return;  // no SubFormat: the encoding stays unknown
  }
  std::uint8_t extension[kExtensibleFmtSize - 16];
  ReadExact(extension, sizeof extension, "CWaveFile::ReadHeader fmt extension");
  const std::uint8_t* guid = extension + (kSubFormatOffset - 16);
  if (std::memcmp(guid + 2, kSubFormatTail, sizeof kSubFormatTail) == 0) {
    m_wSubFormatTag = Le16(guid);
  }
}

bool CWaveFile::ChunkIdAt(std::uint64_t offset, std::uint64_t fileSize, char id[4], const char* where) {
  if (offset + 8 > fileSize) {
    return false;
  }
  SeekTo(offset, where);
  return Read(id, 4) == 4 && IsChunkId(id);
}

std::uint64_t CWaveFile::NextChunk(std::uint64_t pos, std::uint32_t size, std::uint64_t fileSize, const char* where) {
  const std::uint64_t unpadded = pos + size;
  if ((size & 1u) == 0) {
    return unpadded;
  }
  // RIFF pads every odd-sized chunk to an even length, but some writers leave the pad
  // byte out. A known chunk right after the unpadded end wins over a stray identifier
  // that the padded offset happens to form.
  char padded[4] = {};
  char plain[4] = {};
  const bool paddedOk = ChunkIdAt(unpadded + 1, fileSize, padded, where);
  const bool plainOk = ChunkIdAt(unpadded, fileSize, plain, where);
  if (plainOk && (!paddedOk || (IsKnownChunk(plain) && !IsKnownChunk(padded)))) {
    return unpadded;
  }
  return unpadded + 1;
}

std::uint32_t CWaveFile::UsableDataSize(std::uint32_t size, std::uint64_t pos, std::uint64_t fileSize) {
  m_dwStatedDataSize = size;
  m_bDataSizeClamped = false;
  const std::uint64_t present = fileSize > pos ? fileSize - pos : 0;
  // A writer streaming to a pipe cannot go back to fill in the sizes: it leaves a
  // placeholder (all ones, or zero with a RIFF size that does not even cover the header).
  const bool placeholderRiff = m_dwRiffSize == 0 || m_dwRiffSize == 0xFFFFFFFFu || m_dwRiffSize + 8ull < pos;
  const bool streamed = size == 0 && placeholderRiff && present > 0;
  if (size <= present && !streamed) {
    return size;
  }
  const std::uint64_t frame = m_wBlockAlign == 0 ? 1 : m_wBlockAlign;
  const std::uint64_t usable = std::min<std::uint64_t>(present, 0xFFFFFFFFu) / frame * frame;
  m_bDataSizeClamped = usable != size;
  return static_cast<std::uint32_t>(usable);
}

std::uint32_t CWaveFile::FindDataChunk(const char* where) {
  const std::uint64_t fileSize = FileSize(where);
  std::uint64_t pos = Position(where);
  for (;;) {
    std::uint8_t chunk[8];
    if (pos + 8 > fileSize || Read(chunk, sizeof chunk) != sizeof chunk) {
      throw CMelodyException(CMelodyException::kFile, where);
    }
    pos += 8;
    const std::uint32_t size = Le32(chunk + 4);
    if (IsId(chunk, "data")) {
      return UsableDataSize(size, pos, fileSize);
    }
    const std::uint64_t next = NextChunk(pos, size, fileSize, where);
    if (next > fileSize) {
      throw CMelodyException(CMelodyException::kFile, where);
    }
    SeekTo(next, where);
    pos = next;
  }
}

void CWaveFile::SeekData(std::uint32_t* dataSize) {
  const char* where = "CWaveFile::SeekData";
  m_dataLimited = false;
  SeekTo(16, where);
  std::uint8_t sizeField[4];
  if (Read(sizeField, sizeof sizeField) != sizeof sizeField) {
    throw CMelodyException(CMelodyException::kFile, where);
  }
  const std::uint32_t fmtSize = Le32(sizeField);
  const std::uint64_t fileSize = FileSize(where);
  const std::uint64_t afterFmt = NextChunk(20, fmtSize, fileSize, where);
  if (afterFmt > fileSize) {
    throw CMelodyException(CMelodyException::kFile, where);
  }
  SeekTo(afterFmt, where);
  const std::uint32_t size = FindDataChunk(where);
  m_dataStart = Position(where);
  m_dataEnd = m_dataStart + size;
  m_dataLimited = true;
  if (dataSize != nullptr) {
    *dataSize = size;
  }
}

std::size_t CWaveFile::Read(void* buffer, std::size_t count) {
  if (buffer == nullptr) {
    throw CMelodyException(CMelodyException::kGeneral, "CWaveFile::Read buffer");
  }
  if (!m_bOpen) {
    throw CMelodyException(CMelodyException::kFile, "CWaveFile::Read");
  }
  if (m_dataLimited) {
    const std::uint64_t pos = Position("CWaveFile::Read");
    const std::uint64_t left = pos < m_dataEnd ? m_dataEnd - pos : 0;
    if (count > left) {
      count = static_cast<std::size_t>(left);
    }
  }
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::size_t total = 0;
  while (total < count) {
    const ssize_t n = ::read(m_fd, bytes + total, count - total);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      throw CMelodyException(CMelodyException::kFile, "CWaveFile::Read");
    }
    if (n == 0) {
      break;
    }
    total += static_cast<std::size_t>(n);
  }
  return total;
}

void CWaveFile::SeekInData(std::uint64_t offset) {
  if (!m_dataLimited) {
    throw CMelodyException(CMelodyException::kGeneral, "CWaveFile::SeekInData");
  }
  SeekTo(std::min(m_dataStart + offset, m_dataEnd), "CWaveFile::SeekInData");
}

void CWaveFile::Skip(std::uint64_t count) {
  if (!m_bOpen || ::lseek(m_fd, static_cast<off_t>(count), SEEK_CUR) < 0) {
    throw CMelodyException(CMelodyException::kFile, "CWaveFile::Skip");
  }
}

void CWaveFile::WriteHeader() {
  const std::uint64_t bytesPerSecond = static_cast<std::uint64_t>(m_dwSamplesPerSec) * m_wBlockAlign;
  m_dwAvgBytesPerSec = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytesPerSecond, 0xFFFFFFFFu));
  std::uint8_t header[44] = {};
  std::memcpy(header, "RIFF", 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe32(header + 16, 16);
  PutLe16(header + 20, SampleFormat());
  PutLe16(header + 22, m_wChannels);
  PutLe32(header + 24, m_dwSamplesPerSec);
  PutLe32(header + 28, m_dwAvgBytesPerSec);
  PutLe16(header + 32, m_wBlockAlign);
  PutLe16(header + 34, m_wBitsPerSample);
  std::memcpy(header + 36, "data", 4);
  try {
    SeekTo(0, "CWaveFile::WriteHeader");
    WriteExact(header, sizeof header, "CWaveFile::WriteHeader");
  } catch (const CMelodyException& e) {
    FailClosing(e.Code(), "CWaveFile::WriteHeader");
  }
}

void CWaveFile::WriteFileAndDataSize(std::uint64_t dataSize) {
  const char* where = "CWaveFile::WriteFileAndDataSize";
  try {
    // The RIFF size field cannot describe more than 4 GiB.
    if (dataSize > 0xFFFFFFFFull - 36) {
      throw CMelodyException(CMelodyException::kFile, where);
    }
    std::uint8_t field[4];
    PutLe32(field, static_cast<std::uint32_t>(dataSize + 36));
    SeekTo(4, where);
    WriteExact(field, sizeof field, where);
    m_dataLimited = false;
    SeekTo(12, where);
    // Walk the chunks of the file as written; the "data" chunk's size is not checked
    // against the file here because it is about to be rewritten.
    const std::uint64_t fileSize = FileSize(where);
    std::uint64_t pos = 12;
    for (;;) {
      std::uint8_t chunk[8];
      if (pos + 8 > fileSize || Read(chunk, sizeof chunk) != sizeof chunk) {
        throw CMelodyException(CMelodyException::kFile, where);
      }
      if (IsId(chunk, "data")) {
        break;
      }
      const std::uint32_t size = Le32(chunk + 4);
      pos += 8 + static_cast<std::uint64_t>(size) + (size & 1u);
      SeekTo(pos, where);
    }
    std::uint8_t header[8];
    std::memcpy(header, "data", 4);
    PutLe32(header + 4, static_cast<std::uint32_t>(dataSize));
    SeekTo(pos, where);
    WriteExact(header, sizeof header, where);
  } catch (const CMelodyException& e) {
    FailClosing(e.Code(), where);
  }
}

std::uint8_t* CWaveFile::CreateBuffer(std::size_t* size) {
  if (m_wBlockAlign == 0 || m_wBlockAlign > kMaxTableBlockAlign) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CWaveFile::CreateBuffer");
  }
  const std::size_t bytes = TableBytes();
  if (!m_table) {
    m_table.reset(new (std::nothrow) std::uint8_t[bytes]);
    if (!m_table) {
      throw CMelodyException(CMelodyException::kGeneral, "CWaveFile::CreateBuffer");
    }
  }
  if (size != nullptr) {
    *size = bytes;
  }
  return m_table.get();
}

void CWaveFile::DeleteBuffer() {
  m_table.reset();
}

std::size_t CWaveFile::ReadToTable() {
  if (!m_table) {
    throw CMelodyException(CMelodyException::kGeneral, "CWaveFile::ReadToTable");
  }
  return Read(m_table.get(), TableBytes());
}

void CWaveFile::WriteTable(std::size_t count) {
  if (count == 0) {
    return;
  }
  if (!m_table || count > TableBytes()) {
    throw CMelodyException(CMelodyException::kGeneral, "CWaveFile::WriteTable");
  }
  WriteExact(m_table.get(), count, "CWaveFile::WriteTable");
}

void CWaveFile::CopyFormatFrom(const CWaveFile& other) {
  m_wFormatTag = other.SampleFormat();
  m_wSubFormatTag = 0;
  m_wChannels = other.m_wChannels;
  m_dwSamplesPerSec = other.m_dwSamplesPerSec;
  m_dwAvgBytesPerSec = other.m_dwAvgBytesPerSec;
  m_wBlockAlign = other.m_wBlockAlign;
  m_wBitsPerSample = other.m_wBitsPerSample;
}
