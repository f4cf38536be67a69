#include "app/LogindPowerEvents.h"

#include "platform/DebugLog.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kInterface = "org.freedesktop.login1.Manager";

}  // namespace

CLogindPowerEvents::CLogindPowerEvents(QObject* parent) : CLogindPowerEvents(QDBusConnection::systemBus(), parent) {}

CLogindPowerEvents::CLogindPowerEvents(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {
  if (!m_bus.isConnected()) {
    ORVANE_TRACE("CLogindPowerEvents - no system bus, power events unavailable\n");
    return;
  }
  m_connected = m_bus.connect(kService, kPath, kInterface, "PrepareForSleep", this, SLOT(OnPrepareForSleep(bool)));
  if (m_connected) {
    TakeInhibitor();
  }
}

CLogindPowerEvents::~CLogindPowerEvents() {
  if (m_connected) {
    m_bus.disconnect(kService, kPath, kInterface, "PrepareForSleep", this, SLOT(OnPrepareForSleep(bool)));
  }
  ReleaseInhibitor();
}

void CLogindPowerEvents::OnPrepareForSleep(bool sleeping) {
  ORVANE_TRACE("CLogindPowerEvents::OnPrepareForSleep %d\n", sleeping ? 1 : 0);
  if (sleeping) {
    if (m_handler) {
      m_handler(Event::Suspend);
    }
    // Ready to sleep: logind stops waiting once every delay inhibitor is gone.
    ReleaseInhibitor();
  } else {
    TakeInhibitor();
    if (m_handler) {
      m_handler(Event::Resume);
    }
  }
}

void CLogindPowerEvents::TakeInhibitor() {
  if (m_inhibitor.isValid()) {
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Inhibit");
  call << QString("sleep") << QString("ORVANE USB Utility") << QString("Closing the handset connection")
       << QString("delay");
  QDBusReply<QDBusUnixFileDescriptor> reply = m_bus.call(call, QDBus::Block, 2000);
  if (reply.isValid()) {
    m_inhibitor = reply.value();
  } else {
    ORVANE_TRACE("CLogindPowerEvents - no inhibitor: %s\n", qPrintable(reply.error().message()));
  }
}

void CLogindPowerEvents::ReleaseInhibitor() {
  // The descriptor object owns a duplicate; dropping it closes the lock.
  m_inhibitor = QDBusUnixFileDescriptor();
}
