#include "SignalCancel.h"

#include <pthread.h>

#include "melody/MelodyThreadState.h"

CSignalCancel::CSignalCancel() {
  sigemptyset(&m_signals);
  sigaddset(&m_signals, SIGINT);
  sigaddset(&m_signals, SIGTERM);
  MelodyThreadState().SetCancelRequest(false);
  ::pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
  m_watcher = std::thread([this] { Watch(); });
}

CSignalCancel::~CSignalCancel() {
  m_stopping = true;
  ::pthread_kill(m_watcher.native_handle(), SIGTERM);
  m_watcher.join();
  ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

bool CSignalCancel::Requested() {
  return MelodyThreadState().CancelRequested();
}

void CSignalCancel::Watch() {
  for (;;) {
    int number = 0;
    if (::sigwait(&m_signals, &number) != 0) {
      continue;
    }
    if (m_stopping) {
      return;
    }
    if (MelodyThreadState().CancelRequested()) {
      // Asked twice: end now with the signal's usual effect.
      ::signal(number, SIG_DFL);
      sigset_t only;
      sigemptyset(&only);
      sigaddset(&only, number);
      ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
      ::raise(number);
    }
    MelodyThreadState().SetCancelRequest(true);
  }
}
