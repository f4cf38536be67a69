// The phonebook window's import from Outlook with the contacts export library and the
// sample data files: the chooser and its remembered folder, 1537, the merge, the password
// dialog, 768 for damaged files and a missing library, cancel, and the private folder of
// each import gone afterwards.
#include "gui/TemplateFixture.h"

#include "appcore/SettingsStore.h"
#include "phonebook/HandsetRecord.h"
#include "phonebook/PhoneBookImportDlg.h"
#include "phonebook/PhoneBookOutlookImport.h"
#include "phonebook/PhoneBookPasswordDlg.h"
#include "phonebook/PhoneBookUtilityDlg.h"
#include "platform/WindowRegistry.h"
#include "ui/ProgressWnd.h"

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace templatetest;

namespace {

using Dlg = CPhoneBookUtilityDlg;

constexpr std::int32_t kMsgOutlookNotRunning = 1537;
constexpr std::int32_t kMsgImportError = 768;

std::string Sample(const char* name) {
  return (std::filesystem::path(ORVANE_TEST_DATA_DIR) / "outlook" / name).string();
}

// Sets an environment variable for the length of a test.
class CScopedEnvironment {
 public:
  CScopedEnvironment(const char* name, const QString& value) : m_name(name), m_old(qgetenv(name)) {
    m_had = qEnvironmentVariableIsSet(name);
    qputenv(name, value.toUtf8());
  }
  ~CScopedEnvironment() {
    if (m_had) {
      qputenv(m_name, m_old);
    } else {
      qunsetenv(m_name);
    }
  }
  CScopedEnvironment(const CScopedEnvironment&) = delete;
  CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

 private:
  const char* m_name;
  QByteArray m_old;
  bool m_had = false;
};

// Runs `act` on the password dialog as soon as it is open.
void WhenPasswordAsked(Dlg& window, std::function<void(CPhoneBookPasswordDlg&)> act) {
  QTimer::singleShot(0, &window, [&window, act] {
    auto* dialog = qobject_cast<CPhoneBookPasswordDlg*>(window.OpenSubDialog());
    if (dialog == nullptr || !dialog->isVisible()) {
      // The file is still being asked whether it is protected.
      WhenPasswordAsked(window, act);
      return;
    }
    act(*dialog);
  });
}

// Answers the password dialog: the text and OK, or Cancel.
void AnswerPassword(Dlg& window, const QString& password, bool ok, bool* asked) {
  WhenPasswordAsked(window, [password, ok, asked](CPhoneBookPasswordDlg& dialog) {
    *asked = true;
    dialog.PasswordEdit()->setText(password);
    dialog.done(ok ? QDialog::Accepted : QDialog::Rejected);
  });
}

std::vector<std::uint8_t> Record(const std::string& name, const std::string& number) {
  const HandsetPhonebookRecord record = EncodeRecord(name, number, {});
  return {record.bytes.begin(), record.bytes.end()};
}

QString ScreenshotDir() {
  const QString dir = QDir(QStringLiteral(ORVANE_OUTPUT_DIR)).absoluteFilePath(QStringLiteral("../screenshots"));
  QDir().mkpath(dir);
  return QDir::cleanPath(dir);
}

}  // namespace

class PhoneBookOutlookTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_temp;
  std::unique_ptr<CScopedEnvironment> m_tmpdir;
  std::unique_ptr<Services> m_services;

  Services& S() { return *m_services; }

  std::unique_ptr<Dlg> Open() {
    auto window = std::make_unique<Dlg>(nullptr, &S().context);
    window->SetSendCacheFile(m_temp.filePath("PBCache.phb").toStdString());
    window->show();
    return window;
  }

  void Choose(const std::string& path) { S().dialogs.answers.push_back({true, path, {}}); }

  // The private folders of the imports, made under the temporary folder.
  int ImportFoldersLeft() const {
    return static_cast<int>(
        QDir(m_temp.path()).entryList({"orvane-outlook-*"}, QDir::AllEntries | QDir::Hidden | QDir::System).size());
  }

  std::string Copy(const char* sample, std::size_t size) {
    std::ifstream in(Sample(sample), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string path = m_temp.filePath(QString("cut-%1").arg(sample)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes.substr(0, size);
    return path;
  }

 private slots:
  void init() {
    m_tmpdir = std::make_unique<CScopedEnvironment>("TMPDIR", m_temp.path());
    m_services = std::make_unique<Services>();
  }
  void cleanup() {
    m_services.reset();
    m_tmpdir.reset();
  }

  // The import choice offers Outlook; the contacts' numbers become Computer rows; the
  // chooser opens next time in the folder of the file.
  void importsTheContactsOfADataFile() {
    auto window = Open();
    QTimer::singleShot(0, window.get(), [&window] {
      auto* dialog = qobject_cast<CPhoneBookImportDlg*>(window->OpenSubDialog());
      QVERIFY(dialog != nullptr);
      QVERIFY(dialog->Choice(CPhoneBookImportDlg::kOutlookChoice)->isEnabled());
      dialog->Choice(CPhoneBookImportDlg::kOutlookChoice)->setChecked(true);
      dialog->PressOk();
    });
    Choose(Sample("SampleContacts.pst"));
    window->OnCommand(Dlg::kImport);
    QCOMPARE(S().Count(kMsgOutlookNotRunning), 1);
    QCOMPARE(S().Count(kMsgImportError), 0);
    const CPhonebookList& computer = window->ComputerList();
    QCOMPARE(computer.Count(), std::size_t{6});
    QCOMPARE(computer.Row(0), (PhonebookRow{"1", "Bertha A. Buell", "0-660-504-5265"}));
    QCOMPARE(computer.Row(3), (PhonebookRow{"4", "Margaret J. Toll", "089-080-1183"}));
    QVERIFY(window->ComputerChanged());
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->Content()->isEnabled());
    QCOMPARE(ImportFoldersLeft(), 0);
    QCOMPARE(S().dialogs.requests.back().filter, std::string("Outlook (*.pst *.ost *.pab)"));

    // The same contacts again add nothing; the chooser starts in the folder of the last file.
    Choose(Sample("SampleContacts1.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QCOMPARE(S().dialogs.requests.back().folder, std::filesystem::path(Sample("x")).parent_path().string());
    QCOMPARE(computer.Count(), std::size_t{6});
    QCOMPARE(S().settings.ReadOrCreateString(kProductKey + "PhoneBook", CPhoneBookOutlookImport::kFolderValue, ""),
             std::filesystem::path(Sample("x")).parent_path().string());
  }

  // Nothing chosen: nothing happens. A damaged file, a foreign file or a missing library:
  // 768 and the list as it was.
  void failuresLeaveTheListAsItWas() {
    auto window = Open();
    window->OnCommand(Dlg::kImportFromOutlook);
    QCOMPARE(S().Count(kMsgOutlookNotRunning), 0);
    QCOMPARE(window->Executing(), std::uint8_t{0});

    Choose(Sample("SampleContacts.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    const CPhonebookList before = window->ComputerList();
    for (const std::string& bad : {Copy("SampleContacts.pst", 70000), Sample("README.md")}) {
      Choose(bad);
      window->OnCommand(Dlg::kImportFromOutlook);
      QCOMPARE(window->ComputerList().Rows(), before.Rows());
      QCOMPARE(window->Executing(), std::uint8_t{0});
    }
    QCOMPARE(S().Count(kMsgImportError), 2);

    QTemporaryDir noLibrary;
    const CScopedEnvironment libraryDir("ORVANE_LIBRARY_DIR", noLibrary.path());
    Choose(Sample("SampleContacts1.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QCOMPARE(S().Count(kMsgImportError), 3);
    QCOMPARE(window->ComputerList().Rows(), before.Rows());
    QVERIFY(window->Content()->isEnabled());
    QVERIFY(window->ProgressWindow() == nullptr || !window->ProgressWindow()->IsOpen());
    QCOMPARE(ImportFoldersLeft(), 0);
  }

  // A protected file asks for its password: Cancel or a wrong one give 768; any text with
  // the file's checksum opens it (its one contact has no number, so no row is added).
  void aProtectedFileAsksForItsPassword() {
    auto window = Open();
    bool asked = false;
    AnswerPassword(*window, {}, false, &asked);
    Choose(Sample("passworded.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(asked);
    QCOMPARE(S().Count(kMsgImportError), 1);

    asked = false;
    AnswerPassword(*window, "password", true, &asked);
    Choose(Sample("passworded.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(asked);
    QCOMPARE(S().Count(kMsgImportError), 2);

    asked = false;
    AnswerPassword(*window, "brWjacX", true, &asked);
    Choose(Sample("passworded.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(asked);
    QCOMPARE(S().Count(kMsgImportError), 2);
    QVERIFY(window->ComputerList().Empty());
    QVERIFY(!window->ComputerChanged());
    QCOMPARE(ImportFoldersLeft(), 0);

    // A file without a password never shows the dialog.
    asked = false;
    Choose(Sample("dist-list.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(window->OpenSubDialog() == nullptr || !window->OpenSubDialog()->isVisible());
  }

  // Cancel in the progress window before the job starts (while the file is asked whether it
  // is protected): nothing merged, no message, no folder left, the next import runs.
  void cancelBeforeTheJobMergesNothing() {
    auto window = Open();
    const WindowHandle handle = window->Handle();
    S().onMessage = [handle](std::int32_t number) {
      if (number == kMsgOutlookNotRunning) {
        PostMessage(handle, TemplateMessage::kCancel, 0, 0);
      }
      return IDOK;
    };
    Choose(Sample("SampleContacts.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(window->ComputerList().Empty());
    QVERIFY(!window->ComputerChanged());
    QCOMPARE(S().Count(kMsgImportError), 0);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QCOMPARE(ImportFoldersLeft(), 0);

    S().onMessage = {};
    Choose(Sample("SampleContacts.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QCOMPARE(window->ComputerList().Count(), std::size_t{6});
  }

  // Cancel queued as the job starts (right after the password): the job's report is taken
  // as cancelled, no message, the window free again and no folder left.
  void cancelWhileTheJobRunsShowsNothing() {
    auto window = Open();
    const WindowHandle handle = window->Handle();
    bool asked = false;
    WhenPasswordAsked(*window, [handle, &asked](CPhoneBookPasswordDlg& dialog) {
      asked = true;
      dialog.PasswordEdit()->setText("brWjacX");
      PostMessage(handle, TemplateMessage::kCancel, 0, 0);
      dialog.done(QDialog::Accepted);
    });
    Choose(Sample("passworded.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(asked);
    QCOMPARE(S().Count(kMsgImportError), 0);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->Content()->isEnabled());
    QCOMPARE(ImportFoldersLeft(), 0);
  }

  // While the import runs the window does not close (727).
  void closingIsRefusedWhileImporting() {
    auto window = Open();
    bool closed = true;
    S().onMessage = [&](std::int32_t number) {
      if (number == kMsgOutlookNotRunning) {
        QTimer::singleShot(0, window.get(), [&] { closed = window->close(); });
      }
      return IDOK;
    };
    bool asked = false;
    AnswerPassword(*window, "brWjacX", true, &asked);
    Choose(Sample("passworded.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(asked);
    QVERIFY(!closed);
    QCOMPARE(S().Count(727), 1);
  }

  // A handset attached while the contacts are read: its "FreeEdit" evaluation (numbers
  // without hyphens) and its receive wait until the contacts are merged, so the merged
  // numbers take the handset's form too.
  void attachDuringImportWaitsForTheMerge() {
    auto window = Open();
    Dlg* raw = window.get();
    QVERIFY(window->NoDevice());
    bool attached = false;
    S().onMessage = [&](std::int32_t number) {
      if (number == kMsgOutlookNotRunning) {
        QTimer::singleShot(0, raw, [&] {
          QVERIFY(S().Connect());
          S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Ann", "5550001"));
          QVERIFY(S().sim->Exports().SetModelField(35, 1));
          std::array<std::uint8_t, 16> info{};
          QVERIFY(S().sim->Exports().GetDeviceInfo(info.data()));
          S().status.SetDeviceInfo(info.data());
          raw->OnWindowMessage({TemplateMessage::kDeviceChange, 0, 0, nullptr});
          attached = raw->Executing() == CPhoneBookOutlookImport::kExecuting;
        });
      }
      return IDOK;
    };
    Choose(Sample("SampleContacts.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(attached);
    const CPhonebookList& computer = window->ComputerList();
    QCOMPARE(computer.Count(), std::size_t{6});
    QCOMPARE(computer.Row(0), (PhonebookRow{"1", "Bertha A. Buell", "06605045265"}));
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->HandsetList().Count() == 1, kWaitMs);
    QCOMPARE(window->HandsetList().Row(0).number, std::string("5550001"));
    QVERIFY(!window->NoDevice());
    QVERIFY(window->Content()->isEnabled());
    QCOMPARE(ImportFoldersLeft(), 0);
  }

  // The cable pulled while the contacts are read: the import ends normally with every
  // contact, and afterwards the Handset side shows that no handset is there.
  void detachDuringImportEndsCleanly() {
    QVERIFY(S().Connect());
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Ann", "5550001"));
    auto window = Open();
    Dlg* raw = window.get();
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->HandsetList().Count() == 1, kWaitMs);
    QVERIFY(window->Control(TemplateId::kSend)->isEnabled());
    bool detached = false;
    S().onMessage = [&](std::int32_t number) {
      if (number == kMsgOutlookNotRunning) {
        QTimer::singleShot(0, raw, [&] {
          QVERIFY(S().sim->Unplug());
          S().link->StopLink();
          S().status.SetConnected(0);
          raw->OnWindowMessage({TemplateMessage::kDeviceChange, 1, 0, nullptr});
          detached = raw->Executing() == CPhoneBookOutlookImport::kExecuting && raw->NoDevice();
        });
      }
      return IDOK;
    };
    Choose(Sample("SampleContacts.pst"));
    window->OnCommand(Dlg::kImportFromOutlook);
    QVERIFY(detached);
    QCOMPARE(window->ComputerList().Count(), std::size_t{6});
    QCOMPARE(window->ComputerList().Row(0).number, std::string("0-660-504-5265"));
    QCOMPARE(S().Count(kMsgImportError), 0);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->Content()->isEnabled());
    QVERIFY(!window->ProgressWindow()->IsOpen());
    QVERIFY(window->NoDevice());
    QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
    QCOMPARE(ImportFoldersLeft(), 0);
  }

  void screenshotsInEveryLanguage() {
    static const char* const kNames[] = {"english", "french", "spanish", "portuguese"};
    auto window = Open();
    for (std::int32_t language = 0; language < 4; ++language) {
      QVERIFY(S().strings.Load(language) || language == 0);
      window->OnWindowMessage({TemplateMessage::kLanguageChange, 0, 0, nullptr});
      const QString base = ScreenshotDir() + "/" + kNames[language];
      auto* password = new CPhoneBookPasswordDlg(window.get(), &S().context);
      password->show();
      QVERIFY(QTest::qWaitForWindowExposed(password));
      QVERIFY(password->grab().save(base + "-phonebook-outlook-password.png"));
      delete password;
      auto* import = new CPhoneBookImportDlg(window.get(), &S().context, true);
      import->show();
      QVERIFY(QTest::qWaitForWindowExposed(import));
      QVERIFY(import->grab().save(base + "-phonebook-import-outlook.png"));
      delete import;
    }
  }
};

QTEST_MAIN(PhoneBookOutlookTest)
#include "PhoneBookOutlookTest.moc"
