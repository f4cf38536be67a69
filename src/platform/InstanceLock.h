#pragma once

#include <filesystem>
#include <string>

// A named lock held by at most one process of a user: an exclusive advisory lock on a
// lock file named after the lock. The kernel releases it when the process ends, however
// it ends. Release only gives up a lock this object holds.
class CInstanceLock {
 public:
  // The lock file lives in CPaths::InstanceLockDir().
  explicit CInstanceLock(const std::string& name);
  // The lock file lives in the given folder (tests).
  CInstanceLock(const std::string& name, const std::filesystem::path& folder);
  ~CInstanceLock();
  CInstanceLock(const CInstanceLock&) = delete;
  CInstanceLock& operator=(const CInstanceLock&) = delete;

  // True when this process now holds the lock; false when another holder has it, the lock
  // file cannot be opened, or there is no private folder for it.
  bool Acquire();
  void Release();
  bool IsHeld() const { return m_fd >= 0; }
  const std::filesystem::path& File() const { return m_file; }

 private:
  std::filesystem::path m_file;
  int m_fd = -1;
};
