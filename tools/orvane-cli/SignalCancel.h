#pragma once

#include <signal.h>

#include <atomic>
#include <thread>

// Turns SIGINT and SIGTERM into the melody layer's cancel request for the lifetime of
// the object, so that an interrupted command stops its conversion at the next check and
// cleans up (temporary output, working folder) like any other failure. The signals are
// blocked in the creating thread and taken by a watcher thread with sigwait, where the
// lock-protected cancel request may be set safely. A second signal ends the process at
// once, for the case that the running step does not look at the request.
class CSignalCancel {
 public:
  CSignalCancel();
  ~CSignalCancel();
  CSignalCancel(const CSignalCancel&) = delete;
  CSignalCancel& operator=(const CSignalCancel&) = delete;

  static bool Requested();

 private:
  void Watch();

  sigset_t m_signals{};
  sigset_t m_previous{};
  std::atomic<bool> m_stopping{false};
  std::thread m_watcher;
};
