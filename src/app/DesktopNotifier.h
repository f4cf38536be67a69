#pragma once

#include "app/Notifier.h"

#include <QString>
#include <functional>
#include <memory>

class CBalloonPopup;
class CDBusNotifier;

// Notices where the desktop shows them best: through its notification service while one
// is running, otherwise in the program's own notice window. The choice is made for every
// notice, so a service that starts or stops during the run is followed.
class CDesktopNotifier : public INotifier {
 public:
  // serviceAvailable: asked before each notice (default: the session bus is asked).
  explicit CDesktopNotifier(QString applicationName, std::function<bool()> serviceAvailable = {});
  ~CDesktopNotifier() override;

  void Show(const QString& title, const QString& text, NoticeSeverity severity) override;
  void Close() override;

  // The notice window, created on first use (null before).
  CBalloonPopup* Popup() const { return m_popup.get(); }

 private:
  std::function<bool()> m_serviceAvailable;
  std::unique_ptr<CDBusNotifier> m_service;
  std::unique_ptr<CBalloonPopup> m_popup;
};
