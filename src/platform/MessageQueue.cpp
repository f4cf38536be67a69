#include "platform/MessageQueue.h"

#include "platform/WindowRegistry.h"

CMessageQueue::CMessageQueue() : m_handle(CWindowRegistry::Instance().Register(this)) {}

CMessageQueue::~CMessageQueue() {
  CWindowRegistry::Instance().Unregister(m_handle);
}

void CMessageQueue::Deliver(const WindowMessage& message) {
  {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
  }
  m_arrived.notify_all();
}

std::optional<WindowMessage> CMessageQueue::Take(std::chrono::milliseconds timeout) {
  return TakeMatching([](const WindowMessage&) { return true; }, timeout);
}

std::optional<WindowMessage> CMessageQueue::TakeMatching(const std::function<bool(const WindowMessage&)>& match,
                                                         std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  std::optional<WindowMessage> found;
  const auto takeFirstMatch = [&] {
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
      if (match(*it)) {
        found = *it;
        m_messages.erase(it);
        return true;
      }
    }
    return false;
  };
  m_arrived.wait_for(lock, timeout, takeFirstMatch);
  return found;
}

std::optional<WindowMessage> CMessageQueue::TakeMessage(std::uint32_t message, std::chrono::milliseconds timeout) {
  return TakeMatching([message](const WindowMessage& m) { return m.message == message; }, timeout);
}

std::vector<WindowMessage> CMessageQueue::Drain() {
  std::lock_guard lock(m_mutex);
  std::vector<WindowMessage> all(m_messages.begin(), m_messages.end());
  m_messages.clear();
  return all;
}

std::size_t CMessageQueue::Size() const {
  std::lock_guard lock(m_mutex);
  return m_messages.size();
}
