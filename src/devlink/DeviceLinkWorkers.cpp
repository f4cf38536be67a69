// The link's long-lived workers: vendor requests, the response timer, the event poll and
// the driver-status watch. They perform calls and signal the engine; it decides.
#include "devlink/DeviceLink.h"
#include "devlink/IndicationTable.h"

#include "platform/DebugLog.h"

#include <udfp.h>

#include <algorithm>

#include <thread>

namespace {

using VendorRequestFn = int32_t (*)(uint32_t, uint8_t, uint8_t, uint16_t, uint16_t, uint16_t, uint8_t*);
using GetEventStatusFn = int32_t (*)(uint32_t, uint8_t*, uint32_t, uint32_t*);
using GetDriverStatusFn = int32_t (*)(uint32_t, uint8_t*);
using ResetDriverStatusFn = int32_t (*)(uint32_t);

constexpr auto kTimerStep = std::chrono::milliseconds(10);
constexpr std::uint32_t kMinimumPollMs = 1;

}  // namespace

void CDeviceLink::SetFailedAndSignal() {
  m_failed = true;
  m_events.Set(LinkEvent::Failed);
}

bool CDeviceLink::WorkersRunning() const {
  return m_workers[static_cast<std::size_t>(LinkWorker::VendorRequest)].IsRunning() &&
         m_workers[static_cast<std::size_t>(LinkWorker::ResponseTimer)].IsRunning();
}

bool CDeviceLink::StartWorkers() {
  std::lock_guard lock(m_threadsMutex);
  if (m_stopping.load()) {
    return false;
  }
  m_requestRetryCount = ReadSetting("RequestRetryCount", Settings{}.requestRetryCount);
  m_requestTimeOut = ReadSetting("RequestTimeOut", Settings{}.requestTimeOut);
  const auto start = [this](LinkWorker worker, ThreadPriority priority, void (CDeviceLink::*body)()) {
    CWorkerThread& thread = Worker(worker);
    if (thread.IsRunning()) {
      return;
    }
    thread.Join();
    m_events.ClearTerminate(worker);
    thread.Start(priority, [this, body] { (this->*body)(); });
  };
  start(LinkWorker::DriverStatus, ThreadPriority::Lowest, &CDeviceLink::DriverStatusThread);
  start(LinkWorker::EventPoll, ThreadPriority::BelowNormal, &CDeviceLink::EventPollThread);
  start(LinkWorker::ResponseTimer, ThreadPriority::Normal, &CDeviceLink::ResponseTimerThread);
  start(LinkWorker::VendorRequest, ThreadPriority::AboveNormal, &CDeviceLink::VendorRequestThread);
  return true;
}

// ---- vendor requests -------------------------------------------------------------------------

bool CDeviceLink::SendVendorPacket(const SetupPacket& packet, std::vector<std::uint8_t>& buffer, std::uint32_t tries) {
  auto vendorRequest = m_library.Export<VendorRequestFn>("UdfpVendorRequest");
  if (vendorRequest == nullptr) {
    return false;
  }
  if (tries == 0) {
    return true;
  }
  buffer = packet.payload;
  const auto length = static_cast<std::uint16_t>(buffer.size());
  for (std::uint32_t attempt = 0; attempt < tries; ++attempt) {
    if (attempt > 0 && m_events.IsTerminating(LinkWorker::VendorRequest)) {
      return false;  // the link is stopping: no further try
    }
    if (vendorRequest(m_device.load(), packet.requestType, packet.request, packet.value, packet.index, length,
                      buffer.empty() ? nullptr : buffer.data()) != 0) {
      return true;
    }
  }
  return false;
}

void CDeviceLink::VendorRequestThread() {
  for (;;) {
    const auto event = m_events.WaitAny(LinkWorker::VendorRequest,
                                        {LinkEvent::TerminateWorkers, LinkEvent::SendOut, LinkEvent::SendIn});
    if (*event == LinkEvent::TerminateWorkers) {
      return;
    }
    // The response timer of a host-to-device request was armed before send-out was
    // signalled, so it runs before the handset can answer.
    const bool out = *event == LinkEvent::SendOut;
    SetupPacket packet;
    {
      std::lock_guard lock(m_stateMutex);
      packet = out ? m_setup : m_inPacket;
    }
    std::vector<std::uint8_t> buffer;
    // A closed device cannot answer: fail at once instead of waiting for the time-out.
    const bool sent = m_device.load() != kNoDevice && SendVendorPacket(packet, buffer, m_transTries.load());
    if (!sent) {
      ORVANE_TRACE("CDeviceLink::VendorRequestThread - request 0x%X failed\n", packet.value);
      if (out) {
        StopTimer();
      }
      SetFailedAndSignal();
    } else if (out) {
      m_events.Set(LinkEvent::OutSent);
    } else {
      {
        std::lock_guard lock(m_stateMutex);
        m_inBytes = std::move(buffer);
      }
      m_events.Set(LinkEvent::InDone);
    }
  }
}

// ---- response timer --------------------------------------------------------------------------

// The timer's state (running, deadline) changes only under m_timerMutex, and arming marks
// it running at once: a reply handled right after the request went out always finds the
// timer running, so stopping it can never miss and a stop can never be undone by a late arm.
void CDeviceLink::ArmTimer() {
  {
    std::lock_guard lock(m_timerMutex);
    m_timerCancel = 0;
    m_timerRunning = 1;
    m_timerDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_requestTimeOut.load());
  }
  m_events.Set(LinkEvent::ArmTimer);
}

void CDeviceLink::StopTimer() {
  std::lock_guard lock(m_timerMutex);
  if (m_timerRunning.load() != 0) {
    m_timerCancel = 1;
    m_timerRunning = 0;
  }
  // A time-out that expired just before the stop no longer applies.
  m_events.Reset(LinkEvent::TimedOut);
}

void CDeviceLink::ResponseTimerThread() {
  for (;;) {
    const auto event = m_events.WaitAny(LinkWorker::ResponseTimer, {LinkEvent::TerminateWorkers, LinkEvent::ArmTimer});
    if (*event == LinkEvent::TerminateWorkers) {
      return;
    }
    m_events.Set(LinkEvent::TimerArmed);
    for (;;) {
      {
        std::lock_guard lock(m_timerMutex);
        if (m_timerRunning.load() == 0) {
          m_timerCancel = 0;
          break;
        }
        if (std::chrono::steady_clock::now() >= m_timerDeadline) {
          m_timerRunning = 0;
          ++m_timeOutCounter;
          m_events.Set(LinkEvent::TimedOut);
          break;
        }
      }
      if (m_events.SleepOrTerminate(LinkWorker::ResponseTimer, kTimerStep)) {
        std::lock_guard lock(m_timerMutex);
        m_timerRunning = 0;
        return;
      }
    }
  }
}

// ---- event poll ------------------------------------------------------------------------------

void CDeviceLink::EventPollThread() {
  const auto interval =
      std::chrono::milliseconds(std::max(ReadSetting("EventStatusCount", Settings{}.eventStatusCount), kMinimumPollMs));
  if (m_library.Lookup("UdfpGetEventStatus") == nullptr) {
    SetFailedAndSignal();
    return;
  }
  while (!m_events.SleepOrTerminate(LinkWorker::EventPoll, interval)) {
    const std::uint32_t device = m_device.load();
    if (device == kNoDevice || m_eventSlotBusy.load()) {
      continue;
    }
    auto getEventStatus = m_library.Export<GetEventStatusFn>("UdfpGetEventStatus");
    if (getEventStatus == nullptr) {
      continue;
    }
    std::uint8_t record[UDFP_EVENT_RECORD_SIZE] = {};
    std::uint32_t count = 1;
    if (getEventStatus(device, record, UDFP_EVENT_RECORD_SIZE, &count) != 0 && count != 0) {
      ClassifyEvent(record);
    }
  }
}

void CDeviceLink::ClassifyEvent(const std::uint8_t* record) {
  EventRecord event;
  event.code = static_cast<std::uint16_t>(record[0] | (record[1] << 8));
  event.length = static_cast<std::uint16_t>(record[2] | (record[3] << 8));
  if (event.code == LinkCode::kModelInfoChanged && m_pendingCode.load() != 0 && m_requestActive.load()) {
    m_modelInfoDeferred = true;
    event.unsolicited = true;
  } else {
    const bool indication = CIndicationTable::Find(event.code).has_value();
    event.unsolicited = !indication && event.code != static_cast<std::uint16_t>(m_expectedCode.load() + 1);
  }
  if (event.unsolicited && event.length == 0) {
    return;  // nothing to read and nobody waits for it
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_lastEvent = event;
  }
  m_eventSlotBusy = true;
  m_events.Set(LinkEvent::EventArrived);
}

// ---- driver status ---------------------------------------------------------------------------

void CDeviceLink::DriverStatusThread() {
  const auto interval = std::chrono::milliseconds(
      std::max(ReadSetting("DriverStatusCount", Settings{}.driverStatusCount), kMinimumPollMs));
  if (m_library.Lookup("UdfpGetDriverStatus") == nullptr || m_library.Lookup("UdfpResetDriverStatus") == nullptr) {
    SetFailedAndSignal();
    return;
  }
  while (!m_events.SleepOrTerminate(LinkWorker::DriverStatus, interval)) {
    const std::uint32_t device = m_device.load();
    auto getStatus = m_library.Export<GetDriverStatusFn>("UdfpGetDriverStatus");
    auto resetStatus = m_library.Export<ResetDriverStatusFn>("UdfpResetDriverStatus");
    if (device == kNoDevice || getStatus == nullptr || resetStatus == nullptr) {
      continue;
    }
    std::uint8_t status = 0;
    const bool read = getStatus(device, &status) != 0;
    if ((!read || (status & 0x03) != 0) && resetStatus(device) != 0) {
      m_driverStatus = status;
      m_events.Set(LinkEvent::DriverAlarm);
    }
  }
}
