// CTemplate without a handset: control ids and relabelling, the message map's failure
// table, the executing value with the deferred model-information change, file history and
// file dialogs, device information, and the window lock around nested loops.
#include "TemplateFixture.h"

#include "platform/WindowRegistry.h"
#include "ui/ProgressWnd.h"
#include "ui/VersionDlg.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <numeric>

using namespace templatetest;

namespace {

WindowMessage Outcome(std::uint32_t message, std::uint32_t code, std::vector<std::uint8_t> reply = {}) {
  WindowMessage posted;
  posted.message = message;
  posted.wParam = code;
  posted.lParam = static_cast<std::intptr_t>(reply.size());
  if (!reply.empty()) {
    posted.payload = std::make_shared<const std::vector<std::uint8_t>>(std::move(reply));
  }
  return posted;
}

const std::string kImageHistory = kProductKey + "Image\\FileHistry";

}  // namespace

class TemplateTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Services> services;

  std::string Stored(const std::string& name) {
    std::string value;
    services->settings.ReadString(kImageHistory, name, value);
    return value;
  }

 private slots:
  void init() { services = std::make_unique<Services>(); }
  void cleanup() { services.reset(); }

  void controlsTakeTheirTextsAndTooltipsInTheLanguage() {
    TestUtility window(&services->context, APP_IMAGE);
    QCOMPARE(static_cast<QPushButton*>(window.Control(TemplateId::kSend))->text(), QStringLiteral("Send"));
    QCOMPARE(window.Control(TemplateId::kSend)->toolTip(), QString::fromStdString(services->strings.GetString(3601)));
    QVERIFY(!window.Control(TemplateId::kSend)->toolTip().isEmpty());
    QVERIFY(window.Control(TemplateId::kSaveAs) == nullptr);

    QVERIFY(services->strings.Load(1));
    PostMessage(window.Handle(), TemplateMessage::kLanguageChange, 0, 0);
    QTRY_COMPARE(static_cast<QPushButton*>(window.Control(TemplateId::kSend))->text(), QStringLiteral("Envoyer"));
    QCOMPARE(window.Control(TemplateId::kSend)->toolTip(), QStringLiteral("Envoyer l'image vers le combiné"));
  }

  void melodyKindGetsNoTooltips() {
    TestUtility window(&services->context, APP_MELODY);
    QVERIFY(window.Control(TemplateId::kSend)->toolTip().isEmpty());
    QCOMPARE(CTemplate::ToolTipBase(APP_PHONEBOOK), 4000);
    QCOMPARE(CTemplate::ToolTipBase(APP_UTILITY_MAIN), 8000);
  }

  void enterAndEscapeNeverCloseTheWindow() {
    TestUtility window(&services->context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    QVERIFY(window.isVisible());
    window.close();  // the Close command: QueryClose agrees
    QVERIFY(!window.isVisible());
  }

  void helpOpensTheTopicOfTheKindInTheResidentLanguage() {
    std::vector<std::pair<std::int32_t, std::int32_t>> opened;
    services->context.languageIndex = [] { return 2; };
    services->context.showHelp = [&opened](std::int32_t topic, std::int32_t language, QWidget*) {
      opened.emplace_back(topic, language);
    };
    TestUtility picture(&services->context, APP_IMAGE);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QTest::keyClick(&picture, Qt::Key_F1);
    TestUtility melody(&services->context, APP_MELODY);
    melody.RunCommand(TemplateId::kHelp);
    QCOMPARE(opened, (std::vector<std::pair<std::int32_t, std::int32_t>>{{8, 2}, {9, 2}}));
  }

  // About runs modally as the window's modal child: the resident window is modal meanwhile
  // and a language change relabels it.
  void aboutIsAModalChildThatFollowsTheLanguage() {
    TestUtility window(&services->context);
    window.show();
    bool modalWhileUp = false;
    QString captionAfterChange;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(qobject_cast<CVersionDlg*>(QApplication::activeModalWidget()) != nullptr);
      modalWhileUp = services->residentModal;
      QVERIFY(services->strings.Load(1));
      PostMessage(window.Handle(), TemplateMessage::kLanguageChange, 0, 0);
      QTRY_VERIFY(QApplication::activeModalWidget()->windowTitle() ==
                  QString::fromStdString(services->strings.GetString(CVersionDlg::kCaptionId)));
      captionAfterChange = QApplication::activeModalWidget()->windowTitle();
      static_cast<QDialog*>(QApplication::activeModalWidget())->accept();
    });
    window.RunCommand(TemplateId::kAbout);
    QVERIFY(modalWhileUp);
    QVERIFY(!captionAfterChange.isEmpty());
    QVERIFY(!services->residentModal);
    QVERIFY(window.IsContentEnabled());
    QVERIFY(window.findChildren<CVersionDlg*>().isEmpty());
  }

  void failureTableShowsEachMessage() {
    struct Row {
      std::uint32_t code;
      std::vector<std::uint8_t> reply;
      std::int32_t message;
      std::uint32_t style;
    };
    const std::vector<Row> rows = {
        {LinkCode::kWriteStart, {0x10}, TemplateMsgId::kMemoryFull, MB_ICONEXCLAMATION},
        {LinkCode::kWriteStart, {0x13}, TemplateMsgId::kMemoryFull, MB_ICONEXCLAMATION},
        {LinkCode::kWriteStart, {CDeviceLink::kRefusalIndicationReply}, TemplateMsgId::kNotTransferred, MB_ICONSTOP},
        {LinkCode::kWriteStart, {}, TemplateMsgId::kNotTransferred, MB_ICONSTOP},
        {LinkCode::kReadCount, {0xF0}, TemplateMsgId::kNotTransferred, MB_ICONSTOP},
        {LinkCode::kRead, {0x04}, TemplateMsgId::kNotTransferred, MB_ICONSTOP},
        {LinkCode::kDelete, {0x04}, TemplateMsgId::kNotErased, MB_ICONSTOP},
        {LinkCode::kPlayStart, {0x03}, TemplateMsgId::kPlayFailed, MB_ICONSTOP},
    };
    TestUtility window(&services->context);
    for (const Row& row : rows) {
      services->shown.clear();
      services->styles.clear();
      window.BeginBusy();
      window.SetExtcuting(7);
      window.OnWindowMessage(Outcome(LinkMessage::kRequestFailed, row.code, row.reply));
      QCOMPARE(services->shown, std::vector<std::int32_t>{row.message});
      QCOMPARE(services->styles.front(), row.style);
      QCOMPARE(window.Executing(), std::uint8_t{0});
      QVERIFY(window.IsContentEnabled());
      QVERIFY(!window.IsBusyCursor());
    }
    services->shown.clear();
    window.SetExtcuting(7);
    window.OnWindowMessage(Outcome(LinkMessage::kRequestFailed, LinkCode::kRemainSize, {1}));
    QVERIFY(services->shown.empty());
    QCOMPARE(window.Executing(), std::uint8_t{0});
  }

  void noResponseAndErrorNoticeDisableTheDeviceButtons() {
    TestUtility window(&services->context);
    window.BeginBusy();
    window.SetExtcuting(1);
    window.OnWindowMessage(Outcome(LinkMessage::kRequestNoResponse, LinkCode::kWriteStart));
    QCOMPARE(services->shown, std::vector<std::int32_t>{TemplateMsgId::kNotResponding});
    QVERIFY(!window.Control(TemplateId::kSend)->isEnabled());
    QVERIFY(window.IsContentEnabled());
    QCOMPARE(window.Executing(), std::uint8_t{0});
    QCOMPARE(window.calls, std::vector<std::string>{"OnNoResponse"});
    window.OnWindowMessage(Outcome(TemplateMessage::kErrorNotice, 0));
    QCOMPARE(services->shown.back(), TemplateMsgId::kError);
  }

  void settingsUtilitiesEndAFailedWriteThemselves() {
    TestUtility window(&services->context, APP_GW_SETTING);
    window.BeginBusy();
    window.OnWindowMessage(Outcome(LinkMessage::kRequestFailed, LinkCode::kWriteStart, {0x10}));
    QVERIFY(services->shown.empty());
    QVERIFY(!window.IsContentEnabled());
    QCOMPARE(window.calls, std::vector<std::string>{"AfterWriteFailed"});
  }

  void suspendedWindowIgnoresOutcomes() {
    bool suspended = true;
    services->context.isSuspended = [&suspended] { return suspended; };
    TestUtility window(&services->context);
    window.BeginBusy();
    window.OnWindowMessage(Outcome(LinkMessage::kRequestComplete, LinkCode::kWriteStart, {0}));
    QVERIFY(window.calls.empty());
    window.OnWindowMessage(Outcome(LinkMessage::kRequestFailed, LinkCode::kWriteStart, {0x10}));
    QVERIFY(services->shown.empty());
    QVERIFY(window.IsContentEnabled());
  }

  // A failed key operation of the start sequence marks the start failed and frees the
  // window; the same failure later in the sequence does not mark it.
  void failedStartSequenceFreesTheWindow() {
    TestUtility window(&services->context);
    window.BeginBusy();
    window.OnWindowMessage(Outcome(LinkMessage::kRequestFailed, LinkCode::kKeyOperation, {1}));
    QVERIFY(window.StartFailed());
    QVERIFY(window.IsContentEnabled());
    QVERIFY(!window.IsBusyCursor());
    QVERIFY(services->shown.empty());
  }

  void modelInformationChangeWaitsForTheOperation() {
    TestUtility window(&services->context);
    window.SetExtcuting(4);
    PostMessage(window.Handle(), LinkMessage::kModelInfoChange, 0, 0);
    QTRY_VERIFY(window.ModelInfoChangePending());
    QCOMPARE(services->resident.Size(), std::size_t{0});
    window.SetExtcuting(6);
    QCOMPARE(services->resident.Size(), std::size_t{0});
    window.SetExtcuting(0);
    const auto forwarded = services->resident.Take(std::chrono::milliseconds(1000));
    QVERIFY(forwarded.has_value());
    QCOMPARE(forwarded->message, LinkMessage::kModelInfoChange);

    // The start of a utility consumes it and skips the start sequence.
    window.StartUtility();
    QVERIFY(!window.ModelInfoChangePending());
    QCOMPARE(window.calls, std::vector<std::string>{"OnUtilityStartDone"});
  }

  void modelInformationChangeWhileIdleIsForwardedAtOnce() {
    TestUtility window(&services->context);
    PostMessage(window.Handle(), LinkMessage::kModelInfoChange, 0, 0);
    const auto forwarded = services->resident.TakeMatching(
        [](const WindowMessage& message) { return message.message == LinkMessage::kModelInfoChange; },
        std::chrono::milliseconds(0));
    QVERIFY(!forwarded.has_value());  // posted, not yet handled
    QTRY_COMPARE(services->resident.Size(), std::size_t{1});
    QVERIFY(!window.ModelInfoChangePending());
  }

  void fileHistMaxAboveTenBecomesTen() {
    services->settings.WriteDword(kImageHistory, "FileHistMax", 12);
    for (int i = 0; i < 12; ++i) {
      services->settings.WriteString(kImageHistory, std::to_string(i), "/pictures/p" + std::to_string(i) + ".bmp");
    }
    TestUtility window(&services->context, APP_IMAGE);
    window.LoadFileHistory();
    QCOMPARE(window.FileHistMax(), 10u);
    QCOMPARE(services->settings.ReadOrCreateDword(kImageHistory, "FileHistMax", 0), 10u);
    QCOMPARE(window.FileHistory().size(), std::size_t{10});
    QCOMPARE(window.FileHistory().back(), std::string("/pictures/p9.bmp"));
  }

  void historyDefaultsAndSkipsEmptyValues() {
    services->settings.WriteString(kImageHistory, "1", "/a/b.bmp");
    TestUtility window(&services->context, APP_IMAGE);
    window.LoadFileHistory();
    QCOMPARE(window.FileHistMax(), 5u);
    QCOMPARE(services->settings.ReadOrCreateDword(kImageHistory, "FileHistMax", 0), 5u);
    QCOMPARE(window.FileHistory(), std::vector<std::string>{"/a/b.bmp"});
    std::string created;
    QVERIFY(services->settings.ReadString(kImageHistory, "4", created));
    QVERIFY(created.empty());
  }

  void addingAListedPathMovesItToTheFront() {
    TestUtility window(&services->context, APP_IMAGE);
    window.LoadFileHistory();
    for (const char* path : {"/d.bmp", "/c.bmp", "/b.bmp", "/a.bmp"}) {
      window.AddFileHistory(path);
    }
    QCOMPARE(window.FileHistory(), (std::vector<std::string>{"/a.bmp", "/b.bmp", "/c.bmp", "/d.bmp"}));
    window.AddFileHistory("/c.bmp");
    QCOMPARE(window.FileHistory(), (std::vector<std::string>{"/c.bmp", "/a.bmp", "/b.bmp", "/d.bmp"}));
    QCOMPARE(Stored("0"), std::string("/c.bmp"));
    QCOMPARE(Stored("1"), std::string("/a.bmp"));
    QCOMPARE(Stored("3"), std::string("/d.bmp"));
    window.AddFileHistory("/c.bmp");
    QCOMPARE(window.FileHistory().size(), std::size_t{4});
    // Values are written in buffers of 260 bytes.
    std::vector<std::uint8_t> raw;
    QVERIFY(services->settings.Backend().Read(kImageHistory, "0", REG_SZ, raw));
    QCOMPARE(raw.size(), std::size_t{260});
  }

  void aFullHistoryDropsItsOldestEntry() {
    TestUtility window(&services->context, APP_IMAGE);
    window.LoadFileHistory();
    for (int i = 0; i < 6; ++i) {
      window.AddFileHistory("/f" + std::to_string(i));
    }
    QCOMPARE(window.FileHistory(), (std::vector<std::string>{"/f5", "/f4", "/f3", "/f2", "/f1"}));
    QCOMPARE(Stored("4"), std::string("/f1"));
  }

  void kindsWithoutHistoryKeepNone() {
    TestUtility window(&services->context, APP_UTILITY_MAIN);
    window.LoadFileHistory();
    window.AddFileHistory("/x");
    QVERIFY(window.FileHistory().empty());
    QVERIFY(CTemplate::HistoryKey(APP_PHONEBOOK).ends_with("PhoneBook\\FileHistry"));
    QVERIFY(CTemplate::HistoryKey(APP_MELODY).ends_with("Melody\\FileHistry"));
  }

  void abbreviatedPathLabels() {
    QCOMPARE(CTemplate::AbbreviatePath(30, "/home/u/a.phb"), std::string("/home/u/a.phb"));
    const std::string longName(35, 'n');
    const std::string path = "/abc/" + longName;  // 40 characters
    QCOMPARE(path.size(), std::size_t{40});
    QCOMPARE(CTemplate::AbbreviatePath(30, path), ".../" + std::string(27, 'n') + "...");
    QCOMPARE(CTemplate::AbbreviatePath(30, "C:\\data\\" + longName), "...\\" + std::string(27, 'n') + "...");
    QCOMPARE(CTemplate::AbbreviatePath(30, "/home/someone/pictures/holiday/beach.bmp"),
             std::string("/home/someone/picture.../beach.bmp"));
    QCOMPARE(CTemplate::AbbreviatePath(30, "/home/R&D/pictures/2024/summer/b.bmp"),
             std::string("/home/R&&D/pictures/2024/s.../b.bmp"));
    QCOMPARE(CTemplate::AbbreviatePath(30, "/a&b.phb"), std::string("/a&&b.phb"));
  }

  void historyMenuChoosesTheFileWithoutADialog() {
    TestUtility window(&services->context, APP_PHONEBOOK);
    QMenu menu;
    QAction* exit = menu.addAction("Exit");
    window.SetHistoryMenu(&menu, exit);
    window.LoadFileHistory();
    window.AddFileHistory("/data/second.phb");
    window.AddFileHistory("/data/first.phb");
    const QList<QAction*> actions = menu.actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions[0]->text(), QStringLiteral("/data/first.phb"));
    QCOMPARE(actions[0]->data().toInt(), TemplateId::kFirstHistory);
    QVERIFY(actions[2]->isSeparator());
    QCOMPARE(actions[3], exit);
    actions[1]->trigger();
    QCOMPARE(window.BrowseForOpen("phb", 0, "Phonebook (*.phb)"), std::string("/data/second.phb"));
    QVERIFY(services->dialogs.requests.empty());
    // The choice is used once.
    services->dialogs.answers.push_back({false, {}, {}});
    QCOMPARE(window.BrowseForOpen("phb", 0, "Phonebook (*.phb)"), std::string());
    QCOMPARE(services->dialogs.requests.size(), std::size_t{1});
  }

  void fileDialogsOpenInTheRightFolderAndRememberIt() {
    TestUtility window(&services->context, APP_UTILITY_MAIN);
    services->dialogs.answers.push_back({true, "/tmp/chosen/list.csv", "CSV (*.csv)"});
    QCOMPARE(window.BrowseForOpen("csv", 0x1000, "CSV (*.csv);;All (*)", "/start"),
             std::string("/tmp/chosen/list.csv"));
    const IFileDialogs::Request& open = services->dialogs.requests.back();
    QCOMPARE(open.folder, std::string("/start"));
    QCOMPARE(open.flags, 0x1006u);
    QCOMPARE(open.owner, static_cast<QWidget*>(&window));
    QCOMPARE(window.LastPath(), std::string("/tmp/chosen"));
    QVERIFY(!services->residentModal);

    services->dialogs.answers.push_back({true, "/tmp/saved/out.csv", {}});
    QCOMPARE(window.BrowseForSave("csv", "out.csv", 0, "CSV (*.csv)"), std::string("/tmp/saved/out.csv"));
    QCOMPARE(services->dialogs.requests.back().folder, std::string("/tmp/chosen"));
    QCOMPARE(services->dialogs.requests.back().selectedFilter, std::string("CSV (*.csv)"));
    QCOMPARE(services->dialogs.requests.back().fileName, std::string("out.csv"));
    services->dialogs.answers.push_back({false, {}, {}});
    QCOMPARE(window.BrowseForSave("csv", "x.csv", 0, "CSV (*.csv)"), std::string());
    QCOMPARE(window.LastPath(), std::string("/tmp/saved"));
  }

  void initialFolderByKind() {
    TestUtility phonebook(&services->context, APP_PHONEBOOK);
    QCOMPARE(phonebook.GetInitialFolder("/ignored"), CTemplate::DocumentsFolder());
    TestUtility other(&services->context, APP_UTILITY_MAIN);
    QCOMPARE(other.GetInitialFolder(""), other.LastPath());
    QCOMPARE(other.GetInitialFolder("/given"), std::string("/given"));
  }

  // A short device-information reply fills what it has and zeroes the rest; a long one
  // gives its first 16 bytes.
  void deviceInformationFromAShortReply() {
    const std::uint8_t old[kDeviceInfoSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    services->status.SetDeviceInfo(old);
    TestUtility window(&services->context);
    const std::vector<std::uint8_t> shortReply = {1, 2, 3, 4, 5};
    window.StoreDeviceInfo(shortReply);
    std::array<std::uint8_t, kDeviceInfoSize> expected{1, 2, 3, 4, 5};
    QCOMPARE(services->status.DeviceInfo(), expected);
    std::vector<std::uint8_t> longReply(20);
    std::iota(longReply.begin(), longReply.end(), std::uint8_t{1});
    window.StoreDeviceInfo(longReply);
    std::iota(expected.begin(), expected.end(), std::uint8_t{1});
    QCOMPARE(services->status.DeviceInfo(), expected);
    window.StoreDeviceInfo({});
    QCOMPARE(services->status.DeviceInfo(), (std::array<std::uint8_t, kDeviceInfoSize>{}));
  }

  // A message box runs a nested loop inside a handler: other messages of the same window
  // are handled meanwhile (the lock is re-entrant), and the window may even be destroyed.
  void handlersRunInsideABoxAndSurviveTheWindowGoing() {
    auto* window = new TestUtility(&services->context);
    const WindowHandle handle = window->Handle();
    bool progressSeen = false;
    services->onMessage = [&](std::int32_t) {
      PostMessage(handle, LinkMessage::kProgress, 1020, 15648);
      QCoreApplication::processEvents();
      progressSeen = window->ProgressWindow()->ProgressText() == QStringLiteral("( 1020 / 15648 )");
      delete window;
      return IDOK;
    };
    PostMessage(handle, LinkMessage::kRequestFailed, LinkCode::kWriteStart, 0);
    QTRY_COMPARE(services->shown.size(), std::size_t{1});
    QVERIFY(progressSeen);
    QVERIFY(!IsWindow(handle));
    QVERIFY(!PostMessage(handle, LinkMessage::kRequestComplete, LinkCode::kWriteStart, 0));
  }

  void detachWithADialogOpenKeepsTheWindowDisabled() {
    TestUtility window(&services->context);
    window.SetModalOpen(true);
    window.OnWindowMessage(Outcome(TemplateMessage::kDeviceChange, 1));
    QVERIFY(!window.IsContentEnabled());
    QVERIFY(services->residentModal);
    QVERIFY(!window.Control(TemplateId::kFromDevice)->isEnabled());
    QVERIFY(!window.Control(TemplateId::kPlayOnDevice)->isEnabled());
  }

  void menusTakeTheirTextsFromTheirIds() {
    QVERIFY(services->strings.Load(2));
    TestUtility window(&services->context);
    QMenu bar;
    QMenu* file = bar.addMenu("file");
    QAction* open = file->addAction("open");
    CTemplate::SetCommandId(open, TemplateId::kOpen);
    QAction* unnamed = file->addAction("keep me");
    CTemplate::SetCommandId(unnamed, 1004);  // a text the program never shows is left alone
    QMenu* help = bar.addMenu("help");
    QAction* about = help->addAction("about");
    CTemplate::SetCommandId(about, TemplateId::kAbout);
    window.RelabelMenu(&bar, 9001);
    QCOMPARE(open->text(), QString::fromStdString(services->strings.GetString(TemplateId::kOpen)));
    QCOMPARE(unnamed->text(), QStringLiteral("keep me"));
    QCOMPARE(bar.actions()[0]->text(), QString::fromStdString(services->strings.GetString(9001)));
    QVERIFY(services->strings.GetString(9002).empty());
    QCOMPARE(bar.actions()[1]->text(), QStringLiteral("help"));  // no text: left unchanged
    window.RelabelMenu(help, 0);
    QCOMPARE(about->text(), QString::fromStdString(services->strings.GetString(TemplateId::kAbout)));
    QCOMPARE(CTemplate::MenuItem(&bar, TemplateId::kAbout), about);
    QVERIFY(CTemplate::EnableMenuItem(&bar, TemplateId::kOpen, false));
    QVERIFY(!open->isEnabled());
    QVERIFY(CTemplate::CheckMenuItem(&bar, TemplateId::kAbout, true));
    QVERIFY(about->isChecked());
    QVERIFY(!CTemplate::CheckMenuItem(&bar, 4242, true));
    QCOMPARE(CTemplate::MenuItemByText(&bar, about->text()), about);
  }

  void listsAreFilledWithTextAndData() {
    QComboBox combo;
    combo.addItem("old");
    CTemplate::FillList(&combo, {{"one", 1}, {"two", 22}});
    QCOMPARE(combo.count(), 2);
    QCOMPARE(combo.itemText(1), QStringLiteral("two"));
    QCOMPARE(combo.itemData(1).toLongLong(), 22);
    QTreeWidget tree;
    tree.setColumnCount(2);
    CTemplate::SetColumnTitle(&tree, 1, "Number");
    CTemplate::FillListView(&tree, {{"a", "1"}, {"b", "2"}});
    QCOMPARE(tree.topLevelItemCount(), 2);
    QCOMPARE(tree.topLevelItem(1)->text(1), QStringLiteral("2"));
    QCOMPARE(tree.headerItem()->text(1), QStringLiteral("Number"));
  }

  // While a sub-dialog runs, a language change reaches it too and a detach keeps the
  // window disabled behind it.
  void modalChildFollowsLanguageAndDetach() {
    TestUtility window(&services->context);
    window.show();
    auto* child = new TestUtility(&services->context, APP_UTILITY_MAIN);
    child->setParent(&window, child->windowFlags());
    QVERIFY(services->strings.Load(3));
    int result = 0;
    QTimer::singleShot(0, [&] {
      PostMessage(window.Handle(), TemplateMessage::kLanguageChange, 0, 0);
      PostMessage(window.Handle(), TemplateMessage::kDeviceChange, 1, 0);
    });
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(static_cast<QPushButton*>(child->Control(TemplateId::kSend))->text() ==
                  QString::fromStdString(services->strings.GetString(TemplateId::kSend)));
      QTRY_VERIFY(!window.IsContentEnabled());
      QVERIFY(services->residentModal);
      child->done(5);
    });
    result = window.RunModalChild(*child);
    QCOMPARE(result, 5);
    QCOMPARE(static_cast<QPushButton*>(window.Control(TemplateId::kSend))->text(),
             QString::fromStdString(services->strings.GetString(TemplateId::kSend)));
    QVERIFY(window.IsContentEnabled());
    QVERIFY(!services->residentModal);
  }

  void languageChangeRelabelsAnOpenProgressWindow() {
    TestUtility window(&services->context);
    window.SetProgressMessage(kReceivingText, {"melody"}, 0);
    window.ShowProgressDialog(services->strings.GetString(TemplateId::kPleaseWait),
                              services->strings.GetString(kReceivingText), 0, {"melody"});
    QVERIFY(services->strings.Load(1));
    window.OnWindowMessage(Outcome(TemplateMessage::kLanguageChange, 0));
    QCOMPARE(window.ProgressWindow()->windowTitle(), QStringLiteral("Veuillez patienter"));
    QVERIFY(window.ProgressWindow()->MessageText().contains(QStringLiteral("melody")));
    QCOMPARE(window.ProgressWindow()->CancelButton()->text(), QStringLiteral("Annuler"));
    window.CloseAnime();
  }

  // The end of playback on the handset closes the window's progress window and frees it.
  void playbackEndClosesTheProgressWindow() {
    TestUtility window(&services->context, APP_MELODY);
    window.ShowProgressDialog("Please Wait", "Playing", CTemplate::kProgressCancel, {});
    window.OnWindowMessage(Outcome(LinkMessage::kPlayEnded, 0));
    QVERIFY(!window.ProgressWindow()->IsOpen());
    QVERIFY(window.IsContentEnabled());
    QVERIFY(!services->residentModal);
  }

  void progressWindowKeepsItsOwnerDisabledUntilClosed() {
    TestUtility window(&services->context);
    TestUtility other(&services->context);
    window.ShowProgressDialog("Please Wait", "Sending %s", CTemplate::kProgressCancel, {"x"});
    QVERIFY(!window.IsContentEnabled());
    QVERIFY(services->residentModal);
    window.CloseSandGlass();  // its own progress window is still up
    QVERIFY(!window.IsContentEnabled());
    other.CloseSandGlass();  // another window's progress window leaves this one free
    QVERIFY(other.IsContentEnabled());
    QVERIFY(!services->residentModal);
    window.CloseAnime();
    QVERIFY(window.IsContentEnabled());
    QVERIFY(!window.ProgressWindow()->IsOpen());
  }
};

QTEST_MAIN(TemplateTest)
#include "TemplateTest.moc"
