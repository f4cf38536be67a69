#pragma once

#include "app/TrayIcon.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

class QDBusServiceWatcher;

// The tray icon of the desktop session. Desktop trays are D-Bus status-notifier hosts: the
// icon is created while the name org.kde.StatusNotifierWatcher is owned on the session bus,
// and created again when a tray appears later or restarts. Qt decides once per process
// whether the D-Bus tray is usable, so no Qt tray icon is made before the watcher exists;
// without a session bus the icon goes to the X11 tray directly.
class CQtTrayIcon : public QObject, public ITrayIcon {
  Q_OBJECT

 public:
  static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

  explicit CQtTrayIcon(QObject* parent = nullptr);
  ~CQtTrayIcon() override;

  void Add(const QIcon& icon, const QString& tip) override;
  void Modify(const QIcon& icon, const QString& tip) override;
  void Delete() override;
  bool IsAdded() const override { return m_added; }
  bool IsShown() const override;
  void SetClickHandler(ClickHandler handler) override { m_onClick = std::move(handler); }

 private:
  bool TrayHostPresent() const;
  void CreateIcon();
  void DropIcon();
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  QDBusServiceWatcher* m_watcher = nullptr;
  std::unique_ptr<QSystemTrayIcon> m_icon;
  QIcon m_picture;
  QString m_tip;
  bool m_added = false;
  ClickHandler m_onClick;
};
