#pragma once

#include "devlink/DriverLibrary.h"
#include "devlink/IndicationTable.h"
#include "devlink/LinkEvents.h"
#include "devlink/LinkTypes.h"
#include "devlink/ReceivedItemList.h"
#include "devlink/WorkerThread.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CAppStatus;
class CSettingsStore;

// The one object through which the program talks to the handset. A window hands it one
// request at a time (PostRequest); the link performs it on its own threads through the
// driver library (session open, operation, block transfer, session close) and reports the
// outcome by posting exactly one of WM_APP+0x64 (completed), 0x65 (no response) or 0x66
// (failed or refused) to the request's notifyWindow. Those outcome messages carry an owned
// copy of the reply bytes as their payload (lParam = its length), so a window never reads
// bytes the link changes afterwards. Received objects arrive as WM_APP+0x67 whose lParam is
// a ReceivedItem* that the window hands back with ReleaseReceivedItem.
//
// Threads: the engine (for the life of the link) and, after request 2, the vendor-request,
// response-timer, event-poll and driver-status workers; per transfer a sequencer and a
// block-write or block-read worker. StopLink ends the workers; the destructor ends all.
//
// Which calls may block the calling thread (a window calls on its user-interface thread):
// - Never blocks (takes a lock at most): PostRequest, CancelTransfer, ReleaseReceivedItem,
//   SetIdle, IsDeviceOpen, HeldItemCount, RequestStop, IsStopped, WaitIdle(0ms).
// - One driver call, bounded by the driver's limit (UDFP_MAX_BLOCKING_MS, 5 s):
//   ChangeApplicationMode, GetDeviceInfo and OpenDevice (on first use they also load the
//   library), CloseDevice (a real handset's close waits for its transfers to let go, about
//   2 s at most), WatchHotplug, StopHotplugWatch (waits for a hotplug call in progress).
// - StopLink and the destructor first let a running request end on its own: up to
//   3 x max(RequestRetryCount, 1) x RequestTimeOut + 2 x TransCommandRetryCount x 5 s + 1 s
//   (about 111 s with the default settings), then up to 5 s more to end a worker that is
//   inside a driver call, then CloseDevice. Do not call them on a user-interface thread
//   while a request may be running: use RequestStop, which cancels the request instead.
class CDeviceLink {
 public:
  using Milliseconds = std::chrono::milliseconds;

  struct Settings {
    std::uint32_t transCommandRetryCount = 5;
    std::uint32_t requestRetryCount = 1;
    std::uint32_t requestTimeOut = 20000;
    std::uint32_t eventStatusCount = 32;
    std::uint32_t driverStatusCount = 1000;
  };

  // settings and status may be null (then defaults are used and no application window is
  // known); both must outlive the link.
  CDeviceLink(CSettingsStore* settings, CAppStatus* status);
  ~CDeviceLink();
  CDeviceLink(const CDeviceLink&) = delete;
  CDeviceLink& operator=(const CDeviceLink&) = delete;

  // Starts request `code` (1, 2 or a code with a descriptor). False, and nothing started,
  // while another request is still running.
  bool PostRequest(std::uint16_t code, const RequestParams& params);
  void CancelTransfer();
  // Mode 0..3 becomes driver mode 1..4; the driver's result is returned. Other modes: 0.
  std::int32_t ChangeApplicationMode(std::uint32_t mode);
  // False for a record that is not (or no longer) held by the link.
  bool ReleaseReceivedItem(const ReceivedItem* item);
  // Ends every worker thread and closes the device; a running request is first allowed to
  // end (bounded by its time-outs), so this returns even when the handset vanished. Blocks
  // for as long as that takes (see above); waits for a stop begun by RequestStop first.
  void StopLink();
  // Stops the link without waiting on the calling thread: a running request is cancelled
  // (it ends with WM_APP+0x66 unless its outcome was already on its way), the workers are
  // ended and the device is closed on a thread of the link; then `message` (wParam 0,
  // lParam 0) is posted to `window` when both are given. Returns at once; false, and nothing
  // posted, while an earlier stop is still running. Post no request before the stop ended.
  bool RequestStop(WindowHandle window = 0, std::uint32_t message = 0);
  // True when no stop is in progress and no worker thread runs (before request 2, or after
  // a stop has finished).
  bool IsStopped() const;
  bool GetDeviceInfo(std::uint32_t& vendorId, std::uint32_t& productId);
  bool OpenDevice();
  void CloseDevice();

  // The idle gate (auto-reset, set while no request runs). WaitIdle takes it.
  bool WaitIdle(std::optional<Milliseconds> timeout = std::nullopt);
  void SetIdle();

  // Hotplug: posts `message` to `window` with wParam 0x8000 (arrival) or 0x8004 (removal)
  // and lParam = vendor id << 16 | product id. False when the library cannot watch.
  bool WatchHotplug(WindowHandle window, std::uint32_t message);
  void StopHotplugWatch();

  bool LoadDriverLibrary();
  std::string DriverLibraryError() const;
  bool IsDeviceOpen() const { return m_device.load() != kNoDevice; }
  std::size_t HeldItemCount() const { return m_items.Size(); }

  static constexpr std::uint32_t kNoDevice = 0xFFFFFFFFu;
  static constexpr std::uint32_t kDeviceArrival = 0x8000;
  static constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
  static constexpr std::uint8_t kRefusalIndicationReply = 0x83;

 private:
  enum class InRead { None, StatusByte, EventData };
  struct EventRecord {
    std::uint16_t code = 0;
    std::uint16_t length = 0;
    bool unsolicited = false;
  };

  // Settings and library.
  std::uint32_t ReadSetting(const char* name, std::uint32_t defaultValue);
  Settings ReadSettings();
  std::string ConfiguredLibraryName();

  // Engine (DeviceLinkEngine.cpp).
  void EngineThread();
  void ClearState();
  void OnComplete();
  void OnFailed();
  void OnTimedOut();
  void OnStep();
  void OnEventArrived();
  void OnDriverAlarm();
  void OnItemReady();
  void OnInDone();
  void BuildStep(std::uint16_t step);
  void BuildVendorStep(std::uint16_t step);
  bool StartLink();
  void StartEventDataRead(const EventRecord& event);
  void DispatchIndication(const CIndicationTable::Entry& entry);
  void HandleReply(std::uint16_t code);
  void SendOperation();
  void StartSessionClose();
  void OnSessionClosed();
  void StartPlayEndClose();
  void EndPlayEndClose();
  void AbandonSession();
  void FailNow();
  void ReportTimeOut();
  void FinishRequest(std::uint32_t message, bool withReply);
  void FlushDeferredModelInfo();
  void OpenEventSlot();
  static bool ReplyPasses(std::uint16_t code, const std::vector<std::uint8_t>& reply);

  // Posting.
  void PostToRequester(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::shared_ptr<const std::vector<std::uint8_t>> payload = nullptr);
  void PostToApplication(std::uint32_t index, std::uint32_t message, std::uintptr_t wParam, bool onlyWhenOpen);
  std::shared_ptr<const std::vector<std::uint8_t>> ResponseSnapshot();

  // Workers (DeviceLinkWorkers.cpp).
  bool StartWorkers();
  bool WorkersRunning() const;
  void VendorRequestThread();
  bool SendVendorPacket(const SetupPacket& packet, std::vector<std::uint8_t>& buffer, std::uint32_t tries);
  void ResponseTimerThread();
  void StopTimer();
  void ArmTimer();
  void EventPollThread();
  void ClassifyEvent(const std::uint8_t* record);
  void DriverStatusThread();
  void EndWorker(LinkWorker worker);
  void StopWorkersAndDevice();
  void SetFailedAndSignal();

  // Transfers (DeviceLinkTransfer.cpp).
  void StartSequencer(std::uint32_t itemCount);
  void StartBlockThread(LinkWorker worker);
  void SequencerThread(std::uint32_t itemCount);
  void SendPreparedOperation();
  void BlockWriteThread();
  void BlockReadThread();
  bool PipeTransfer(bool write, std::uint32_t pipeNumber, std::uint8_t* buffer, std::uint32_t length,
                    std::uint32_t& transferred, std::uint32_t& pipe);
  bool TransferShouldStop() const;
  void EndBlockThread(LinkWorker worker, bool signalDone);

  CWorkerThread& Worker(LinkWorker worker) { return m_workers[static_cast<std::size_t>(worker)]; }
  Milliseconds IdleWaitLimit();

  static void HotplugCallback(void* context, std::int32_t arrived, std::uint32_t vendorId, std::uint32_t productId);

  CSettingsStore* m_settings;
  CAppStatus* m_status;
  CDriverLibrary m_library;
  CLinkEvents m_events;
  CReceivedItemList m_items;

  std::atomic<std::uint32_t> m_device{kNoDevice};
  std::mutex m_deviceMutex;

  // Request state. Fields written by more than one thread are atomic or guarded by
  // m_stateMutex; the engine makes every decision.
  std::mutex m_stateMutex;
  RequestParams m_params;
  SetupPacket m_setup;                   // the vendor request being sent (host to device)
  SetupPacket m_inPacket;                // the device-to-host read in flight
  std::vector<std::uint8_t> m_inBytes;   // what that read returned
  std::vector<std::uint8_t> m_response;  // the last reply, or the object being received
  EventRecord m_lastEvent;               // written by the event poll thread
  std::atomic<std::uint16_t> m_pendingCode{0};
  std::atomic<std::uint16_t> m_expectedCode{0};
  std::atomic<std::uint16_t> m_stepCode{0};
  std::atomic<bool> m_requestActive{false};
  std::atomic<bool> m_failed{false};
  std::atomic<bool> m_timedOut{false};
  std::atomic<bool> m_cancel{false};
  std::atomic<bool> m_sessionOpen{false};
  std::atomic<bool> m_lastBlock{false};
  std::atomic<bool> m_modelInfoDeferred{false};
  std::atomic<bool> m_closeThenNotify{false};
  std::atomic<bool> m_eventSlotBusy{false};
  std::atomic<bool> m_sequencerRunning{false};
  std::atomic<bool> m_blockRunning{false};
  std::atomic<bool> m_stopping{false};
  std::atomic<std::uint8_t> m_timeOutCounter{0};
  std::atomic<std::uint8_t> m_driverStatus{0};
  std::atomic<std::uint32_t> m_itemCount{0};
  std::atomic<std::uint32_t> m_progress{0};
  std::atomic<std::uint32_t> m_requestRetryCount{1};
  // Tries per vendor request and pipe transfer, read once when a request is taken up.
  std::atomic<std::uint32_t> m_transTries{5};

  // Response timer words, changed under m_timerMutex.
  std::mutex m_timerMutex;
  std::atomic<std::uint32_t> m_timerRunning{0};
  std::atomic<std::uint32_t> m_timerCancel{0};
  std::atomic<std::uint32_t> m_requestTimeOut{20000};
  std::chrono::steady_clock::time_point m_timerDeadline;

  // Engine-only state.
  EventRecord m_currentEvent;
  InRead m_inRead = InRead::None;
  bool m_eventDeferred = false;
  bool m_engineActive = false;  // the engine has taken up the posted request
  // Indication 0xE89 (melody ended) closes the session the melody left open, then tells
  // the answering-machine window. It belongs to no request: one that arrives while a
  // request runs waits for that request's outcome, and a request posted while that close
  // is on its way waits for the close.
  bool m_playEndPending = false;
  bool m_requestWaiting = false;
  std::optional<std::vector<std::uint8_t>> m_savedReply;

  std::mutex m_threadsMutex;
  std::array<CWorkerThread, 7> m_workers;
  CWorkerThread m_engine;
  CWorkerThread m_stopper;  // runs a stop begun by RequestStop
  std::atomic<bool> m_stopInProgress{false};

  std::mutex m_hotplugMutex;
  WindowHandle m_hotplugWindow = 0;
  std::uint32_t m_hotplugMessage = 0;
  bool m_hotplugRegistered = false;
};
