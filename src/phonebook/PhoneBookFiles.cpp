// CPhoneBookUtilityDlg: the file commands New, Open, Save and Save as.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookListModel.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr int kPhonebookFileText = 4056;
constexpr std::int32_t kMsgSaveQuestion = 752;
constexpr std::int32_t kMsgSaved = 765;
constexpr std::int32_t kMsgNotSaved = 766;
constexpr char kExtension[] = "phb";
constexpr std::uint32_t kOpenFlags = 6;
constexpr std::uint32_t kSaveFlags = 2;
}  // namespace

std::string CPhoneBookUtilityDlg::PhonebookFilter() const {
  return String(kPhonebookFileText) + " (*.phb)";
}

// Unsaved Computer data: asks whether to save it first. False when the caller stops (Cancel,
// or Yes and the save did not succeed).
bool CPhoneBookUtilityDlg::AskSaveBeforeDiscard() {
  if (!m_pcEdit || m_computer.Empty()) {
    return true;
  }
  QPointer<CPhoneBookUtilityDlg> self(this);
  const int answer = ShowMsg(kMsgSaveQuestion, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (!self || answer == IDCANCEL) {
    return false;
  }
  if (answer == IDYES) {
    SavePhonebook(false);
    return self && !m_pcEdit;
  }
  return true;
}

void CPhoneBookUtilityDlg::NewPhonebook() {
  if (!AskSaveBeforeDiscard()) {
    return;
  }
  m_computer.Clear();
  m_search->clear();
  m_path.clear();
  m_fileName.clear();
  m_pcEdit = false;
  UpdateTitle();
  ListChanged(Side::Computer);
}

bool CPhoneBookUtilityDlg::OnOpen() {
  return OpenPhonebook({});
}

void CPhoneBookUtilityDlg::OnHistoryCommand(int /*id*/) {
  OpenPhonebook({});
}

bool CPhoneBookUtilityDlg::OpenPhonebook(const std::string& chosenPath) {
  QPointer<CPhoneBookUtilityDlg> self(this);
  SetExtcuting(kOpeningFile);
  if (!AskSaveBeforeDiscard()) {
    if (self) {
      SetExtcuting(0);
    }
    return false;
  }
  const std::string path =
      chosenPath.empty() ? BrowseForOpen(kExtension, kOpenFlags, PhonebookFilter(), m_path) : chosenPath;
  if (!self) {
    return false;
  }
  if (path.empty()) {
    SetExtcuting(0);
    return false;
  }
  const PhonebookReadStatus status = ReadPhonebookFile(path, m_computer, false, m_freeEdit);
  if (status != PhonebookReadStatus::Ok) {
    if (status != PhonebookReadStatus::Empty) {
      ShowMsg(static_cast<std::int32_t>(status), MB_ICONSTOP);
    }
    if (self) {
      SetExtcuting(0);
    }
    return false;
  }
  SetCurrentFile(path);
  m_pcEdit = false;
  ListChanged(Side::Computer);
  SetExtcuting(0);
  AddFileHistory(path);
  return true;
}

void CPhoneBookUtilityDlg::SetCurrentFile(const std::string& path) {
  m_path = path;
  m_fileName = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
  UpdateTitle();
}

// The phonebook's Save button (the base class's 1005).
bool CPhoneBookUtilityDlg::OnSaveAs() {
  return SavePhonebook(false);
}

// Saves the Computer list to the current file, or to a chosen one for Save as or when there
// is no current file. The current file changes only once the new file was written: a
// failed Save as leaves the title and the next Save on the old file.
bool CPhoneBookUtilityDlg::SavePhonebook(bool askPath) {
  QPointer<CPhoneBookUtilityDlg> self(this);
  SetExtcuting(kSavingFile);
  std::string path = m_path;
  if (askPath || path.empty()) {
    const std::string folder =
        m_path.empty() ? std::string() : QFileInfo(QString::fromStdString(m_path)).absolutePath().toStdString();
    path = BrowseForSave(kExtension, m_fileName, kSaveFlags, PhonebookFilter(), folder);
    if (!self) {
      return false;
    }
    if (path.empty()) {
      SetExtcuting(0);
      return false;
    }
  }
  if (!WritePhonebookFile(path, m_computer)) {
    SetExtcuting(0);
    ShowMsg(kMsgNotSaved, MB_ICONSTOP);
    if (self && m_closing) {
      PostToSelf(kExitFailed);
    }
    return false;
  }
  m_pcEdit = false;
  SetCurrentFile(path);
  AddFileHistory(path);
  SetExtcuting(0);
  ShowMsg(kMsgSaved, MB_ICONINFORMATION);
  return true;
}
