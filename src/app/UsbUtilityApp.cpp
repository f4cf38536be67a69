#include "app/UsbUtilityApp.h"

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
    // Another instance runs: say so where a user and a script can see it, then end.
    const std::string text = CMessage::FormatText(GetString(702), {});
    std::fprintf(stderr, "orvane-usb-utility: %s\n", text.c_str());
    CMessage local([this](std::int32_t id) { return GetString(id); });
    local.ShowMsg(702, MB_SYSTEMMODAL | MB_ICONEXCLAMATION, nullptr);
    DestroyDeviceLink();
    return false;
  }
  m_resident = std::make_unique<CTaskTray>();
  m_resident->Initialise(*m_settings);
  m_message.SetResidentWindow(m_resident.get(),
                              [resident = m_resident.get()](bool modal) { resident->SetModalFlag(modal); });
  QObject::connect(m_resident.get(), &CTaskTray::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  return true;
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
}

void CUsbUtilityApp::DestroyDeviceLink() {
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
  m_resident.reset();
  DestroyDeviceLink();
  ApplyToolkitLanguage(0);
  // Only a lock this process holds is released; a refused second start holds none.
  m_instance.reset();
  m_status.reset();
  m_strings.reset();
  m_settings.reset();
  return 0;
}
