#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <optional>

// The link's auto-reset events, initially clear.
enum class LinkEvent : std::uint8_t {
  TerminateWorkers,  // delivered to one worker at a time (see CLinkEvents::Terminate)
  QuitEngine,
  ArmTimer,
  SendOut,
  SendIn,
  TransferDone,
  Complete,
  Failed,
  TimedOut,
  Step,
  EventArrived,
  DriverAlarm,
  ItemReady,
  ItemQueued,
  OutSent,
  InDone,
  Idle,
  TimerArmed,
  Count
};

// The threads that wait on the events. Terminate requests are addressed to one of them.
enum class LinkWorker : std::uint8_t {
  VendorRequest,
  ResponseTimer,
  BlockRead,
  BlockWrite,
  Sequencer,
  EventPoll,
  DriverStatus,
  Engine,
  Other,  // a caller's thread (never terminated)
  Count
};

// Eighteen auto-reset events behind one lock, with a prioritised wait: when several of the
// awaited events are set, the one listed first is taken (and cleared), the others stay set.
// Each worker has its own terminate flag, so a terminate request reaches exactly the worker
// it is meant for; a terminate flag is not consumed by a wait.
class CLinkEvents {
 public:
  using Duration = std::chrono::milliseconds;

  void Set(LinkEvent event);
  void Reset(LinkEvent event);
  bool IsSet(LinkEvent event) const;
  // Clears every event except the ones given.
  void ResetAllExcept(std::initializer_list<LinkEvent> keep);

  void Terminate(LinkWorker worker);
  void ClearTerminate(LinkWorker worker);
  bool IsTerminating(LinkWorker worker) const;

  // Waits for the first set event of `events` (TerminateWorkers stands for self's terminate
  // flag) and returns it; nothing when the time-out passes first. No time-out waits until
  // an event comes.
  std::optional<LinkEvent> WaitAny(LinkWorker self, std::initializer_list<LinkEvent> events,
                                   std::optional<Duration> timeout = std::nullopt);
  // Sleeps for `duration`; true when self was told to terminate meanwhile.
  bool SleepOrTerminate(LinkWorker self, Duration duration);

 private:
  static std::uint32_t Bit(LinkEvent event) { return 1u << static_cast<unsigned>(event); }
  static std::uint32_t Bit(LinkWorker worker) { return 1u << static_cast<unsigned>(worker); }
  std::optional<LinkEvent> TakeFirst(LinkWorker self, std::initializer_list<LinkEvent> events);

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::uint32_t m_set = 0;
  std::uint32_t m_terminate = 0;
};
