// The phonebook window against the handset emulator: receiving on open, editing both lists,
// the file commands, sending with the send cache, the guards that keep the handset's
// phonebook from being erased without a copy, the closing questions, and screenshots.
#include "gui/TemplateFixture.h"

#include "appcore/SettingsStore.h"

#include "phonebook/HandsetRecord.h"
#include "phonebook/PhoneBookConfirmDlg.h"
#include "phonebook/PhoneBookEntryDlg.h"
#include "phonebook/PhoneBookImportDlg.h"
#include "phonebook/PhoneBookUtilityDlg.h"
#include "phonebook/PhonebookFile.h"
#include "platform/WindowRegistry.h"
#include "ui/CharSetEdit.h"
#include "ui/PhoneNumberEdit.h"
#include "ui/ProgressWnd.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <sstream>

using namespace templatetest;

namespace {

using Dlg = CPhoneBookUtilityDlg;

// The window with its protected hooks reachable for the test.
class Window : public CPhoneBookUtilityDlg {
 public:
  using CPhoneBookUtilityDlg::CPhoneBookUtilityDlg;
  using CPhoneBookUtilityDlg::QueryClose;
};

std::vector<std::uint8_t> Record(const std::string& name, const std::string& number,
                                 std::array<std::uint8_t, 4> attributes = {}) {
  const HandsetPhonebookRecord record = EncodeRecord(name, number, attributes);
  return {record.bytes.begin(), record.bytes.end()};
}

std::string ReadText(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

QString ScreenshotDir() {
  const QString dir = QDir(QStringLiteral(ORVANE_OUTPUT_DIR)).absoluteFilePath(QStringLiteral("../screenshots"));
  QDir().mkpath(dir);
  return QDir::cleanPath(dir);
}

// Fills the entry dialog as soon as it is open and presses OK (or Cancel).
void AnswerEntryDialog(Dlg& window, const QString& name, const QString& number, bool ok = true) {
  QTimer::singleShot(0, &window, [&window, name, number, ok] {
    auto* dialog = qobject_cast<CPhoneBookEntryDlg*>(window.OpenSubDialog());
    QVERIFY(dialog != nullptr);
    dialog->NameEdit()->setText(name);
    dialog->NumberEdit()->setText(number);
    if (ok) {
      dialog->PressOk();
    } else {
      dialog->done(QDialog::Rejected);
    }
  });
}

void SelectOnly(QTableView* view, int row) {
  view->clearSelection();
  view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

}  // namespace

class PhoneBookWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  std::unique_ptr<Services> m_services;

  Services& S() { return *m_services; }
  QString Path(const char* name) const { return m_dir.filePath(name); }
  std::filesystem::path CachePath() const { return Path("PBCache.phb").toStdString(); }

  // The cable is pulled: once the window has dealt with the request in flight, the
  // resident window's removal handling (the link stops, the utility is told).
  void Unplugged(Window& window) {
    QTRY_VERIFY_WITH_TIMEOUT(!S().sim->Exports().IsPlugged() && window.Executing() == 0, kWaitMs);
    S().link->StopLink();
    S().status.SetConnected(0);
    PostMessage(window.Handle(), TemplateMessage::kDeviceChange, 1, 0);
    QTRY_VERIFY(window.NoDevice());
  }

  // The cable is plugged in again: the resident window opens the handset, starts the link
  // and tells the utility.
  bool Replugged(Window& window) {
    if (!S().sim->Plug()) {
      return false;
    }
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!S().link->GetDeviceInfo(vendor, product)) {
      return false;
    }
    CMessageQueue starter;
    RequestParams params;
    params.notifyWindow = starter.Handle();
    if (!S().link->PostRequest(LinkCode::kStartLink, params)) {
      return false;
    }
    const auto started = starter.Take(std::chrono::milliseconds(kWaitMs));
    if (!started || started->message != LinkMessage::kRequestComplete) {
      return false;
    }
    S().status.SetConnected(1);
    PostMessage(window.Handle(), TemplateMessage::kDeviceChange, 0, 0);
    return true;
  }

  // The messages shown since `from`.
  std::vector<std::int32_t> ShownSince(std::size_t from) const {
    return {S().shown.begin() + static_cast<std::ptrdiff_t>(from), S().shown.end()};
  }
  const Services& S() const { return *m_services; }

  std::unique_ptr<Window> Open(bool waitForReceive = true) {
    auto window = std::make_unique<Window>(nullptr, &S().context);
    window->SetSendCacheFile(CachePath());
    window->show();
    if (waitForReceive) {
      [&] { QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && !window->NoDevice(), kWaitMs); }();
    }
    return window;
  }

 private slots:
  void init() {
    m_services = std::make_unique<Services>();
    std::filesystem::remove(CachePath());
  }
  void cleanup() { m_services.reset(); }

  // Opening with a handset receives its phonebook into the Handset list, sorted, numbered
  // and in display form; the attribute bytes stay with the received entries. A handset
  // whose model field 35 is 1 shows its numbers unformatted.
  void receiveOnOpen() {
    QVERIFY(S().Connect());
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Carol", "5550003"));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Alice", "5550001", {1, 2, 3, 4}));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Eve", "02070005"));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Bob", "5550002"));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Dan", "5550004"));
    {
      auto window = Open();
      const CPhonebookList& handset = window->HandsetList();
      QCOMPARE(handset.Count(), std::size_t{5});
      QCOMPARE(handset.Row(0), (PhonebookRow{"1", "Alice", "555-0001"}));
      QCOMPARE(handset.Row(2), (PhonebookRow{"3", "Carol", "555-0003"}));
      const QAbstractItemModel* model = window->HandsetView()->model();
      QCOMPARE(model->rowCount(), 5);
      for (int row = 0; row < 5; ++row) {
        QCOMPARE(model->data(model->index(row, 0)).toString(), QString::number(row + 1));
      }
      QCOMPARE(model->data(model->index(1, 1)).toString(), QString("Bob"));
      QCOMPARE(model->data(model->index(3, 2)).toString(), QString("555-0004"));
      QVERIFY(window->Control(TemplateId::kSend)->isEnabled());
      QVERIFY(!window->HandsetChanged());
      QCOMPARE(window->ReceivedEntries().size(), std::size_t{5});
      QCOMPARE(S().Count(757), 0);
    }
    // The resident window read the device information of a handset with field 35 = 1.
    QVERIFY(S().sim->Exports().SetModelField(35, 1));
    std::array<std::uint8_t, 16> info{};
    QVERIFY(S().sim->Exports().GetDeviceInfo(info.data()));
    S().status.SetDeviceInfo(info.data());
    auto window = Open();
    const QAbstractItemModel* model = window->HandsetView()->model();
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(model->data(model->index(0, 0)).toString(), QString("1"));
    QCOMPARE(model->data(model->index(0, 2)).toString(), QString("5550001"));
    QCOMPARE(model->data(model->index(4, 2)).toString(), QString("02070005"));
  }

  // A handset holding more entries than the "Entry" capacity shows them all: dropping them
  // unseen would lose them at the next send. Send then refuses with 755 and erases nothing.
  void receiveBeyondCapacityShowsAll() {
    S().settings.WriteDword(kProductKey + "PhoneBook", "Entry", 3);
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 5);
    auto window = Open();
    QCOMPARE(window->Capacity(), 3);
    QCOMPARE(window->HandsetList().Count(), std::size_t{5});
    S().sim->ResetCounters();
    window->OnCommand(TemplateId::kSend);
    QCOMPARE(S().Count(755), 1);
    QCOMPARE(S().Count(726), 0);
    QTest::qWait(200);
    QCOMPARE(S().sim->Counters().deleteRequests, 0u);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 5);
  }

  // Add, edit and erase with their rules: a number already listed asks 1534 and leaves one
  // row; an invalid number keeps the dialog open with 786; the enabling follows the selection.
  void editingRules() {
    auto window = Open(false);
    QVERIFY(!window->Control(Dlg::kComputerEdit)->isEnabled());
    AnswerEntryDialog(*window, "Jack", "5551234");
    window->OnCommand(Dlg::kComputerAdd);
    AnswerEntryDialog(*window, "John", "123");
    window->OnCommand(Dlg::kComputerAdd);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QVERIFY(window->ComputerChanged());

    // Same number: 1534, Cancel keeps the old name, OK takes the new one.
    S().onMessage = [](std::int32_t number) { return number == 1534 ? IDCANCEL : IDOK; };
    AnswerEntryDialog(*window, "Other", "5551234");
    window->OnCommand(Dlg::kComputerAdd);
    QCOMPARE(S().Count(1534), 1);
    QCOMPARE(window->ComputerList().Row(0).name, std::string("Jack"));
    S().onMessage = {};
    AnswerEntryDialog(*window, "Jim", "5551234");
    window->OnCommand(Dlg::kComputerAdd);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QCOMPARE(window->ComputerList().Row(0).name, std::string("Jim"));

    // A number of pauses only is no number: 786, the dialog stays open until Cancel.
    QTimer::singleShot(0, window.get(), [&] {
      auto* dialog = qobject_cast<CPhoneBookEntryDlg*>(window->OpenSubDialog());
      QVERIFY(dialog != nullptr);
      dialog->NumberEdit()->setText("PP");
      dialog->PressOk();
      QVERIFY(dialog->isVisible());
      dialog->done(QDialog::Rejected);
    });
    window->OnCommand(Dlg::kComputerAdd);
    QCOMPARE(S().Count(786), 1);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});

    // Editing John to Jim's number: 1534, OK leaves one row with the new name.
    SelectOnly(window->ComputerView(), 1);
    QVERIFY(window->Control(Dlg::kComputerEdit)->isEnabled());
    AnswerEntryDialog(*window, "Joan", "5551234");
    window->OnCommand(Dlg::kComputerEdit);
    QCOMPARE(window->ComputerList().Count(), std::size_t{1});
    QCOMPARE(window->ComputerList().Row(0).name, std::string("Joan"));

    // Copy to the Handset list, erase there.
    SelectOnly(window->ComputerView(), 0);
    window->OnCommand(Dlg::kToHandset);
    QCOMPARE(window->HandsetList().Count(), std::size_t{1});
    QVERIFY(window->HandsetChanged());
    SelectOnly(window->HandsetView(), 0);
    window->OnCommand(Dlg::kHandsetErase);
    QCOMPARE(S().Count(785), 1);
    QVERIFY(window->HandsetList().Empty());
    QVERIFY(!window->Control(Dlg::kHandsetErase)->isEnabled());
    // Without a handset Send stays disabled whatever the list holds.
    QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
  }

  // Search by name, the Delete key, and the clipboard: Ctrl+C copies entry lines, Ctrl+X
  // removes the rows, Ctrl+V takes back only entry lines.
  void searchDeleteAndClipboard() {
    auto window = Open(false);
    for (const char* name : {"Jack", "John", "Jon"}) {
      AnswerEntryDialog(*window, name, QString::number(qHash(QString(name)) % 100000 + 1));
      window->OnCommand(Dlg::kComputerAdd);
    }
    auto search = [&](const char* text) {
      window->findChild<CCharSetEdit*>()->setText(text);
      window->OnCommand(Dlg::kSearch);
      const QModelIndexList rows = window->ComputerView()->selectionModel()->selectedRows();
      return rows.size() == 1 ? window->ComputerList().Row(static_cast<std::size_t>(rows[0].row())).name
                              : std::string();
    };
    QCOMPARE(search("Jo"), std::string("John"));
    QCOMPARE(search("Jz"), std::string("Jack"));
    QCOMPARE(search("x"), std::string("Jack"));

    window->ComputerView()->clearSelection();
    QTest::keyClick(window->ComputerView(), Qt::Key_Delete);
    QCOMPARE(S().Count(785), 0);

    QApplication::setActiveWindow(window.get());
    window->ComputerView()->setFocus();
    QTRY_VERIFY(window->ComputerView()->hasFocus());
    SelectOnly(window->ComputerView(), 1);
    QTest::keySequence(window->ComputerView(), QKeySequence::Cut);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QVERIFY(QGuiApplication::clipboard()->text().startsWith("\"John\","));
    QGuiApplication::clipboard()->setText(QGuiApplication::clipboard()->text() + "Meet at 10,30\n");
    QTest::keySequence(window->ComputerView(), QKeySequence::Paste);
    QCOMPARE(window->ComputerList().Count(), std::size_t{3});
    QCOMPARE(window->ComputerList().Row(1).name, std::string("John"));

    SelectOnly(window->ComputerView(), 2);
    QTest::keyClick(window->ComputerView(), Qt::Key_Delete);
    QCOMPARE(S().Count(785), 1);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
  }

  // Copying more entries than the handset holds asks 755; OK fills the free places only and
  // leaves the rest selected; Send refuses a list above the capacity.
  void copyBeyondCapacity() {
    S().settings.WriteDword(kProductKey + "PhoneBook", "Entry", 3);
    auto window = Open(false);
    QCOMPARE(window->Capacity(), 3);
    for (int i = 1; i <= 5; ++i) {
      AnswerEntryDialog(*window, QString("N%1").arg(i), QString::number(100 + i));
      window->OnCommand(Dlg::kComputerAdd);
    }
    SelectOnly(window->ComputerView(), 0);
    window->OnCommand(Dlg::kToHandset);
    QCOMPARE(S().Count(755), 0);
    window->ComputerView()->selectAll();
    S().onMessage = [](std::int32_t number) { return number == 755 ? IDCANCEL : IDOK; };
    window->OnCommand(Dlg::kToHandset);
    QCOMPARE(S().Count(755), 1);
    QCOMPARE(window->HandsetList().Count(), std::size_t{1});
    S().onMessage = {};
    window->OnCommand(Dlg::kToHandset);
    QCOMPARE(S().Count(755), 2);
    QCOMPARE(window->HandsetList().Count(), std::size_t{3});
    // N1 overwrote its row, N2 and N3 took the two places; N4 and N5 stay selected.
    QCOMPARE(window->ComputerView()->selectionModel()->selectedRows().size(), 2);
    QVERIFY(!window->Control(Dlg::kHandsetAdd)->isEnabled());
  }

  // Save writes the exact file, titles the window and enters the history; Open reads it back
  // after asking about unsaved data; a failed Save as keeps the current file and title.
  void saveAndOpen() {
    auto window = Open(false);
    AnswerEntryDialog(*window, "Say \"hi\"", "5551234");
    window->OnCommand(Dlg::kComputerAdd);
    AnswerEntryDialog(*window, "Bob", "12");
    window->OnCommand(Dlg::kComputerAdd);
    const QString file = Path("book.phb");
    S().dialogs.answers.push_back({true, file.toStdString(), {}});
    window->OnCommand(Dlg::kSave);
    QCOMPARE(S().Count(765), 1);
    QCOMPARE(ReadText(file), std::string("; Vorlandix Communications Co., Ltd. Phonebook MHS Version 1.00\r\n"
                                         "\"Bob\",12\r\n\"Say \"\"hi\"\"\",5551234\r\n"));
    QVERIFY(window->windowTitle().endsWith(" - book.phb"));
    QVERIFY(!window->ComputerChanged());
    QCOMPARE(window->FileHistory().front(), file.toStdString());

    // Save as into a folder that cannot hold files: 766, the current file stays.
    S().dialogs.answers.push_back({true, (file + "/sub/other.phb").toStdString(), {}});
    window->OnCommand(Dlg::kMenuSaveAs);
    QCOMPARE(S().Count(766), 1);
    QCOMPARE(window->CurrentPath(), file.toStdString());
    QVERIFY(window->windowTitle().endsWith(" - book.phb"));

    // An unsaved change: Open asks 752; Cancel keeps everything, No reads the file.
    SelectOnly(window->ComputerView(), 0);
    window->OnCommand(Dlg::kComputerErase);
    QCOMPARE(window->ComputerList().Count(), std::size_t{1});
    S().onMessage = [](std::int32_t number) { return number == 752 ? IDCANCEL : IDOK; };
    window->OnCommand(Dlg::kMenuOpen);
    QCOMPARE(S().Count(752), 1);
    QCOMPARE(window->ComputerList().Count(), std::size_t{1});
    QCOMPARE(window->Executing(), std::uint8_t{0});
    S().onMessage = [](std::int32_t number) { return number == 752 ? IDNO : IDOK; };
    S().dialogs.answers.push_back({true, file.toStdString(), {}});
    window->OnCommand(Dlg::kMenuOpen);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QCOMPARE(window->ComputerList().Row(1).name, std::string("Say \"hi\""));
    QVERIFY(!window->ComputerChanged());

    // New empties the list and the title.
    window->OnCommand(Dlg::kNew);
    QVERIFY(window->ComputerList().Empty());
    QVERIFY(!window->windowTitle().contains("book.phb"));
  }

  // Send erases the handset and writes the Handset list back: received entries keep their
  // attribute bytes, new ones get zeros; 723; the cache is gone afterwards.
  void sendKeepsAttributeBytes() {
    QVERIFY(S().Connect());
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Alice", "5550001", {1, 2, 3, 4}));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Bob", "5550002", {9, 9, 9, 9}));
    auto window = Open();
    // Bob's number is edited: his bytes go; a new entry gets none.
    SelectOnly(window->HandsetView(), 1);
    AnswerEntryDialog(*window, "Bob", "5550009");
    window->OnCommand(Dlg::kHandsetEdit);
    AnswerEntryDialog(*window, "Carl", "777");
    window->OnCommand(Dlg::kHandsetAdd);
    QCOMPARE(window->HandsetList().Count(), std::size_t{3});
    QString progressAtEnd;
    S().onMessage = [&](std::int32_t number) {
      if (number == 723 && window->ProgressWindow() != nullptr) {
        progressAtEnd = window->ProgressWindow()->ProgressText();
      }
      return IDOK;
    };
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(723), 1, kWaitMs);
    QCOMPARE(progressAtEnd, QString("( 3 / 3 )"));
    QCOMPARE(S().Count(726), 1);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 3);
    QCOMPARE(S().sim->Item(UDFP_SIM_KIND_PHONEBOOK, 0), Record("Alice", "5550001", {1, 2, 3, 4}));
    QCOMPARE(S().sim->Item(UDFP_SIM_KIND_PHONEBOOK, 1), Record("Bob", "5550009"));
    QCOMPARE(S().sim->Item(UDFP_SIM_KIND_PHONEBOOK, 2), Record("Carl", "777"));
    QVERIFY(!std::filesystem::exists(CachePath()));
    QVERIFY(!window->HandsetChanged());
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
  }

  // A receive that did not complete is no copy of the handset: the send that needs it
  // stops with 757 only, and nothing is erased on the handset.
  void failedReceiveBeforeSendDoesNotErase() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 5);
    S().sim->RefuseNextBlock(UDFP_SIM_REFUSE_BAD_ITEM);
    auto window = Open();
    QCOMPARE(S().Count(757), 1);
    AnswerEntryDialog(*window, "New", "123");
    window->OnCommand(Dlg::kHandsetAdd);
    S().sim->ResetCounters();
    S().sim->RefuseNextBlock(UDFP_SIM_REFUSE_BAD_ITEM);
    const std::size_t before = S().shown.size();
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(757), 2, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(window->Executing(), std::uint8_t{0}, kWaitMs);
    QTest::qWait(300);
    QCOMPARE(ShownSince(before), (std::vector<std::int32_t>{726, 757}));
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 5);
    QCOMPARE(S().sim->Counters().deleteRequests, 0u);
    QVERIFY(S().sim->Counters().lastOperation != LinkCode::kDelete);
    QVERIFY(!std::filesystem::exists(CachePath()));
    QVERIFY(window->IsContentEnabled());
  }

  // Without a written cache the handset is not erased: 766.
  void unwritableCacheDoesNotErase() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 4);
    auto window = Open();
    QCOMPARE(window->HandsetList().Count(), std::size_t{4});
    { std::ofstream blocker(Path("blocker").toStdString()); }
    window->SetSendCacheFile(Path("blocker").toStdString() + "/PBCache.phb");
    S().sim->ResetCounters();
    window->OnCommand(TemplateId::kSend);
    QCOMPARE(S().Count(766), 1);
    QTest::qWait(300);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 4);
    QCOMPARE(S().sim->Counters().deleteRequests, 0u);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
  }

  // The cache of a broken send is offered at the next start (1533) and fills the Handset
  // list; the send after it receives again first and keeps the old cache until it completes.
  void restoreCacheThenSend() {
    QVERIFY(S().Connect());
    CPhonebookList cached;
    cached.Append("Alice", "5550001");
    cached.Append("Bob", "5550002");
    QVERIFY(WriteSendCache(CachePath(), {{"Alice", "5550001", {}}, {"Bob", "5550002", {}}}));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Alice", "5550001", {1, 2, 3, 4}));  // the part that was written
    auto window = Open();
    QCOMPARE(S().Count(1533), 1);
    QCOMPARE(window->HandsetList().Count(), std::size_t{2});
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(723), 1, kWaitMs);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 2);
    // Alice was received again with her bytes before the erase and keeps them.
    QCOMPARE(S().sim->Item(UDFP_SIM_KIND_PHONEBOOK, 0), Record("Alice", "5550001", {1, 2, 3, 4}));
    QVERIFY(!std::filesystem::exists(CachePath()));
  }

  // The cable is pulled during the writes: no 723, the cache keeps the handset's entries;
  // at the next start it is offered (1533), fills the Handset list, and Send writes them all.
  void unplugDuringSendKeepsCache() {
    QVERIFY(S().Connect());
    auto attributes = [](int i) {
      const auto b = static_cast<std::uint8_t>(i);
      return std::array<std::uint8_t, 4>{b, static_cast<std::uint8_t>(b + 1), 0, 0xFF};
    };
    for (int i = 1; i <= 5; ++i) {
      S().sim->Add(UDFP_SIM_KIND_PHONEBOOK,
                   Record("P" + std::to_string(i), "55500" + std::to_string(i), attributes(i)));
    }
    {
      auto window = Open();
      QCOMPARE(window->HandsetList().Count(), std::size_t{5});
      S().sim->UnplugAfterBlock(0);
      window->OnCommand(TemplateId::kSend);
      QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->IsContentEnabled(), kWaitMs);
      PostMessage(window->Handle(), TemplateMessage::kDeviceChange, 1, 0);
      QTRY_VERIFY(window->NoDevice());
      QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
      QCOMPARE(S().Count(723), 0);
      const auto cached = ReadSendCacheEntries(CachePath());
      QVERIFY(cached.has_value());
      QCOMPARE(cached->size(), std::size_t{5});
      QCOMPARE(cached->back(), (PhonebookEntry{"P5", "555005", attributes(5)}));
    }
    // The next start: the handset holds what the broken send wrote (here: nothing).
    m_services = std::make_unique<Services>();
    QVERIFY(S().Connect());
    auto window = Open();
    QCOMPARE(S().Count(1533), 1);
    QCOMPARE(window->HandsetList().Count(), std::size_t{5});
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(723), 1, kWaitMs);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 5);
    for (int i = 1; i <= 5; ++i) {
      QCOMPARE(S().sim->Item(UDFP_SIM_KIND_PHONEBOOK, static_cast<std::uint32_t>(i - 1)),
               Record("P" + std::to_string(i), "55500" + std::to_string(i), attributes(i)));
    }
    QVERIFY(!std::filesystem::exists(CachePath()));
  }

  // Cancel during the writes ends the send without 723 and keeps the cache: the handset
  // was erased, the cache is the only copy of what it held, and it is offered again when
  // the window next opens.
  void cancelDuringWritesKeepsCache() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 6);
    auto window = Open();
    S().sim->ResponseDelay(100);
    window->OnCommand(TemplateId::kSend);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == Dlg::kSending && window->ProgressWindow() != nullptr &&
                                 window->ProgressWindow()->ProgressText() == "( 2 / 6 )",
                             kWaitMs);
    // Cancel only asks: the write in flight still runs, so closing is refused meanwhile.
    window->OnWindowMessage({TemplateMessage::kCancel, 0, 0, nullptr});
    QCOMPARE(window->Executing(), Dlg::kSending);
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(728), 1);
    QVERIFY(window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->IsContentEnabled(), kWaitMs);
    QCOMPARE(S().Count(723), 0);
    QCOMPARE(S().Count(724), 1);
    QCOMPARE(S().Count(725), 0);
    QVERIFY(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK) <= 2);
    CPhonebookList cached;
    QVERIFY(ReadSendCache(CachePath(), cached, true));
    QCOMPARE(cached.Count(), std::size_t{6});

    S().sim->ResponseDelay(0);
    window.reset();
    auto reopened = Open();
    QCOMPARE(S().Count(1533), 1);
    QCOMPARE(reopened->HandsetList().Count(), std::size_t{6});
  }

  // The cable is pulled after the 4th of 10 records: no 723, Send disabled, the cache holds
  // the 10 entries the handset had, with their attribute bytes. Plugged in again, the
  // window offers the cache (1533) and shows the 10 again. A second send broken off after
  // 2 records keeps that cache (not the 4 entries it received first); the send after the
  // next plug writes all 10 back with their bytes and only then removes the cache.
  void cablePulledAfterFourthOfTen() {
    QVERIFY(S().Connect());
    auto checkCache = [&](auto name, auto number, auto attributes) {
      const auto cached = ReadSendCacheEntries(CachePath());
      QVERIFY(cached.has_value());
      QCOMPARE(cached->size(), std::size_t{10});
      for (int i = 1; i <= 10; ++i) {
        QCOMPARE(cached->at(static_cast<std::size_t>(i - 1)), (PhonebookEntry{name(i), number(i), attributes(i)}));
      }
    };
    auto name = [](int i) { return "Entry " + std::string(i < 10 ? "0" : "") + std::to_string(i); };
    auto number = [](int i) { return std::to_string(5550100 + i); };
    auto attributes = [](int i) {
      const auto b = static_cast<std::uint8_t>(i);
      return std::array<std::uint8_t, 4>{b, static_cast<std::uint8_t>(0x80 | b), 0, 0xFF};
    };
    for (int i = 1; i <= 10; ++i) {
      S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record(name(i), number(i), attributes(i)));
    }
    auto window = Open();
    QCOMPARE(window->HandsetList().Count(), std::size_t{10});
    QVERIFY(S().sim->UnplugAfterObjects(UDFP_SIM_KIND_PHONEBOOK, 4));
    window->OnCommand(TemplateId::kSend);
    Unplugged(*window);
    QCOMPARE(S().Count(723), 0);
    QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
    QVERIFY(window->IsContentEnabled());
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 4);
    checkCache(name, number, attributes);

    for (int plug = 1; plug <= 2; ++plug) {
      QVERIFY(Replugged(*window));
      QTRY_COMPARE_WITH_TIMEOUT(S().Count(1533), plug, kWaitMs);
      QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && !window->NoDevice() && window->IsContentEnabled(), kWaitMs);
      QCOMPARE(window->HandsetList().Count(), std::size_t{10});
      QCOMPARE(window->HandsetList().Row(9).name, name(10));
      QVERIFY(window->Control(TemplateId::kSend)->isEnabled());
      if (plug == 2) {
        break;
      }
      QVERIFY(S().sim->UnplugAfterObjects(UDFP_SIM_KIND_PHONEBOOK, 2));
      window->OnCommand(TemplateId::kSend);
      Unplugged(*window);
      QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 2);
      QCOMPARE(S().Count(723), 0);
      checkCache(name, number, attributes);
    }
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(723), 1, kWaitMs);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 10);
    for (int i = 1; i <= 10; ++i) {
      QCOMPARE(S().sim->Item(UDFP_SIM_KIND_PHONEBOOK, static_cast<std::uint32_t>(i - 1)),
               Record(name(i), number(i), attributes(i)));
    }
    QVERIFY(!std::filesystem::exists(CachePath()));
  }

  // Cancel during the receive that runs ahead of a send: 724 once, nothing erased.
  void cancelledReceiveBeforeSendDoesNotErase() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 5);
    S().sim->RefuseNextBlock(UDFP_SIM_REFUSE_BAD_ITEM);
    auto window = Open();  // an incomplete receive: the send must receive again first
    AnswerEntryDialog(*window, "New", "123");
    window->OnCommand(Dlg::kHandsetAdd);
    S().sim->ResetCounters();
    S().sim->ResponseDelay(150);
    const std::size_t before = S().shown.size();
    QTimer::singleShot(0, window.get(), [&] {
      QTRY_COMPARE_WITH_TIMEOUT(window->Executing(), Dlg::kReceiving, kWaitMs);
      window->OnWindowMessage({TemplateMessage::kCancel, 0, 0, nullptr});
    });
    window->OnCommand(TemplateId::kSend);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->IsContentEnabled(), kWaitMs);
    QTest::qWait(300);
    QCOMPARE(ShownSince(before), (std::vector<std::int32_t>{726, 724}));
    QCOMPARE(S().sim->Counters().deleteRequests, 0u);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 5);
    QVERIFY(!std::filesystem::exists(CachePath()));
  }

  // The handset leaves utility mode (indication 0xE93) during the receive ahead of a send:
  // that receive is no copy, the send stops before the erase and Send is disabled.
  void handsetLeavesDuringReceiveBeforeSend() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 5);
    S().sim->RefuseNextBlock(UDFP_SIM_REFUSE_BAD_ITEM);
    auto window = Open();
    AnswerEntryDialog(*window, "New", "123");
    window->OnCommand(Dlg::kHandsetAdd);
    S().sim->ResetCounters();
    S().sim->ResponseDelay(150);
    QTimer::singleShot(0, window.get(), [&] {
      QTRY_COMPARE_WITH_TIMEOUT(window->Executing(), Dlg::kReceiving, kWaitMs);
      S().sim->QueueEvent(UDFP_SIM_EVENT_E93);
    });
    const std::size_t before = S().shown.size();
    window->OnCommand(TemplateId::kSend);
    QTRY_VERIFY_WITH_TIMEOUT(window->NoDevice() && window->Executing() == 0 && window->IsContentEnabled(), kWaitMs);
    QTest::qWait(1500);  // the receive itself still ends on the link
    // Only the question: no erase was attempted (not even one the busy link refused).
    QCOMPARE(ShownSince(before), (std::vector<std::int32_t>{726}));
    QCOMPARE(S().sim->Counters().deleteRequests, 0u);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 5);
    QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
    QCOMPARE(S().Count(723), 0);
    QVERIFY(!std::filesystem::exists(CachePath()));
  }

  // A cache that cannot be read does not leave the window disabled: it receives as if there
  // were none, and the cache stays for a later try.
  void unreadableCacheReceivesNormally() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 3);
    std::filesystem::create_directory(CachePath());
    { std::ofstream inside((CachePath() / "kept").string()); }
    auto window = Open();
    QCOMPARE(S().Count(1533), 1);
    QCOMPARE(window->HandsetList().Count(), std::size_t{3});
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->IsBusyCursor());
    QVERIFY(std::filesystem::exists(CachePath() / "kept"));
    std::filesystem::remove_all(CachePath());
  }

  // The handset refuses the start of the utility: 773, the handset counts as gone (Send
  // disabled) and closing no longer asks about unsaved data.
  void startRefusedLeavesWithoutAsking() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 2);
    S().sim->FailVendorRequests(50);
    auto window = Open(false);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(773), 1, kWaitMs);
    S().sim->FailVendorRequests(0);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->IsContentEnabled(), kWaitMs);
    QVERIFY(window->NoDevice());
    QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
    AnswerEntryDialog(*window, "Pat", "4444");
    window->OnCommand(Dlg::kComputerAdd);
    QVERIFY(window->ComputerChanged());
    bool finished = false;
    connect(window.get(), &QDialog::finished, this, [&finished] { finished = true; });
    window->OnCommand(Dlg::kMenuExit);
    QVERIFY(finished);
    QCOMPARE(S().Count(752), 0);
  }

  // The import dialog follows the handset while it is open: a detach disables "Caller ID"
  // (a choice of it falls back to "File"), the handset's ready indication enables it again.
  void importDialogFollowsTheHandset() {
    QVERIFY(S().Connect());
    auto window = Open();
    bool checked = false;
    QTimer::singleShot(0, window.get(), [&] {
      auto* dialog = qobject_cast<CPhoneBookImportDlg*>(window->OpenSubDialog());
      QVERIFY(dialog != nullptr);
      // Closed however the checks end, so a failure cannot leave the test waiting on it.
      const std::unique_ptr<QDialog, void (*)(QDialog*)> closer(dialog, [](QDialog* d) { d->done(QDialog::Rejected); });
      QRadioButton* caller = dialog->Choice(CPhoneBookImportDlg::kCallerChoice);
      QVERIFY(caller->isVisible() && caller->isEnabled());
      caller->setChecked(true);
      PostMessage(window->Handle(), TemplateMessage::kDeviceChange, 1, 0);
      QTRY_VERIFY(!caller->isEnabled());
      QVERIFY(dialog->Choice(CPhoneBookImportDlg::kFileChoice)->isChecked());
      window->OnWindowMessage({LinkMessage::kIndication69, 0, 0, nullptr});
      QTRY_VERIFY(caller->isEnabled());
      checked = true;
    });
    window->OnCommand(Dlg::kImport);
    QVERIFY(checked);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && !window->NoDevice(), kWaitMs);
  }

  // Closing again while the send that closing started still runs: 728 during its writes,
  // 727 during the receive it runs first; either way the first close still ends when the
  // send does.
  void closingAgainWhileClosingSends_data() {
    QTest::addColumn<bool>("receiveFirst");
    QTest::newRow("during the writes") << false;
    QTest::newRow("during the receive ahead of the send") << true;
  }
  void closingAgainWhileClosingSends() {
    QFETCH(bool, receiveFirst);
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 3);
    if (receiveFirst) {
      S().sim->RefuseNextBlock(UDFP_SIM_REFUSE_BAD_ITEM);  // no copy yet: the send receives first
    }
    auto window = Open();
    AnswerEntryDialog(*window, "Quin", "5555");
    window->OnCommand(Dlg::kHandsetAdd);
    bool finished = false;
    connect(window.get(), &QDialog::finished, this, [&finished] { finished = true; });
    S().onMessage = [](std::int32_t number) { return number == 775 ? IDYES : IDOK; };
    S().sim->ResponseDelay(100);
    QTimer::singleShot(0, window.get(), [&] {
      if (receiveFirst) {
        QTRY_COMPARE_WITH_TIMEOUT(window->Executing(), Dlg::kReceiving, kWaitMs);
      } else {
        QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == Dlg::kSending && S().sim->Count(UDFP_SIM_KIND_PHONEBOOK) >= 1,
                                 kWaitMs);
      }
      window->OnCommand(Dlg::kMenuExit);
    });
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(receiveFirst ? 727 : 728), 1);
    QCOMPARE(S().Count(723), 1);
    QVERIFY(finished);
    // The Handset list is what was sent: with the receive refused at opening it held Quin only.
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), receiveFirst ? 1 : 4);
  }

  // Import from a phonebook file in add mode: rows of the same number take the file's
  // name, 795 counts added plus overwritten entries; another extension gives 732.
  void importFileAddMode() {
    auto window = Open(false);
    AnswerEntryDialog(*window, "Old", "111");
    window->OnCommand(Dlg::kComputerAdd);
    const QString file = Path("import.phb");
    {
      std::ofstream out(file.toStdString(), std::ios::binary);
      out << kPhonebookHeader << "\r\n\"New\",111\r\n\"Two\",222\r\n";
    }
    S().dialogs.answers.push_back({true, file.toStdString(), {}});
    QTimer::singleShot(0, window.get(), [&] {
      auto* dialog = qobject_cast<CPhoneBookImportDlg*>(window->OpenSubDialog());
      QVERIFY(dialog != nullptr);
      QVERIFY(dialog->Choice(CPhoneBookImportDlg::kFileChoice)->isChecked());
      QVERIFY(!dialog->Choice(CPhoneBookImportDlg::kCallerChoice)->isEnabled());
      dialog->PressOk();
      QTimer::singleShot(0, window.get(), [&] {
        auto* confirm = qobject_cast<CPhoneBookConfirmDlg*>(window->OpenSubDialog());
        QVERIFY(confirm != nullptr);
        // Unsaved rows: "save first" is offered and preselected.
        QVERIFY(confirm->Choice(CPhoneBookConfirmDlg::kSaveChoice)->isChecked());
        confirm->Choice(CPhoneBookConfirmDlg::kAddChoice)->setChecked(true);
        confirm->PressOk();
      });
    });
    window->OnCommand(Dlg::kImport);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QCOMPARE(window->ComputerList().Row(0).name, std::string("New"));
    QCOMPARE(S().Count(795), 1);
    QVERIFY(QString::fromStdString(S().texts.back()).startsWith("2 "));
    QVERIFY(window->ComputerChanged());

    // Not a phonebook file: 732, nothing changes.
    S().dialogs.answers.push_back({true, Path("notes.txt").toStdString(), {}});
    QTimer::singleShot(0, window.get(), [&] {
      qobject_cast<CPhoneBookImportDlg*>(window->OpenSubDialog())->PressOk();
      QTimer::singleShot(0, window.get(), [&] {
        auto* confirm = qobject_cast<CPhoneBookConfirmDlg*>(window->OpenSubDialog());
        QVERIFY(confirm != nullptr);
        confirm->Choice(CPhoneBookConfirmDlg::kReplaceChoice)->setChecked(true);
        confirm->PressOk();
      });
    });
    window->OnCommand(Dlg::kImport);
    QCOMPARE(S().Count(732), 1);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
  }

  // The caller list adds only numbers the Computer list does not hold yet.
  void callerListAddsNewNumbers() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_CALLER_LIST, 3);
    auto window = Open();
    const std::string known = StoredNumber(ToDisplayNumber("02070002", true));
    AnswerEntryDialog(*window, "Known", QString::fromStdString(known));
    window->OnCommand(Dlg::kComputerAdd);
    QTimer::singleShot(0, window.get(), [&] {
      auto* dialog = qobject_cast<CPhoneBookImportDlg*>(window->OpenSubDialog());
      QVERIFY(dialog != nullptr);
      QVERIFY(dialog->Choice(CPhoneBookImportDlg::kCallerChoice)->isVisible());
      QVERIFY(dialog->Choice(CPhoneBookImportDlg::kCallerChoice)->isEnabled());
      dialog->Choice(CPhoneBookImportDlg::kCallerChoice)->setChecked(true);
      dialog->PressOk();
    });
    window->OnCommand(Dlg::kImport);
    QTRY_COMPARE_WITH_TIMEOUT(window->ComputerList().Count(), std::size_t{3}, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->IsContentEnabled(), kWaitMs);
    QCOMPARE(window->ComputerList().Row(2).name, std::string("Known"));
    QCOMPARE(window->ComputerList().Row(0).name, std::string("Caller 01"));
    QCOMPARE(S().Count(759), 0);
  }

  // Closing: unsaved Computer data asks 752 (Cancel stays), an edited Handset list asks 775
  // (Yes sends, then the window closes).
  void closingQuestions() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 2);
    auto window = Open();
    AnswerEntryDialog(*window, "Pat", "4444");
    window->OnCommand(Dlg::kComputerAdd);
    AnswerEntryDialog(*window, "Quin", "5555");
    window->OnCommand(Dlg::kHandsetAdd);
    bool finished = false;
    connect(window.get(), &QDialog::finished, this, [&finished] { finished = true; });

    S().onMessage = [](std::int32_t number) { return number == 752 ? IDCANCEL : IDOK; };
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(752), 1);
    QCOMPARE(S().Count(775), 0);
    QVERIFY(!finished);

    S().onMessage = [](std::int32_t number) { return number == 752 ? IDNO : number == 775 ? IDYES : IDOK; };
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(775), 1);
    QCOMPARE(S().Count(723), 1);
    QVERIFY(finished);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 3);
  }

  // Closing while the phonebook is being received: 727, the window stays; afterwards it
  // closes without a question.
  void closingDuringReceive() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 4);
    S().sim->ResponseDelay(100);
    auto window = Open(false);
    QTRY_COMPARE_WITH_TIMEOUT(window->Executing(), Dlg::kReceiving, kWaitMs);
    bool finished = false;
    connect(window.get(), &QDialog::finished, this, [&finished] { finished = true; });
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(727), 1);
    QVERIFY(!finished);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->HandsetList().Count() == 4, kWaitMs);
    window->OnCommand(Dlg::kMenuExit);
    QVERIFY(finished);
    QCOMPARE(S().Count(727), 1);
  }

  // The send that closing started is cancelled: 724 once, no 723, the window stays open
  // and asks again at the next close.
  void cancelOfTheClosingSendKeepsTheWindow() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 5);
    auto window = Open();
    AnswerEntryDialog(*window, "Quin", "5555");
    window->OnCommand(Dlg::kHandsetAdd);
    bool finished = false;
    connect(window.get(), &QDialog::finished, this, [&finished] { finished = true; });
    S().onMessage = [](std::int32_t number) { return number == 775 ? IDYES : IDOK; };
    S().sim->ResponseDelay(100);
    QTimer::singleShot(0, window.get(), [&] {
      QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == Dlg::kSending && S().sim->Count(UDFP_SIM_KIND_PHONEBOOK) >= 1,
                               kWaitMs);
      window->OnWindowMessage({TemplateMessage::kCancel, 0, 0, nullptr});
    });
    window->OnCommand(Dlg::kMenuExit);
    QVERIFY(!finished);
    QCOMPARE(S().Count(724), 1);
    QCOMPARE(S().Count(723), 0);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
    QVERIFY(std::filesystem::exists(CachePath()));
    S().sim->ResponseDelay(0);
    S().onMessage = [](std::int32_t number) { return number == 775 ? IDNO : IDOK; };
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(775), 2);
    QVERIFY(finished);
  }

  // While a send runs, closing is refused with 728.
  void closingDuringSend() {
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 3);
    auto window = Open();
    S().sim->ResponseDelay(150);
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(window->Executing(), Dlg::kSending, kWaitMs);
    window->OnCommand(Dlg::kMenuExit);
    QCOMPARE(S().Count(728), 1);
    QVERIFY(window->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(723), 1, kWaitMs);
  }

  void screenshotsInEveryLanguage() {
    static const char* const kNames[] = {"english", "french", "spanish", "portuguese"};
    QVERIFY(S().Connect());
    S().sim->Exports().StoreFill(UDFP_SIM_KIND_PHONEBOOK, 6);
    auto window = Open();
    AnswerEntryDialog(*window, "Alice", "5551234");
    window->OnCommand(Dlg::kComputerAdd);
    AnswerEntryDialog(*window, "Bob", "0207000111");
    window->OnCommand(Dlg::kComputerAdd);
    for (std::int32_t language = 0; language < 4; ++language) {
      QVERIFY(S().strings.Load(language) || language == 0);
      window->OnWindowMessage({TemplateMessage::kLanguageChange, 0, 0, nullptr});
      QTest::qWait(50);
      const QString base = ScreenshotDir() + "/" + kNames[language];
      QVERIFY(window->grab().save(base + "-phonebook.png"));
      auto* entry = new CPhoneBookEntryDlg(window.get(), &S().context, "Alice", "5551234");
      entry->show();
      QVERIFY(QTest::qWaitForWindowExposed(entry));
      QVERIFY(entry->grab().save(base + "-phonebook-entry.png"));
      delete entry;
      auto* import = new CPhoneBookImportDlg(window.get(), &S().context, true);
      import->show();
      QVERIFY(QTest::qWaitForWindowExposed(import));
      QVERIFY(import->grab().save(base + "-phonebook-import.png"));
      delete import;
      auto* confirm = new CPhoneBookConfirmDlg(window.get(), &S().context, true);
      confirm->show();
      QVERIFY(QTest::qWaitForWindowExposed(confirm));
      QVERIFY(confirm->grab().save(base + "-phonebook-confirm.png"));
      delete confirm;
    }
  }
};

QTEST_MAIN(PhoneBookWindowTest)
#include "PhoneBookWindowTest.moc"
