#pragma once

#include "platform/WindowMessage.h"

// Something that can receive posted window messages. Deliver is called on the posting
// thread and must only queue the message (for example into the Qt event loop) and return.
class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;
  virtual void Deliver(const WindowMessage& message) = 0;
};
