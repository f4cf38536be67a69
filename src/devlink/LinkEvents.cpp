#include "devlink/LinkEvents.h"

void CLinkEvents::Set(LinkEvent event) {
  {
    std::lock_guard lock(m_mutex);
    m_set |= Bit(event);
  }
  m_changed.notify_all();
}

void CLinkEvents::Reset(LinkEvent event) {
  std::lock_guard lock(m_mutex);
  m_set &= ~Bit(event);
}

bool CLinkEvents::IsSet(LinkEvent event) const {
  std::lock_guard lock(m_mutex);
  return (m_set & Bit(event)) != 0;
}

void CLinkEvents::ResetAllExcept(std::initializer_list<LinkEvent> keep) {
  std::uint32_t mask = 0;
  for (LinkEvent event : keep) {
    mask |= Bit(event);
  }
  std::lock_guard lock(m_mutex);
  m_set &= mask;
}

void CLinkEvents::Terminate(LinkWorker worker) {
  {
    std::lock_guard lock(m_mutex);
    m_terminate |= Bit(worker);
  }
  m_changed.notify_all();
}

void CLinkEvents::ClearTerminate(LinkWorker worker) {
  std::lock_guard lock(m_mutex);
  m_terminate &= ~Bit(worker);
}

bool CLinkEvents::IsTerminating(LinkWorker worker) const {
  std::lock_guard lock(m_mutex);
  return (m_terminate & Bit(worker)) != 0;
}

std::optional<LinkEvent> CLinkEvents::TakeFirst(LinkWorker self, std::initializer_list<LinkEvent> events) {
  for (LinkEvent event : events) {
    if (event == LinkEvent::TerminateWorkers) {
      if ((m_terminate & Bit(self)) != 0) {
        return event;
      }
      continue;
    }
    if ((m_set & Bit(event)) != 0) {
      m_set &= ~Bit(event);
      return event;
    }
  }
  return std::nullopt;
}

std::optional<LinkEvent> CLinkEvents::WaitAny(LinkWorker self, std::initializer_list<LinkEvent> events,
                                              std::optional<Duration> timeout) {
  std::unique_lock lock(m_mutex);
  std::optional<LinkEvent> taken;
  const auto ready = [&] {
    taken = TakeFirst(self, events);
    return taken.has_value();
  };
  if (timeout) {
    m_changed.wait_for(lock, *timeout, ready);
  } else {
    m_changed.wait(lock, ready);
  }
  return taken;
}

bool CLinkEvents::SleepOrTerminate(LinkWorker self, Duration duration) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, duration, [&] { return (m_terminate & Bit(self)) != 0; });
}
