#include "app/TaskTray.h"

#include "appcore/SettingsStore.h"
#include "ui/WindowMessageEvent.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"

#include <QCloseEvent>
#include <QCoreApplication>

CTaskTray::CTaskTray() : QWidget(nullptr) {
  setObjectName("VantelWinApp");
  setWindowTitle("VantelWinApp");
  m_handle = CWindowRegistry::Instance().Register(this);
}

CTaskTray::~CTaskTray() {
  CWindowRegistry::Instance().Unregister(m_handle);
}

void CTaskTray::Initialise(CSettingsStore& settings) {
  std::lock_guard lock(settings.RegistryMutex());
  m_balloonTime = settings.ReadOrCreateDword(kProductKey, "Balloon", 3000);
  m_vendorId = settings.ReadOrCreateDword(kProductKey, "VendorID", kDefaultVendorId);
  m_productId = settings.ReadOrCreateDword(kProductKey, "ProductID", kDefaultProductId);
}

void CTaskTray::Deliver(const WindowMessage& message) {
  QCoreApplication::postEvent(this, new CWindowMessageEvent(message));
}

bool CTaskTray::event(QEvent* event) {
  if (event->type() == CWindowMessageEvent::EventType()) {
    OnWindowMessage(static_cast<CWindowMessageEvent*>(event)->Message());
    return true;
  }
  return QWidget::event(event);
}

void CTaskTray::OnWindowMessage(const WindowMessage& message) {
  ORVANE_TRACE("CTaskTray::OnWindowMessage 0x%X", message.message);
}

// Closing the resident window ends the run, with no question asked.
void CTaskTray::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}
