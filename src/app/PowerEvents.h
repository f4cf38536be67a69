#pragma once

#include <functional>

// System suspend and resume. The handler runs on the user-interface thread; while it runs
// for a suspend the system waits (within the limit the desktop allows), so the handset
// connection can be closed before the machine sleeps.
class IPowerEvents {
 public:
  enum class Event { Suspend, Resume };
  using Handler = std::function<void(Event)>;

  virtual ~IPowerEvents() = default;
  virtual void SetHandler(Handler handler) = 0;
};
