#include "app/TaskTray.h"

#include "app/AutoStart.h"
#include "app/Notifier.h"
#include "app/PowerEvents.h"
#include "app/TrayIcon.h"
#include "app/UtilityLauncherDlg.h"
#include "app/WindowQuery.h"
#include "appcore/AppStatus.h"
#include "appcore/LanguageStrings.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "framework/AppContext.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"
#include "ui/Artwork.h"
#include "ui/Message.h"
#include "ui/VersionDlg.h"
#include "ui/WindowMessageEvent.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>

namespace {

constexpr std::uint32_t kFirstUtilityIndex = 1;
constexpr std::uint32_t kLastUtilityIndex = 9;
constexpr std::uint32_t kHighestOwnerIndex = 10;
// A removal waits this long for a request still running to end before the link is stopped
// (the stop itself waits within the link's own limits).
constexpr std::chrono::milliseconds kRemovalIdleWait{5000};
// A deferred model-information change is tried again at this pace while connected.
constexpr int kModelInfoRetryMs = 250;

int LanguageCommand(std::int32_t index) {
  switch (index) {
    case 0:
      return TrayCommand::kEnglish;
    case 1:
      return TrayCommand::kFrench;
    case 2:
      return TrayCommand::kSpanish;
    case 3:
      return TrayCommand::kPortuguese;
    default:
      return 0;
  }
}

}  // namespace

CTaskTray::CTaskTray(CAppContext* context, Seams seams) : CTemplate(nullptr, context), m_seams(std::move(seams)) {
  setObjectName("VantelWinApp");
  setWindowTitle("VantelWinApp");
  SetKind(APP_VERSION_INFO);
  m_balloonTimer.setSingleShot(true);
  connect(&m_balloonTimer, &QTimer::timeout, this, &CTaskTray::OnBalloonTimer);
  m_modelInfoRetry.setInterval(kModelInfoRetryMs);
  connect(&m_modelInfoRetry, &QTimer::timeout, this, &CTaskTray::OnWmAppModelInfoChange);
  if (m_seams.tray) {
    m_seams.tray->SetClickHandler([this](TrayClick click) { OnTrayClick(click == TrayClick::Right); });
  }
  if (m_seams.power) {
    m_seams.power->SetHandler([this](IPowerEvents::Event power) {
      OnPowerBroadcast(power == IPowerEvents::Event::Suspend ? kPowerSuspend : kPowerResume);
    });
  }
  if (CAppStatus* status = Context() ? Context()->status : nullptr) {
    status->SetConnected(0);
  }
}

CTaskTray::~CTaskTray() {
  if (m_seams.power) {
    m_seams.power->SetHandler({});
  }
  if (CAppStatus* status = Context() ? Context()->status : nullptr) {
    status->Register(APP_VERSION_INFO, 0, 0);
  }
  delete m_launcher.data();
}

void CTaskTray::Initialise() {
  CDeviceLink* link = Context() ? Context()->link : nullptr;
  // The watch comes first, so a handset plugged in while we look is reported afterwards.
  if (link == nullptr || !link->WatchHotplug(Handle(), kWmDeviceChange)) {
    ORVANE_TRACE("CTaskTray::OnInitDialog - device notifications could not be registered\n");
  }
  if (Context() && Context()->status) {
    Context()->status->Register(APP_VERSION_INFO, 1, Handle());
  }
  BuildMenu();
  if (m_seams.autoStart) {
    MenuAction(TrayCommand::kAutoStartup)->setChecked(m_seams.autoStart->IsEnabled());
  }
  setWindowIcon(TrayPicture(153));
  ReadSettings();
  FirstLookForHandset();
}

// ---- menu ------------------------------------------------------------------------------------

void CTaskTray::BuildMenu() {
  m_menu = new QMenu(this);
  m_menu->setObjectName("TrayMenu");
  m_menu->setTitle("&Menu");
  const auto add = [this](int command, const char* text, bool checkable) {
    QAction* action = m_menu->addAction(text);
    SetCommandId(action, command);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, command] { RunMenuCommand(command); });
  };
  add(TrayCommand::kEnglish, "&English", true);
  add(TrayCommand::kFrench, "&French", true);
  add(TrayCommand::kSpanish, "&Spanish", true);
  add(TrayCommand::kPortuguese, "&Portuguese", true);
  // One language at a time: the items show as a choice of one.
  auto* languages = new QActionGroup(m_menu);
  languages->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (QAction* action : m_menu->actions()) {
    languages->addAction(action);
  }
  m_menu->addSeparator();
  add(TrayCommand::kAutoStartup, "A&uto Startup", true);
  add(TrayCommand::kHelp, "&Help", false);
  add(TrayCommand::kAbout, "&About...", false);
  add(TrayCommand::kExit, "E&xit", false);
  RelabelMenu(m_menu, TrayCommand::kMenu);
}

QAction* CTaskTray::MenuAction(int command) const {
  if (m_menu == nullptr) {
    return nullptr;
  }
  for (QAction* action : m_menu->actions()) {
    if (action->data().toInt() == command) {
      return action;
    }
  }
  return nullptr;
}

void CTaskTray::CheckLanguageItem(std::int32_t index, bool checked) {
  if (QAction* action = MenuAction(LanguageCommand(index))) {
    action->setChecked(checked);
  }
}

void CTaskTray::RunMenuCommand(int command) {
  switch (command) {
    case TrayCommand::kExit:
      ExitProcedure();
      break;
    case TrayCommand::kAbout:
      ShowAboutFromTray();
      break;
    case TrayCommand::kHelp:
      OnHelp();
      break;
    case TrayCommand::kAutoStartup:
      ToggleAutoStart();
      break;
    case TrayCommand::kEnglish:
    case TrayCommand::kFrench:
    case TrayCommand::kSpanish:
    case TrayCommand::kPortuguese:
      // A click toggles the item's own mark; the selection puts the marks right again.
      SelectLanguage(TrayCommand::kEnglish - command);
      break;
    default:
      break;
  }
}

// ---- settings and language -----------------------------------------------------------------------

void CTaskTray::ReadSettings() {
  CSettingsStore* settings = Context() ? Context()->settings : nullptr;
  if (settings == nullptr) {
    return;
  }
  std::lock_guard lock(settings->RegistryMutex());
  m_balloonTime = settings->ReadOrCreateDword(kProductKey, "Balloon", 3000);
}

void CTaskTray::ReadAndSelectLanguage() {
  std::uint32_t language = 0;
  if (CSettingsStore* settings = Context() ? Context()->settings : nullptr) {
    std::lock_guard lock(settings->RegistryMutex());
    language = settings->ReadOrCreateDword(kProductKey, "Language", 0);
  }
  SelectLanguage(static_cast<std::int32_t>(language));
}

void CTaskTray::SelectLanguage(std::int32_t index) {
  if (index == m_currentLanguage) {
    CheckLanguageItem(index, true);
    return;
  }
  CLanguageStrings* strings = Context() ? Context()->strings : nullptr;
  if (strings == nullptr || !strings->Load(index)) {
    if (m_currentLanguage == -1) {
      m_currentLanguage = 0;
      CheckLanguageItem(0, true);
      return;
    }
    CheckLanguageItem(index, false);
    ShowModalMsg(704, MB_ICONSTOP, this);
    CheckLanguageItem(m_currentLanguage, true);
    return;
  }
  if (CSettingsStore* settings = Context()->settings) {
    std::lock_guard lock(settings->RegistryMutex());
    settings->WriteDword(kProductKey, "Language", static_cast<std::uint32_t>(index));
  }
  if (m_seams.languageApplied) {
    m_seams.languageApplied(index);
  }
  PostToWindows(TemplateMessage::kLanguageChange, 0);
  CheckLanguageItem(m_currentLanguage, false);
  CheckLanguageItem(index, true);
  m_currentLanguage = index;
  RelabelTray();
}

void CTaskTray::RelabelTray() {
  m_tip = Text(m_connected ? 132 : 131);
  RelabelMenu(m_menu, TrayCommand::kMenu);
  if (m_seams.tray && m_seams.tray->IsAdded()) {
    m_seams.tray->Modify(TrayPicture(m_iconResource), m_tip);
  }
}

void CTaskTray::PostToWindows(std::uint32_t message, std::uintptr_t wParam) {
  CAppStatus* status = Context() ? Context()->status : nullptr;
  if (status == nullptr) {
    return;
  }
  for (std::uint32_t index = kFirstUtilityIndex; index <= kLastUtilityIndex; ++index) {
    std::uint8_t flag = 0;
    WindowHandle window = 0;
    status->Get(index, flag, window);
    if (flag != 0 && IsWindow(window)) {
      PostMessage(window, message, wParam, 0);
    }
  }
}

// ---- tray icon and notices -------------------------------------------------------------------------

CTaskTray::IconText CTaskTray::IconTextFor(int iconType) {
  switch (iconType) {
    case TrayIconType::kConnected:
      return {132, 123, 153, false};
    case TrayIconType::kNotConnected:
      return {131, 122, 154, false};
    case TrayIconType::kCommunicationError:
      return {0, 124, 0, true};
    case TrayIconType::kDriverError:
      return {0, 125, 0, true};
    default:
      return {0, 130, 0, true};
  }
}

void CTaskTray::SetTaskTrayIcon(int iconType, int mode) {
  ITrayIcon* tray = m_seams.tray.get();
  // The same picture twice changes nothing, except that an icon that is not on the tray is
  // always added when asked to be: otherwise it could never come back.
  const bool addMissing = mode == TrayIconType::kModeAdd && tray != nullptr && !tray->IsAdded();
  if (iconType == m_iconType && !addMissing) {
    return;
  }
  m_iconType = iconType;
  const IconText texts = IconTextFor(iconType);
  if (texts.tipId != 0) {
    m_tip = Text(texts.tipId);
    m_iconResource = texts.resource;
  }
  const bool interactive = m_seams.isInteractive && m_seams.isInteractive();
  if (!m_powerBroadcast && interactive && m_seams.notifier) {
    m_seams.notifier->Show(Text(121), Text(texts.balloonId),
                           texts.warning ? NoticeSeverity::Warning : NoticeSeverity::Information);
  }
  if (tray != nullptr && mode == TrayIconType::kModeAdd) {
    tray->Add(TrayPicture(m_iconResource), m_tip);
  } else if (tray != nullptr && mode == TrayIconType::kModeModify) {
    tray->Modify(TrayPicture(m_iconResource), m_tip);
  }
  if (!m_powerBroadcast) {
    m_balloonTimer.start(static_cast<int>(m_balloonTime));
  } else {
    m_powerBroadcast = false;
  }
}

void CTaskTray::OnBalloonTimer() {
  if (m_seams.notifier) {
    m_seams.notifier->Close();
  }
}

QIcon CTaskTray::TrayPicture(int resource) const {
  return CArtwork::Icon(CArtwork::NameForResourceId(resource));
}

void CTaskTray::OnTrayClick(bool rightButton) {
  if (m_modal) {
    BringModalForward();
    return;
  }
  if (!rightButton) {
    OpenOrActivateLauncher();
    return;
  }
  activateWindow();
  m_menu->popup(QCursor::pos());
}

void CTaskTray::BringModalForward() {
  QWidget* popup = QApplication::activeModalWidget();
  if (popup == nullptr) {
    popup = QApplication::activePopupWidget();
  }
  if (popup != nullptr) {
    popup->raise();
    popup->activateWindow();
  }
}

// ---- launcher and utilities ----------------------------------------------------------------------------

CUtilityLauncherDlg* CTaskTray::Launcher() const {
  return m_launcher.data();
}

CTemplate* CTaskTray::WindowFromHandle(WindowHandle handle) {
  if (handle == 0) {
    return nullptr;
  }
  for (QWidget* widget : QApplication::allWidgets()) {
    auto* window = qobject_cast<CTemplate*>(widget);
    if (window != nullptr && window->Handle() == handle) {
      return window;
    }
  }
  return nullptr;
}

void CTaskTray::OpenOrActivateLauncher() {
  CAppStatus* status = Context() ? Context()->status : nullptr;
  std::uint8_t flag = 0;
  WindowHandle window = 0;
  if (status != nullptr) {
    status->Get(APP_UTILITY_MAIN, flag, window);
  }
  if ((flag == 0 || !IsWindow(window)) && m_launcher.isNull()) {
    m_launcher = new CUtilityLauncherDlg(this, Context());
    m_launcher->Initialise();
    m_launcher->raise();
    m_launcher->activateWindow();
    return;
  }
  for (std::uint32_t index = kFirstUtilityIndex; index <= kLastUtilityIndex && status != nullptr; ++index) {
    status->Get(index, flag, window);
    CTemplate* target = flag != 0 ? WindowFromHandle(window) : nullptr;
    if (target == nullptr || !target->isVisible()) {
      continue;
    }
    if (target->isMinimized()) {
      target->showNormal();
    }
    target->raise();
    target->activateWindow();
  }
}

void CTaskTray::NotifyUtilities(std::uint32_t kind, bool updateTray) {
  if (CAppStatus* status = Context() ? Context()->status : nullptr) {
    std::uint8_t flag = 0;
    WindowHandle launcher = 0;
    status->Get(APP_UTILITY_MAIN, flag, launcher);
    if (flag != 0 && IsWindow(launcher)) {
      PostMessage(launcher, TemplateMessage::kDeviceChange, kind, 0);
    }
  }
  if (updateTray) {
    if (kind == 0) {
      SetTaskTrayIcon(TrayIconType::kConnected, TrayIconType::kModeModify);
      OpenOrActivateLauncher();
    } else {
      SetTaskTrayIcon(TrayIconType::kNotConnected, TrayIconType::kModeModify);
    }
  }
  CloseAnime();
}

void CTaskTray::SetConnected(bool connected) {
  m_connected = connected;
  if (CAppStatus* status = Context() ? Context()->status : nullptr) {
    status->SetConnected(connected ? 1 : 0);
  }
  if (!connected) {
    m_modelInfoPending = false;
    m_modelInfoRetry.stop();
  }
}

int CTaskTray::ShowModalMsg(std::int32_t number, std::uint32_t style, QWidget* owner) {
  CMessage* message = Context() ? Context()->message : nullptr;
  if (message == nullptr) {
    return 0;
  }
  QPointer<CTaskTray> self(this);
  m_modal = true;
  const int result = message->ShowMsg(number, style, owner);
  if (self) {
    m_modal = false;
  }
  return result;
}

// ---- the handset ---------------------------------------------------------------------------------------

int CTaskTray::QueryDevice() {
  CDeviceLink* link = Context() ? Context()->link : nullptr;
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  const bool reported = link != nullptr && link->GetDeviceInfo(vendor, product);
  std::uint32_t wantedVendor = kDefaultVendorId;
  std::uint32_t wantedProduct = kDefaultProductId;
  if (CSettingsStore* settings = Context() ? Context()->settings : nullptr) {
    std::lock_guard lock(settings->RegistryMutex());
    wantedVendor = settings->ReadOrCreateDword(kProductKey, "VendorID", kDefaultVendorId);
    wantedProduct = settings->ReadOrCreateDword(kProductKey, "ProductID", kDefaultProductId);
  }
  if (!reported) {
    return -1;
  }
  return (vendor & 0xFFFF) == (wantedVendor & 0xFFFF) && (product & 0xFFFF) == (wantedProduct & 0xFFFF) ? 1 : 0;
}

void CTaskTray::StartOpening() {
  Params() = RequestParams{};
  if (m_openInFlight) {
    return;
  }
  m_openInFlight = true;
  Params().notifyWindow = Handle();
  SetRequestCode(LinkCode::kStartLink);
  if (!SendRequest()) {
    // Refused: nothing will report back, so the device opened by the query is let go.
    m_openInFlight = false;
    Context()->link->CloseDevice();
  }
}

void CTaskTray::FirstLookForHandset() {
  const int match = QueryDevice();
  if (match == 1) {
    StartOpening();
    return;
  }
  ReadAndSelectLanguage();
  SetTaskTrayIcon(TrayIconType::kNotConnected, TrayIconType::kModeAdd);
  SetConnected(false);
  m_trayAdded = true;
  m_openInFlight = false;
  if (CDeviceLink* link = Context() ? Context()->link : nullptr) {
    // Also closes the device the query opened.
    link->StopLink();
  }
  if (m_seams.isInteractive && m_seams.isInteractive()) {
    OpenOrActivateLauncher();
  }
  if (match == 0) {
    ShowModalMsg(792, MB_ICONEXCLAMATION, nullptr);
  }
}

bool CTaskTray::OnOtherDone(std::uint32_t code, ReplyBytes /*reply*/) {
  if (code != LinkCode::kStartLink) {
    return true;
  }
  ReadAndSelectLanguage();
  Params() = RequestParams{};
  Params().kind = kDeviceInfoKind;
  Params().notifyWindow = Handle();
  SetRequestCode(LinkCode::kRead);
  if (!SendRequest()) {
    OpeningFailed(LinkCode::kRead, false);
  }
  return true;
}

bool CTaskTray::OnItemReceived(std::uint32_t code, ReplyBytes object) {
  if (code == LinkCode::kRead) {
    StoreDeviceInfo(object);
  }
  return true;
}

bool CTaskTray::OnReadDone(std::uint32_t code, ReplyBytes /*reply*/) {
  if (code != LinkCode::kRead) {
    return true;
  }
  if (m_rereadInFlight) {
    // A fresh copy of the device information after a model change: nothing else changes.
    m_rereadInFlight = false;
    return true;
  }
  ConnectedProcedure();
  return true;
}

void CTaskTray::ConnectedProcedure() {
  m_openInFlight = false;
  SetConnected(true);
  if (!m_trayAdded) {
    SetTaskTrayIcon(TrayIconType::kConnected, TrayIconType::kModeAdd);
    m_trayAdded = true;
    if (m_seams.isInteractive && m_seams.isInteractive()) {
      OpenOrActivateLauncher();
    }
  } else {
    NotifyUtilities(0, true);
  }
}

void CTaskTray::OnRequestNoResponse(std::uint32_t code) {
  if (code != LinkCode::kStartLink && code != LinkCode::kRead) {
    CTemplate::OnRequestNoResponse(code);
    return;
  }
  OpeningFailed(code, true);
}

void CTaskTray::OnRequestFailed(std::uint32_t code, ReplyBytes reply) {
  if (code != LinkCode::kStartLink && code != LinkCode::kRead) {
    CTemplate::OnRequestFailed(code, reply);
    return;
  }
  OpeningFailed(code, false);
}

// The opening sequence (or a later device-information read) got no answer or failed: the
// link is stopped and the device closed, so the handset counts as not connected.
void CTaskTray::OpeningFailed(std::uint32_t code, bool noResponse) {
  m_rereadInFlight = false;
  if (IsSuspended()) {
    return;
  }
  ReadAndSelectLanguage();
  const bool add = code == LinkCode::kStartLink || !m_trayAdded;
  SetTaskTrayIcon(TrayIconType::kNotConnected, add ? TrayIconType::kModeAdd : TrayIconType::kModeModify);
  m_trayAdded = true;
  const bool wasConnected = m_connected;
  SetConnected(false);
  m_openInFlight = false;
  if (CDeviceLink* link = Context() ? Context()->link : nullptr) {
    link->StopLink();
  }
  if (wasConnected) {
    NotifyUtilities(1, false);
  }
  if (!noResponse) {
    ShowModalMsg(773, MB_ICONSTOP, this);
  } else if (code == LinkCode::kRead) {
    ShowModalMsg(705, MB_ICONSTOP, this);
  }
  if (m_seams.isInteractive && m_seams.isInteractive()) {
    OpenOrActivateLauncher();
  }
}

// ---- model-information change -------------------------------------------------------------------------

bool CTaskTray::LinkIdle() {
  CDeviceLink* link = Context() ? Context()->link : nullptr;
  if (link == nullptr || !link->WaitIdle(std::chrono::milliseconds(0))) {
    return false;
  }
  // Taking the gate closed it: open it again, nothing was started.
  link->SetIdle();
  return true;
}

// The handset's model information changed: read the device information again once the
// connection is idle. The notice is never sent back to this window (that would repeat it
// for ever).
void CTaskTray::OnWmAppModelInfoChange() {
  if (!m_connected || m_suspended) {
    m_modelInfoPending = false;
    m_modelInfoRetry.stop();
    return;
  }
  if (m_openInFlight || m_rereadInFlight || !LinkIdle()) {
    m_modelInfoPending = true;
    m_modelInfoRetry.start();
    return;
  }
  m_modelInfoPending = false;
  m_modelInfoRetry.stop();
  RereadDeviceInfo();
}

bool CTaskTray::RereadDeviceInfo() {
  Params() = RequestParams{};
  Params().kind = kDeviceInfoKind;
  Params().notifyWindow = Handle();
  SetRequestCode(LinkCode::kRead);
  m_rereadInFlight = true;
  if (!SendRequest()) {
    m_rereadInFlight = false;
    return false;
  }
  return true;
}

// ---- device arrival and removal ----------------------------------------------------------------------

bool CTaskTray::OnDeviceChange(std::uint32_t event) {
  bool result = true;
  if (event == CDeviceLink::kDeviceArrival) {
    if (!m_connected && !m_suspended) {
      OnArrival(result);
    }
  } else if (event == CDeviceLink::kDeviceRemoveComplete) {
    if (m_connected && !m_suspended) {
      OnRemoval();
    }
  }
  return result;
}

void CTaskTray::OnArrival(bool& result) {
  const int match = QueryDevice();
  if (match == 1) {
    StartOpening();
    if (m_seams.setInteractive) {
      m_seams.setInteractive(true);
    }
    return;
  }
  // The query opened the device: a device that is not ours, or one that did not answer,
  // must not stay open, or the right handset plugged in next could not be opened.
  if (!m_openInFlight) {
    Context()->link->CloseDevice();
  }
  if (match == 0) {
    ShowModalMsg(792, MB_ICONEXCLAMATION, this);
  }
  ORVANE_TRACE("OnDeviceChange - productID or VendorID not Match!\n");
  m_powerBroadcast = false;
  result = false;
}

void CTaskTray::OnRemoval() {
  if (QueryDevice() == 1) {
    return;  // another device went; the handset is still there
  }
  CDeviceLink* link = Context()->link;
  link->WaitIdle(kRemovalIdleWait);
  link->SetIdle();
  m_openInFlight = false;
  NotifyUtilities(1, true);
  link->StopLink();
  SetConnected(false);
}

// ---- suspend and resume --------------------------------------------------------------------------------

void CTaskTray::OnPowerBroadcast(std::uint32_t event) {
  ORVANE_TRACE("OnPowerBroadcast : Start\n");
  ORVANE_TRACE("OnPowerBroadcast : wParam = 0x%x\n", event);
  if (m_launcher.isNull()) {
    if (event == kPowerSuspend) {
      OnSuspend();
    } else if (event == kPowerResume) {
      OnResume();
    }
  }
  ORVANE_TRACE("OnPowerBroadcast : End\n");
}

void CTaskTray::OnSuspend() {
  m_openInFlight = false;
  m_suspended = true;
  if (CDeviceLink* link = Context() ? Context()->link : nullptr) {
    link->StopLink();
  }
  SetConnected(false);
  if (CMessage* message = Context() ? Context()->message : nullptr) {
    message->DelMsg(nullptr);
  }
  m_powerBroadcast = true;
  NotifyUtilities(1, true);
}

void CTaskTray::OnResume() {
  m_powerBroadcast = true;
  m_suspended = false;
  if (CAppStatus* status = Context() ? Context()->status : nullptr) {
    for (std::uint32_t index = kFirstUtilityIndex; index <= kLastUtilityIndex; ++index) {
      std::uint8_t flag = 0;
      WindowHandle window = 0;
      status->Get(index, flag, window);
      if (CTemplate* target = flag != 0 ? WindowFromHandle(window) : nullptr) {
        target->ForceEndBusy();
      }
    }
  }
  bool result = true;
  OnArrival(result);
}

// ---- auto start-up, help, about, exit ------------------------------------------------------------------

void CTaskTray::ToggleAutoStart() {
  QAction* item = MenuAction(TrayCommand::kAutoStartup);
  // The click has toggled the mark already; it shows the state before the click until the
  // entry has really changed.
  const bool wasEnabled = !item->isChecked();
  item->setChecked(wasEnabled);
  if (!m_seams.autoStart) {
    return;
  }
  const bool done = wasEnabled ? m_seams.autoStart->Disable() : m_seams.autoStart->Enable();
  if (done) {
    item->setChecked(!wasEnabled);
  }
}

QWidget* CTaskTray::FrontWindow(bool enabledPopup) const {
  CAppStatus* status = Context() ? Context()->status : nullptr;
  for (std::uint32_t index = kHighestOwnerIndex; index >= kFirstUtilityIndex && status != nullptr; --index) {
    std::uint8_t flag = 0;
    WindowHandle window = 0;
    status->Get(index, flag, window);
    if (CTemplate* target = flag != 0 ? WindowFromHandle(window) : nullptr) {
      QWidget* modal = QApplication::activeModalWidget();
      if (enabledPopup && modal != nullptr && modal != target && modal->isEnabled()) {
        return modal;
      }
      return target;
    }
  }
  return const_cast<CTaskTray*>(this);
}

// The version information, shown by the front-most window of the application (or its
// enabled popup) as that window's own About.
void CTaskTray::ShowAboutFromTray() {
  QWidget* owner = FrontWindow(true);
  if (auto* window = qobject_cast<CTemplate*>(owner)) {
    CWindowQuery::AskShowAbout(window);
    return;
  }
  CVersionDlg dialog([this](std::int32_t id) { return Context() ? Context()->GetString(id) : std::string(); }, owner,
                     [this](bool modal) { m_modal = modal; });
  dialog.Run();
}

void CTaskTray::ExitProcedure() {
  QPointer<CTaskTray> self(this);
  if (ShowModalMsg(701, MB_OKCANCEL | MB_ICONQUESTION, FrontWindow(false)) != IDOK || !self) {
    return;
  }
  CAppStatus* status = Context() ? Context()->status : nullptr;
  for (std::uint32_t index = kHighestOwnerIndex; index >= kFirstUtilityIndex && status != nullptr; --index) {
    std::uint8_t flag = 0;
    WindowHandle window = 0;
    status->Get(index, flag, window);
    CTemplate* target = flag != 0 ? WindowFromHandle(window) : nullptr;
    if (target == nullptr) {
      continue;
    }
    m_modal = true;
    const bool mayClose = CWindowQuery::AskQueryClose(target);
    if (!self) {
      return;
    }
    m_modal = false;
    if (!mayClose) {
      return;
    }
  }
  if (m_seams.notifier) {
    m_seams.notifier->Close();
  }
  m_balloonTimer.stop();
  if (m_seams.tray) {
    m_seams.tray->Delete();
  }
  if (CDeviceLink* link = Context() ? Context()->link : nullptr) {
    link->StopHotplugWatch();
    link->StopLink();
    link->CloseDevice();
  }
  emit ExitRequested();
}

// ---- messages ----------------------------------------------------------------------------------------

bool CTaskTray::event(QEvent* event) {
  if (event->type() == CWindowMessageEvent::EventType()) {
    const WindowMessage& message = static_cast<CWindowMessageEvent*>(event)->Message();
    if (message.message == kWmDeviceChange) {
      OnDeviceChange(static_cast<std::uint32_t>(message.wParam));
      return true;
    }
  }
  return CTemplate::event(event);
}

void CTaskTray::OnOtherMessage(const WindowMessage& message) {
  switch (message.message) {
    case kWmAppDriverStatus:
      if (message.wParam == 1 || message.wParam == 2) {
        SetTaskTrayIcon(message.wParam == 1 ? TrayIconType::kCommunicationError : TrayIconType::kDriverError,
                        TrayIconType::kModeModify);
      }
      break;
    case kWmAppBatteryLow:
      SetTaskTrayIcon(TrayIconType::kBatteryLow, TrayIconType::kModeModify);
      break;
    case kWmAppLauncherClosed:
      m_launcher.clear();
      break;
    default:
      break;
  }
}

// A close request ends the run at once, with no question asked.
void CTaskTray::closeEvent(QCloseEvent* event) {
  event->accept();
  emit ExitRequested();
}
