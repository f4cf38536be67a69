#pragma once

#include "app/AutoStart.h"
#include "app/Notifier.h"
#include "app/PowerEvents.h"
#include "app/TrayIcon.h"
#include "framework/Template.h"

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

class CUtilityLauncherDlg;
class QAction;
class QMenu;

// Tray menu commands (menu 102); a command's id is also the id of its text.
namespace TrayCommand {
inline constexpr int kMenu = 102;
inline constexpr int kExit = 103;
inline constexpr int kAbout = 104;
inline constexpr int kHelp = 105;
inline constexpr int kAutoStartup = 106;
inline constexpr int kPortuguese = 107;
inline constexpr int kSpanish = 108;
inline constexpr int kFrench = 109;
inline constexpr int kEnglish = 110;
}  // namespace TrayCommand

// Icon types of SetTaskTrayIcon and the modes it applies them with.
namespace TrayIconType {
inline constexpr int kConnected = 1;
inline constexpr int kNotConnected = 2;
inline constexpr int kCommunicationError = 3;
inline constexpr int kDriverError = 4;
inline constexpr int kBatteryLow = 5;
inline constexpr int kNone = 255;
inline constexpr int kModeAdd = 1;
inline constexpr int kModeModify = 2;
}  // namespace TrayIconType

// The hidden resident window: the application's main window for the whole run (kind 11).
// It owns the tray icon with its tip, notices and menu; watches the handset come and go
// through the driver library's hotplug reports; opens the handset connection (start-link
// request 2, then the device-information read 0xE7C of kind 15); follows system suspend
// and resume; switches the language; keeps the auto start-up entry; opens the launcher.
//
// The desktop facilities are seams (ITrayIcon, INotifier, IPowerEvents, CAutoStart) that
// tests replace. Without a tray the program stays usable: the launcher opens on every
// arrival of the handset and a second start brings it forward.
class CTaskTray : public CTemplate {
  Q_OBJECT

 public:
  // The device-change message the hotplug reports arrive with (wParam 0x8000 arrival,
  // 0x8004 removal complete).
  static constexpr std::uint32_t kWmDeviceChange = 0x0219;
  static constexpr std::uint32_t kWmAppDriverStatus = WM_APP + 0x71;
  static constexpr std::uint32_t kWmAppBatteryLow = WM_APP + 0x72;
  static constexpr std::uint32_t kWmAppLauncherClosed = WM_APP + 0xCA;
  static constexpr int kBalloonTimer = 2;
  static constexpr std::uint32_t kDeviceInfoKind = 15;

  struct Seams {
    std::unique_ptr<ITrayIcon> tray;
    std::unique_ptr<INotifier> notifier;
    std::unique_ptr<IPowerEvents> power;  // may be null: no power events
    std::unique_ptr<CAutoStart> autoStart;
    // The application's interactive-start flag (true unless started with /S).
    std::function<bool()> isInteractive;
    std::function<void(bool)> setInteractive;
    // Called after a language switch has been made (the toolkit's own texts follow it).
    std::function<void(std::int32_t)> languageApplied;
  };

  CTaskTray(CAppContext* context, Seams seams);
  ~CTaskTray() override;

  // The initialisation steps: device watch, registration, menu, auto start-up check,
  // settings, and the first look for the handset.
  void Initialise();

  // ---- operations offered to the other windows ---------------------------------------------
  void SetTaskTrayIcon(int iconType, int mode);
  void OpenOrActivateLauncher();
  void NotifyUtilities(std::uint32_t kind, bool updateTray);
  void SelectLanguage(std::int32_t index);
  void SetModalFlag(bool modal) { m_modal = modal; }
  bool IsModal() const { return m_modal; }

  // ---- state, for the application and for tests ----------------------------------------------
  bool IsConnected() const { return m_connected; }
  bool IsSuspended() const { return m_suspended; }
  bool IsTrayAdded() const { return m_trayAdded; }
  bool IsOpenInFlight() const { return m_openInFlight; }
  int IconType() const { return m_iconType; }
  std::int32_t CurrentLanguage() const { return m_currentLanguage; }
  std::uint32_t BalloonTime() const { return m_balloonTime; }
  CUtilityLauncherDlg* Launcher() const;
  QMenu* TrayMenu() const { return m_menu; }
  QAction* MenuAction(int command) const;
  ITrayIcon* Tray() const { return m_seams.tray.get(); }
  bool IsBalloonTimerActive() const { return m_balloonTimer.isActive(); }

  // ---- events from the desktop ---------------------------------------------------------------
  void OnTrayClick(bool rightButton);
  // Result as the device-change handler answers: false for a refused arrival.
  bool OnDeviceChange(std::uint32_t event);
  void OnPowerBroadcast(std::uint32_t event);  // 4 suspend, 7 resume
  void RunMenuCommand(int command);

  static constexpr std::uint32_t kPowerSuspend = 4;
  static constexpr std::uint32_t kPowerResume = 7;

 signals:
  // Exit has been confirmed and done: the tray icon is gone and the link stopped. The
  // application then destroys the link and this window and ends with status 0.
  void ExitRequested();

 protected:
  bool event(QEvent* event) override;
  bool OnOtherDone(std::uint32_t code, ReplyBytes reply) override;
  bool OnReadDone(std::uint32_t code, ReplyBytes reply) override;
  bool OnItemReceived(std::uint32_t code, ReplyBytes object) override;
  void OnRequestNoResponse(std::uint32_t code) override;
  void OnRequestFailed(std::uint32_t code, ReplyBytes reply) override;
  void OnWmAppModelInfoChange() override;
  void OnOtherMessage(const WindowMessage& message) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct IconText {
    int tipId;
    int balloonId;
    int resource;
    bool warning;
  };
  static IconText IconTextFor(int iconType);

  void BuildMenu();
  void CheckLanguageItem(std::int32_t index, bool checked);
  void ReadSettings();
  void ReadAndSelectLanguage();
  // The handset's identifiers from the driver and the configured ones: 1 matching, 0 a
  // device that does not match, -1 no device reported.
  int QueryDevice();
  void StartOpening();
  void FirstLookForHandset();
  void ConnectedProcedure();
  void OpeningFailed(std::uint32_t code, bool noResponse);
  bool RereadDeviceInfo();
  bool LinkIdle();
  void OnArrival(bool& result);
  void OnRemoval();
  void OnSuspend();
  void OnResume();
  void OnBalloonTimer();
  void ToggleAutoStart();
  void ExitProcedure();
  void ShowAboutFromTray();
  QWidget* FrontWindow(bool enabledPopup) const;
  void BringModalForward();
  int ShowModalMsg(std::int32_t number, std::uint32_t style, QWidget* owner);
  void SetConnected(bool connected);
  void RelabelTray();
  QIcon TrayPicture(int resource) const;
  void PostToWindows(std::uint32_t message, std::uintptr_t wParam);
  static CTemplate* WindowFromHandle(WindowHandle handle);

  Seams m_seams;
  QMenu* m_menu = nullptr;
  QTimer m_balloonTimer;
  QTimer m_modelInfoRetry;
  QPointer<CUtilityLauncherDlg> m_launcher;
  int m_iconType = TrayIconType::kNone;
  int m_iconResource = 154;
  QString m_tip;
  std::int32_t m_currentLanguage = -1;
  std::uint32_t m_balloonTime = 3000;
  bool m_connected = false;
  bool m_trayAdded = false;
  bool m_openInFlight = false;
  bool m_powerBroadcast = false;
  bool m_suspended = false;
  bool m_modal = false;
  bool m_rereadInFlight = false;
  bool m_modelInfoPending = false;
};
