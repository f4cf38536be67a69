#pragma once

#include "platform/MessageTarget.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

// The registry of live windows. A window registers its message target and gets a handle;
// any thread may post to a handle. Posting to a handle that was unregistered (a closed
// window) drops the message. Unregister waits for a delivery in progress to that target,
// so a target may be destroyed as soon as Unregister returns.
class CWindowRegistry {
 public:
  static CWindowRegistry& Instance();

  WindowHandle Register(IMessageTarget* target);
  void Unregister(WindowHandle handle);
  bool IsWindow(WindowHandle handle) const;
  bool Post(WindowHandle handle, const WindowMessage& message) const;

 private:
  CWindowRegistry() = default;

  mutable std::mutex m_mutex;
  std::unordered_map<WindowHandle, IMessageTarget*> m_targets;
  WindowHandle m_next = 1;
};

// Queues a message to a window from any thread; false when the handle is not a live window.
bool PostMessage(WindowHandle handle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                 std::shared_ptr<const std::vector<std::uint8_t>> payload = nullptr);

// True while the handle names a registered window.
bool IsWindow(WindowHandle handle);
