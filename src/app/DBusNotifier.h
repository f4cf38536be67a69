#pragma once

#include "app/Notifier.h"

#include <QString>
#include <cstdint>

// Notices through the desktop's notification service (org.freedesktop.Notifications on
// the session bus). A notice replaces the one this object showed before; a warning is sent
// with critical urgency, information with normal urgency.
class CDBusNotifier : public INotifier {
 public:
  static constexpr const char* kService = "org.freedesktop.Notifications";

  explicit CDBusNotifier(QString applicationName);

  // True while a notification service is reachable on the session bus.
  static bool ServiceAvailable();

  void Show(const QString& title, const QString& text, NoticeSeverity severity) override;
  void Close() override;
  // False when the last Show was not accepted by the service.
  bool LastShowAccepted() const { return m_lastAccepted; }

  static std::uint8_t Urgency(NoticeSeverity severity);

 private:
  QString m_applicationName;
  std::uint32_t m_id = 0;
  bool m_lastAccepted = false;
};
