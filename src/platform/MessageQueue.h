#pragma once

#include "platform/MessageTarget.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// A window without a user interface: it registers itself, collects posted messages in
// order and lets a thread wait for them. Used by the command-line tool and by tests that
// stand in for a window.
class CMessageQueue : public IMessageTarget {
 public:
  CMessageQueue();
  ~CMessageQueue() override;
  CMessageQueue(const CMessageQueue&) = delete;
  CMessageQueue& operator=(const CMessageQueue&) = delete;

  WindowHandle Handle() const { return m_handle; }
  void Deliver(const WindowMessage& message) override;

  // Takes the oldest message, waiting up to the time-out; nothing when none arrived.
  std::optional<WindowMessage> Take(std::chrono::milliseconds timeout);
  // Takes the first message that satisfies the predicate, leaving the others queued.
  std::optional<WindowMessage> TakeMatching(const std::function<bool(const WindowMessage&)>& match,
                                            std::chrono::milliseconds timeout);
  std::optional<WindowMessage> TakeMessage(std::uint32_t message, std::chrono::milliseconds timeout);
  // Every message queued now, oldest first, leaving the queue empty.
  std::vector<WindowMessage> Drain();
  std::size_t Size() const;

 private:
  WindowHandle m_handle = 0;
  mutable std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::deque<WindowMessage> m_messages;
};
