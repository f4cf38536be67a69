#include "app/UsbUtilityApp.h"

#include "app/AutoStart.h"
#include "app/DesktopNotifier.h"
#include "app/InstanceChannel.h"
#include "app/LogindPowerEvents.h"
#include "app/QtTrayIcon.h"
#include "app/TaskTray.h"
#include "appcore/AppStatus.h"
#include "appcore/LanguageStrings.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "platform/DebugLog.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/QtSettingsBackend.h"
#include "platform/SystemLanguage.h"
#include "ui/HelpLauncher.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

CUsbUtilityApp* g_current = nullptr;

constexpr std::uint16_t kSpanishIds[] = {0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A,
                                         0x200A, 0x240A, 0x280A, 0x2C0A, 0x300A, 0x340A, 0x380A,
                                         0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A};
constexpr std::uint16_t kFrenchIds[] = {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C};

}  // namespace

CUsbUtilityApp::CUsbUtilityApp() : CUsbUtilityApp(Environment{}) {}

CUsbUtilityApp::CUsbUtilityApp(Environment environment)
    : m_environment(std::move(environment)), m_message([this](std::int32_t id) { return GetString(id); }) {
  g_current = this;
}

CUsbUtilityApp::~CUsbUtilityApp() {
  ExitInstance();
  if (g_current == this) {
    g_current = nullptr;
  }
}

CUsbUtilityApp* CUsbUtilityApp::Current() {
  return g_current;
}

std::string CUsbUtilityApp::GetString(std::int32_t id) const {
  return m_strings ? m_strings->GetString(id) : std::string();
}

bool CUsbUtilityApp::IsSilentStart(const std::string& commandLine) {
  return commandLine.size() == 2 && commandLine[0] == '/' &&
         std::toupper(static_cast<unsigned char>(commandLine[1])) == 'S';
}

std::string CUsbUtilityApp::CommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) {
      line += ' ';
    }
    line += arg;
  }
  return line;
}

std::uint32_t CUsbUtilityApp::LanguageIndexForLangId(std::uint16_t langId) {
  if (std::find(std::begin(kSpanishIds), std::end(kSpanishIds), langId) != std::end(kSpanishIds)) {
    return 2;
  }
  if (std::find(std::begin(kFrenchIds), std::end(kFrenchIds), langId) != std::end(kFrenchIds)) {
    return 1;
  }
  return 0;
}

bool CUsbUtilityApp::InitInstance(const std::vector<std::string>& args) {
  m_interactive = IsSilentStart(CommandLine(args)) ? 0 : 1;
  CreateServices();
  SelectLanguage();
  if (!TakeInstanceLock()) {
    if (ReachRunningInstance()) {
      // The running instance shows its launcher: that answers this start.
      m_handedOver = true;
      DestroyDeviceLink();
      return false;
    }
    // The running instance cannot be reached: say so where a user and a script can see it.
    const std::string text = CMessage::FormatText(GetString(702), {});
    std::fprintf(stderr, "orvane-usb-utility: %s\n", text.c_str());
    CMessage local([this](std::int32_t id) { return GetString(id); });
    local.ShowMsg(702, MB_SYSTEMMODAL | MB_ICONEXCLAMATION, nullptr);
    DestroyDeviceLink();
    return false;
  }
  FillContext();
  CreateResidentWindow();
  return true;
}

bool CUsbUtilityApp::ReachRunningInstance() {
  if (!m_environment.reachRunningInstance) {
    return false;
  }
  CInstanceChannel channel(m_instance->File());
  return channel.RequestActivation();
}

void CUsbUtilityApp::FillContext() {
  m_context.settings = m_settings.get();
  m_context.strings = m_strings.get();
  m_context.status = m_status.get();
  m_context.link = m_deviceLink.get();
  m_context.message = &m_message;
  m_context.residentHandle = [this] { return m_resident ? m_resident->Handle() : WindowHandle{0}; };
  m_context.residentWidget = [this]() -> QWidget* { return m_resident.get(); };
  m_context.setResidentModal = [this](bool modal) {
    if (m_resident) {
      m_resident->SetModalFlag(modal);
    }
  };
  m_context.isSuspended = [this] { return m_resident && m_resident->IsSuspended(); };
  m_context.languageIndex = [this] {
    return m_resident && m_resident->CurrentLanguage() >= 0 ? m_resident->CurrentLanguage() : 0;
  };
  m_context.showHelp = [this](std::int32_t topic, std::int32_t language, QWidget* owner) {
    CHelpLauncher(m_message, CPaths::ProgramDataDir()).ShowHelp(topic, language, owner);
  };
  CAppContext::SetCurrent(&m_context);
}

CTaskTray::Seams CUsbUtilityApp::MakeSeams() {
  CTaskTray::Seams seams;
  seams.tray = m_environment.tray ? std::move(m_environment.tray) : std::make_unique<CQtTrayIcon>();
  seams.notifier = m_environment.notifier ? std::move(m_environment.notifier)
                                          : std::make_unique<CDesktopNotifier>("ORVANE USB Utility");
  seams.power = m_environment.power ? std::move(m_environment.power) : std::make_unique<CLogindPowerEvents>();
  seams.autoStart = m_environment.autostartFolder.empty() ? std::make_unique<CAutoStart>()
                                                          : std::make_unique<CAutoStart>(m_environment.autostartFolder);
  seams.isInteractive = [this] { return IsInteractive(); };
  seams.setInteractive = [this](bool interactive) { SetInteractive(interactive); };
  seams.languageApplied = [this](std::int32_t index) { ApplyToolkitLanguage(index); };
  return seams;
}

void CUsbUtilityApp::CreateResidentWindow() {
  m_resident = std::make_unique<CTaskTray>(&m_context, MakeSeams());
  m_message.SetResidentWindow(m_resident.get(),
                              [resident = m_resident.get()](bool modal) { resident->SetModalFlag(modal); });
  QObject::connect(m_resident.get(), &CTaskTray::ExitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  if (m_environment.reachRunningInstance) {
    m_channel = std::make_unique<CInstanceChannel>(m_instance->File());
    QObject::connect(m_channel.get(), &CInstanceChannel::ActivationRequested, m_resident.get(), [this] {
      SetInteractive(true);
      m_resident->OpenOrActivateLauncher();
    });
    m_channel->Listen();
  }
  m_resident->Initialise();
}

void CUsbUtilityApp::CreateServices() {
  std::unique_ptr<ISettingsBackend> backend = std::move(m_environment.settingsBackend);
  if (!backend) {
    backend = std::make_unique<CQtSettingsBackend>();
  }
  m_settings = std::make_unique<CSettingsStore>(std::move(backend));
  const std::filesystem::path folder =
      m_environment.languageFolder.empty() ? CPaths::ProgramDataDir() : m_environment.languageFolder;
  m_strings = std::make_unique<CLanguageStrings>(*m_settings, folder);
  m_status = std::make_unique<CAppStatus>(m_settings.get());
  // The link's engine thread starts here; its workers start when a handset is opened.
  m_deviceLink = std::make_unique<CDeviceLink>(m_settings.get(), m_status.get());
  if (!m_deviceLink->LoadDriverLibrary()) {
    // Start-up goes on: every handset operation then takes its failure path.
    ORVANE_TRACE("CUsbUtilityApp::InitInstance driver library: %s\n", m_deviceLink->DriverLibraryError().c_str());
  }
}

void CUsbUtilityApp::DestroyDeviceLink() {
  m_context.link = nullptr;
  m_deviceLink.reset();
}

// The stored language, created from the desktop's language on a first run; a language
// file that cannot be used puts English back in force and in the settings.
void CUsbUtilityApp::SelectLanguage() {
  const std::uint16_t langId =
      m_environment.systemLangId != 0 ? m_environment.systemLangId : CSystemLanguage::DefaultLangId();
  std::uint32_t language = LanguageIndexForLangId(langId);
  {
    std::lock_guard lock(m_settings->RegistryMutex());
    language = m_settings->ReadOrCreateDword(kProductKey, "Language", language);
  }
  if (m_strings->InitialLoad(static_cast<std::int32_t>(language)) != 0) {
    ORVANE_TRACE("CUsbUtilityApp::InitInstance language %u unusable, English in use", language);
    std::lock_guard lock(m_settings->RegistryMutex());
    m_settings->WriteDword(kProductKey, "Language", 0);
    language = 0;
  }
  ApplyToolkitLanguage(static_cast<std::int32_t>(language));
}

void CUsbUtilityApp::ApplyToolkitLanguage(std::int32_t languageIndex) {
  if (QCoreApplication::instance() == nullptr) {
    return;
  }
  if (m_toolkitTranslator) {
    QCoreApplication::removeTranslator(m_toolkitTranslator.get());
    m_toolkitTranslator.reset();
  }
  static const char* const kToolkitFiles[] = {nullptr, "qtbase_fr", "qtbase_es", "qtbase_pt_BR"};
  if (languageIndex < 1 || languageIndex > 3) {
    return;
  }
  auto translator = std::make_unique<QTranslator>();
  if (translator->load(kToolkitFiles[languageIndex], QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator.get());
    m_toolkitTranslator = std::move(translator);
  }
}

bool CUsbUtilityApp::TakeInstanceLock() {
  m_instance = std::make_unique<CInstanceLock>(m_environment.instanceName);
  return m_instance->Acquire();
}

int CUsbUtilityApp::ExitInstance() {
  m_message.SetResidentWindow(nullptr, nullptr);
  m_message.DelMsg(nullptr);
  m_channel.reset();
  m_resident.reset();
  DestroyDeviceLink();
  if (CAppContext::Current() == &m_context) {
    CAppContext::SetCurrent(nullptr);
  }
  m_context = CAppContext{};
  ApplyToolkitLanguage(0);
  // Only a lock this process holds is released; a refused second start holds none.
  m_instance.reset();
  m_status.reset();
  m_strings.reset();
  m_settings.reset();
  return 0;
}
