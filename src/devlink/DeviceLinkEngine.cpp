// The request engine: one thread that makes every decision of a request, driven by the
// link's events in a fixed priority order.
#include "devlink/BlockFormat.h"
#include "devlink/DeviceLink.h"
#include "devlink/RequestDescriptorTable.h"
#include "devlink/RequestNames.h"

#include "appcore/AppStatus.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"

#include <udfp.h>

namespace {

constexpr std::uint16_t kFirstCheckedReply = 0xE72;
constexpr std::uint16_t kLastCheckedReply = 0xE96;
constexpr std::uint8_t kReadCountRefused = 0xF0;

}  // namespace

void CDeviceLink::EngineThread() {
  for (;;) {
    const auto event = m_events.WaitAny(
        LinkWorker::Engine,
        {LinkEvent::QuitEngine, LinkEvent::Complete, LinkEvent::Failed, LinkEvent::TimedOut, LinkEvent::Step,
         LinkEvent::EventArrived, LinkEvent::DriverAlarm, LinkEvent::ItemReady, LinkEvent::OutSent, LinkEvent::InDone});
    switch (*event) {
      case LinkEvent::QuitEngine:
        m_savedReply.reset();
        return;
      case LinkEvent::Complete:
        OnComplete();
        break;
      case LinkEvent::Failed:
        OnFailed();
        break;
      case LinkEvent::TimedOut:
        OnTimedOut();
        break;
      case LinkEvent::Step:
        OnStep();
        break;
      case LinkEvent::EventArrived:
        OnEventArrived();
        break;
      case LinkEvent::DriverAlarm:
        OnDriverAlarm();
        break;
      case LinkEvent::ItemReady:
        OnItemReady();
        break;
      case LinkEvent::OutSent:
        break;  // the reply comes as an event
      case LinkEvent::InDone:
        OnInDone();
        break;
      default:
        break;
    }
  }
}

void CDeviceLink::ClearState() {
  m_expectedCode = 0;
  m_failed = false;
  m_timedOut = false;
  m_cancel = false;
  m_sessionOpen = false;
  m_lastBlock = false;
  m_closeThenNotify = false;
  m_timeOutCounter = 0;
  m_eventSlotBusy = false;
  m_inRead = InRead::None;
  m_eventDeferred = false;
  m_engineActive = false;
  m_savedReply.reset();
  std::lock_guard lock(m_stateMutex);
  m_setup = SetupPacket{};
  m_response.clear();
}

// ---- outcomes --------------------------------------------------------------------------------

void CDeviceLink::FinishRequest(std::uint32_t message, bool withReply) {
  const std::uint16_t pending = m_pendingCode.load();
  auto snapshot = withReply ? ResponseSnapshot() : nullptr;
  const auto length = snapshot ? static_cast<std::intptr_t>(snapshot->size()) : 0;
  WindowHandle window = 0;
  {
    std::lock_guard lock(m_stateMutex);
    window = m_params.notifyWindow;
  }
  // The request is over before the window hears of it: its handler may post the next one.
  if (message != LinkMessage::kRequestComplete || m_currentEvent.code != LinkCode::kDiscoveryReply) {
    m_pendingCode = 0;
  }
  m_engineActive = false;
  m_requestActive = false;
  m_events.Set(LinkEvent::Idle);
  ORVANE_TRACE("CDeviceLink - %s ends with WM_APP+0x%X\n", CRequestNames::Name(pending), message - WM_APP);
  PostMessage(window, message, pending, length, std::move(snapshot));
  if (m_playEndPending) {
    // A melody ended while this request ran: its session is closed now that the request
    // is over; a request posted meanwhile waits for that close.
    m_playEndPending = false;
    StartPlayEndClose();
  }
}

void CDeviceLink::FlushDeferredModelInfo() {
  if (m_modelInfoDeferred.exchange(false)) {
    PostToApplication(APP_VERSION_INFO, LinkMessage::kModelInfoChange, 0, false);
  }
}

void CDeviceLink::OnComplete() {
  if (m_pendingCode.load() != 0 && m_engineActive) {
    FinishRequest(LinkMessage::kRequestComplete, true);
  }
  FlushDeferredModelInfo();
}

void CDeviceLink::OnFailed() {
  {
    std::lock_guard lock(m_stateMutex);
    m_setup.payload.clear();
  }
  if (m_inRead != InRead::None) {
    // The read that failed will not report; free the event slot it held.
    if (m_inRead == InRead::EventData) {
      OpenEventSlot();
    }
    m_inRead = InRead::None;
  }
  if (!m_sessionOpen.load()) {
    m_failed = false;
    if (m_pendingCode.load() != 0 && m_engineActive) {
      FinishRequest(LinkMessage::kRequestFailed, true);
    } else {
      EndPlayEndClose();
    }
    FlushDeferredModelInfo();
  } else if (!m_sequencerRunning.load()) {
    StopTimer();
    StartSessionClose();
  } else if (!m_blockRunning.load()) {
    // The sequencer sees the failed flag and closes the session.
    m_events.Set(LinkEvent::ItemQueued);
    m_events.Set(LinkEvent::TransferDone);
  }
  if (m_eventDeferred) {
    m_eventDeferred = false;
    OnEventArrived();
  }
}

void CDeviceLink::ReportTimeOut() {
  m_failed = false;
  m_timedOut = true;
  if (m_pendingCode.load() != 0 && m_engineActive) {
    FinishRequest(LinkMessage::kRequestNoResponse, false);
  } else {
    EndPlayEndClose();
  }
  FlushDeferredModelInfo();
}

void CDeviceLink::OnTimedOut() {
  const int tries = m_timeOutCounter.load();
  if (tries < static_cast<int>(m_requestRetryCount.load()) - 1) {
    ORVANE_TRACE("CDeviceLink - time-out %d, sending again\n", tries);
    StopTimer();
    m_timedOut = false;
    ArmTimer();
    m_events.Set(LinkEvent::SendOut);
    return;
  }
  if (!m_sessionOpen.load()) {
    ReportTimeOut();
    return;
  }
  m_timedOut = true;
  if (m_sequencerRunning.load()) {
    if (!m_blockRunning.load()) {
      m_events.Set(LinkEvent::ItemQueued);
      m_events.Set(LinkEvent::TransferDone);
    }
  } else {
    StartSessionClose();
  }
}

void CDeviceLink::FailNow() {
  m_failed = true;
  m_events.Set(LinkEvent::Failed);
}

// ---- steps -----------------------------------------------------------------------------------

void CDeviceLink::OnStep() {
  // A posted request belongs to the engine from its first step on; an event handled
  // before that step (the poll runs all the time) cannot end it.
  if (!m_engineActive && m_requestActive.load()) {
    if (m_closeThenNotify.load()) {
      // The session a melody left open is being closed: the request starts after that.
      m_requestWaiting = true;
      return;
    }
    m_engineActive = true;
    m_failed = false;
    m_timedOut = false;
    m_savedReply.reset();
    // One value for the whole request: every vendor request and pipe transfer uses it.
    m_transTries = ReadSetting("TransCommandRetryCount", Settings{}.transCommandRetryCount);
  }
  StopTimer();
  m_timeOutCounter = 0;
  // The cancel flag is not cleared here: PostRequest clears it for each new request, and a
  // cancel that arrives before this thread takes up the request (or between two of its
  // steps) must still stop it.
  BuildStep(m_stepCode.load());
}

void CDeviceLink::BuildStep(std::uint16_t step) {
  ORVANE_TRACE("CDeviceLink::BuildStep - 0x%X %s\n", step, CRequestNames::Name(step));
  if (step == LinkCode::kStatusByte) {
    RequestParams params;
    {
      std::lock_guard lock(m_stateMutex);
      params = m_params;
    }
    if (params.arg1 == 1) {
      {
        std::lock_guard lock(m_stateMutex);
        m_response.clear();
      }
      m_events.Set(LinkEvent::Complete);
      return;
    }
    if (!WorkersRunning() || m_device.load() == kNoDevice) {
      FailNow();
      return;
    }
    {
      std::lock_guard lock(m_stateMutex);
      m_inPacket = SetupPacket{UDFP_REQTYPE_IN, 0, 1, static_cast<std::uint16_t>(params.kind & 0xFFFF), {}};
      m_inPacket.payload.resize(1);
    }
    m_expectedCode = 1;
    m_inRead = InRead::StatusByte;
    m_events.Set(LinkEvent::SendIn);
    return;
  }
  if (step == LinkCode::kStartLink) {
    if (StartLink()) {
      m_events.Set(LinkEvent::Complete);
    } else {
      FailNow();
    }
    return;
  }
  BuildVendorStep(step);
}

void CDeviceLink::BuildVendorStep(std::uint16_t step) {
  const auto descriptor = CRequestDescriptorTable::Find(step);
  if (descriptor.requestType == 0) {
    // A code that cannot be sent would otherwise leave the request waiting for ever.
    ORVANE_TRACE("CDeviceLink::BuildStep - 0x%X cannot be sent\n", step);
    FailNow();
    return;
  }
  RequestParams params;
  {
    std::lock_guard lock(m_stateMutex);
    params = m_params;
  }
  const bool opening = descriptor.payloadRule == CRequestDescriptorTable::kSessionByte && !m_sessionOpen.load();
  if (opening && m_pendingCode.load() == LinkCode::kWriteStart &&
      (!CBlockFormat::FitsBlockNumbers(params.dataSize) || (params.data == nullptr && params.dataSize != 0))) {
    // Block numbers are 8 bits: a larger object would wrap and overwrite its own start.
    ORVANE_TRACE("CDeviceLink::BuildStep - object of %u bytes refused\n", params.dataSize);
    FailNow();
    return;
  }
  if (!WorkersRunning() || m_device.load() == kNoDevice) {
    // Nothing can reach the handset, not even the byte that would close its session: the
    // session is over for the link, so the failure is reported instead of another close.
    AbandonSession();
    FailNow();
    return;
  }
  SetupPacket packet{descriptor.requestType, descriptor.request, descriptor.value, 0, {}};
  const auto kind = static_cast<std::uint8_t>(params.kind & 0xFF);
  bool closing = false;
  switch (descriptor.payloadRule) {
    case CRequestDescriptorTable::kSessionByte:
      closing = m_sessionOpen.load();
      packet.payload = {static_cast<std::uint8_t>(closing ? 0 : 1)};
      m_sessionOpen = !closing;
      break;
    case CRequestDescriptorTable::kKindAndOne:
      packet.payload = {kind, 1};
      break;
    case CRequestDescriptorTable::kKindOnly:
      packet.payload = {kind};
      break;
    case CRequestDescriptorTable::kKindAndArg3:
      packet.payload = {kind, static_cast<std::uint8_t>(params.arg3 & 0xFF)};
      break;
    default:
      break;
  }
  {
    std::lock_guard lock(m_stateMutex);
    if (closing && m_failed.load() && !m_savedReply) {
      // Keep the failure's reply (a refusal) for the report that follows the close.
      m_savedReply = m_response;
    }
    m_setup = std::move(packet);
  }
  m_expectedCode = descriptor.value;
  if (!closing) {
    m_timedOut = false;
  }
  ArmTimer();
  m_events.Set(LinkEvent::SendOut);
}

bool CDeviceLink::StartLink() {
  m_sessionOpen = false;
  m_lastBlock = false;
  m_closeThenNotify = false;
  m_playEndPending = false;
  m_expectedCode = 0;
  m_savedReply.reset();
  {
    std::lock_guard lock(m_stateMutex);
    m_response.clear();
  }
  if (!LoadDriverLibrary()) {
    return false;
  }
  return StartWorkers();
}

void CDeviceLink::StartSessionClose() {
  if (!m_sessionOpen.load()) {
    m_events.Set(LinkEvent::Complete);
    return;
  }
  m_stepCode = LinkCode::kSession;
  m_events.Set(LinkEvent::Step);
}

void CDeviceLink::SendOperation() {
  const std::uint16_t pending = m_pendingCode.load();
  RequestParams params;
  {
    std::lock_guard lock(m_stateMutex);
    params = m_params;
  }
  const auto kind = static_cast<std::uint8_t>(params.kind & 0xFF);
  std::vector<std::uint8_t> payload;
  switch (pending) {
    case LinkCode::kWriteStart:
      payload = {kind,
                 0,
                 static_cast<std::uint8_t>((params.dataSize >> 8) & 0xFF),
                 static_cast<std::uint8_t>(params.dataSize & 0xFF),
                 static_cast<std::uint8_t>(params.arg1 & 0xFF),
                 static_cast<std::uint8_t>(params.arg2 & 0xFF)};
      break;
    case LinkCode::kReadCount:
    case LinkCode::kSetDefault:
      payload = {kind};
      break;
    case LinkCode::kRead:
    case LinkCode::kDelete:
    case LinkCode::kPlayStart:
      payload = {kind, static_cast<std::uint8_t>(params.arg3 & 0xFF)};
      break;
    case LinkCode::kRemainSize:
      payload = {kind, static_cast<std::uint8_t>(params.arg1 & 0xFF)};
      break;
    default:
      // No operation goes with this code: close the session that was just opened, so
      // the handset and the link agree that no session is open, then complete.
      StartSessionClose();
      return;
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_setup = SetupPacket{UDFP_REQTYPE_OUT, 3, pending, 0, std::move(payload)};
  }
  m_expectedCode = pending;
  if (pending == LinkCode::kWriteStart || pending == LinkCode::kRead) {
    StartSequencer(1);
    return;
  }
  m_timedOut = false;
  ArmTimer();
  m_events.Set(LinkEvent::SendOut);
}

// ---- events ----------------------------------------------------------------------------------

void CDeviceLink::OpenEventSlot() {
  m_eventSlotBusy = false;
}

void CDeviceLink::OnEventArrived() {
  if (m_inRead != InRead::None) {
    // One read on the control channel at a time: take this event once that read is done.
    m_eventDeferred = true;
    return;
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_currentEvent = m_lastEvent;
  }
  const EventRecord event = m_currentEvent;
  const auto indication = CIndicationTable::Find(event.code);
  if (indication) {
    OpenEventSlot();
    DispatchIndication(*indication);
    return;
  }
  if (!event.unsolicited) {
    StopTimer();
  }
  if (event.length > 0) {
    StartEventDataRead(event);
    return;
  }
  OpenEventSlot();
  if (!m_engineActive && !m_closeThenNotify.load()) {
    return;  // a late reply to a request that already ended
  }
  if (m_sessionOpen.load()) {
    StartSessionClose();
  } else {
    {
      std::lock_guard lock(m_stateMutex);
      m_response.clear();
    }
    if (event.code == LinkCode::kSessionReply) {
      OnSessionClosed();
    } else {
      m_events.Set(LinkEvent::Complete);
    }
  }
}

void CDeviceLink::StartEventDataRead(const EventRecord& event) {
  if (!WorkersRunning() || m_device.load() == kNoDevice) {
    OpenEventSlot();
    if (!event.unsolicited && (m_engineActive || m_closeThenNotify.load())) {
      // The reply cannot be read, so the request cannot go on, and its session cannot be
      // closed either: report the failure.
      AbandonSession();
      FailNow();
    }
    return;
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_inPacket = SetupPacket{UDFP_REQTYPE_IN, 0, 0, 0, {}};
    m_inPacket.payload.resize(event.length);
  }
  // Reading an unsolicited event's data leaves the expected code alone, so the reply to
  // a request still waiting is recognised when it comes.
  if (!event.unsolicited) {
    m_expectedCode = 0;
  }
  m_inRead = InRead::EventData;
  m_events.Set(LinkEvent::SendIn);
}

void CDeviceLink::DispatchIndication(const CIndicationTable::Entry& entry) {
  ORVANE_TRACE("CDeviceLink - indication 0x%X\n", entry.code);
  switch (entry.action) {
    case CIndicationTable::kBroadcast:
      for (std::uint32_t index = APP_GW_TL_SETTING_MAIN; index <= APP_TL_SETTING; ++index) {
        PostToApplication(index, entry.message, 0, true);
      }
      break;
    case CIndicationTable::kTellResidentWindow:
      PostToApplication(APP_VERSION_INFO, entry.message, 0, false);
      break;
    case CIndicationTable::kCloseThenNotify:
      if (m_engineActive) {
        // The melody's end is not the running request's business: that request keeps its
        // steps and its outcome, and the melody's session is dealt with after it.
        m_playEndPending = true;
      } else {
        StartPlayEndClose();
      }
      break;
    case CIndicationTable::kRefusePending: {
      std::lock_guard lock(m_stateMutex);
      m_response = {kRefusalIndicationReply};
    }
      if (!m_engineActive || m_pendingCode.load() == 0) {
        break;
      }
      StopTimer();
      if (m_sessionOpen.load()) {
        // Refused inside a session: close it first so the handset and the link agree,
        // then the refusal is reported.
        FailNow();
      } else {
        FinishRequest(entry.message, true);
        FlushDeferredModelInfo();
      }
      break;
    default:
      break;
  }
}

void CDeviceLink::OnInDone() {
  const InRead read = m_inRead;
  m_inRead = InRead::None;
  std::vector<std::uint8_t> bytes;
  {
    std::lock_guard lock(m_stateMutex);
    bytes = m_inBytes;
  }
  if (read == InRead::EventData) {
    OpenEventSlot();
  }
  if (m_failed.load()) {
    m_events.Set(LinkEvent::Failed);
  } else if (read == InRead::StatusByte) {
    {
      std::lock_guard lock(m_stateMutex);
      m_response = std::move(bytes);
    }
    m_events.Set(LinkEvent::Complete);
  } else if (read == InRead::EventData && !m_currentEvent.unsolicited && (m_engineActive || m_closeThenNotify.load())) {
    {
      std::lock_guard lock(m_stateMutex);
      m_response = bytes;
    }
    const std::uint16_t code = m_currentEvent.code;
    if (code >= kFirstCheckedReply && code <= kLastCheckedReply && !ReplyPasses(code, bytes)) {
      ORVANE_TRACE("CDeviceLink - reply 0x%X refused (0x%02X)\n", code, bytes.empty() ? 0 : bytes[0]);
      FailNow();
    } else {
      HandleReply(code);
    }
  }
  if (m_eventDeferred) {
    m_eventDeferred = false;
    OnEventArrived();
  }
}

bool CDeviceLink::ReplyPasses(std::uint16_t code, const std::vector<std::uint8_t>& reply) {
  switch (code) {
    case LinkCode::kWriteStartReply:
    case LinkCode::kWriteStopReply:
    case LinkCode::kReadReply:
    case LinkCode::kDeleteReply:
    case LinkCode::kPlayStartReply:
    case LinkCode::kSetDefaultReply:
    case LinkCode::kKeyOperationReply:
    case LinkCode::kSessionReply:
      return !reply.empty() && reply[0] == 0;
    case LinkCode::kReadCountReply:
      return !reply.empty() && reply[0] != kReadCountRefused;
    default:
      return true;
  }
}

void CDeviceLink::HandleReply(std::uint16_t code) {
  switch (code) {
    case LinkCode::kSessionReply:
      if (m_sessionOpen.load()) {
        SendOperation();
      } else {
        OnSessionClosed();
      }
      break;
    case LinkCode::kWriteStartReply:
      StartBlockThread(LinkWorker::BlockWrite);
      break;
    case LinkCode::kReadReply:
      StartBlockThread(LinkWorker::BlockRead);
      break;
    case LinkCode::kReadCountReply: {
      std::uint32_t arg1 = 0;
      std::uint8_t count = 0;
      {
        std::lock_guard lock(m_stateMutex);
        arg1 = m_params.arg1;
        count = m_response.empty() ? 0 : m_response[0];
      }
      if (arg1 != 0) {
        // Only the count was asked for: close the session and complete with the count.
        std::lock_guard lock(m_stateMutex);
        m_savedReply = m_response;
      }
      if (arg1 != 0) {
        StartSessionClose();
      } else {
        StartSequencer(count);
      }
      break;
    }
    case LinkCode::kRemainSizeReply: {
      std::lock_guard lock(m_stateMutex);
      m_savedReply = m_response;
    }
      StartSessionClose();
      break;
    case LinkCode::kWriteStopReply:
    case LinkCode::kReadStopReply:
    case LinkCode::kDeleteReply:
    case LinkCode::kPlayStopReply:
    case LinkCode::kSetDefaultReply:
      StartSessionClose();
      break;
    default:
      m_events.Set(LinkEvent::Complete);
      break;
  }
}

void CDeviceLink::OnSessionClosed() {
  if (!m_engineActive && m_closeThenNotify.load()) {
    EndPlayEndClose();
    return;
  }
  {
    std::lock_guard lock(m_stateMutex);
    if (m_savedReply) {
      m_response = std::move(*m_savedReply);
      m_savedReply.reset();
    }
  }
  if (m_failed.load()) {
    m_events.Set(LinkEvent::Failed);
  } else if (m_timedOut.load()) {
    ReportTimeOut();
  } else {
    m_events.Set(LinkEvent::Complete);
  }
}

// ---- end of a melody -------------------------------------------------------------------------

// Runs while no request is running: closes the session the melody was played in (or, when
// none is open, tells the answering-machine window at once).
void CDeviceLink::StartPlayEndClose() {
  if (!m_sessionOpen.load()) {
    PostToApplication(APP_TAM, LinkMessage::kRequestFailed, 0, true);
    return;
  }
  StopTimer();
  m_timeOutCounter = 0;
  m_closeThenNotify = true;
  BuildVendorStep(LinkCode::kSession);
}

// The close of the melody's session has ended (answered, failed or timed out): either way
// the session is over. The window is told, and a request that waited starts now.
void CDeviceLink::EndPlayEndClose() {
  if (!m_closeThenNotify.exchange(false)) {
    return;
  }
  m_failed = false;
  m_timedOut = false;
  PostToApplication(APP_TAM, LinkMessage::kRequestFailed, 0, true);
  if (m_requestWaiting) {
    m_requestWaiting = false;
    m_events.Set(LinkEvent::Step);
  }
}

void CDeviceLink::AbandonSession() {
  m_sessionOpen = false;
}

// ---- other engine events ---------------------------------------------------------------------

void CDeviceLink::OnDriverAlarm() {
  PostToApplication(APP_VERSION_INFO, LinkMessage::kDriverStatus, m_driverStatus.load(), false);
}

void CDeviceLink::OnItemReady() {
  std::vector<std::uint8_t> object;
  {
    std::lock_guard lock(m_stateMutex);
    object = m_response;
  }
  ReceivedItem* item = m_items.Add(object);
  PostToRequester(LinkMessage::kItemReceived, m_pendingCode.load(), reinterpret_cast<std::intptr_t>(item));
  m_events.Set(LinkEvent::ItemQueued);
}
