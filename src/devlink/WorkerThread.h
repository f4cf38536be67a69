#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Scheduling priorities of the link's threads, applied where the platform allows (raising
// a priority needs a privilege on Linux; without it the thread runs at normal priority).
enum class ThreadPriority { Lowest, BelowNormal, Normal, AboveNormal, Highest };

// One thread of the link: started with a priority, tells whether its body is still
// running, and is joined by its owner.
class CWorkerThread {
 public:
  CWorkerThread() = default;
  ~CWorkerThread();
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  void Start(ThreadPriority priority, std::function<void()> body);
  bool Exists() const { return m_thread.joinable(); }
  bool IsRunning() const { return m_running.load(); }
  // Waits for the body to end; nothing when no thread exists or when called on the thread itself.
  void Join();

  static void ApplyPriority(ThreadPriority priority);

 private:
  std::thread m_thread;
  std::atomic<bool> m_running{false};
};
