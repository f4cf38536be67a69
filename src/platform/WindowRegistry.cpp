#include "platform/WindowRegistry.h"

CWindowRegistry& CWindowRegistry::Instance() {
  static CWindowRegistry registry;
  return registry;
}

WindowHandle CWindowRegistry::Register(IMessageTarget* target) {
  std::lock_guard lock(m_mutex);
  const WindowHandle handle = m_next++;
  m_targets.emplace(handle, target);
  return handle;
}

void CWindowRegistry::Unregister(WindowHandle handle) {
  std::lock_guard lock(m_mutex);
  m_targets.erase(handle);
}

bool CWindowRegistry::IsWindow(WindowHandle handle) const {
  std::lock_guard lock(m_mutex);
  return m_targets.count(handle) != 0;
}

bool CWindowRegistry::Post(WindowHandle handle, const WindowMessage& message) const {
  // Delivery happens under the lock: it only queues, and holding the lock keeps the
  // target alive against a concurrent Unregister.
  std::lock_guard lock(m_mutex);
  const auto it = m_targets.find(handle);
  if (it == m_targets.end() || it->second == nullptr) {
    return false;
  }
  it->second->Deliver(message);
  return true;
}

bool PostMessage(WindowHandle handle, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                 std::shared_ptr<const std::vector<std::uint8_t>> payload) {
  WindowMessage m;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.payload = std::move(payload);
  return CWindowRegistry::Instance().Post(handle, m);
}

bool IsWindow(WindowHandle handle) {
  return CWindowRegistry::Instance().IsWindow(handle);
}
