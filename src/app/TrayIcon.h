#pragma once

#include <QIcon>
#include <QString>
#include <functional>

// Mouse buttons released on the tray icon.
enum class TrayClick { Left, Right };

// The desktop's task-tray icon. The resident window adds it once, changes its picture and
// tip as the handset comes and goes, and deletes it on Exit. An icon added while the desktop
// has no tray is remembered and appears as soon as a tray does (a desktop session may start
// its panel after the programs of its auto start-up).
class ITrayIcon {
 public:
  using ClickHandler = std::function<void(TrayClick)>;

  virtual ~ITrayIcon() = default;

  virtual void Add(const QIcon& icon, const QString& tip) = 0;
  virtual void Modify(const QIcon& icon, const QString& tip) = 0;
  virtual void Delete() = 0;
  // The icon was added and not deleted since (whether or not a tray shows it now).
  virtual bool IsAdded() const = 0;
  // A tray shows the icon now.
  virtual bool IsShown() const = 0;
  virtual void SetClickHandler(ClickHandler handler) = 0;
};
