// Multi-step transfers: the sequencer runs send, receive and receive-all; the block
// threads move one object through the bulk pipes in numbered, acknowledged blocks.
#include "devlink/BlockFormat.h"
#include "devlink/DeviceLink.h"

#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"

#include <udfp.h>

#include <algorithm>

namespace {

using OpenPipeFn = uint32_t (*)(uint32_t, uint32_t, uint32_t);
using WriteDataFn = int32_t (*)(uint32_t, const uint8_t*, uint32_t, uint32_t*, uint32_t);
using ReadDataFn = int32_t (*)(uint32_t, uint8_t*, uint32_t, uint32_t*, uint32_t);
using ClosePipeFn = int32_t (*)(uint32_t);

constexpr std::uint32_t kPipeInterface = 2;
constexpr std::uint32_t kProgressKindPhonebook = 0;
constexpr std::uint32_t kProgressKindMelody = 18;

}  // namespace

// ---- starting ----------------------------------------------------------------------------------

void CDeviceLink::StartSequencer(std::uint32_t itemCount) {
  std::lock_guard lock(m_threadsMutex);
  if (m_stopping.load()) {
    FailNow();
    return;
  }
  CWorkerThread& thread = Worker(LinkWorker::Sequencer);
  thread.Join();  // a previous sequencer has already signalled its last step
  m_events.ClearTerminate(LinkWorker::Sequencer);
  m_itemCount = itemCount;
  m_sequencerRunning = true;
  thread.Start(ThreadPriority::Normal, [this, itemCount] { SequencerThread(itemCount); });
}

void CDeviceLink::StartBlockThread(LinkWorker worker) {
  std::lock_guard lock(m_threadsMutex);
  if (m_stopping.load() || !m_sequencerRunning.load()) {
    FailNow();
    return;
  }
  CWorkerThread& thread = Worker(worker);
  thread.Join();
  m_events.ClearTerminate(worker);
  m_blockRunning = true;
  if (worker == LinkWorker::BlockWrite) {
    thread.Start(ThreadPriority::Normal, [this] { BlockWriteThread(); });
  } else {
    thread.Start(ThreadPriority::Normal, [this] { BlockReadThread(); });
  }
}

// ---- sequencer ---------------------------------------------------------------------------------

void CDeviceLink::SendPreparedOperation() {
  StopTimer();
  m_timedOut = false;
  ArmTimer();
  m_events.Set(LinkEvent::SendOut);
}

void CDeviceLink::SequencerThread(std::uint32_t itemCount) {
  m_events.Reset(LinkEvent::ItemQueued);
  m_events.Reset(LinkEvent::TransferDone);
  const std::uint16_t operation = m_pendingCode.load();
  const bool reading = operation == LinkCode::kRead || operation == LinkCode::kReadCount;
  std::uint8_t kind = 0;
  {
    std::lock_guard lock(m_stateMutex);
    kind = static_cast<std::uint8_t>(m_params.kind & 0xFF);
  }
  bool cancelled = false;
  for (std::uint32_t item = 1; itemCount != 0; ++item) {
    if (m_events.IsTerminating(LinkWorker::Sequencer)) {
      m_sequencerRunning = false;
      return;
    }
    if (operation == LinkCode::kReadCount) {
      {
        std::lock_guard lock(m_stateMutex);
        m_setup = SetupPacket{UDFP_REQTYPE_OUT, 3, LinkCode::kRead, 0, {kind, static_cast<std::uint8_t>(item)}};
      }
      m_expectedCode = LinkCode::kRead;
      PostToRequester(LinkMessage::kProgress, item, static_cast<std::intptr_t>(itemCount));
    }
    SendPreparedOperation();
    const auto done = m_events.WaitAny(LinkWorker::Sequencer, {LinkEvent::TerminateWorkers, LinkEvent::TransferDone});
    if (*done == LinkEvent::TerminateWorkers) {
      m_sequencerRunning = false;
      return;
    }
    if (m_failed.load() || m_timedOut.load()) {
      break;
    }
    if (m_cancel.load()) {
      cancelled = true;
      break;
    }
    if (!reading) {
      break;
    }
    m_events.Set(LinkEvent::ItemReady);
    const auto queued = m_events.WaitAny(LinkWorker::Sequencer, {LinkEvent::TerminateWorkers, LinkEvent::ItemQueued});
    if (*queued == LinkEvent::TerminateWorkers) {
      m_sequencerRunning = false;
      return;
    }
    if (m_failed.load() || m_cancel.load() || item >= itemCount) {
      break;
    }
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_setup.payload.clear();
  }
  if (cancelled && !m_lastBlock.load()) {
    // Stopped before the last block: tell the handset; its reply closes the session.
    m_stepCode = reading ? LinkCode::kReadStop : LinkCode::kWriteStop;
  } else {
    m_stepCode = LinkCode::kSession;
  }
  m_sequencerRunning = false;
  m_events.Set(LinkEvent::Step);
}

// ---- pipes ------------------------------------------------------------------------------------

bool CDeviceLink::TransferShouldStop() const {
  return m_timedOut.load() || m_cancel.load() || m_failed.load();
}

bool CDeviceLink::PipeTransfer(bool write, std::uint32_t pipeNumber, std::uint8_t* buffer, std::uint32_t length,
                               std::uint32_t& transferred, std::uint32_t& pipe) {
  transferred = 0;
  auto openPipe = m_library.Export<OpenPipeFn>("UdfpOpenPipe");
  auto closePipe = m_library.Export<ClosePipeFn>("UdfpClosePipe");
  auto writeData = m_library.Export<WriteDataFn>("UdfpWriteData");
  auto readData = m_library.Export<ReadDataFn>("UdfpReadData");
  if (openPipe == nullptr || closePipe == nullptr || writeData == nullptr || readData == nullptr) {
    return false;
  }
  closePipe(pipe);
  pipe = openPipe(m_device.load(), kPipeInterface, pipeNumber);
  if (pipe == UDFP_INVALID_HANDLE) {
    pipe = 0;
    return false;
  }
  const std::uint32_t tries = m_transTries.load();
  if (tries == 0) {
    return true;
  }
  for (std::uint32_t attempt = 0; attempt < tries; ++attempt) {
    if (attempt > 0 &&
        (m_events.IsTerminating(LinkWorker::BlockWrite) || m_events.IsTerminating(LinkWorker::BlockRead))) {
      return false;  // the link is stopping: no further try
    }
    const int32_t ok =
        write ? writeData(pipe, buffer, length, &transferred, 0) : readData(pipe, buffer, length, &transferred, 0);
    if (ok == 0) {
      return false;
    }
    if (transferred != 0) {
      return true;
    }
  }
  return false;
}

void CDeviceLink::EndBlockThread(LinkWorker /*worker*/, bool signalDone) {
  m_blockRunning = false;
  if (signalDone) {
    m_events.Set(LinkEvent::TransferDone);
  }
}

// ---- block write -------------------------------------------------------------------------------

void CDeviceLink::BlockWriteThread() {
  m_lastBlock = false;
  m_progress = 0;
  if (m_library.Lookup("UdfpOpenPipe") == nullptr || m_library.Lookup("UdfpWriteData") == nullptr ||
      m_library.Lookup("UdfpReadData") == nullptr || m_library.Lookup("UdfpClosePipe") == nullptr ||
      m_device.load() == kNoDevice) {
    m_failed = true;
    EndBlockThread(LinkWorker::BlockWrite, true);
    return;
  }
  RequestParams params;
  {
    std::lock_guard lock(m_stateMutex);
    params = m_params;
  }
  if (!CBlockFormat::FitsBlockNumbers(params.dataSize) || (params.data == nullptr && params.dataSize != 0)) {
    m_failed = true;
    EndBlockThread(LinkWorker::BlockWrite, true);
    return;
  }
  const std::vector<std::uint8_t> object(params.data, params.data + params.dataSize);
  const bool showProgress = params.kind == kProgressKindPhonebook || params.kind == kProgressKindMelody;
  std::uint32_t pipe = 0;
  for (std::uint32_t block = 0; !m_lastBlock.load(); ++block) {
    if (m_events.IsTerminating(LinkWorker::BlockWrite)) {
      if (auto closePipe = m_library.Export<ClosePipeFn>("UdfpClosePipe")) {
        closePipe(pipe);
      }
      EndBlockThread(LinkWorker::BlockWrite, false);
      return;
    }
    bool last = false;
    std::vector<std::uint8_t> bytes = CBlockFormat::BuildBlock(object.data(), params.dataSize, block, last);
    if (showProgress) {
      m_progress += static_cast<std::uint32_t>(bytes.size() - CBlockFormat::kHeaderSize);
      PostMessage(params.notifyWindow, LinkMessage::kProgress, m_progress.load(),
                  static_cast<std::intptr_t>(params.dataSize));
    }
    std::uint32_t transferred = 0;
    if (!PipeTransfer(true, UDFP_PIPE_OUT, bytes.data(), static_cast<std::uint32_t>(bytes.size()), transferred, pipe)) {
      m_failed = true;
      break;
    }
    std::uint8_t ack[CBlockFormat::kHeaderSize] = {};
    if (!PipeTransfer(false, UDFP_PIPE_IN, ack, sizeof ack, transferred, pipe)) {
      ORVANE_TRACE("DataWriteThread - 0010\n");
      m_failed = true;
      break;
    }
    if (!CBlockFormat::IsAccepted(ack, transferred)) {
      std::lock_guard lock(m_stateMutex);
      m_response = CBlockFormat::MarkRefusal(ack, std::max<std::uint32_t>(transferred, 1));
      m_failed = true;
      break;
    }
    if (last) {
      m_lastBlock = true;
    }
    if (TransferShouldStop()) {
      break;
    }
  }
  if (auto closePipe = m_library.Export<ClosePipeFn>("UdfpClosePipe")) {
    closePipe(pipe);
  }
  EndBlockThread(LinkWorker::BlockWrite, true);
}

// ---- block read --------------------------------------------------------------------------------

void CDeviceLink::BlockReadThread() {
  m_lastBlock = false;
  {
    std::lock_guard lock(m_stateMutex);
    m_response.clear();
  }
  if (m_library.Lookup("UdfpOpenPipe") == nullptr || m_library.Lookup("UdfpWriteData") == nullptr ||
      m_library.Lookup("UdfpReadData") == nullptr || m_library.Lookup("UdfpClosePipe") == nullptr ||
      m_device.load() == kNoDevice) {
    m_failed = true;
    EndBlockThread(LinkWorker::BlockRead, true);
    return;
  }
  std::vector<std::uint8_t> object;
  std::vector<std::uint8_t> refusal;
  bool keep = true;
  std::uint32_t pipe = 0;
  for (std::uint32_t block = 0; !m_lastBlock.load(); ++block) {
    if (m_events.IsTerminating(LinkWorker::BlockRead)) {
      if (auto closePipe = m_library.Export<ClosePipeFn>("UdfpClosePipe")) {
        closePipe(pipe);
      }
      EndBlockThread(LinkWorker::BlockRead, false);
      return;
    }
    if (block >= CBlockFormat::kMaxBlocks) {
      // Block numbers would wrap: the object could not be told apart from its own start.
      m_failed = true;
      keep = false;
      break;
    }
    auto request = CBlockFormat::BuildReadRequest(block);
    std::uint32_t transferred = 0;
    if (!PipeTransfer(true, UDFP_PIPE_OUT, request.data(), static_cast<std::uint32_t>(request.size()), transferred,
                      pipe)) {
      m_failed = true;
      keep = false;
      break;
    }
    std::vector<std::uint8_t> bytes(CBlockFormat::kMaxBlockSize);
    if (!PipeTransfer(false, UDFP_PIPE_IN, bytes.data(), CBlockFormat::kMaxBlockSize, transferred, pipe)) {
      m_failed = true;
      keep = false;
      break;
    }
    transferred = std::min(transferred, CBlockFormat::kMaxBlockSize);
    if (!CBlockFormat::IsDataBlock(bytes.data(), transferred)) {
      refusal = CBlockFormat::MarkRefusal(bytes.data(), std::max<std::uint32_t>(transferred, 1));
      m_failed = true;
      keep = false;
      break;
    }
    object.insert(object.end(), bytes.begin() + CBlockFormat::kHeaderSize, bytes.begin() + transferred);
    if (CBlockFormat::IsLastBlock(bytes.data())) {
      m_lastBlock = true;
    }
    if (TransferShouldStop()) {
      keep = false;
      break;
    }
  }
  {
    std::lock_guard lock(m_stateMutex);
    if (keep) {
      m_response = std::move(object);
    } else {
      m_response = std::move(refusal);
    }
  }
  if (auto closePipe = m_library.Export<ClosePipeFn>("UdfpClosePipe")) {
    closePipe(pipe);
  }
  EndBlockThread(LinkWorker::BlockRead, true);
}
