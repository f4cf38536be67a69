// CPhoneBookUtilityDlg: importing chosen columns of a CSV or vCard file into the Computer list
// on a worker thread.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "phonebook/ImportJob.h"
#include "phonebook/ImportWorker.h"
#include "phonebook/PhoneBookImportFromDlg.h"
#include "phonebook/PhonebookListModel.h"
#include "ui/AnimationPainter.h"
#include "ui/Message.h"

#include <QMenuBar>
#include <memory>

namespace {
constexpr std::int32_t kMsgReceivingKind = 719;
constexpr std::int32_t kMsgInaccurate = 753;
constexpr int kCsvText = 4053;
constexpr int kVCardText = 4054;
constexpr int kPhonebookFileText = 4056;
constexpr int kAllPhonebookFilesText = 4092;
constexpr int kCsvFileText = 4057;

// What the worker gets and gives back: it touches nothing else.
struct ColumnImport {
  CPhonebookList list;
  ImportLists lists;
  bool freeEdit = true;
  ImportOutcome outcome;
};

}  // namespace

std::string CPhoneBookUtilityDlg::ImportFilter() const {
  return String(kAllPhonebookFilesText) + " (*.phb *.csv *.vcf);;" + String(kPhonebookFileText) + " (*.phb);;" +
         String(kCsvFileText) + " (*.csv);;" + String(kVCardText) + " (*.vcf)";
}

// Shows the file in the column-choice dialog and, on OK, adds the chosen pairs to the
// Computer list (emptied first unless adding). The pairs are checked and merged on a worker
// thread over a copy of the list, which replaces the list when the worker is done. imported
// counts the entries taken, added or overwriting a row. False when nothing was imported
// because the file could not be shown, the dialog was cancelled or the import was
// cancelled in its progress window (the list is then left as it was).
bool CPhoneBookUtilityDlg::ImportFromColumns(int kind, const std::string& path, bool addMode, std::size_t& imported) {
  QPointer<CPhoneBookUtilityDlg> self(this);
  auto* dialog = new CPhoneBookImportFromDlg(this, Context(), static_cast<CPhoneBookImportFromDlg::Kind>(kind), path);
  m_subDialog = dialog;
  if (dialog->Load() != CPhoneBookImportFromDlg::LoadResult::Loaded) {
    if (self) {
      dialog->deleteLater();
    }
    return false;
  }
  const int result = RunModalChild(*dialog);
  if (!self) {
    return false;
  }
  dialog->deleteLater();
  if (result != QDialog::Accepted) {
    return false;
  }
  auto job = std::make_shared<ColumnImport>();
  job->lists = dialog->Lists();
  job->freeEdit = m_freeEdit;
  if (addMode) {
    job->list = m_computer;
  }

  SetExtcuting(kImporting);
  m_importCancelled = false;
  SetProgressMessage(kMsgReceivingKind, {String(kind == 0 ? kCsvText : kVCardText)},
                     kProgressCancel | CAnimationPainter::kReceive);
  CTemplate::ShowOperationProgress(kImport);
  BeginBusy();
  // The menus sit outside the content that BeginBusy disables: a menu command now would
  // change the list that the worker's result is about to replace.
  m_menuBar->setEnabled(false);
  if (m_importer == nullptr) {
    m_importer = new CImportWorker(this);
  }
  m_importer->Start([job](const std::atomic<bool>& cancel) {
    job->outcome = ImportEntries(job->list, job->lists, job->freeEdit, &cancel);
    return !job->outcome.invalidRows.empty();
  });
  const std::uint32_t ended = m_importer->Wait();
  if (!self) {
    return false;
  }
  m_menuBar->setEnabled(true);
  // Cancel pressed at any time before the worker reported: the list stays as it was, even
  // when the worker happened to finish first.
  const bool cancelled = m_importCancelled || job->outcome.cancelled;
  m_importCancelled = false;
  if (!cancelled) {
    m_computer = std::move(job->list);
    SortAndNumber(m_computer);
    m_pcEdit = true;
    ListChanged(Side::Computer);
  }
  CloseAnime();
  CloseSandGlass();
  SetExtcuting(0);
  if (cancelled) {
    return false;
  }
  if (ended == CImportWorker::kDoneSkipped) {
    ShowMsg(kMsgInaccurate, MB_ICONSTOP);
  }
  imported = job->outcome.added + job->outcome.overwritten;
  return true;
}
