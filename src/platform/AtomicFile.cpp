#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// As many links as the system itself follows before it reports a loop.
constexpr int kMaxLinkHops = 40;

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Flushes a folder's entries, so that a rename in it survives a crash.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

CAtomicFile::CAtomicFile(fs::path target) : m_target(std::move(target)) {
  if (Resolve()) {
    CreateTemporary();
  }
}

CAtomicFile::~CAtomicFile() {
  Discard();
}

// Follows symbolic links to the file that is really written. An existing target must be
// a regular file; a missing one (also at the end of a dangling link) is created.
bool CAtomicFile::Resolve() {
  struct stat st {};
  if (::stat(m_target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      m_reason = "is not a regular file";
      return false;
    }
    std::error_code ec;
    m_real = fs::canonical(m_target, ec);
    if (ec) {
      m_reason = ec.message();
      return false;
    }
    m_hadTarget = true;
    m_mode = st.st_mode & 07777;
    m_uid = st.st_uid;
    m_gid = st.st_gid;
    return true;
  }
  if (errno != ENOENT) {
    m_reason = std::strerror(errno);
    return false;
  }
  fs::path path = m_target;
  for (int hops = 0;; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) {
      break;
    }
    if (hops == kMaxLinkHops) {
      m_reason = std::strerror(ELOOP);
      return false;
    }
    const fs::path link = fs::read_symlink(path, ec);
    if (ec) {
      m_reason = ec.message();
      return false;
    }
    path = link.is_absolute() ? link : FolderOf(path) / link;
  }
  m_real = path;
  return true;
}

void CAtomicFile::CreateTemporary() {
  std::string pattern = (FolderOf(m_real) / ("." + m_real.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  m_fd = ::mkstemp(name.data());
  if (m_fd < 0) {
    m_reason = std::strerror(errno);
    return;
  }
  m_temporary = name.data();
  if (m_hadTarget) {
    // The replacement keeps the permissions (and, where allowed, the owner) of the file
    // it replaces, so a private file does not become readable by others.
    if (::geteuid() == 0) {
      [[maybe_unused]] const int owned = ::fchown(m_fd, m_uid, m_gid);
    }
    ::fchmod(m_fd, static_cast<mode_t>(m_mode));
    return;
  }
  // mkstemp creates 0600; new documents are readable as the user's umask allows.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(m_fd, 0666 & ~mask);
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
  if (!synced || !closed || ::rename(m_temporary.c_str(), m_real.c_str()) != 0) {
    m_reason = std::strerror(errno);
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
    return false;
  }
  m_temporary.clear();
  SyncFolder(FolderOf(m_real));
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

bool CAtomicFile::WriteWhole(const fs::path& target, std::string_view content) {
  CAtomicFile file(target);
  return file.Write(content) && file.Commit();
}
