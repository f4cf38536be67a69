// The phonebook window's CSV and vCard files: the column-choice dialog over its grid, the
// import on a worker thread with its messages and counts, CSV export, vCard export into a
// folder and back, the Export submenu, the list context menus, the accelerators, and
// screenshots of the column-choice dialog.
#include "gui/TemplateFixture.h"

#include "framework/QtFileDialogs.h"
#include "phonebook/HandsetRecord.h"
#include "phonebook/ImportWorker.h"
#include "phonebook/MSFlexGrid.h"
#include "phonebook/PhoneBookConfirmDlg.h"
#include "phonebook/PhoneBookEntryDlg.h"
#include "phonebook/PhoneBookImportDlg.h"
#include "phonebook/PhoneBookImportFromDlg.h"
#include "phonebook/PhoneBookUtilityDlg.h"
#include "phonebook/PhonebookFile.h"
#include "ui/CharSetEdit.h"
#include "ui/PhoneNumberEdit.h"
#include "ui/ProgressWnd.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <sstream>

using namespace templatetest;

namespace {

using Dlg = CPhoneBookUtilityDlg;
using FromDlg = CPhoneBookImportFromDlg;

// The window with its closing question reachable for the test.
class Window : public CPhoneBookUtilityDlg {
 public:
  using CPhoneBookUtilityDlg::CPhoneBookUtilityDlg;
  using CPhoneBookUtilityDlg::QueryClose;
};

std::string ReadText(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const QString& path, const std::string& text) {
  std::ofstream out(path.toStdString(), std::ios::binary);
  out << text;
}

QString ScreenshotDir() {
  const QString dir = QDir(QStringLiteral(ORVANE_OUTPUT_DIR)).absoluteFilePath(QStringLiteral("../screenshots"));
  QDir().mkpath(dir);
  return QDir::cleanPath(dir);
}

// Runs act on the window's sub-dialog of type T as soon as one is open.
template <typename T>
void WhenOpen(Dlg& window, std::function<void(T*)> act) {
  auto* timer = new QTimer(&window);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, &window, [timer, &window, act] {
    auto* dialog = qobject_cast<T*>(window.OpenSubDialog());
    if (dialog == nullptr || !dialog->isVisible()) {
      return;
    }
    timer->stop();
    timer->deleteLater();
    act(dialog);
  });
  timer->start();
}

void AddEntry(Dlg& window, const QString& name, const QString& number) {
  WhenOpen<CPhoneBookEntryDlg>(window, [name, number](CPhoneBookEntryDlg* dialog) {
    dialog->NameEdit()->setText(name);
    dialog->NumberEdit()->setText(number);
    dialog->PressOk();
  });
  window.OnCommand(Dlg::kComputerAdd);
}

// A click on a cell of the grid's column, as the user makes it.
void ClickColumn(FromDlg* dialog, int column) {
  QTableView* view = dialog->Grid()->View();
  const QRect cell = view->visualRect(view->model()->index(0, column));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

// Points the dialog at the name and number columns (1-based; name 0 leaves it empty), then OK.
void ChooseColumns(FromDlg* dialog, int name, int number) {
  if (name > 0) {
    ClickColumn(dialog, name - 1);
    dialog->Press(FromDlg::kTakeName);
  }
  ClickColumn(dialog, number - 1);
  dialog->Press(FromDlg::kTakeNumber);
  dialog->Press(FromDlg::kOk);
}

void SelectOnly(QTableView* view, int row) {
  view->clearSelection();
  view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Makes the window the active one again once the entry dialog it showed is gone, so that
// its keys reach it.
void Activate(QWidget* window) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  window->activateWindow();
  QTRY_COMPARE(QApplication::activeWindow(), window);
}

// A CSV file of `count` lines "Name i,<seven-digit number>", long enough that the
// worker is still busy when the test acts during the import.
void WriteNumbered(const QString& path, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "Name " + std::to_string(i) + "," + std::to_string(3000000 + i) + "\r\n";
  }
  WriteText(path, text);
}

std::vector<std::uint8_t> Record(const std::string& name, const std::string& number) {
  const HandsetPhonebookRecord record = EncodeRecord(name, number, {});
  return {record.bytes.begin(), record.bytes.end()};
}

bool HasItem(QMenu* menu, int id) {
  return CTemplate::MenuItem(menu, id) != nullptr;
}

}  // namespace

class PhoneBookFilesTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  std::unique_ptr<Services> m_services;

  Services& S() { return *m_services; }
  QString Path(const QString& name) const { return m_dir.filePath(name); }

  std::unique_ptr<Window> Open() {
    auto window = std::make_unique<Window>(nullptr, &S().context);
    window->SetSendCacheFile(Path("PBCache.phb").toStdString());
    window->show();
    return window;
  }

  // Import from file with the chosen path; confirm answers the confirmation dialog (when the
  // Computer list has rows) and columns the column-choice dialog.
  void Import(Dlg& window, const QString& file, std::function<void(CPhoneBookConfirmDlg*)> confirm,
              std::function<void(FromDlg*)> columns) {
    S().dialogs.answers.push_back({true, file.toStdString(), {}});
    WhenOpen<CPhoneBookImportDlg>(window, [](CPhoneBookImportDlg* dialog) { dialog->PressOk(); });
    if (confirm) {
      WhenOpen<CPhoneBookConfirmDlg>(window, confirm);
    }
    if (columns) {
      WhenOpen<FromDlg>(window, columns);
    }
    window.OnCommand(Dlg::kImport);
  }

  static void AddMode(CPhoneBookConfirmDlg* confirm) {
    confirm->Choice(CPhoneBookConfirmDlg::kAddChoice)->setChecked(true);
    confirm->PressOk();
  }

 private slots:
  void init() { m_services = std::make_unique<Services>(); }
  void cleanup() { m_services.reset(); }

  // A CSV file through the dialog in add mode: the grid shows every line with numbered
  // columns, the arrows follow the rules, rows without a valid number are skipped with one
  // 753, and 795 counts the added and the overwritten entries.
  void csvImportChoosingColumns() {
    auto window = Open();
    AddEntry(*window, "Old", "5551234");
    const QString file = Path("contacts.csv");
    WriteText(file,
              "Name,Notes,Phone\r\n"
              "\"Smith\",friend,\"555-1234\"\r\n"
              "Jones,,0207000111\r\n"
              "Brown,work,\r\n"
              "Lee,x,123\r\n");
    bool checked = false;
    Import(*window, file, &PhoneBookFilesTest::AddMode, [&checked](FromDlg* dialog) {
      CMSFlexGrid* grid = dialog->Grid();
      QCOMPARE(grid->Rows(), 6L);
      QCOMPARE(grid->Cols(), 3L);
      QCOMPARE(grid->TextMatrix(0, 2), std::string("3"));
      QCOMPARE(grid->TextMatrix(2, 0), std::string("Smith"));
      QCOMPARE(grid->TextMatrix(3, 1), std::string(" "));
      QCOMPARE(grid->View()->model()->rowCount(), 5);
      // Nothing chosen yet: the arrows and OK wait for a click on the grid.
      for (int id :
           {FromDlg::kTakeName, FromDlg::kClearName, FromDlg::kTakeNumber, FromDlg::kClearNumber, FromDlg::kOk}) {
        QVERIFY(!dialog->Control(id)->isEnabled());
      }
      ClickColumn(dialog, 0);
      QVERIFY(dialog->Control(FromDlg::kTakeName)->isEnabled());
      QVERIFY(dialog->Control(FromDlg::kTakeNumber)->isEnabled());
      dialog->Press(FromDlg::kTakeName);
      QCOMPARE(dialog->NameField()->text(), QString("1"));
      QVERIFY(dialog->Control(FromDlg::kClearName)->isEnabled());
      QVERIFY(!dialog->Control(FromDlg::kOk)->isEnabled());
      ClickColumn(dialog, 2);
      dialog->Press(FromDlg::kTakeNumber);
      QCOMPARE(dialog->NumberField()->text(), QString("3"));
      QVERIFY(dialog->Control(FromDlg::kOk)->isEnabled());
      dialog->Press(FromDlg::kClearNumber);
      QVERIFY(!dialog->Control(FromDlg::kOk)->isEnabled());
      dialog->Press(FromDlg::kTakeNumber);
      checked = true;
      dialog->Press(FromDlg::kOk);
    });
    QVERIFY(checked);
    // The header and Brown had no number: one 753, then the count of Smith (overwriting
    // Old), Jones and Lee.
    QCOMPARE(S().Count(753), 1);
    QCOMPARE(S().Count(795), 1);
    QVERIFY(std::find(S().shown.begin(), S().shown.end(), 753) < std::find(S().shown.begin(), S().shown.end(), 795));
    QCOMPARE(S().texts.back(), std::string("3 phonebook entries were imported."));
    const CPhonebookList& list = window->ComputerList();
    QCOMPARE(list.Count(), std::size_t{3});
    QCOMPARE(QString::fromStdString(list.Row(0).name + "/" + list.Row(0).number),
             QString::fromStdString("Jones/" + ToDisplayNumber("0207000111", true)));
    QCOMPARE(list.Row(1).name, std::string("Lee"));
    QCOMPARE(list.Row(2), (PhonebookRow{"3", "Smith", "555-1234"}));
    QVERIFY(window->ComputerChanged());
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
    QCOMPARE(window->ComputerView()->model()->rowCount(), 3);
    QVERIFY(CTemplate::MenuItem(window->MenuBar()->actions().first()->menu(), Dlg::kMenuExport)->isEnabled());
  }

  // The same column for name and number is refused with 753 and imports nothing; a name
  // column left empty gives entries without names; Cancel imports nothing and shows no count.
  void csvImportColumnRules() {
    auto window = Open();
    const QString file = Path("numbers.csv");
    WriteText(file, "Ann,111\r\nBen,222\r\n");
    Import(*window, file, {}, [](FromDlg* dialog) { ChooseColumns(dialog, 2, 2); });
    QCOMPARE(S().Count(753), 1);
    QCOMPARE(S().Count(795), 0);
    QVERIFY(window->ComputerList().Empty());

    Import(*window, file, {}, [](FromDlg* dialog) { dialog->Press(FromDlg::kCancel); });
    QCOMPARE(S().Count(795), 0);
    QVERIFY(window->ComputerList().Empty());

    Import(*window, file, {}, [](FromDlg* dialog) { ChooseColumns(dialog, 0, 2); });
    QCOMPARE(S().Count(795), 1);
    QCOMPARE(S().Count(753), 1);
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QCOMPARE(window->ComputerList().Row(0).name, std::string());
    QCOMPARE(window->ComputerList().Row(1).name, std::string());

    // A wide export: column 101 is taken as 101, not cut to two digits.
    const QString wide = Path("wide.csv");
    {
      std::string line;
      for (int column = 1; column <= 120; ++column) {
        line += (column == 101  ? std::string("Wendy")
                 : column == 10 ? std::string("Ten")
                                : std::to_string(column)) +
                (column < 120 ? "," : "\r\n");
      }
      WriteText(wide, line);
    }
    Import(
        *window, wide, [](CPhoneBookConfirmDlg* confirm) { AddMode(confirm); },
        [](FromDlg* dialog) {
          ClickColumn(dialog, 0);
          dialog->Grid()->SetCol(100);
          dialog->Press(FromDlg::kTakeName);
          QCOMPARE(dialog->NameField()->text(), QString("101"));
          dialog->Grid()->SetCol(119);
          dialog->Press(FromDlg::kTakeNumber);
          dialog->Press(FromDlg::kOk);
        });
    QCOMPARE(window->ComputerList().Count(), std::size_t{3});
    QCOMPARE(window->ComputerList().Row(2).name, std::string("Wendy"));
  }

  // The import offers phonebook, CSV and vCard files; another extension gives 732 and a CSV
  // file that cannot be read gives 732 without the dialog; an upper-case extension counts.
  void importFileKinds() {
    auto window = Open();
    WriteText(Path("list.txt"), "Ann,111\r\n");
    Import(*window, Path("list.txt"), {}, {});
    QCOMPARE(S().Count(732), 1);
    QVERIFY(window->ComputerList().Empty());
    const std::string filter = S().dialogs.requests.back().filter;
    QVERIFY(filter.find("*.vcf") != std::string::npos);
    QVERIFY(filter.find("*.csv") != std::string::npos);
    QVERIFY(filter.find("*.phb") != std::string::npos);

    Import(*window, Path("missing.csv"), {}, {});
    QCOMPARE(S().Count(732), 2);
    WriteText(Path("empty.vcf"), "");
    Import(*window, Path("empty.vcf"), {}, {});
    QCOMPARE(S().Count(732), 3);
    QVERIFY(window->OpenSubDialog() == nullptr || !window->OpenSubDialog()->isVisible());

    // A vCard without names or numbers ends quietly.
    WriteText(Path("note.vcf"), "BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE:hello\r\nEND:VCARD\r\n");
    Import(*window, Path("note.vcf"), {}, {});
    QCOMPARE(S().Count(732), 3);
    QCOMPARE(S().Count(795), 0);

    WriteText(Path("UPPER.CSV"), "Ann,111\r\n");
    Import(*window, Path("UPPER.CSV"), {}, [](FromDlg* dialog) { ChooseColumns(dialog, 1, 2); });
    QCOMPARE(S().Count(795), 1);
    QCOMPARE(window->ComputerList().Count(), std::size_t{1});
  }

  // A file of 10,000 rows opens in the grid whole and imports every row.
  void largeCsvOpensInGrid() {
    const QString file = Path("large.csv");
    {
      std::string text;
      for (int i = 0; i < 10000; ++i) {
        text += "Name " + std::to_string(i) + "," + std::to_string(30000000 + i) + "\r\n";
      }
      WriteText(file, text);
    }
    auto window = Open();
    {
      FromDlg dialog(window.get(), &S().context, FromDlg::kCsv, file.toStdString());
      QVERIFY(dialog.Load() == FromDlg::LoadResult::Loaded);
      QCOMPARE(dialog.Grid()->Rows(), 10001L);
      QCOMPARE(dialog.Grid()->Cols(), 2L);
      QCOMPARE(dialog.Grid()->TextMatrix(10000, 1), std::string("30009999"));
      QCOMPARE(dialog.Grid()->TextMatrix(1, 0), std::string("Name 0"));
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      dialog.Grid()->View()->scrollToBottom();
      QCOMPARE(dialog.Grid()->View()->model()->rowCount(), 10000);
    }
    Import(*window, file, {}, [](FromDlg* dialog) { ChooseColumns(dialog, 1, 2); });
    QCOMPARE(S().texts.back(), std::string("10000 phonebook entries were imported."));
    QCOMPARE(window->ComputerList().Count(), std::size_t{10000});
    QCOMPARE(S().Count(753), 0);
  }

  // While the worker imports, the window is disabled behind the progress window ("Receiving
  // CSV") and refuses to close with 727; afterwards it is free again.
  void closingRefusedDuringImport() {
    const QString file = Path("many.csv");
    {
      std::string text;
      for (int i = 0; i < 100000; ++i) {
        text += "Name " + std::to_string(i) + "," + std::to_string(300000000 + i) + "\r\n";
      }
      WriteText(file, text);
    }
    auto window = Open();
    Window* raw = window.get();
    bool duringImport = false;
    Import(*window, file, {}, [&](FromDlg* dialog) {
      // Runs in the import's own wait, before the worker's result can arrive.
      QTimer::singleShot(0, raw, [&] {
        duringImport = raw->Executing() == Dlg::kImporting;
        QVERIFY(duringImport);
        QVERIFY(!raw->IsContentEnabled());
        QVERIFY(!raw->MenuBar()->isEnabled());
        QVERIFY(raw->ProgressWindow()->IsOpen());
        QVERIFY(raw->ProgressWindow()->MessageText().contains("CSV"));
        QVERIFY(!raw->QueryClose());
        QCOMPARE(S().Count(727), 1);
      });
      ChooseColumns(dialog, 1, 2);
    });
    QVERIFY(duringImport);
    QVERIFY(raw->isVisible());
    QCOMPARE(window->ComputerList().Count(), std::size_t{100000});
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->ProgressWindow()->IsOpen());
    QVERIFY(window->MenuBar()->isEnabled());
  }

  // The import's progress window has a Cancel of its own: pressed while the worker runs,
  // nothing is merged (not even in replace mode), no message follows, the window is free
  // again, and the next import runs to its end.
  void cancelInTheImportProgressMergesNothing() {
    const QString file = Path("cancel.csv");
    WriteNumbered(file, 100000);
    auto window = Open();
    Window* raw = window.get();
    AddEntry(*window, "Keep", "5550000");
    const std::vector<PhonebookRow> before = window->ComputerList().Rows();
    bool pressed = false;
    auto replace = [](CPhoneBookConfirmDlg* confirm) {
      confirm->Choice(CPhoneBookConfirmDlg::kReplaceChoice)->setChecked(true);
      confirm->PressOk();
    };
    Import(*window, file, replace, [&](FromDlg* dialog) {
      QTimer::singleShot(0, raw, [&] {
        QCOMPARE(raw->Executing(), Dlg::kImporting);
        QVERIFY(raw->ProgressWindow()->IsOpen());
        QPushButton* cancel = raw->ProgressWindow()->CancelButton();
        QVERIFY(cancel->isVisible());
        QVERIFY(cancel->isEnabled());
        QVERIFY(raw->ProgressWindow()->grab().save(ScreenshotDir() + "/english-phonebook-import-progress.png"));
        cancel->click();
        pressed = true;
      });
      ChooseColumns(dialog, 1, 2);
    });
    QVERIFY(pressed);
    QCOMPARE(window->ComputerList().Rows(), before);
    QCOMPARE(S().Count(795), 0);
    QCOMPARE(S().Count(753), 0);
    QCOMPARE(S().Count(724), 0);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->ProgressWindow()->IsOpen());
    QVERIFY(window->MenuBar()->isEnabled());

    WriteText(Path("after.csv"), "Ann,111\r\nBob,222\r\n");
    Import(*window, Path("after.csv"), &PhoneBookFilesTest::AddMode,
           [](FromDlg* dialog) { ChooseColumns(dialog, 1, 2); });
    QCOMPARE(window->ComputerList().Count(), std::size_t{3});
    QCOMPARE(S().Count(795), 1);
  }

  // With a handset: a cancelled import leaves no cancel behind for the link, so the send
  // that follows completes (723, no 724).
  void cancelledImportLeavesTheSendAlone() {
    QVERIFY(S().Connect());
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Ann", "5550001"));
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Bob", "5550002"));
    auto window = Open();
    Window* raw = window.get();
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->HandsetList().Count() == 2, kWaitMs);
    const QString file = Path("cancel.csv");
    WriteNumbered(file, 100000);
    Import(*window, file, {}, [&](FromDlg* dialog) {
      QTimer::singleShot(0, raw, [raw] { raw->ProgressWindow()->CancelButton()->click(); });
      ChooseColumns(dialog, 1, 2);
    });
    QVERIFY(window->ComputerList().Empty());
    window->OnCommand(TemplateId::kSend);
    QTRY_COMPARE_WITH_TIMEOUT(S().Count(723), 1, kWaitMs);
    QCOMPARE(S().Count(724), 0);
    QCOMPARE(S().sim->Count(UDFP_SIM_KIND_PHONEBOOK), 2);
  }

  // A handset attached while the worker imports: the "FreeEdit" evaluation (this handset
  // shows numbers without hyphens) and the receive wait until the import's rows are in, so
  // the imported numbers take the handset's form too.
  void attachDuringImportWaitsForTheResult() {
    const QString file = Path("attach.csv");
    WriteNumbered(file, 100000);
    auto window = Open();
    Window* raw = window.get();
    QVERIFY(window->NoDevice());
    bool attached = false;
    Import(*window, file, {}, [&](FromDlg* dialog) {
      QTimer::singleShot(0, raw, [&] {
        QCOMPARE(raw->Executing(), Dlg::kImporting);
        QVERIFY(S().Connect());
        S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Ann", "5550001"));
        QVERIFY(S().sim->Exports().SetModelField(35, 1));
        std::array<std::uint8_t, 16> info{};
        QVERIFY(S().sim->Exports().GetDeviceInfo(info.data()));
        S().status.SetDeviceInfo(info.data());
        raw->OnWindowMessage({TemplateMessage::kDeviceChange, 0, 0, nullptr});
        attached = raw->Executing() == Dlg::kImporting;
      });
      ChooseColumns(dialog, 1, 2);
    });
    QVERIFY(attached);
    QCOMPARE(window->ComputerList().Count(), std::size_t{100000});
    QCOMPARE(window->ComputerList().Row(0).number, std::string("3000000"));
    QCOMPARE(window->ComputerList().Row(99999).number, std::string("3099999"));
    QCOMPARE(S().Count(795), 1);
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->HandsetList().Count() == 1, kWaitMs);
    QCOMPARE(window->HandsetList().Row(0).number, std::string("5550001"));
    QVERIFY(!window->NoDevice());
    QVERIFY(window->IsContentEnabled());
  }

  // The cable pulled while the worker imports: the import ends normally with every row,
  // and afterwards the Handset side shows that no handset is there (Send disabled). A
  // handset attached and pulled again during one import leaves nothing postponed.
  void detachDuringImportEndsCleanly() {
    QVERIFY(S().Connect());
    S().sim->Add(UDFP_SIM_KIND_PHONEBOOK, Record("Ann", "5550001"));
    auto window = Open();
    Window* raw = window.get();
    QTRY_VERIFY_WITH_TIMEOUT(window->Executing() == 0 && window->HandsetList().Count() == 1, kWaitMs);
    QVERIFY(window->Control(TemplateId::kSend)->isEnabled());
    const QString file = Path("detach.csv");
    WriteNumbered(file, 100000);
    auto pull = [&] {
      QVERIFY(S().sim->Unplug());
      S().link->StopLink();
      S().status.SetConnected(0);
      raw->OnWindowMessage({TemplateMessage::kDeviceChange, 1, 0, nullptr});
    };
    bool during = false;
    Import(*window, file, {}, [&](FromDlg* dialog) {
      QTimer::singleShot(0, raw, [&] {
        QCOMPARE(raw->Executing(), Dlg::kImporting);
        pull();
        during = raw->Executing() == Dlg::kImporting && raw->NoDevice();
      });
      ChooseColumns(dialog, 1, 2);
    });
    QVERIFY(during);
    QCOMPARE(window->ComputerList().Count(), std::size_t{100000});
    QCOMPARE(window->ComputerList().Row(0).number, std::string("300-0000"));
    QCOMPARE(S().Count(795), 1);
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->IsContentEnabled());
    QVERIFY(!window->ProgressWindow()->IsOpen());
    QVERIFY(window->MenuBar()->isEnabled());
    QVERIFY(window->NoDevice());
    QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
    QCOMPARE(window->HandsetList().Count(), std::size_t{1});

    // Attached (a handset without hyphens) and pulled again while a second import runs:
    // neither the evaluation nor the receive happens afterwards.
    during = false;
    Import(
        *window, file,
        [](CPhoneBookConfirmDlg* confirm) {
          confirm->Choice(CPhoneBookConfirmDlg::kReplaceChoice)->setChecked(true);
          confirm->PressOk();
        },
        [&](FromDlg* dialog) {
          QTimer::singleShot(0, raw, [&] {
            QVERIFY(S().Connect());
            QVERIFY(S().sim->Exports().SetModelField(35, 1));
            std::array<std::uint8_t, 16> info{};
            QVERIFY(S().sim->Exports().GetDeviceInfo(info.data()));
            S().status.SetDeviceInfo(info.data());
            raw->OnWindowMessage({TemplateMessage::kDeviceChange, 0, 0, nullptr});
            pull();
            during = raw->Executing() == Dlg::kImporting;
          });
          ChooseColumns(dialog, 1, 2);
        });
    QVERIFY(during);
    QCOMPARE(S().Count(795), 2);
    QCOMPARE(window->ComputerList().Row(0).number, std::string("300-0000"));
    QCOMPARE(window->Executing(), std::uint8_t{0});
    QVERIFY(window->NoDevice());
    QVERIFY(window->IsContentEnabled());
  }

  // Export as CSV writes every row as an entry line; a path that cannot be written gives 767
  // and leaves nothing behind.
  void csvExport() {
    auto window = Open();
    QVERIFY(!CTemplate::MenuItem(window->MenuBar()->actions().first()->menu(), Dlg::kMenuExport)->isEnabled());
    AddEntry(*window, "Say \"hi\"", "5551234");
    AddEntry(*window, "Bob", "12");
    const QString file = Path("export.csv");
    S().dialogs.answers.push_back({true, file.toStdString(), {}});
    window->OnCommand(Dlg::kMenuExportCsv);
    QCOMPARE(S().Count(765), 1);
    QCOMPARE(ReadText(file), std::string("\"Bob\",12\r\n\"Say \"\"hi\"\"\",5551234\r\n"));
    QCOMPARE(S().dialogs.requests.back().defaultExtension, std::string("csv"));
    QCOMPARE(window->Executing(), std::uint8_t{0});

    S().dialogs.answers.push_back({true, Path("nowhere/export.csv").toStdString(), {}});
    window->OnCommand(Dlg::kMenuExport);
    QCOMPARE(S().Count(767), 1);
    QVERIFY(!QDir(Path("nowhere")).exists());

    // Cancelled save dialog: nothing happens.
    window->OnCommand(Dlg::kMenuExportCsv);
    QCOMPARE(S().Count(765) + S().Count(767), 2);
    QCOMPARE(window->Executing(), std::uint8_t{0});

    // Export then import of the same file gives the same list.
    S().onMessage = [](std::int32_t number) { return number == 752 ? IDNO : IDOK; };
    window->OnCommand(Dlg::kNew);
    QVERIFY(window->ComputerList().Empty());
    Import(*window, file, {}, [](FromDlg* dialog) { ChooseColumns(dialog, 1, 2); });
    QCOMPARE(window->ComputerList().Count(), std::size_t{2});
    QCOMPARE(window->ComputerList().Row(1).name, std::string("Say \"hi\""));
  }

  // vCard export into a chosen folder: one file per entry named after it (a second export
  // of the same entry numbers its file), only the selected rows when some are selected; the
  // files import back into the same entries.
  void vcardExportAndImportBack() {
    auto window = Open();
    AddEntry(*window, "Anna", "5551234");
    AddEntry(*window, "A/B", "0207000111");
    const std::vector<PhonebookRow> original = window->ComputerList().Rows();
    const QString folder = Path("cards");
    QVERIFY(QDir().mkpath(folder));
    // Adding selected the new row: with no row selected every row is exported.
    window->ComputerView()->clearSelection();
    S().dialogs.answers.push_back({true, folder.toStdString(), {}});
    window->OnCommand(Dlg::kMenuExportVCard);
    QCOMPARE(S().Count(765), 1);
    QVERIFY(!S().dialogs.requests.back().folder.empty());
    const std::string anna = ReadText(folder + "/Anna.vcf");
    QCOMPARE(QString::fromStdString(anna.substr(0, 66)),
             QString("BEGIN:VCARD\r\nVERSION:2.1\r\nN:;Anna\r\nFN:Anna\r\nTEL;HOME:5551234\r\nREV:"));
    QVERIFY(anna.ends_with("\r\nEND:VCARD"));
    QVERIFY(ReadText(folder + "/A_B.vcf").find("FN:A/B\r\n") != std::string::npos);

    SelectOnly(window->ComputerView(), 1);  // Anna
    S().dialogs.answers.push_back({true, folder.toStdString(), {}});
    window->OnCommand(Dlg::kMenuExportVCard);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
    QVERIFY(QFileInfo::exists(folder + "/Anna(1).vcf"));

    // A folder that does not exist: 767.
    S().dialogs.answers.push_back({true, Path("gone").toStdString(), {}});
    window->OnCommand(Dlg::kMenuExportVCard);
    QCOMPARE(S().Count(767), 1);

    S().onMessage = [](std::int32_t number) { return number == 752 ? IDNO : IDOK; };
    window->OnCommand(Dlg::kNew);
    QVERIFY(window->ComputerList().Empty());
    Import(*window, folder + "/Anna.vcf", {}, [](FromDlg* dialog) {
      QCOMPARE(dialog->windowTitle(), QString("Import vCard"));
      QCOMPARE(dialog->Grid()->Rows(), 2L);
      ChooseColumns(dialog, 1, 2);
    });
    Import(*window, folder + "/A_B.vcf", &PhoneBookFilesTest::AddMode,
           [](FromDlg* dialog) { ChooseColumns(dialog, 1, 2); });
    QCOMPARE(S().Count(795), 2);
    QCOMPARE(S().texts.back(), std::string("1 phonebook entries were imported."));
    QCOMPARE(window->ComputerList().Rows(), original);
  }

  // The File menu's Export submenu sits before Import and follows the Computer list; the
  // context menus hold the list commands and follow the selection; right click opens them.
  void menusAndContextMenus() {
    auto window = Open();
    QMenu* file = window->MenuBar()->actions().first()->menu();
    const QList<QAction*> items = file->actions();
    const auto exportAt = std::find(items.begin(), items.end(), CTemplate::MenuItem(file, Dlg::kMenuExport));
    QVERIFY(exportAt != items.end());
    QCOMPARE((*(exportAt + 1))->data().toInt(), Dlg::kMenuImport);
    QVERIFY(HasItem((*exportAt)->menu(), Dlg::kMenuExportCsv));
    QVERIFY(HasItem((*exportAt)->menu(), Dlg::kMenuExportVCard));
    QVERIFY(!(*exportAt)->text().isEmpty());

    QMenu* pc = window->ContextMenu(Dlg::kComputerContextMenu);
    QMenu* dev = window->ContextMenu(Dlg::kHandsetContextMenu);
    for (int id : {Dlg::kContextComputerAdd, Dlg::kContextComputerEdit, Dlg::kContextComputerErase,
                   Dlg::kContextComputerSelectAll}) {
      QVERIFY(HasItem(pc, id));
      QVERIFY(!CTemplate::MenuItem(pc, id)->text().isEmpty());
    }
    for (int id : {Dlg::kMenuCut, Dlg::kMenuCopy, Dlg::kMenuPaste, Dlg::kContextExportCsv, Dlg::kContextExportVCard}) {
      QVERIFY(!HasItem(pc, id));
    }
    for (int id : {Dlg::kContextHandsetAdd, Dlg::kContextHandsetEdit, Dlg::kContextHandsetErase,
                   Dlg::kContextHandsetSelectAll, Dlg::kReceiveCallerList}) {
      QVERIFY(HasItem(dev, id));
    }
    // No handset: the caller list cannot be received.
    QVERIFY(!CTemplate::MenuItem(dev, Dlg::kReceiveCallerList)->isEnabled());
    QVERIFY(!CTemplate::MenuItem(pc, Dlg::kContextComputerEdit)->isEnabled());

    AddEntry(*window, "Ann", "111");
    AddEntry(*window, "Ben", "222");
    QVERIFY(CTemplate::MenuItem(file, Dlg::kMenuExport)->isEnabled());
    SelectOnly(window->ComputerView(), 0);
    QVERIFY(CTemplate::MenuItem(pc, Dlg::kContextComputerEdit)->isEnabled());
    QVERIFY(CTemplate::MenuItem(pc, Dlg::kContextComputerErase)->isEnabled());
    window->OnCommand(Dlg::kContextComputerSelectAll);
    QCOMPARE(window->ComputerView()->selectionModel()->selectedRows().size(), 2);
    QVERIFY(!CTemplate::MenuItem(pc, Dlg::kContextComputerEdit)->isEnabled());
    QVERIFY(CTemplate::MenuItem(pc, Dlg::kContextComputerErase)->isEnabled());

    // Context Erase asks 785 and erases the selected rows.
    window->OnCommand(Dlg::kContextComputerErase);
    QCOMPARE(S().Count(785), 1);
    QVERIFY(window->ComputerList().Empty());

    // Right click opens the list's menu.
    QTableView* view = window->HandsetView();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), view->viewport()->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(view->viewport(), &event);
    QTRY_VERIFY(dev->isVisible());
    dev->close();
  }

  // Every button of the window shows its picture.
  void buttonPictures() {
    auto window = Open();
    for (int id : {Dlg::kOpenFile, Dlg::kNew, Dlg::kSave, Dlg::kImport, Dlg::kComputerAdd, Dlg::kHandsetAdd,
                   Dlg::kComputerEdit, Dlg::kHandsetEdit, Dlg::kComputerErase, Dlg::kHandsetErase, Dlg::kToHandset,
                   Dlg::kToComputer, static_cast<int>(TemplateId::kSend), Dlg::kSearch}) {
      auto* button = qobject_cast<QAbstractButton*>(window->Control(id));
      QVERIFY2(button != nullptr && !button->icon().pixmap(QSize(20, 20)).isNull(), qPrintable(QString::number(id)));
    }
  }

  // Ctrl+A adds to and Ctrl+E edits in the list that has the focus.
  void accelerators() {
    auto window = Open();
    Activate(window.get());
    window->HandsetView()->setFocus();
    WhenOpen<CPhoneBookEntryDlg>(*window, [](CPhoneBookEntryDlg* dialog) {
      QVERIFY(dialog->NameEdit()->text().isEmpty());
      dialog->NameEdit()->setText("Hal");
      dialog->NumberEdit()->setText("777");
      dialog->PressOk();
    });
    QTest::keyClick(window->HandsetView(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window->HandsetList().Count(), std::size_t{1});
    QVERIFY(window->ComputerList().Empty());

    Activate(window.get());
    window->ComputerView()->setFocus();
    WhenOpen<CPhoneBookEntryDlg>(*window, [](CPhoneBookEntryDlg* dialog) {
      dialog->NameEdit()->setText("Cal");
      dialog->NumberEdit()->setText("888");
      dialog->PressOk();
    });
    QTest::keyClick(window->ComputerView(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window->ComputerList().Count(), std::size_t{1});

    SelectOnly(window->ComputerView(), 0);
    Activate(window.get());
    window->ComputerView()->setFocus();
    WhenOpen<CPhoneBookEntryDlg>(*window, [](CPhoneBookEntryDlg* dialog) {
      QCOMPARE(dialog->NameEdit()->text(), QString("Cal"));
      dialog->NameEdit()->setText("Carl");
      dialog->PressOk();
    });
    QTest::keyClick(window->ComputerView(), Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(window->ComputerList().Row(0).name, std::string("Carl"));
  }

  // The worker posts its outcome and is joined; a job still running when its owner goes is
  // asked to stop and joined first.
  void workerIsJoined() {
    {
      CImportWorker worker;
      QVERIFY(worker.Start([](const std::atomic<bool>&) { return true; }));
      QCOMPARE(worker.Wait(), CImportWorker::kDoneSkipped);
      QVERIFY(!worker.Running());
      QVERIFY(worker.Start([](const std::atomic<bool>&) { return false; }));
      QCOMPARE(worker.Wait(), CImportWorker::kDone);
      QCOMPARE(worker.Wait(), std::uint32_t{0});
    }
    std::atomic<bool> sawCancel{false};
    {
      CImportWorker worker;
      QVERIFY(worker.Start([&sawCancel](const std::atomic<bool>& cancel) {
        while (!cancel) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sawCancel = true;
        return false;
      }));
      QVERIFY(!worker.Start([](const std::atomic<bool>&) { return false; }));
    }
    QVERIFY(sawCancel);
  }

  // The desktop folder chooser answers the folder the user accepts.
  void desktopFolderChooser() {
    QTimer::singleShot(50, [] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
      static_cast<QDialog*>(dialog)->accept();
    });
    IFileDialogs::Request request;
    request.folder = m_dir.path().toStdString();
    const IFileDialogs::Answer answer = CQtFileDialogs::Instance().GetFolderName(request);
    QVERIFY(answer.accepted);
    QCOMPARE(QString::fromStdString(answer.path), QDir(m_dir.path()).absolutePath());
  }

  void screenshotsOfColumnChoice() {
    static const char* const kNames[] = {"english", "french", "spanish", "portuguese"};
    const QString file = Path("shot.csv");
    WriteText(file,
              "Name,Company,Phone,Mobile\r\n\"Smith, Anna\",Vorlandix,555-1234,0207000111\r\n"
              "Jones,,0201234567,\r\nBrown,Acme,555-9876,555-1111\r\n");
    auto window = Open();
    for (std::int32_t language = 0; language < 4; ++language) {
      QVERIFY(S().strings.Load(language) || language == 0);
      window->OnWindowMessage({TemplateMessage::kLanguageChange, 0, 0, nullptr});
      auto* dialog = new FromDlg(window.get(), &S().context, FromDlg::kCsv, file.toStdString());
      QVERIFY(dialog->Load() == FromDlg::LoadResult::Loaded);
      QCOMPARE(dialog->windowTitle(),
               S().strings.GetString(4051).empty() ? QString() : QString::fromStdString(S().strings.GetString(4051)));
      QVERIFY(!dialog->windowTitle().isEmpty());
      dialog->show();
      QVERIFY(QTest::qWaitForWindowExposed(dialog));
      ClickColumn(dialog, 0);
      dialog->Press(FromDlg::kTakeName);
      ClickColumn(dialog, 2);
      dialog->Press(FromDlg::kTakeNumber);
      QTest::qWait(50);
      QVERIFY(dialog->grab().save(ScreenshotDir() + "/" + kNames[language] + "-phonebook-import-csv.png"));
      delete dialog;
    }
  }
};

QTEST_MAIN(PhoneBookFilesTest)
#include "PhoneBookFilesTest.moc"
