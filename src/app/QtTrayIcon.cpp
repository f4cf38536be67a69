#include "app/QtTrayIcon.h"

#include "platform/DebugLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

CQtTrayIcon::CQtTrayIcon(QObject* parent) : QObject(parent) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    return;
  }
  m_watcher = new QDBusServiceWatcher(
      kWatcherService, bus, QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
      this);
  connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
    ORVANE_TRACE("CQtTrayIcon - tray appeared\n");
    if (m_added) {
      DropIcon();
      CreateIcon();
    }
  });
  connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
    ORVANE_TRACE("CQtTrayIcon - tray went away\n");
    DropIcon();
  });
}

CQtTrayIcon::~CQtTrayIcon() {
  DropIcon();
}

bool CQtTrayIcon::TrayHostPresent() const {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    // No session bus: only an X11 tray can show the icon, and Qt looks for it itself.
    return true;
  }
  QDBusConnectionInterface* names = bus.interface();
  return names != nullptr && names->isServiceRegistered(kWatcherService).value();
}

void CQtTrayIcon::Add(const QIcon& icon, const QString& tip) {
  m_picture = icon;
  m_tip = tip;
  m_added = true;
  if (!m_icon && TrayHostPresent()) {
    CreateIcon();
  }
}

void CQtTrayIcon::Modify(const QIcon& icon, const QString& tip) {
  m_picture = icon;
  m_tip = tip;
  if (m_icon) {
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
  }
}

void CQtTrayIcon::Delete() {
  m_added = false;
  DropIcon();
}

bool CQtTrayIcon::IsShown() const {
  return m_icon && m_icon->isVisible();
}

void CQtTrayIcon::CreateIcon() {
  m_icon = std::make_unique<QSystemTrayIcon>(m_picture);
  m_icon->setToolTip(m_tip);
  connect(m_icon.get(), &QSystemTrayIcon::activated, this, &CQtTrayIcon::OnActivated);
  m_icon->show();
}

void CQtTrayIcon::DropIcon() {
  if (m_icon) {
    m_icon->hide();
    m_icon.reset();
  }
}

void CQtTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  if (!m_onClick) {
    return;
  }
  if (reason == QSystemTrayIcon::Trigger) {
    m_onClick(TrayClick::Left);
  } else if (reason == QSystemTrayIcon::Context) {
    m_onClick(TrayClick::Right);
  }
}
