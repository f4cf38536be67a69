#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <vector>

CAtomicFile::CAtomicFile(std::filesystem::path target) : m_target(std::move(target)) {
  const std::filesystem::path folder = m_target.has_parent_path() ? m_target.parent_path() : ".";
  std::string pattern = (folder / ("." + m_target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  m_fd = ::mkstemp(name.data());
  if (m_fd >= 0) {
    m_temporary = name.data();
    // mkstemp creates 0600; ordinary documents are readable as the user's umask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_fd, 0666 & ~mask);
  }
}

CAtomicFile::~CAtomicFile() {
  Discard();
}

bool CAtomicFile::Write(const void* data, std::size_t size) {
  if (m_fd < 0 || m_failed) {
    return false;
  }
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(m_fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      m_failed = true;
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CAtomicFile::Commit() {
  if (m_fd < 0 || m_failed) {
    Discard();
    return false;
  }
  const bool synced = ::fsync(m_fd) == 0;
  const bool closed = ::close(m_fd) == 0;
  m_fd = -1;
  if (!synced || !closed || ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
    return false;
  }
  m_temporary.clear();
  return true;
}

void CAtomicFile::Discard() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (!m_temporary.empty()) {
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
  }
}

bool CAtomicFile::WriteWhole(const std::filesystem::path& target, std::string_view content) {
  CAtomicFile file(target);
  return file.Write(content) && file.Commit();
}
