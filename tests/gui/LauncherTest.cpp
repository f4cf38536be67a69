// The launcher: layout by the "Boot" settings, utilities offered only once registered, one
// utility at a time, the closing procedure, and screenshots in every language.
#include "TaskTrayTestSupport.h"

#include "app/UtilityWindowFactory.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>

using namespace shelltest;

namespace {

constexpr int kWait = 15000;

std::unique_ptr<CUtilityLauncherDlg> OpenLauncher(Harness& h) {
  auto launcher = std::make_unique<CUtilityLauncherDlg>(nullptr, &h.context);
  launcher->Initialise();
  return launcher;
}

}  // namespace

class LauncherTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { Sim::Get().Unplug(); }
  void cleanup() {
    for (std::uint32_t index : {3u, 4u, 5u}) {
      CUtilityWindowFactory::Register(index, {});
    }
  }

  // Absent (0): the picture button and its label go, the window is 86 pixels narrower and
  // the buttons to the right close the gap. Shown disabled (1): visible but inert.
  void bootValuesLayTheRowOut() {
    TestUtility* made = nullptr;
    CUtilityWindowFactory::Register(4, [&made](QWidget* parent, CAppContext* context) {
      made = new TestUtility(parent, context, 4);
      return made;
    });
    Harness all;
    auto full = OpenLauncher(all);
    QVERIFY(full->Button(8010)->isVisible());
    QVERIFY(full->Button(8010)->isEnabled());
    const int fullWidth = full->width();
    const int melodyX = full->Button(8011)->x();
    const int exitX = full->Button(1007)->x();
    const int helpLabelX = full->Label(8014)->x();
    QCOMPARE(full->Availability(2), 0u);
    QCOMPARE(full->Availability(6), 0u);
    QVERIFY(!full->Button(8012)->isVisible());

    Harness absent;
    absent.settings->WriteDword(kProductKey + "Boot", "Image", 0);
    auto narrow = OpenLauncher(absent);
    QVERIFY(!narrow->Button(8010)->isVisible());
    QVERIFY(!narrow->Label(8004)->isVisible());
    QCOMPARE(narrow->width(), fullWidth - 86);
    QCOMPARE(narrow->Button(8011)->x(), melodyX - 86);
    QCOMPARE(narrow->Button(1007)->x(), exitX - 86);
    QCOMPARE(narrow->Label(8014)->x(), helpLabelX - 86);

    Harness disabled;
    disabled.settings->WriteDword(kProductKey + "Boot", "Image", 1);
    auto inert = OpenLauncher(disabled);
    QVERIFY(inert->Button(8010)->isVisible());
    QVERIFY(!inert->Button(8010)->isEnabled());
    QCOMPARE(inert->width(), fullWidth);
    QTest::mouseClick(inert->Button(8010), Qt::LeftButton);
    QTest::mouseClick(inert->Label(8004), Qt::LeftButton);
    inert->OpenUtility(4);
    QVERIFY(inert->RunningUtility() == nullptr);
    QVERIFY(made == nullptr);
  }

  // Available utilities without a registered window are shown but cannot be started; a
  // registered one runs, alone, while the launcher is hidden, and the launcher comes back.
  void utilitiesRunOneAtATime() {
    Harness h;
    auto before = OpenLauncher(h);
    QVERIFY(before->Button(8009)->isVisible());
    QVERIFY(!before->Button(8009)->isEnabled());
    before->OpenUtility(3);
    QVERIFY(before->RunningUtility() == nullptr);
    before.reset();

    TestUtility* made = nullptr;
    int count = 0;
    CUtilityWindowFactory::Register(3, [&](QWidget* parent, CAppContext* context) {
      ++count;
      made = new TestUtility(parent, context, 3);
      return made;
    });
    auto launcher = OpenLauncher(h);
    QVERIFY(launcher->Button(8009)->isEnabled());
    QVERIFY(!launcher->Button(8010)->isEnabled());
    QTest::mouseClick(launcher->Label(8003), Qt::LeftButton);
    QCOMPARE(count, 1);
    QCOMPARE(launcher->RunningUtility(), made);
    QVERIFY(!launcher->isVisible());
    QVERIFY(made->isModal() || made->windowModality() == Qt::ApplicationModal);
    launcher->OpenUtility(3);
    QCOMPARE(count, 1);

    // The utility's attach notices come through the launcher.
    PostMessage(launcher->Handle(), TemplateMessage::kDeviceChange, 1, 0);
    QTRY_COMPARE(made->notices, std::vector<std::uintptr_t>{1});

    made->done(0);
    QVERIFY(launcher->RunningUtility() == nullptr);
    QVERIFY(launcher->isVisible());
    std::uint8_t flag = 0;
    WindowHandle window = 0;
    h.status->Get(APP_UTILITY_MAIN, flag, window);
    QCOMPARE(flag, std::uint8_t{1});
    QCOMPARE(window, launcher->Handle());
  }

  // Closing asks the running phonebook; the mode change's result is the confirmation: a
  // failure while connected shows 773 and closing goes on.
  void closingProcedure() {
    Sim::Get().Plug();
    TestUtility* made = nullptr;
    CUtilityWindowFactory::Register(3, [&](QWidget* parent, CAppContext* context) {
      made = new TestUtility(parent, context, 3);
      made->mayClose = false;
      return made;
    });
    Harness h;
    h.Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QPointer<CUtilityLauncherDlg> launcher = h.tray->Launcher();
    QVERIFY(launcher != nullptr);
    QCOMPARE(Sim::Get().State().applicationMode, CUtilityLauncherDlg::kLauncherMode + 1);
    launcher->OpenUtility(3);
    QVERIFY(!launcher->QueryClose());
    QCOMPARE(made->queries, 1);
    QVERIFY(launcher != nullptr);

    made->mayClose = true;
    // The handset goes before its removal is handled: the mode change fails while the
    // program still counts it as connected.
    Sim::Get().Unplug();
    QVERIFY(h.status->IsConnected());
    QVERIFY(launcher->QueryClose());
    QCOMPARE(h.Count(773), 1);
    QCOMPARE(h.messages.back().style, std::uint32_t{MB_ICONSTOP});
    std::uint8_t flag = 1;
    WindowHandle window = 0;
    h.status->Get(APP_UTILITY_MAIN, flag, window);
    QCOMPARE(flag, std::uint8_t{0});
    QTRY_VERIFY(launcher.isNull());
    QTRY_VERIFY(h.tray->Launcher() == nullptr);
  }

  void normalCloseReturnsToTheDefaultMode() {
    Sim::Get().Plug();
    Harness h;
    h.Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(h.tray->IsConnected(), kWait);
    QPointer<CUtilityLauncherDlg> launcher = h.tray->Launcher();
    QTest::mouseClick(launcher->Button(1007), Qt::LeftButton);
    QTRY_VERIFY(launcher.isNull());
    QCOMPARE(Sim::Get().State().applicationMode, CUtilityLauncherDlg::kDefaultMode + 1);
    QVERIFY(h.messages.empty());
    // The tray opens a new one.
    h.trayIcon->onClick(TrayClick::Left);
    QVERIFY(h.tray->Launcher() != nullptr);
  }

  // The launcher and the tray menu in each language, for review.
  void screenshotsInEveryLanguage() {
    static const char* const kNames[] = {"english", "french", "spanish", "portuguese"};
    CUtilityWindowFactory::Register(
        3, [](QWidget* parent, CAppContext* context) { return new TestUtility(parent, context, 3); });
    CUtilityWindowFactory::Register(
        4, [](QWidget* parent, CAppContext* context) { return new TestUtility(parent, context, 4); });
    CUtilityWindowFactory::Register(
        5, [](QWidget* parent, CAppContext* context) { return new TestUtility(parent, context, 5); });
    Harness h;
    h.Start(true);
    CUtilityLauncherDlg* launcher = h.tray->Launcher();
    QVERIFY(launcher != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(launcher));
    for (std::int32_t language = 0; language < 4; ++language) {
      h.tray->SelectLanguage(language);
      QCOMPARE(h.tray->CurrentLanguage(), language);
      QTRY_COMPARE(launcher->Label(8005)->text(), h.Text(8005));
      QTest::qWait(50);
      const QString base = ScreenshotDir() + "/" + kNames[language];
      QVERIFY(launcher->grab().save(base + "-launcher.png"));
      QMenu* menu = h.tray->TrayMenu();
      menu->popup(QPoint(0, 0));
      QVERIFY(QTest::qWaitForWindowExposed(menu));
      QVERIFY(menu->grab().save(base + "-tray-menu.png"));
      menu->hide();
    }
  }
};

QTEST_MAIN(LauncherTest)
#include "LauncherTest.moc"
