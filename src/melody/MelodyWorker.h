#pragma once

#include "platform/WindowMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// Messages a melody worker posts to its window when it ends.
namespace MelodyWorkerMessage {
// wParam = the job's result (for an encoding: the size of the ".gc" data).
inline constexpr std::uint32_t kDone = WM_APP + 0x1FF;
// wParam = the failure: kCancelled when the cancel request stopped it, kFailed otherwise.
inline constexpr std::uint32_t kFailed = WM_APP + 0x200;
inline constexpr std::uintptr_t kCancelled = 0;
inline constexpr std::uintptr_t kFailure = 1;
}  // namespace MelodyWorkerMessage

// Runs one conversion or codec job of the melody window on its own thread. The job returns
// its result or throws CMelodyException (code 0 when the cancel request stopped it); the
// worker posts the outcome to the window and stores it as the last worker result. Only one
// job runs at a time. The owner cancels (through MelodyThreadState) and joins the thread
// before it goes away: Join is also called by the destructor.
class CMelodyWorker {
 public:
  using Job = std::function<std::uint32_t()>;

  CMelodyWorker() = default;
  ~CMelodyWorker();
  CMelodyWorker(const CMelodyWorker&) = delete;
  CMelodyWorker& operator=(const CMelodyWorker&) = delete;

  // False, and nothing started, while an earlier job has not been joined.
  bool Start(WindowHandle window, Job job);
  // True from Start until the job has returned (its message may still be on the way).
  bool IsRunning() const { return m_running.load(); }
  // True from Start until Join.
  bool IsStarted() const { return m_thread.joinable(); }
  // Waits for the job to end.
  void Join();
  // Sets the workers' cancel request and waits for the job to end.
  void CancelAndJoin();

 private:
  std::thread m_thread;
  std::atomic<bool> m_running{false};
};
