#include "melody/MelodyWorker.h"

#include "melody/MelodyException.h"
#include "melody/MelodyThreadState.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"

#include <exception>

CMelodyWorker::~CMelodyWorker() {
  Join();
}

bool CMelodyWorker::Start(WindowHandle window, Job job) {
  if (m_thread.joinable()) {
    return false;
  }
  m_running = true;
  m_thread = std::thread([this, window, job = std::move(job)] {
    std::uint32_t message = MelodyWorkerMessage::kFailed;
    std::uintptr_t value = MelodyWorkerMessage::kFailure;
    try {
      value = job();
      message = MelodyWorkerMessage::kDone;
    } catch (const CMelodyException& e) {
      ORVANE_TRACE("CMelodyWorker - job ended with code %u (%s)\n", e.Code(), e.Where().c_str());
      value =
          e.Code() == CMelodyException::kCancelled ? MelodyWorkerMessage::kCancelled : MelodyWorkerMessage::kFailure;
    } catch (const std::exception& e) {
      // Out of memory or a file system error outside the melody layer: a failure like any other.
      ORVANE_TRACE("CMelodyWorker - job failed: %s\n", e.what());
    }
    MelodyThreadState().SetLastResult(message);
    m_running = false;
    PostMessage(window, message, value, 0);
  });
  return true;
}

void CMelodyWorker::Join() {
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

void CMelodyWorker::CancelAndJoin() {
  if (m_thread.joinable()) {
    MelodyThreadState().SetCancelRequest(true);
    m_thread.join();
  }
}
