#include "devlink/WorkerThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

CWorkerThread::~CWorkerThread() {
  Join();
}

void CWorkerThread::Start(ThreadPriority priority, std::function<void()> body) {
  Join();
  m_running.store(true);
  m_thread = std::thread([this, priority, body = std::move(body)] {
    ApplyPriority(priority);
    body();
    m_running.store(false);
  });
}

void CWorkerThread::Join() {
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
    m_thread.join();
  }
}

void CWorkerThread::ApplyPriority(ThreadPriority priority) {
  // Linux schedules threads by their own nice value; map the priorities around the
  // process's value. A refused change (no privilege to raise) leaves the thread as it is.
  int offset = 0;
  switch (priority) {
    case ThreadPriority::Lowest:
      offset = 2;
      break;
    case ThreadPriority::BelowNormal:
      offset = 1;
      break;
    case ThreadPriority::Normal:
      return;
    case ThreadPriority::AboveNormal:
      offset = -1;
      break;
    case ThreadPriority::Highest:
      offset = -2;
      break;
  }
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  const int current = getpriority(PRIO_PROCESS, tid);
  setpriority(PRIO_PROCESS, tid, current + offset);
}
