#pragma once

#include "platform/WindowMessage.h"

#include <QEvent>

// A posted window message carried through the Qt event queue to its window.
class CWindowMessageEvent : public QEvent {
 public:
  static QEvent::Type EventType();

  explicit CWindowMessageEvent(WindowMessage message) : QEvent(EventType()), m_message(std::move(message)) {}
  const WindowMessage& Message() const { return m_message; }

 private:
  WindowMessage m_message;
};
