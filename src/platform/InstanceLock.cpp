#include "platform/InstanceLock.h"

#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// "Global\VantelWinApp" becomes "Global_VantelWinApp.lock": no path separators in a file name.
std::string FileNameFor(const std::string& name) {
  std::string file;
  for (char c : name) {
    file += (c == '\\' || c == '/') ? '_' : c;
  }
  return file + ".lock";
}

}  // namespace

CInstanceLock::CInstanceLock(const std::string& name) : CInstanceLock(name, CPaths::InstanceLockDir()) {}

CInstanceLock::CInstanceLock(const std::string& name, const std::filesystem::path& folder)
    : m_file(folder.empty() ? std::filesystem::path()
                            : folder / ("orvane-" + std::to_string(getuid()) + "-" + FileNameFor(name))) {}

CInstanceLock::~CInstanceLock() {
  Release();
}

bool CInstanceLock::Acquire() {
  if (m_fd >= 0) {
    return true;
  }
  if (m_file.empty()) {
    return false;
  }
  // O_NOFOLLOW: a link planted in place of the lock file is not followed.
  const int fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  m_fd = fd;
  return true;
}

void CInstanceLock::Release() {
  if (m_fd < 0) {
    return;
  }
  ::flock(m_fd, LOCK_UN);
  ::close(m_fd);
  m_fd = -1;
}
