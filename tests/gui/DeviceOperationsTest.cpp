// The device operations of a utility window against the handset emulator through a real
// device link: send with progress, refusals, cancel, unplugging, a busy link, receive,
// erase, and the start sequence.
#include "TemplateFixture.h"

#include "platform/WindowRegistry.h"
#include "ui/ProgressWnd.h"

#include <QDir>
#include <QPainter>
#include <QPushButton>

using namespace templatetest;

namespace {

QString ScreenshotDir() {
  const QString dir = QDir(QStringLiteral(ORVANE_OUTPUT_DIR)).absoluteFilePath(QStringLiteral("../screenshots"));
  QDir().mkpath(dir);
  return QDir::cleanPath(dir);
}

// The window and its progress window side by side, as a user sees them.
bool SaveBusyScreenshot(CTemplate& window, const QString& name) {
  const QPixmap dialog = window.grab();
  const QPixmap progress = window.ProgressWindow()->grab();
  QPixmap both(dialog.width() + progress.width() + 12, std::max(dialog.height(), progress.height()));
  both.fill(Qt::white);
  QPainter painter(&both);
  painter.drawPixmap(0, 0, dialog);
  painter.drawPixmap(dialog.width() + 12, 0, progress);
  painter.end();
  return both.save(ScreenshotDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace

class DeviceOperationsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Services> services;
  std::unique_ptr<TestUtility> window;

  SimHandset& Sim() { return *services->sim; }
  QWidget* Button(int id) { return window->Control(id); }
  void Press(int id) { static_cast<QPushButton*>(Button(id))->click(); }
  // Waits until the operation's outcome has been handled: the window is free again.
  bool AwaitIdle() {
    return QTest::qWaitFor([this] { return window->IsContentEnabled() && !window->ProgressWindow()->IsOpen(); },
                           kWaitMs);
  }
  int OutcomeMessages() {
    return services->Count(TemplateMsgId::kNotTransferred) + services->Count(TemplateMsgId::kNotResponding);
  }

 private slots:
  void init() {
    services = std::make_unique<Services>();
    QVERIFY(services->Connect());
    window = std::make_unique<TestUtility>(&services->context);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  void cleanup() {
    window.reset();
    services.reset();
  }

  void sendShowsProgressAndSentMessageOnce() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Sim().ResponseDelay(30);
    Press(TemplateId::kSend);
    QVERIFY(window->ProgressWindow()->IsOpen());
    QVERIFY(!window->IsContentEnabled());
    QCOMPARE(window->Executing(), std::uint8_t{1});
    QVERIFY(QTest::qWaitFor([this] { return !window->ProgressWindow()->ProgressText().isEmpty(); }, kWaitMs));
    QVERIFY(AwaitIdle());
    QCOMPARE(window->ProgressWindow()->ProgressText(), QStringLiteral("( 15648 / 15648 )"));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kSent});
    QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), 1);
    QCOMPARE(Sim().Item(UDFP_SIM_KIND_WALLPAPER, 0), window->object);
    QVERIFY(!window->IsBusyCursor());
    // A utility that does not chain never sends the object again.
    QTest::qWait(300);
    QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), 1);
    QCOMPARE(window->calls, (std::vector<std::string>{"EndWriteBusy", "AfterWriteDone"}));
  }

  // The busy window in each language, relabelled by the language-change message.
  void busySendInEveryLanguage() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Sim().ResponseDelay(20);
    for (int language = 0; language < 4; ++language) {
      QVERIFY(services->strings.Load(language));
      PostMessage(window->Handle(), TemplateMessage::kLanguageChange, 0, 0);
      QTRY_COMPARE(static_cast<QPushButton*>(Button(TemplateId::kSend))->text(),
                   QString::fromStdString(services->strings.GetString(TemplateId::kSend)));
      Press(TemplateId::kSend);
      QCOMPARE(window->ProgressWindow()->windowTitle(),
               QString::fromStdString(services->strings.GetString(TemplateId::kPleaseWait)));
      QVERIFY(QTest::qWaitFor([this] { return !window->ProgressWindow()->ProgressText().isEmpty(); }, kWaitMs));
      const QString name = QStringLiteral("template-busy-send-") + CLanguageStrings::LanguageName(language);
      QVERIFY(SaveBusyScreenshot(*window, name));
      QVERIFY(AwaitIdle());
    }
    QCOMPARE(services->Count(TemplateMsgId::kSent), 4);
  }

  void chainedSendStopsWhenTheUtilityStops() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    window->chain = 2;
    Press(TemplateId::kSend);
    QVERIFY(QTest::qWaitFor([this] { return services->Count(TemplateMsgId::kSent) == 3; }, kWaitMs));
    QVERIFY(AwaitIdle());
    QTest::qWait(200);
    QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), 3);
    QCOMPARE(services->Count(TemplateMsgId::kSent), 3);
  }

  // The window is closed while its "sent" box is up: nothing of it runs any more and the
  // chain it asked for is not sent.
  void windowDestroyedInsideTheSentBox() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    window->chain = 2;
    services->onMessage = [this](std::int32_t) {
      window.reset();
      return IDOK;
    };
    const std::vector<std::uint8_t> sent = window->object;
    static_cast<QPushButton*>(Button(TemplateId::kSend))->click();
    QVERIFY(QTest::qWaitFor([this] { return window == nullptr; }, kWaitMs));
    QTest::qWait(300);
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kSent});
    QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), 1);
    QCOMPARE(Sim().Item(UDFP_SIM_KIND_WALLPAPER, 0), sent);
  }

  void refusedBlockMeansMemoryFull() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Sim().RefuseNextBlock(UDFP_SIM_REFUSE_MEMORY_FULL);
    Press(TemplateId::kSend);
    QVERIFY(AwaitIdle());
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kMemoryFull});
    QCOMPARE(services->styles.front(), std::uint32_t{MB_ICONEXCLAMATION});
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(!window->lastReply.empty());
    QVERIFY((window->lastReply[0] & 0x10) != 0);
    QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), 0);
  }

  void otherRefusalIsNotTransferred() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Sim().RefuseNextBlock(UDFP_SIM_REFUSE_SEQUENCE);
    Press(TemplateId::kSend);
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kNotTransferred});
    QCOMPARE(services->styles.front(), std::uint32_t{MB_ICONSTOP});
    QVERIFY(window->IsContentEnabled());
  }

  // A cancelled send reports the cancel only: no "sent" message, no follow-up send, and
  // the busy display still ends through the utility's hook.
  void cancelShowsOnlyCancelled() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    window->chain = 3;
    Sim().ResponseDelay(40);
    Press(TemplateId::kSend);
    QVERIFY(QTest::qWaitFor([this] { return !window->ProgressWindow()->ProgressText().isEmpty(); }, kWaitMs));
    window->ProgressWindow()->CancelButton()->click();
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QVERIFY(AwaitIdle());
    QTest::qWait(300);
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kCancelled});
    QCOMPARE(services->styles.front(), std::uint32_t{MB_ICONINFORMATION});
    QVERIFY(!window->IsCancelled());
    QCOMPARE(window->chain, 3);
    QVERIFY(std::find(window->calls.begin(), window->calls.end(), "OnCancelRequested") != window->calls.end());
    QVERIFY(std::find(window->calls.begin(), window->calls.end(), "EndWriteBusy") != window->calls.end());
    QVERIFY(std::find(window->calls.begin(), window->calls.end(), "PrepareNextSend") == window->calls.end());
    QVERIFY(Sim().Count(UDFP_SIM_KIND_WALLPAPER) <= 1);
    QVERIFY(!window->IsBusyCursor());
  }

  void unplugDuringSendReportsOnce() {
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Sim().UnplugAfterBlock(3);
    Press(TemplateId::kSend);
    // The resident window hears of the removal and tells the running utility.
    QVERIFY(QTest::qWaitFor([this] { return Sim().State().plugged == 0; }, kWaitMs));
    services->status.SetConnected(0);
    PostMessage(window->Handle(), TemplateMessage::kDeviceChange, 1, 0);
    QVERIFY(QTest::qWaitFor([this] { return OutcomeMessages() > 0; }, kWaitMs));
    QVERIFY(AwaitIdle());
    QTest::qWait(500);
    QCOMPARE(OutcomeMessages(), 1);
    QCOMPARE(services->Count(TemplateMsgId::kSent), 0);
    QVERIFY(!Button(TemplateId::kSend)->isEnabled());
    QVERIFY(!Button(TemplateId::kFromDevice)->isEnabled());
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->IsBusyCursor());
    QCOMPARE(window->Executing(), std::uint8_t{0});
  }

  // While another request runs the link takes no new one: the window must not stay busy.
  void busyLinkEndsTheBusyDisplay() {
    Sim().ResponseDelay(400);
    CMessageQueue other;
    RequestParams params;
    params.kind = UDFP_SIM_KIND_WALLPAPER;
    params.notifyWindow = other.Handle();
    QVERIFY(services->link->PostRequest(LinkCode::kReadCount, params));
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Press(TemplateId::kSend);
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kError});
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->ProgressWindow()->IsOpen());
    QVERIFY(!window->IsBusyCursor());
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(other.Take(std::chrono::milliseconds(kWaitMs)).has_value());
  }

  // The resident window asks for application mode 3 before its request; a refused request
  // takes it back to mode 0.
  void refusedRequestOfTheResidentWindowLeavesItsMode() {
    Sim().ResponseDelay(400);
    CMessageQueue other;
    RequestParams params;
    params.kind = UDFP_SIM_KIND_WALLPAPER;
    params.notifyWindow = other.Handle();
    QVERIFY(services->link->PostRequest(LinkCode::kReadCount, params));
    TestUtility resident(&services->context, APP_VERSION_INFO);
    resident.SendKeyOperationStart();
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kError});
    QCOMPARE(Sim().State().applicationMode, 1u);
    QVERIFY(resident.IsContentEnabled());
    QVERIFY(other.Take(std::chrono::milliseconds(kWaitMs)).has_value());
  }

  void noHandsetSendsNothing() {
    services->status.SetConnected(0);
    Sim().ResetCounters();
    window->object = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    Press(TemplateId::kSend);
    QVERIFY(!window->ProgressWindow()->IsOpen());
    QVERIFY(window->IsContentEnabled());
    QVERIFY(services->shown.empty());
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QTest::qWait(100);
    QCOMPARE(Sim().Counters().vendorRequests, 0u);
  }

  void receiveHandsTheObjectToTheHookAndReleasesIt() {
    const std::vector<std::uint8_t> stored = Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE);
    const int item = Sim().Add(UDFP_SIM_KIND_WALLPAPER, stored);
    QVERIFY(item > 0);
    window->readItem = static_cast<std::uint32_t>(item);
    Press(TemplateId::kFromDevice);
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QVERIFY(AwaitIdle());
    QCOMPARE(window->received.size(), std::size_t{1});
    QCOMPARE(window->received.front(), stored);
    QCOMPARE(services->link->HeldItemCount(), std::size_t{0});
  }

  void eraseAndItsFailure() {
    QVERIFY(Sim().Add(UDFP_SIM_KIND_WALLPAPER, Pattern(UDFP_SIM_WALLPAPER_RECORD_SIZE)) > 0);
    window->readItem = 1;
    Press(TemplateId::kErase);
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kErased});
    QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), 0);
    services->shown.clear();
    window->dataKind = 99;  // a kind the handset does not know
    Press(TemplateId::kErase);
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kNotErased});
    QCOMPARE(window->Executing(), std::uint8_t{0});
  }

  void startSequenceRunsKeyOperationThenStatus() {
    window->StartUtility();
    QVERIFY(QTest::qWaitFor(
        [this] {
          return std::find(window->calls.begin(), window->calls.end(), "OnUtilityStartDone") != window->calls.end();
        },
        kWaitMs));
    QCOMPARE(window->StartPhase(), std::uint8_t{3});
    QVERIFY(!window->StartFailed());
    QCOMPARE(Sim().State().utilityState, 1u);
    QVERIFY(window->IsContentEnabled());
  }

  // The resident window talks to the handset before it counts as connected, in application
  // mode 3 while a request runs and mode 0 after it.
  void residentWindowSendsWithoutConnectionInItsOwnMode() {
    services->status.SetConnected(0);
    TestUtility resident(&services->context, APP_VERSION_INFO);
    resident.StartUtility();
    QVERIFY(QTest::qWaitFor(
        [&resident] {
          return std::find(resident.calls.begin(), resident.calls.end(), "OnUtilityStartDone") != resident.calls.end();
        },
        kWaitMs));
    QCOMPARE(Sim().State().utilityState, 1u);
    QCOMPARE(Sim().State().applicationMode, 1u);
    QVERIFY(services->shown.empty());
  }

  void closingAsksForApplicationModeZero() {
    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(Sim().State().applicationMode, 1u);
  }

  // Indications reach the open utilities: 0xE93 disables the device buttons, 0xE94 runs
  // the key-operation start again and ends in OnUtilityStartDone.
  void handsetIndicationsReachTheUtility() {
    services->status.Register(APP_IMAGE, 1, window->Handle());
    Sim().QueueEvent(UDFP_SIM_EVENT_E93);
    QTRY_VERIFY_WITH_TIMEOUT(!Button(TemplateId::kSend)->isEnabled(), kWaitMs);
    Sim().QueueEvent(UDFP_SIM_EVENT_E94);
    QVERIFY(QTest::qWaitFor(
        [this] {
          return std::find(window->calls.begin(), window->calls.end(), "OnUtilityStartDone") != window->calls.end();
        },
        kWaitMs));
    QCOMPARE(window->StartPhase(), std::uint8_t{2});
    QCOMPARE(Sim().State().utilityState, 1u);
    QVERIFY(window->IsContentEnabled());
  }

  void silentHandsetDuringStartSetsStartFailed() {
    services->context.link = nullptr;
    services->link.reset();
    QVERIFY(services->Connect(300));
    Sim().Silence(5);
    window->StartUtility();
    QVERIFY(QTest::qWaitFor([this] { return !services->shown.empty(); }, kWaitMs));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kNotResponding});
    QVERIFY(window->StartFailed());
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->IsBusyCursor());
    QVERIFY(!Button(TemplateId::kSend)->isEnabled());
  }
};

QTEST_MAIN(DeviceOperationsTest)
#include "DeviceOperationsTest.moc"
