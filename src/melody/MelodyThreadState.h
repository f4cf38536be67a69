#pragma once

#include <cstdint>
#include <mutex>

// The melody workers' shared state: the user's cancel request and the last worker result.
// The melody window sets and clears them; the conversion and codec loops read the cancel
// request. Both fields are only touched under the lock.
class CMelodyThreadState {
 public:
  bool CancelRequested() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dwCancel != 0;
  }
  void SetCancelRequest(bool cancel) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dwCancel = cancel ? 1 : 0;
  }
  std::uint32_t LastResult() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dwResult;
  }
  void SetLastResult(std::uint32_t result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dwResult = result;
  }
  // Returns the last result and resets it to 0 in one step.
  std::uint32_t TakeLastResult() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint32_t result = m_dwResult;
    m_dwResult = 0;
    return result;
  }

 private:
  mutable std::mutex m_mutex;
  std::uint32_t m_dwCancel = 0;
  std::uint32_t m_dwResult = 0;
};

// The one process-wide instance.
CMelodyThreadState& MelodyThreadState();
