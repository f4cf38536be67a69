#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace {

int g_pipe[2] = {-1, -1};

}  // namespace

CTerminationSignals::CTerminationSignals(QObject* parent) : QObject(parent) {
  if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
    return;
  }
  ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
  m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignals::OnReadable);
  struct sigaction action = {};
  action.sa_handler = &CTerminationSignals::Handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    ::sigaction(number, &action, nullptr);
  }
}

CTerminationSignals::~CTerminationSignals() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    ::sigaction(number, &action, nullptr);
  }
}

// Only async-signal-safe work here: one byte into the socket pair.
void CTerminationSignals::Handler(int signalNumber) {
  const char byte = static_cast<char>(signalNumber);
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void CTerminationSignals::OnReadable() {
  char byte = 0;
  if (::read(g_pipe[0], &byte, 1) == 1) {
    emit Requested(byte);
  }
}
