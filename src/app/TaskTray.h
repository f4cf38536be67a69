#pragma once

#include "platform/MessageTarget.h"

#include <QWidget>
#include <atomic>
#include <cstdint>

class CSettingsStore;

// The hidden resident window: the application's main window for the whole run. Closing it
// ends the process. It is registered as a window so that any thread can post to it, and
// keeps the modal flag that message boxes and modal dialogs set while they are up.
class CTaskTray : public QWidget, public IMessageTarget {
  Q_OBJECT

 public:
  CTaskTray();
  ~CTaskTray() override;

  // Reads the resident window's settings (balloon time, the handset's USB identifiers),
  // creating them with their defaults on a first run.
  void Initialise(CSettingsStore& settings);

  WindowHandle Handle() const { return m_handle; }
  std::uint32_t BalloonTime() const { return m_balloonTime; }
  std::uint32_t VendorId() const { return m_vendorId; }
  std::uint32_t ProductId() const { return m_productId; }
  void SetModalFlag(bool modal) { m_modal = modal ? 1 : 0; }
  bool IsModal() const { return m_modal != 0; }

  void Deliver(const WindowMessage& message) override;

 signals:
  void Closed();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Posted window messages arrive here on the user-interface thread.
  virtual void OnWindowMessage(const WindowMessage& message);

 private:
  WindowHandle m_handle = 0;
  std::atomic<int> m_modal{0};
  std::uint32_t m_balloonTime = 3000;
  std::uint32_t m_vendorId = 0;
  std::uint32_t m_productId = 0;
};
