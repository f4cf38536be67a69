// CPhoneBookUtilityDlg: importing into the Computer list from a phonebook, CSV or vCard file
// or from the handset's caller list.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "framework/AppContext.h"
#include "phonebook/PhoneBookConfirmDlg.h"
#include "phonebook/PhoneBookImportDlg.h"
#include "phonebook/PhoneBookOutlookImport.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookListModel.h"
#include "ui/AnimationPainter.h"
#include "ui/Message.h"

#include <QFileInfo>

namespace {
constexpr std::uint32_t kCallerKind = 8;
constexpr std::int32_t kMsgImported = 795;
constexpr std::int32_t kMsgNotOpened = 732;
constexpr std::int32_t kMsgCallerText = 758;
constexpr std::uint32_t kOpenFlags = 6;
}  // namespace

void CPhoneBookUtilityDlg::Import() {
  QPointer<CPhoneBookUtilityDlg> self(this);
  auto* dialog = new CPhoneBookImportDlg(this, Context(), !m_noDevice);
  m_subDialog = dialog;
  const int result = RunModalChild(*dialog);
  if (!self) {
    return;
  }
  dialog->deleteLater();
  if (result == CPhoneBookImportDlg::kFromFile) {
    ImportFromFile();
  } else if (result == CPhoneBookImportDlg::kFromCallerList && !m_noDevice) {
    ReceiveCallerList();
  } else if (result == CPhoneBookImportDlg::kFromOutlook) {
    CPhoneBookOutlookImport(*this).Run();
  }
}

// Reads a phonebook, CSV or vCard file into the Computer list, replacing it or adding to it.
// The count in 795 is every entry the file gave, whether it was added or overwrote a row.
// A file of any other kind gives 732.
void CPhoneBookUtilityDlg::ImportFromFile() {
  QPointer<CPhoneBookUtilityDlg> self(this);
  const std::string path = BrowseForOpen("phb", kOpenFlags, ImportFilter());
  if (!self || path.empty()) {
    return;
  }
  bool addMode = false;
  if (!m_computer.Empty()) {
    auto* confirm = new CPhoneBookConfirmDlg(this, Context(), m_pcEdit);
    m_subDialog = confirm;
    const int choice = RunModalChild(*confirm);
    if (!self) {
      return;
    }
    confirm->deleteLater();
    if (choice == CPhoneBookConfirmDlg::kSaveThenImport) {
      SavePhonebook(false);
      if (!self || m_pcEdit) {
        return;
      }
    } else if (choice == CPhoneBookConfirmDlg::kAdd) {
      addMode = true;
    } else if (choice != CPhoneBookConfirmDlg::kReplace) {
      return;
    }
  }
  const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
  if (suffix == "csv" || suffix == "vcf") {
    std::size_t imported = 0;
    if (ImportFromColumns(suffix == "csv" ? 0 : 1, path, addMode, imported) && self) {
      ShowMsg(kMsgImported, MB_ICONINFORMATION, {std::to_string(imported)});
    }
    if (self) {
      RunPostponedAfterImport();
    }
    return;
  }
  if (suffix != "phb") {
    ShowMsg(kMsgNotOpened, MB_ICONSTOP);
    return;
  }
  CPhonebookList read;
  const PhonebookReadStatus status = ReadPhonebookFile(path, read, false, m_freeEdit);
  if (status != PhonebookReadStatus::Ok) {
    if (status != PhonebookReadStatus::Empty) {
      ShowMsg(static_cast<std::int32_t>(status), MB_ICONSTOP);
    }
    return;
  }
  if (!addMode) {
    m_computer.Clear();
  }
  CNumberIndex index(m_computer);
  for (const PhonebookRow& row : read.Rows()) {
    index.AddOrOverwrite(m_computer, row.name, row.number);
  }
  SortAndNumber(m_computer);
  AddFileHistory(path);
  m_pcEdit = true;
  ListChanged(Side::Computer);
  ShowMsg(kMsgImported, MB_ICONINFORMATION, {std::to_string(read.Count())});
}

void CPhoneBookUtilityDlg::ReceiveCallerList() {
  if (m_noDevice || Executing() != 0) {
    return;
  }
  m_memoryError = false;
  m_receiveFailed = false;
  m_callers.clear();
  BeginBusy();
  Params() = RequestParams{};
  Params().kind = kCallerKind;
  SetRequestCode(LinkCode::kReadCount);
  SetExtcuting(kReceivingCallers);
  SetProgressMessage(kMsgCallerText, {}, kProgressCancel | CAnimationPainter::kReceive);
  CTemplate::ShowOperationProgress(kReceiveCallerList);
  SendRequest();
}

// Callers whose number is not in the Computer list yet become new rows.
void CPhoneBookUtilityDlg::AddCallers() {
  bool added = false;
  for (const CallerIdEntry& caller : m_callers) {
    const std::string display = ToDisplayNumber(StoredNumber(caller.number), m_freeEdit);
    if (FindByNumber(m_computer, display) < 0) {
      m_computer.Append(caller.name, display);
      added = true;
    }
  }
  if (added) {
    m_pcEdit = true;
  }
  SortAndNumber(m_computer);
  ListChanged(Side::Computer);
}
