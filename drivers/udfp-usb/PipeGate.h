#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Lets one transfer at a time use a pipe; a caller waits for its turn no longer than its own
// deadline. (A plain mutex and condition variable: std::timed_mutex's deadline lock is not
// understood by the thread sanitizer.)
class CPipeGate {
 public:
  bool EnterBefore(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    if (!m_free.wait_until(lock, deadline, [this] { return !m_busy; })) {
      return false;
    }
    m_busy = true;
    return true;
  }
  void Leave() {
    {
      std::lock_guard lock(m_mutex);
      m_busy = false;
    }
    m_free.notify_one();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_free;
  bool m_busy = false;
};
