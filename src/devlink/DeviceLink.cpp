#include "devlink/DeviceLink.h"

#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"

#include <udfp.h>

#include <algorithm>

namespace {

const std::string kCommunicateKey = kProductKey + "Communicate";

// How long StopLink lets a running request end on its own before it abandons it: every
// step of a session may take a full response time-out and every pipe transfer may block.
constexpr std::uint32_t kSessionSteps = 3;
constexpr std::uint32_t kIdleWaitMarginMs = 1000;
constexpr std::uint32_t kAbandonWaitMs = 2000;

}  // namespace

CDeviceLink::CDeviceLink(CSettingsStore* settings, CAppStatus* status) : m_settings(settings), m_status(status) {
  // The engine starts from a clear state before any request can be posted.
  m_events.ResetAllExcept({LinkEvent::Complete});
  ClearState();
  m_events.Set(LinkEvent::Idle);
  m_engine.Start(ThreadPriority::Highest, [this] { EngineThread(); });
}

CDeviceLink::~CDeviceLink() {
  StopHotplugWatch();
  StopLink();
  m_stopper.Join();
  CloseDevice();
  m_events.Set(LinkEvent::QuitEngine);
  m_engine.Join();
  if (m_library.IsLoaded()) {
    if (auto terminate = m_library.Export<int32_t (*)()>("UdfpTerminateDLL")) {
      terminate();
    }
  }
  m_library.Unload();
  m_items.Clear();
}

// ---- settings and library ---------------------------------------------------------------

std::uint32_t CDeviceLink::ReadSetting(const char* name, std::uint32_t defaultValue) {
  if (m_settings == nullptr) {
    return defaultValue;
  }
  std::lock_guard lock(m_settings->RegistryMutex());
  return m_settings->ReadOrCreateDword(kCommunicateKey, name, defaultValue);
}

CDeviceLink::Settings CDeviceLink::ReadSettings() {
  Settings settings;
  settings.transCommandRetryCount = ReadSetting("TransCommandRetryCount", settings.transCommandRetryCount);
  settings.requestRetryCount = ReadSetting("RequestRetryCount", settings.requestRetryCount);
  settings.requestTimeOut = ReadSetting("RequestTimeOut", settings.requestTimeOut);
  settings.eventStatusCount = ReadSetting("EventStatusCount", settings.eventStatusCount);
  settings.driverStatusCount = ReadSetting("DriverStatusCount", settings.driverStatusCount);
  return settings;
}

std::string CDeviceLink::ConfiguredLibraryName() {
  if (m_settings == nullptr) {
    return CDriverLibrary::kDefaultFileName;
  }
  std::lock_guard lock(m_settings->RegistryMutex());
  return m_settings->ReadOrCreateString(kCommunicateKey, "DriverLibrary", CDriverLibrary::kDefaultFileName);
}

bool CDeviceLink::LoadDriverLibrary() {
  if (m_library.IsLoaded()) {
    return true;
  }
  return m_library.Load(CDriverLibrary::Resolve(ConfiguredLibraryName()));
}

std::string CDeviceLink::DriverLibraryError() const {
  if (m_library.IsLoaded()) {
    return {};
  }
  const std::string error = m_library.LastError();
  return error.empty() ? "driver library not loaded" : error;
}

// ---- requests ------------------------------------------------------------------------------

bool CDeviceLink::PostRequest(std::uint16_t code, const RequestParams& params) {
  bool expected = false;
  if (!m_requestActive.compare_exchange_strong(expected, true)) {
    ORVANE_TRACE("CDeviceLink::PostRequest - busy, 0x%X refused\n", code);
    return false;
  }
  m_events.Reset(LinkEvent::Idle);
  {
    std::lock_guard lock(m_stateMutex);
    m_params = params;
    // A failure the handset did not cause carries no reply: never one of an earlier request.
    m_response.clear();
  }
  m_cancel = false;
  m_pendingCode = code;
  m_stepCode = code;
  m_events.Set(LinkEvent::Step);
  return true;
}

void CDeviceLink::CancelTransfer() {
  m_cancel = true;
}

std::int32_t CDeviceLink::ChangeApplicationMode(std::uint32_t mode) {
  if (mode > 3) {
    return 0;
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_params.kind = mode;
  }
  auto change = m_library.Export<int32_t (*)(uint32_t, uint32_t)>("UdfpChangeApplicationMode");
  if (change == nullptr) {
    return 0;
  }
  return change(m_device.load(), mode + 1);
}

bool CDeviceLink::ReleaseReceivedItem(const ReceivedItem* item) {
  return m_items.Release(item);
}

bool CDeviceLink::WaitIdle(std::optional<Milliseconds> timeout) {
  return m_events.WaitAny(LinkWorker::Other, {LinkEvent::Idle}, timeout).has_value();
}

void CDeviceLink::SetIdle() {
  m_events.Set(LinkEvent::Idle);
}

// ---- stopping --------------------------------------------------------------------------------

CDeviceLink::Milliseconds CDeviceLink::IdleWaitLimit() {
  const Settings settings = ReadSettings();
  const std::uint64_t sends = std::max<std::uint32_t>(settings.requestRetryCount, 1);
  const std::uint64_t responses = kSessionSteps * sends * settings.requestTimeOut;
  const std::uint64_t pipes = 2ull * settings.transCommandRetryCount * UDFP_MAX_BLOCKING_MS;
  return Milliseconds(responses + pipes + kIdleWaitMarginMs);
}

void CDeviceLink::StopLink() {
  // A stop begun by RequestStop finishes first; two stops never run side by side.
  m_stopper.Join();
  // Let a running request end (its time-outs bound the wait), then keep the gate open.
  if (!WaitIdle(IdleWaitLimit())) {
    ORVANE_TRACE("CDeviceLink::StopLink - request still running, abandoned\n");
  }
  SetIdle();
  StopWorkersAndDevice();
}

bool CDeviceLink::RequestStop(WindowHandle window, std::uint32_t message) {
  if (m_stopInProgress.exchange(true)) {
    return false;
  }
  m_stopper.Join();  // the previous stop has finished: its thread has ended or is ending
  // The running request is cancelled rather than waited for: a transfer stops between two
  // blocks, and ending the workers below makes the engine report the request as failed.
  m_cancel = true;
  m_stopper.Start(ThreadPriority::Normal, [this, window, message] {
    StopWorkersAndDevice();
    SetIdle();
    m_stopInProgress = false;
    if (window != 0 && message != 0) {
      PostMessage(window, message, 0, 0);
    }
  });
  return true;
}

bool CDeviceLink::IsStopped() const {
  if (m_stopInProgress.load()) {
    return false;
  }
  return std::none_of(m_workers.begin(), m_workers.end(),
                      [](const CWorkerThread& thread) { return thread.IsRunning(); });
}

void CDeviceLink::StopWorkersAndDevice() {
  {
    std::lock_guard lock(m_threadsMutex);
    m_stopping = true;
  }
  StopTimer();
  for (LinkWorker worker :
       {LinkWorker::VendorRequest, LinkWorker::ResponseTimer, LinkWorker::BlockRead, LinkWorker::BlockWrite,
        LinkWorker::Sequencer, LinkWorker::EventPoll, LinkWorker::DriverStatus}) {
    EndWorker(worker);
  }
  m_sequencerRunning = false;
  m_blockRunning = false;
  if (m_requestActive.load() || m_closeThenNotify.load()) {
    // Nothing is left to finish the request (or the close after a melody's end): report
    // it as failed with the session gone.
    m_sessionOpen = false;
    m_failed = true;
    m_events.Set(LinkEvent::Failed);
    WaitIdle(Milliseconds(kAbandonWaitMs));
    SetIdle();
  }
  {
    std::lock_guard lock(m_stateMutex);
    m_setup.payload.clear();
    m_response.clear();
    m_response.shrink_to_fit();
  }
  {
    std::lock_guard lock(m_threadsMutex);
    m_stopping = false;
  }
  CloseDevice();
}

void CDeviceLink::EndWorker(LinkWorker worker) {
  CWorkerThread& thread = Worker(worker);
  if (!thread.Exists()) {
    return;
  }
  m_events.Terminate(worker);
  thread.Join();
  m_events.ClearTerminate(worker);
}

// ---- device ----------------------------------------------------------------------------------

bool CDeviceLink::OpenDevice() {
  std::lock_guard lock(m_deviceMutex);
  if (m_device.load() != kNoDevice) {
    return true;
  }
  if (!LoadDriverLibrary()) {
    return false;
  }
  auto open = m_library.Export<uint32_t (*)()>("UdfpOpen");
  auto startPolling = m_library.Export<int32_t (*)(uint32_t, uint32_t, uint32_t)>("UdfpStartPolling");
  if (open == nullptr || startPolling == nullptr) {
    return false;
  }
  const std::uint32_t device = open();
  if (device == kNoDevice) {
    return false;
  }
  if (startPolling(device, 0, 1) == 0) {
    if (auto close = m_library.Export<int32_t (*)(uint32_t)>("UdfpClose")) {
      close(device);
    }
    return false;
  }
  m_device = device;
  return true;
}

void CDeviceLink::CloseDevice() {
  std::lock_guard lock(m_deviceMutex);
  const std::uint32_t device = m_device.load();
  if (!m_library.IsLoaded() || device == kNoDevice) {
    return;
  }
  m_device = kNoDevice;
  if (auto stopPolling = m_library.Export<int32_t (*)(uint32_t)>("UdfpStopPolling")) {
    stopPolling(device);
  }
  if (auto close = m_library.Export<int32_t (*)(uint32_t)>("UdfpClose")) {
    close(device);
  }
}

bool CDeviceLink::GetDeviceInfo(std::uint32_t& vendorId, std::uint32_t& productId) {
  vendorId = 0;
  productId = 0;
  if (!LoadDriverLibrary() || !OpenDevice()) {
    return false;
  }
  auto info = m_library.Export<int32_t (*)(uint32_t, uint32_t*, uint32_t*)>("UdfpGetDeviceInfo");
  if (info == nullptr) {
    return false;
  }
  if (info(m_device.load(), &vendorId, &productId) != 0) {
    return true;
  }
  // The handle no longer reaches a handset (it was unplugged): forget it, so that the next
  // call opens whatever handset is attached then, as a new device.
  vendorId = 0;
  productId = 0;
  CloseDevice();
  return false;
}

// ---- hotplug ---------------------------------------------------------------------------------

void CDeviceLink::HotplugCallback(void* context, std::int32_t arrived, std::uint32_t vendorId,
                                  std::uint32_t productId) {
  auto* link = static_cast<CDeviceLink*>(context);
  WindowHandle window = 0;
  std::uint32_t message = 0;
  {
    std::lock_guard lock(link->m_hotplugMutex);
    window = link->m_hotplugWindow;
    message = link->m_hotplugMessage;
  }
  const auto identifiers = static_cast<std::intptr_t>(((vendorId & 0xFFFF) << 16) | (productId & 0xFFFF));
  PostMessage(window, message, arrived != 0 ? kDeviceArrival : kDeviceRemoveComplete, identifiers);
}

bool CDeviceLink::WatchHotplug(WindowHandle window, std::uint32_t message) {
  if (!LoadDriverLibrary()) {
    return false;
  }
  auto registerHotplug = m_library.Export<int32_t (*)(UdfpHotplugCallback, void*)>("UdfpRegisterHotplug");
  if (registerHotplug == nullptr) {
    return false;
  }
  {
    std::lock_guard lock(m_hotplugMutex);
    m_hotplugWindow = window;
    m_hotplugMessage = message;
  }
  const bool watching = registerHotplug(&CDeviceLink::HotplugCallback, this) != 0;
  std::lock_guard lock(m_hotplugMutex);
  m_hotplugRegistered = watching;
  return watching;
}

void CDeviceLink::StopHotplugWatch() {
  {
    std::lock_guard lock(m_hotplugMutex);
    if (!m_hotplugRegistered) {
      return;
    }
    m_hotplugRegistered = false;
  }
  if (auto registerHotplug = m_library.Export<int32_t (*)(UdfpHotplugCallback, void*)>("UdfpRegisterHotplug")) {
    registerHotplug(nullptr, nullptr);
  }
}

// ---- posting ---------------------------------------------------------------------------------

std::shared_ptr<const std::vector<std::uint8_t>> CDeviceLink::ResponseSnapshot() {
  std::lock_guard lock(m_stateMutex);
  return std::make_shared<const std::vector<std::uint8_t>>(m_response);
}

void CDeviceLink::PostToRequester(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                  std::shared_ptr<const std::vector<std::uint8_t>> payload) {
  WindowHandle window = 0;
  {
    std::lock_guard lock(m_stateMutex);
    window = m_params.notifyWindow;
  }
  PostMessage(window, message, wParam, lParam, std::move(payload));
}

void CDeviceLink::PostToApplication(std::uint32_t index, std::uint32_t message, std::uintptr_t wParam,
                                    bool onlyWhenOpen) {
  if (m_status == nullptr) {
    return;
  }
  std::uint8_t flag = 0;
  WindowHandle window = 0;
  m_status->Get(index, flag, window);
  if (window == 0 || (onlyWhenOpen && flag != 1)) {
    return;
  }
  PostMessage(window, message, wParam, 0);
}
