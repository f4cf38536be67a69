// Start-up of the application object: silent switch, language choice, the settings it
// creates, and the single-instance rule, with the real language files of the build.
#include "app/TaskTray.h"
#include "app/UsbUtilityApp.h"
#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "framework/AppContext.h"
#include "platform/MemorySettingsBackend.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

struct Started {
  CMemorySettingsBackend* settings = nullptr;
  std::unique_ptr<CUsbUtilityApp> app;
  bool ok = false;
};

Started Start(std::uint16_t langId, const std::filesystem::path& languages, const std::string& instance,
              std::vector<std::string> args = {}) {
  // No handset: the emulator starts unplugged.
  qputenv("ORVANE_DRIVER_LIBRARY", QByteArray(ORVANE_OUTPUT_DIR) + "/udfp-sim.so");
  qputenv("ORVANE_SIM_PLUGGED", "0");
  auto backend = std::make_unique<CMemorySettingsBackend>();
  Started started;
  started.settings = backend.get();
  CUsbUtilityApp::Environment environment;
  environment.settingsBackend = std::move(backend);
  environment.languageFolder = languages;
  environment.instanceName = instance;
  environment.systemLangId = langId;
  // Both instances live in this one process, where the first cannot answer the second.
  environment.reachRunningInstance = false;
  started.app = std::make_unique<CUsbUtilityApp>(std::move(environment));
  started.ok = started.app->InitInstance(args);
  return started;
}

std::uint32_t Stored(CUsbUtilityApp& app, const std::string& name) {
  return app.Settings()->ReadOrCreateDword(kProductKey, name, 0xFFFFFFFF);
}

std::filesystem::path BuiltLanguages() {
  return ORVANE_OUTPUT_DIR;
}

}  // namespace

class UsbUtilityAppTest : public QObject {
  Q_OBJECT

 private slots:
  void silentSwitchIsTheWholeCommandLineInAnyCase() {
    QVERIFY(CUsbUtilityApp::IsSilentStart("/S"));
    QVERIFY(CUsbUtilityApp::IsSilentStart("/s"));
    QVERIFY(!CUsbUtilityApp::IsSilentStart("/S "));
    QVERIFY(!CUsbUtilityApp::IsSilentStart(" /S"));
    QVERIFY(!CUsbUtilityApp::IsSilentStart(""));
    QVERIFY(!CUsbUtilityApp::IsSilentStart("/S x"));
    QCOMPARE(CUsbUtilityApp::CommandLine({"/S", "x"}), std::string("/S x"));
    QCOMPARE(CUsbUtilityApp::CommandLine({"/S "}), std::string("/S "));

    Started silent = Start(0x0409, BuiltLanguages(), "Global\\OrvaneTestA", {"/s"});
    QVERIFY(silent.ok);
    QVERIFY(!silent.app->IsInteractive());
    silent.app.reset();
    Started interactive = Start(0x0409, BuiltLanguages(), "Global\\OrvaneTestA", {"/S "});
    QVERIFY(interactive.ok);
    QVERIFY(interactive.app->IsInteractive());
  }

  void systemLanguageTable() {
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x0C0C), 1u);  // Canadian French
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x140C), 1u);
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x180C), 0u);  // Monaco is not in the table
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x040A), 2u);
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x500A), 2u);
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x540A), 0u);
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x0416), 0u);  // Brazilian Portuguese
    QCOMPARE(CUsbUtilityApp::LanguageIndexForLangId(0x0409), 0u);
  }

  void firstRunCreatesSettingsAndPicksFrench() {
    Started s = Start(0x0C0C, BuiltLanguages(), "Global\\OrvaneTestB");
    QVERIFY(s.ok);
    QCOMPARE(Stored(*s.app, "Language"), 1u);
    QCOMPARE(Stored(*s.app, "Balloon"), 3000u);
    QCOMPARE(Stored(*s.app, "VendorID"), kDefaultVendorId);
    QCOMPARE(Stored(*s.app, "ProductID"), kDefaultProductId);
    // French texts are in force, the toolkit's standard buttons included.
    QVERIFY(!s.app->GetString(701).empty());
    QVERIFY(s.app->GetString(701) != "Do you want to exit?");
    QMessageBox box(QMessageBox::Question, "t", "t", QMessageBox::Yes | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Annuler"));
  }

  void brazilianPortugueseSelectsEnglish() {
    Started s = Start(0x0416, BuiltLanguages(), "Global\\OrvaneTestC");
    QVERIFY(s.ok);
    QCOMPARE(Stored(*s.app, "Language"), 0u);
    QCOMPARE(s.app->GetString(701), std::string("Do you want to exit?"));
  }

  void unusableLanguageFileResetsToEnglish() {
    QTemporaryDir empty;
    Started s = Start(0x040C, empty.path().toStdString(), "Global\\OrvaneTestD");
    QVERIFY(s.ok);
    QCOMPARE(Stored(*s.app, "Language"), 0u);
    QCOMPARE(s.app->GetString(702), std::string("The application is already running."));
  }

  void storedLanguageWinsOverTheDesktop() {
    auto backend = std::make_unique<CMemorySettingsBackend>();
    std::uint32_t french = 1;
    backend->Write(kProductKey, "Language", REG_DWORD,
                   std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(&french),
                                             reinterpret_cast<std::uint8_t*>(&french) + 4));
    CUsbUtilityApp::Environment environment;
    environment.settingsBackend = std::move(backend);
    environment.languageFolder = BuiltLanguages();
    environment.instanceName = "Global\\OrvaneTestE";
    environment.systemLangId = 0x040A;
    CUsbUtilityApp app(std::move(environment));
    QVERIFY(app.InitInstance({}));
    QCOMPARE(app.Settings()->ReadOrCreateDword(kProductKey, "Language", 9), 1u);
    QVERIFY(app.GetString(701) != "Do you want to exit?");
  }

  // The start fills the services context every window uses, with the driver library loaded,
  // and the resident window registered under index 11.
  void startFillsTheContext() {
    Started s = Start(0x0409, BuiltLanguages(), "Global\\OrvaneTestG", {"/S"});
    QVERIFY(s.ok);
    CAppContext* context = CAppContext::Current();
    QCOMPARE(context, &s.app->Context());
    QCOMPARE(context->link, s.app->DeviceLink());
    QCOMPARE(context->status, s.app->Status());
    QCOMPARE(context->strings, s.app->Strings());
    QCOMPARE(context->message, &s.app->Message());
    QVERIFY(s.app->DeviceLink()->DriverLibraryError().empty());
    CTaskTray* resident = s.app->ResidentWindow();
    QCOMPARE(context->ResidentHandle(), resident->Handle());
    QCOMPARE(context->ResidentWidget(), static_cast<QWidget*>(resident));
    std::uint8_t flag = 0;
    WindowHandle window = 0;
    s.app->Status()->Get(APP_VERSION_INFO, flag, window);
    QCOMPARE(flag, std::uint8_t{1});
    QCOMPARE(window, resident->Handle());
    QCOMPARE(resident->CurrentLanguage(), 0);
    QCOMPARE(context->LanguageIndex(), 0);
    QVERIFY(resident->IsTrayAdded());
    QVERIFY(resident->Launcher() == nullptr);
    s.app->ExitInstance();
    QVERIFY(CAppContext::Current() == nullptr);
  }

  // A second start shows 702 as a system-modal exclamation box, ends, and leaves the first
  // instance holding its lock.
  void secondInstanceIsRefused() {
    Started first = Start(0x0409, BuiltLanguages(), "Global\\OrvaneTestF");
    QVERIFY(first.ok);
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      shown = box->text();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    Started second = Start(0x0409, BuiltLanguages(), "Global\\OrvaneTestF");
    QVERIFY(!second.ok);
    QCOMPARE(shown, QString("The application is already running."));
    QCOMPARE(icon, QMessageBox::Warning);
    second.app->ExitInstance();
    second.app.reset();
    // The first instance still holds the lock: a third start is refused too.
    QTimer::singleShot(0, [] {
      QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
      qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
    });
    Started third = Start(0x0409, BuiltLanguages(), "Global\\OrvaneTestF");
    QVERIFY(!third.ok);
    QVERIFY(first.app->ResidentWindow() != nullptr);
  }
};

QTEST_MAIN(UsbUtilityAppTest)
#include "UsbUtilityAppTest.moc"
