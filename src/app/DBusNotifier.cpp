#include "app/DBusNotifier.h"

#include "platform/DebugLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

namespace {

constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// Answers from the service come quickly or not at all: a notice is not worth a long wait
// on the user-interface thread.
constexpr int kCallTimeoutMs = 2000;

}  // namespace

CDBusNotifier::CDBusNotifier(QString applicationName) : m_applicationName(std::move(applicationName)) {}

bool CDBusNotifier::ServiceAvailable() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) {
    return false;
  }
  return bus.interface()->isServiceRegistered(kService).value();
}

std::uint8_t CDBusNotifier::Urgency(NoticeSeverity severity) {
  return severity == NoticeSeverity::Warning ? 2 : 1;
}

void CDBusNotifier::Show(const QString& title, const QString& text, NoticeSeverity severity) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  QVariantMap hints;
  hints.insert("urgency", QVariant::fromValue(static_cast<uchar>(Urgency(severity))));
  const QString icon = severity == NoticeSeverity::Warning ? "dialog-warning" : "dialog-information";
  // The resident window closes the notice itself after its display time; -1 leaves the
  // server's own default as a fallback should that close never come.
  call << m_applicationName << static_cast<uint>(m_id) << icon << title << text << QStringList() << hints
       << static_cast<int>(-1);
  QDBusReply<uint> reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
  m_lastAccepted = reply.isValid();
  if (m_lastAccepted) {
    m_id = reply.value();
  } else {
    ORVANE_TRACE("CDBusNotifier::Show - %s\n", qPrintable(reply.error().message()));
  }
}

void CDBusNotifier::Close() {
  if (m_id == 0) {
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "CloseNotification");
  call << static_cast<uint>(m_id);
  QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
  m_id = 0;
}
