#pragma once

#include "app/PowerEvents.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

// Suspend and resume from systemd-logind: its PrepareForSleep signal on the system bus
// (true before sleeping, false after waking). A delay inhibitor is held at all other times,
// so logind waits for the handler to close the handset connection before the machine
// sleeps; releasing it tells logind the program is ready. Without a system bus or logind
// nothing is reported.
class CLogindPowerEvents : public QObject, public IPowerEvents {
  Q_OBJECT

 public:
  explicit CLogindPowerEvents(QObject* parent = nullptr);
  explicit CLogindPowerEvents(QDBusConnection bus, QObject* parent = nullptr);
  ~CLogindPowerEvents() override;

  void SetHandler(Handler handler) override { m_handler = std::move(handler); }
  bool IsConnected() const { return m_connected; }
  bool HoldsInhibitor() const { return m_inhibitor.isValid(); }

 private slots:
  void OnPrepareForSleep(bool sleeping);

 private:
  void TakeInhibitor();
  void ReleaseInhibitor();

  QDBusConnection m_bus;
  QDBusUnixFileDescriptor m_inhibitor;
  Handler m_handler;
  bool m_connected = false;
};
