#include "app/DesktopNotifier.h"

#include "app/BalloonPopup.h"
#include "app/DBusNotifier.h"

CDesktopNotifier::CDesktopNotifier(QString applicationName, std::function<bool()> serviceAvailable)
    : m_serviceAvailable(serviceAvailable ? std::move(serviceAvailable) : &CDBusNotifier::ServiceAvailable),
      m_service(std::make_unique<CDBusNotifier>(std::move(applicationName))) {}

CDesktopNotifier::~CDesktopNotifier() = default;

void CDesktopNotifier::Show(const QString& title, const QString& text, NoticeSeverity severity) {
  if (m_serviceAvailable()) {
    m_service->Show(title, text, severity);
    if (m_service->LastShowAccepted()) {
      if (m_popup) {
        m_popup->Close();
      }
      return;
    }
  }
  if (!m_popup) {
    m_popup = std::make_unique<CBalloonPopup>();
  }
  m_popup->Show(title, text, severity);
}

void CDesktopNotifier::Close() {
  m_service->Close();
  if (m_popup) {
    m_popup->Close();
  }
}
