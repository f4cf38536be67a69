// The resident window against the handset emulator: opening the connection at start and on
// arrival, removal, refused and silent devices, the model-information notice, suspend and
// resume, the tray icon rules, the menu (languages, auto start-up, exit).
#include "TaskTrayTestSupport.h"

#include "app/UtilityWindowFactory.h"
#include "ui/VersionDlg.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

using namespace shelltest;

namespace {

constexpr int kWait = 15000;

void RegisterTestUtility(std::uint8_t index, TestUtility** made, bool mayClose = true) {
  CUtilityWindowFactory::Register(index, [index, made, mayClose](QWidget* parent, CAppContext* context) {
    auto* utility = new TestUtility(parent, context, index);
    utility->mayClose = mayClose;
    *made = utility;
    return utility;
  });
}

}  // namespace

class TaskTrayTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    for (std::uint32_t index : {3u, 4u, 5u}) {
      CUtilityWindowFactory::Register(index, {});
    }
    Sim::Get().Plug();
  }

  // Attached at an interactive start: connected icon with its notice, the launcher with the
  // three utilities, the device information and the first-run settings.
  void interactiveStartWithTheHandsetAttached() {
    Sim::Get().Plug();
    Harness h;
    h.Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QVERIFY(h.status->IsConnected());
    QVERIFY(h.trayIcon->added);
    QCOMPARE(h.tray->IconType(), TrayIconType::kConnected);
    QCOMPARE(h.trayIcon->tip, h.Text(132));
    QVERIFY(h.Noticed(123));
    QCOMPARE(h.notifier->shown.back().title, h.Text(121));
    QCOMPARE(h.notifier->shown.back().severity, NoticeSeverity::Information);
    QVERIFY(h.messages.empty());
    CUtilityLauncherDlg* launcher = h.tray->Launcher();
    QVERIFY(launcher != nullptr);
    QVERIFY(launcher->isVisible());
    for (int id : {8009, 8010, 8011}) {
      QVERIFY(launcher->Button(id)->isVisible());
    }
    QVERIFY(!launcher->Button(8008)->isVisible());
    const auto info = h.status->DeviceInfo();
    QCOMPARE(std::vector<std::uint8_t>(info.begin(), info.end()), Sim::Get().DeviceInfo());
    for (const char* name : {"Language", "Balloon", "VendorID", "ProductID"}) {
      QVERIFY2(h.backend_->HasValue(kProductKey, name), name);
    }
    for (const char* name : {"PhoneBook", "Image", "Melody"}) {
      QCOMPARE(h.Setting(kProductKey + "Boot", name), 2u);
    }
    // The notice goes after the balloon time.
    QTRY_VERIFY_WITH_TIMEOUT(h.notifier->closes > 0, kWait);
  }

  // Started silently without the handset: nothing shows until it is plugged in; then the
  // connection opens with its notice and the launcher; removal reaches a running utility.
  void silentStartThenPlugAndUnplug() {
    Sim::Get().Unplug();
    TestUtility* utility = nullptr;
    RegisterTestUtility(4, &utility);
    Harness h;
    h.Start(false);
    QVERIFY(h.trayIcon->added);
    QCOMPARE(h.tray->IconType(), TrayIconType::kNotConnected);
    QCOMPARE(h.trayIcon->tip, h.Text(131));
    QVERIFY(h.notifier->shown.empty());
    QVERIFY(h.tray->Launcher() == nullptr);
    QVERIFY(!h.tray->IsConnected());

    Sim::Get().Plug();
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QCOMPARE(h.tray->IconType(), TrayIconType::kConnected);
    QVERIFY(h.Noticed(123));
    QVERIFY(h.interactive);
    CUtilityLauncherDlg* launcher = h.tray->Launcher();
    QVERIFY(launcher != nullptr && launcher->isVisible());

    launcher->OpenUtility(4);
    QVERIFY(utility != nullptr);
    QCOMPARE(launcher->RunningUtility(), utility);
    QVERIFY(utility->isVisible());
    QVERIFY(!launcher->isVisible());

    Sim::Get().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!h.tray->IsConnected(), kWait);
    QCOMPARE(h.tray->IconType(), TrayIconType::kNotConnected);
    QCOMPARE(h.trayIcon->tip, h.Text(131));
    QVERIFY(h.Noticed(122));
    QTRY_COMPARE_WITH_TIMEOUT(utility->notices, std::vector<std::uintptr_t>{1}, kWait);
    QCOMPARE(Sim::Get().State().deviceOpen, 0);
  }

  // A device that is not the handset, attached at start: 792 with no owner, "not
  // connected", device closed; the right handset plugged in next is opened.
  void foreignDeviceAtStartThenTheHandset() {
    Harness h;
    Sim::Get().SetIds(UDFP_SIM_VENDOR_ID, 0x9999);
    Sim::Get().Plug();
    h.message->SetTestHook({});
    bool ownerless = false;
    QString shown;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr);
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      shown = box->text();
      ownerless = box->parentWidget() == nullptr;
      box->button(QMessageBox::Ok)->click();
    });
    h.Start(false);
    QCOMPARE(shown, h.Text(792));
    QVERIFY(ownerless);
    QCOMPARE(h.tray->IconType(), TrayIconType::kNotConnected);
    QVERIFY(!h.tray->IsConnected());
    QCOMPARE(Sim::Get().State().deviceOpen, 0);

    Sim::Get().Unplug();
    Sim::Get().SetIds(UDFP_SIM_VENDOR_ID, UDFP_SIM_PRODUCT_ID);
    Sim::Get().Plug();
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
  }

  // A foreign device plugged in while running: 792 owned by the resident window, and its
  // device handle is let go, so the handset plugged in after it is recognised.
  void foreignArrivalLeavesNoDeviceOpen() {
    Sim::Get().Unplug();
    Harness h;
    h.Start(false);
    Sim::Get().SetIds(0x1234, UDFP_SIM_PRODUCT_ID);
    Sim::Get().Plug();
    QTRY_COMPARE_WITH_TIMEOUT(h.Count(792), 1, kWait);
    QCOMPARE(h.messages.back().style, std::uint32_t{MB_ICONEXCLAMATION});
    QCOMPARE(Sim::Get().State().deviceOpen, 0);
    QVERIFY(!h.link->IsDeviceOpen());
    QVERIFY(!h.tray->IsConnected());

    Sim::Get().Unplug();
    Sim::Get().SetIds(UDFP_SIM_VENDOR_ID, UDFP_SIM_PRODUCT_ID);
    Sim::Get().Plug();
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QCOMPARE(h.Count(792), 1);
  }

  // The handset does not answer the device-information read: one 705, the device closed,
  // "not connected".
  void silentHandsetShowsOneMessageAndClosesTheDevice() {
    Sim::Get().Plug();
    Harness h;
    Sim::Get().Silence(1000);
    h.Start(false);
    QTRY_COMPARE_WITH_TIMEOUT(h.Count(705), 1, kWait);
    QCOMPARE(h.messages.back().style, std::uint32_t{MB_ICONSTOP});
    QVERIFY(!h.tray->IsConnected());
    QVERIFY(!h.tray->IsOpenInFlight());
    QCOMPARE(h.tray->IconType(), TrayIconType::kNotConnected);
    QVERIFY(h.trayIcon->added);
    QCOMPARE(Sim::Get().State().deviceOpen, 0);
    QTest::qWait(2500);
    QCOMPARE(h.Count(705), 1);
    QCOMPARE(h.messages.size(), std::size_t{1});
  }

  // The handset refuses the opening sequence: one 773, the device closed, "not connected";
  // plugged in again, it is opened.
  void failingHandsetShowsOneErrorAndClosesTheDevice() {
    Sim::Get().Plug();
    Harness h;
    Sim::Get().Fn<int32_t (*)(uint32_t)>("UdfpSimFailVendorRequests")(1000);
    h.Start(true);
    QTRY_COMPARE_WITH_TIMEOUT(h.Count(773), 1, kWait);
    QCOMPARE(h.messages.back().style, std::uint32_t{MB_ICONSTOP});
    QVERIFY(!h.tray->IsConnected());
    QCOMPARE(h.tray->IconType(), TrayIconType::kNotConnected);
    QCOMPARE(Sim::Get().State().deviceOpen, 0);
    QVERIFY(h.tray->Launcher() != nullptr);
    QTest::qWait(500);
    QCOMPARE(h.messages.size(), std::size_t{1});

    Sim::Get().Fn<int32_t (*)()>("UdfpSimClearFaults")();
    Sim::Get().Unplug();
    Sim::Get().Plug();
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
  }

  // The model-information notice reads the device information again once, when idle; it
  // is never sent round again, and it waits while the connection is busy or absent.
  void modelInfoNoticeRereadsTheDeviceInformation() {
    Sim::Get().Plug();
    Harness h;
    h.Start(false);
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    std::vector<std::uint8_t> changed = Sim::Get().DeviceInfo();
    changed[11] = 0xA7;
    changed[0] ^= 0x20;
    Sim::Get().SetDeviceInfo(changed.data());
    const int modifies = h.trayIcon->modifies;
    const std::size_t notices = h.notifier->shown.size();

    PostMessage(h.tray->Handle(), LinkMessage::kModelInfoChange, 0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const auto info = h.status->DeviceInfo();
          return std::vector<std::uint8_t>(info.begin(), info.end()) == changed;
        }(),
        kWait);
    std::uint32_t field = 0;
    QVERIFY(h.status->GetModelField(62, field));
    QCOMPARE(field, 10u);
    QTest::qWait(300);
    const std::uint32_t requests = Sim::Get().Counters().vendorRequests;
    QTest::qWait(600);
    QCOMPARE(Sim::Get().Counters().vendorRequests, requests);
    QVERIFY(h.tray->IsConnected());
    QCOMPARE(h.trayIcon->modifies, modifies);
    QCOMPARE(h.notifier->shown.size(), notices);
    QVERIFY(h.messages.empty());

    // Busy: the read waits for the running request and follows it.
    changed[1] ^= 0x01;
    Sim::Get().SetDeviceInfo(changed.data());
    RequestParams params;
    params.kind = UDFP_SIM_KIND_PHONEBOOK;
    params.notifyWindow = 0;
    Sim::Get().Fn<int32_t (*)(uint32_t)>("UdfpSimSetResponseDelay")(300);
    QVERIFY(h.link->PostRequest(LinkCode::kReadCount, params));
    PostMessage(h.tray->Handle(), LinkMessage::kModelInfoChange, 0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const auto info = h.status->DeviceInfo();
          return std::vector<std::uint8_t>(info.begin(), info.end()) == changed;
        }(),
        kWait);
    QVERIFY(h.messages.empty());
    Sim::Get().Fn<int32_t (*)(uint32_t)>("UdfpSimSetResponseDelay")(0);

    // Not connected: nothing is sent.
    Sim::Get().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!h.tray->IsConnected(), kWait);
    const std::uint32_t before = Sim::Get().Counters().vendorRequests;
    PostMessage(h.tray->Handle(), LinkMessage::kModelInfoChange, 0, 0);
    QTest::qWait(400);
    QCOMPARE(Sim::Get().Counters().vendorRequests, before);
  }

  // The same icon twice changes nothing, whatever the mode, unless the icon is missing
  // from the tray: an add then always puts it back.
  void iconRules() {
    Sim::Get().Unplug();
    Harness h;
    h.Start(true);
    const int adds = h.trayIcon->adds;
    const std::size_t notices = h.notifier->shown.size();
    h.tray->SetTaskTrayIcon(TrayIconType::kNotConnected, TrayIconType::kModeModify);
    h.tray->SetTaskTrayIcon(TrayIconType::kNotConnected, TrayIconType::kModeAdd);
    QCOMPARE(h.trayIcon->adds, adds);
    QCOMPARE(h.notifier->shown.size(), notices);

    h.trayIcon->Delete();
    h.tray->SetTaskTrayIcon(TrayIconType::kNotConnected, TrayIconType::kModeAdd);
    QVERIFY(h.trayIcon->added);
    QCOMPARE(h.trayIcon->adds, adds + 1);

    h.tray->SetTaskTrayIcon(TrayIconType::kBatteryLow, TrayIconType::kModeModify);
    QCOMPARE(h.notifier->shown.back().text, h.Text(130));
    QCOMPARE(h.notifier->shown.back().severity, NoticeSeverity::Warning);
    QCOMPARE(h.trayIcon->tip, h.Text(131));

    PostMessage(h.tray->Handle(), CTaskTray::kWmAppDriverStatus, 2, 0);
    QTRY_COMPARE(h.tray->IconType(), TrayIconType::kDriverError);
    QCOMPARE(h.notifier->shown.back().text, h.Text(125));
    PostMessage(h.tray->Handle(), CTaskTray::kWmAppDriverStatus, 7, 0);
    QTest::qWait(50);
    QCOMPARE(h.tray->IconType(), TrayIconType::kDriverError);
  }

  // Suspend closes the connection without a notice; resume opens it again, and the change
  // after that shows its notice again. With the launcher open both are ignored.
  void suspendAndResume() {
    Sim::Get().Plug();
    Harness h;
    h.Start(false);
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QVERIFY(h.tray->Launcher() == nullptr);
    h.interactive = true;
    const std::size_t notices = h.notifier->shown.size();
    h.power->Fire(IPowerEvents::Event::Suspend);
    QVERIFY(h.tray->IsSuspended());
    QVERIFY(!h.tray->IsConnected());
    QCOMPARE(h.tray->IconType(), TrayIconType::kNotConnected);
    QCOMPARE(h.notifier->shown.size(), notices);
    QCOMPARE(Sim::Get().State().deviceOpen, 0);

    h.power->Fire(IPowerEvents::Event::Resume);
    QVERIFY(!h.tray->IsSuspended());
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QCOMPARE(h.tray->IconType(), TrayIconType::kConnected);
    QCOMPARE(h.notifier->shown.size(), notices);
    // The change after that has its notice again.
    Sim::Get().Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!h.tray->IsConnected(), kWait);
    QVERIFY(h.Noticed(122));
    Sim::Get().Plug();
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);

    CUtilityLauncherDlg* launcher = h.tray->Launcher();
    QVERIFY(launcher != nullptr);
    h.power->Fire(IPowerEvents::Event::Suspend);
    QVERIFY(!h.tray->IsSuspended());
    QVERIFY(h.tray->IsConnected());
  }

  // Clicks on the icon: left opens the launcher; while a box is up nothing else happens.
  void trayClicks() {
    Sim::Get().Unplug();
    Harness h;
    h.Start(false);
    h.tray->SetModalFlag(true);
    h.trayIcon->onClick(TrayClick::Left);
    QVERIFY(h.tray->Launcher() == nullptr);
    h.tray->SetModalFlag(false);
    h.trayIcon->onClick(TrayClick::Left);
    QVERIFY(h.tray->Launcher() != nullptr);
    QVERIFY(h.tray->Launcher()->isVisible());
    QCOMPARE(h.status->IsConnected(), 0u);

    // About shows the version information over the front-most window, the launcher.
    QWidget* parent = nullptr;
    bool modalWhileUp = false;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(qobject_cast<CVersionDlg*>(QApplication::activeModalWidget()) != nullptr);
      auto* dialog = qobject_cast<CVersionDlg*>(QApplication::activeModalWidget());
      parent = dialog->parentWidget();
      modalWhileUp = h.tray->IsModal();
      dialog->accept();
    });
    h.tray->MenuAction(TrayCommand::kAbout)->trigger();
    QCOMPARE(parent, static_cast<QWidget*>(h.tray->Launcher()));
    QVERIFY(modalWhileUp);
    QVERIFY(!h.tray->IsModal());
  }

  // French from the menu relabels the launcher and the menu; a defective Spanish file shows
  // 704 and keeps French.
  void languageSwitchFromTheMenu() {
    QTemporaryDir languages;
    for (const char* name : {"English.ini", "French.ini", "Portuguese.ini"}) {
      QVERIFY(QFile::copy(QString::fromStdString((OutputDir() / name).string()), languages.filePath(name)));
    }
    QFile spanish(languages.filePath("Spanish.ini"));
    QVERIFY(spanish.open(QIODevice::WriteOnly));
    spanish.write("[VantelWinApp]\n102=&Menu\n");
    spanish.close();
    Sim::Get().Unplug();
    Harness h(languages.path().toStdString());
    h.Start(true);
    CUtilityLauncherDlg* launcher = h.tray->Launcher();
    QVERIFY(launcher != nullptr);
    QCOMPARE(launcher->Label(8003)->text(), QString("Phone Book"));
    QVERIFY(h.tray->MenuAction(TrayCommand::kEnglish)->isChecked());

    h.tray->MenuAction(TrayCommand::kFrench)->trigger();
    QCOMPARE(h.tray->CurrentLanguage(), 1);
    QCOMPARE(h.Setting(kProductKey, "Language"), 1u);
    QCOMPARE(h.tray->MenuAction(TrayCommand::kExit)->text(), QString("&Quitter"));
    QCOMPARE(h.trayIcon->tip, h.Text(131));
    QVERIFY(h.tray->MenuAction(TrayCommand::kFrench)->isChecked());
    QVERIFY(!h.tray->MenuAction(TrayCommand::kEnglish)->isChecked());
    QTRY_COMPARE(launcher->Label(8003)->text(), QString::fromUtf8("Répertoire"));
    QCOMPARE(launcher->Label(8015)->text(), QString("Quitter"));

    h.tray->MenuAction(TrayCommand::kSpanish)->trigger();
    QCOMPARE(h.Numbers(), std::vector<std::int32_t>{704});
    QCOMPARE(h.messages.back().style, std::uint32_t{MB_ICONSTOP});
    QCOMPARE(h.tray->CurrentLanguage(), 1);
    QCOMPARE(h.Setting(kProductKey, "Language"), 1u);
    QVERIFY(h.tray->MenuAction(TrayCommand::kFrench)->isChecked());
    QVERIFY(!h.tray->MenuAction(TrayCommand::kSpanish)->isChecked());
    QCOMPARE(h.tray->MenuAction(TrayCommand::kExit)->text(), QString("&Quitter"));

    h.tray->MenuAction(TrayCommand::kPortuguese)->trigger();
    QCOMPARE(h.tray->CurrentLanguage(), 3);
    QCOMPARE(h.tray->MenuAction(TrayCommand::kExit)->text(), QString("&Sair"));
  }

  // Auto start-up: the menu item writes and removes the entry; when that fails the mark
  // stays as it was.
  void autoStartupToggle() {
    Sim::Get().Unplug();
    Harness h;
    h.Start(false);
    QAction* item = h.tray->MenuAction(TrayCommand::kAutoStartup);
    const QString entry = QString::fromStdString((h.autostartFolder / "OrvaneApp.desktop").string());
    QVERIFY(!item->isChecked());
    item->trigger();
    QVERIFY(item->isChecked());
    QVERIFY(QFile::exists(entry));
    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!QFile::exists(entry));

    // An entry that cannot be removed (a folder with content in its place).
    QVERIFY(QDir().mkpath(entry + "/inside"));
    Harness blocked;
    blocked.autostartFolder = h.autostartFolder;
    blocked.Start(false);
    QAction* blockedItem = blocked.tray->MenuAction(TrayCommand::kAutoStartup);
    QVERIFY(blockedItem->isChecked());
    blockedItem->trigger();
    QVERIFY(blockedItem->isChecked());
    QVERIFY(QDir().rmpath(entry + "/inside"));

    // A folder that cannot be made (a file in its place).
    Harness unwritable;
    QFile file(unwritable.home.filePath("plain"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    unwritable.autostartFolder = (std::filesystem::path(unwritable.home.filePath("plain").toStdString()) / "autostart");
    unwritable.Start(false);
    QAction* unwritableItem = unwritable.tray->MenuAction(TrayCommand::kAutoStartup);
    unwritableItem->trigger();
    QVERIFY(!unwritableItem->isChecked());
  }

  // Exit: Cancel changes nothing; a utility that refuses keeps everything; otherwise the
  // icon goes, the device is closed and the run ends.
  void exitProcedure() {
    Sim::Get().Plug();
    TestUtility* utility = nullptr;
    RegisterTestUtility(3, &utility, false);
    Harness h;
    h.Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    h.answer = [](std::int32_t number) { return number == 701 ? IDCANCEL : IDOK; };
    h.tray->MenuAction(TrayCommand::kExit)->trigger();
    QCOMPARE(h.Numbers(), std::vector<std::int32_t>{701});
    QCOMPARE(h.messages.back().style, std::uint32_t{MB_OKCANCEL | MB_ICONQUESTION});
    QVERIFY(h.trayIcon->added);
    QCOMPARE(h.exitRequests, 0);
    QVERIFY(!h.tray->IsModal());

    h.answer = {};
    CUtilityLauncherDlg* launcher = h.tray->Launcher();
    launcher->OpenUtility(3);
    QVERIFY(utility != nullptr);
    h.tray->MenuAction(TrayCommand::kExit)->trigger();
    QCOMPARE(utility->queries, 1);
    QVERIFY(h.trayIcon->added);
    QCOMPARE(h.exitRequests, 0);
    QVERIFY(h.tray->Launcher() != nullptr);
    QVERIFY(h.tray->IsConnected());
    QCOMPARE(Sim::Get().State().deviceOpen, 1);

    utility->mayClose = true;
    h.tray->MenuAction(TrayCommand::kExit)->trigger();
    QCOMPARE(h.exitRequests, 1);
    QVERIFY(!h.trayIcon->added);
    QCOMPARE(Sim::Get().State().deviceOpen, 0);
    QCOMPARE(h.Count(773), 0);
  }
};

QTEST_MAIN(TaskTrayTest)
#include "TaskTrayTest.moc"
