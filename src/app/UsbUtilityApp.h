#pragma once

#include "app/TaskTray.h"
#include "framework/AppContext.h"
#include "platform/SettingsBackend.h"
#include "ui/Message.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CAppStatus;
class CDeviceLink;
class CInstanceChannel;
class CInstanceLock;
class CLanguageStrings;
class CSettingsStore;
class QTranslator;

// The process root. It decides whether the start is silent, creates the process-wide
// services in a fixed order, chooses the user-interface language, makes sure that only
// one instance runs, and creates the hidden resident window. Every window reaches the
// services through Current().
class CUsbUtilityApp {
 public:
  // What a test may replace; a default-constructed value gives the real program.
  struct Environment {
    std::unique_ptr<ISettingsBackend> settingsBackend;  // default: the per-user desktop store
    std::filesystem::path languageFolder;               // default: the program data folder
    std::string instanceName = "Global\\VantelWinApp";
    std::uint16_t systemLangId = 0;  // 0: read the desktop locale
    // Desktop seams of the resident window; null gives the desktop's own.
    std::unique_ptr<ITrayIcon> tray;
    std::unique_ptr<INotifier> notifier;
    std::unique_ptr<IPowerEvents> power;
    std::filesystem::path autostartFolder;  // default: the user's autostart folder
    // The running instance is asked to bring its launcher forward before 702 is shown.
    bool reachRunningInstance = true;
  };

  CUsbUtilityApp();
  explicit CUsbUtilityApp(Environment environment);
  ~CUsbUtilityApp();
  CUsbUtilityApp(const CUsbUtilityApp&) = delete;
  CUsbUtilityApp& operator=(const CUsbUtilityApp&) = delete;

  // args: the words after the program name. True to run the event loop.
  bool InitInstance(const std::vector<std::string>& args);
  // Releases the instance lock (when this process holds it) and the services.
  int ExitInstance();

  static CUsbUtilityApp* Current();

  CSettingsStore* Settings() const { return m_settings.get(); }
  CLanguageStrings* Strings() const { return m_strings.get(); }
  CAppStatus* Status() const { return m_status.get(); }
  CDeviceLink* DeviceLink() const { return m_deviceLink.get(); }
  // The resident window's Exit destroys the link before the window goes.
  void DestroyDeviceLink();
  CTaskTray* ResidentWindow() const { return m_resident.get(); }
  CAppContext& Context() { return m_context; }
  // A second start that had the running instance bring its launcher forward (no 702).
  bool HandedToRunningInstance() const { return m_handedOver; }
  CMessage& Message() { return m_message; }
  bool IsInteractive() const { return m_interactive != 0; }
  void SetInteractive(bool interactive) { m_interactive = interactive ? 1 : 0; }
  std::string GetString(std::int32_t id) const;
  // Loads the toolkit's own translations (standard button labels such as "Annuler") for a
  // language index, so boxes and dialogs speak the language of the program's texts.
  void ApplyToolkitLanguage(std::int32_t languageIndex);

  // "/S" in any case, and nothing else, is a silent start.
  static bool IsSilentStart(const std::string& commandLine);
  // The command line as the words after the program name joined by single blanks.
  static std::string CommandLine(const std::vector<std::string>& args);
  // Spanish variants -> 2, French variants -> 1, anything else -> 0.
  static std::uint32_t LanguageIndexForLangId(std::uint16_t langId);

 private:
  void CreateServices();
  void SelectLanguage();
  bool TakeInstanceLock();
  bool ReachRunningInstance();
  void FillContext();
  void CreateResidentWindow();
  CTaskTray::Seams MakeSeams();

  Environment m_environment;
  std::unique_ptr<CInstanceLock> m_instance;
  std::unique_ptr<CSettingsStore> m_settings;
  std::unique_ptr<CLanguageStrings> m_strings;
  std::unique_ptr<CAppStatus> m_status;
  std::unique_ptr<CDeviceLink> m_deviceLink;
  std::unique_ptr<CTaskTray> m_resident;
  std::unique_ptr<CInstanceChannel> m_channel;
  CAppContext m_context;
  bool m_handedOver = false;
  std::unique_ptr<QTranslator> m_toolkitTranslator;
  std::uint32_t m_interactive = 1;
  CMessage m_message;
};
