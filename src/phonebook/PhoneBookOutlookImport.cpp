#include "phonebook/PhoneBookOutlookImport.h"

#include "appcore/SettingsStore.h"
#include "framework/AppContext.h"
#include "framework/QtFileDialogs.h"
#include "phonebook/ImportJob.h"
#include "phonebook/PhoneBookPasswordDlg.h"
#include "phonebook/PhoneBookUtilityDlg.h"
#include "platform/Paths.h"
#include "platform/WindowRegistry.h"
#include "ui/AnimationPainter.h"
#include "ui/Message.h"

#include <QEventLoop>
#include <filesystem>

namespace {
constexpr std::int32_t kMsgOutlookNotRunning = 1537;
constexpr std::int32_t kMsgReceiving = 719;
constexpr std::int32_t kMsgImportError = 768;
constexpr std::int32_t kOutlookText = 4055;
constexpr std::uint32_t kOpenFlags = 6;
const std::string kPhoneBookKey = kProductKey + "PhoneBook";
}  // namespace

CPhoneBookOutlookImport::CPhoneBookOutlookImport(CPhoneBookUtilityDlg& window) : m_window(&window) {
  window.m_outlookImport = this;
}

CPhoneBookOutlookImport::~CPhoneBookOutlookImport() {
  if (m_job.joinable()) {
    Cancel();
    m_job.join();
  }
  if (m_window) {
    m_window->m_outlookImport = nullptr;
  }
}

void CPhoneBookOutlookImport::Run() {
  if (!m_window || m_window->Executing() != 0) {
    return;
  }
  const std::string source = ChooseDataFile();
  if (!m_window || source.empty()) {
    return;
  }
  CPhoneBookUtilityDlg& window = *m_window;
  window.SetExtcuting(kExecuting);
  window.ShowMsg(kMsgOutlookNotRunning, MB_ICONEXCLAMATION);
  if (!m_window) {
    return;
  }
  if (!OpenProgress()) {
    End(true);
    return;
  }
  if (!m_library.Load()) {
    End(true);
    return;
  }
  m_library.SetSourceFile(source);
  const int protection = PasswordProtection();
  if (!m_window || m_cancel.load()) {
    End(false);
    return;
  }
  if (protection == 1 && !AskPassword()) {
    End(m_window != nullptr);
    return;
  }
  RunJob();
  if (!m_window) {
    return;
  }
  // Cancel pressed at any time before the job reported: nothing is merged, even when the
  // job happened to finish first.
  const bool cancelled = m_cancel.load() || m_result.cancelled;
  if (!cancelled && !m_result.Failed()) {
    Merge();
  }
  End(!cancelled && m_result.Failed());
}

// The open dialog in the folder of the last data file (the documents folder at first).
std::string CPhoneBookOutlookImport::ChooseDataFile() {
  CPhoneBookUtilityDlg& window = *m_window;
  CAppContext* context = window.Context();
  CSettingsStore* settings = context != nullptr ? context->settings : nullptr;
  IFileDialogs::Request request;
  request.owner = &window;
  request.filter = window.String(kOutlookText) + " (*.pst *.ost *.pab)";
  request.defaultExtension = "pst";
  request.flags = kOpenFlags;
  if (settings != nullptr) {
    std::lock_guard lock(settings->RegistryMutex());
    request.folder = settings->ReadOrCreateString(kPhoneBookKey, kFolderValue, "");
  }
  if (request.folder.empty()) {
    request.folder = CTemplate::DocumentsFolder();
  }
  IFileDialogs& dialogs =
      context != nullptr && context->fileDialogs != nullptr ? *context->fileDialogs : CQtFileDialogs::Instance();
  window.SetModalOpen(true);
  if (context != nullptr) {
    context->SetResidentModal(true);
  }
  const IFileDialogs::Answer answer = dialogs.GetOpenFileName(request);
  if (!m_window) {
    return {};
  }
  window.SetModalOpen(false);
  if (context != nullptr) {
    context->SetResidentModal(false);
  }
  if (!answer.accepted || answer.path.empty()) {
    return {};
  }
  if (settings != nullptr) {
    std::lock_guard lock(settings->RegistryMutex());
    settings->WriteString(kPhoneBookKey, kFolderValue, std::filesystem::path(answer.path).parent_path().string());
  }
  return answer.path;
}

bool CPhoneBookOutlookImport::OpenProgress() {
  CPhoneBookUtilityDlg& window = *m_window;
  const std::string title = window.String(TemplateId::kPleaseWait);
  const std::string text = window.String(kMsgReceiving);
  const std::string outlook = window.String(kOutlookText);
  if (title.empty() || text.empty() || outlook.empty()) {
    return false;
  }
  window.SetProgressMessage(kMsgReceiving, {outlook}, CTemplate::kProgressCancel | CAnimationPainter::kReceive);
  window.ShowProgressDialog(title, text, CTemplate::kProgressCancel | CAnimationPainter::kReceive, {outlook});
  return true;
}

// Whether the file asks for a password. libpff reads the file's indexes to open it, which
// takes a while for a large file: the question runs on a thread of its own while the
// window serves its messages (the progress window keeps moving and can be cancelled).
int CPhoneBookOutlookImport::PasswordProtection() {
  int protection = -1;
  QEventLoop loop;
  std::thread query([this, &protection, &loop] {
    protection = m_library.IsPasswordProtected();
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  query.join();
  return protection;
}

// False when the password dialog was cancelled (or the window went meanwhile).
bool CPhoneBookOutlookImport::AskPassword() {
  CPhoneBookUtilityDlg& window = *m_window;
  auto* dialog = new CPhoneBookPasswordDlg(&window, window.Context());
  window.m_subDialog = dialog;
  const int result = window.RunModalChild(*dialog);
  if (!m_window) {
    return false;
  }
  const std::string password = dialog->Password();
  dialog->deleteLater();
  if (result != QDialog::Accepted) {
    return false;
  }
  m_library.SetPassword(password);
  return true;
}

// Runs the job on its own thread; the window serves its messages meanwhile until the job
// reports.
void CPhoneBookOutlookImport::RunJob() {
  CPhoneBookUtilityDlg& window = *m_window;
  const WindowHandle handle = window.Handle();
  const CPhonebookList computer = window.m_computer;
  const bool freeEdit = window.m_freeEdit;
  const std::string programFolder = CPaths::ExecutablePath().parent_path().string();
  const std::filesystem::path tempParent = CPaths::TempDir();
  m_cancel.store(false);
  m_jobEnded = false;
  m_job = std::thread([this, handle, computer, freeEdit, programFolder, tempParent] {
    m_result = RunOutlookImport(m_library, programFolder, computer, freeEdit, m_cancel, tempParent);
    PostMessage(handle, m_result.Failed() ? kJobFailed : kJobDone, 0, 0);
  });
  QEventLoop loop;
  m_loop = &loop;
  if (!m_jobEnded) {
    loop.exec();
  }
  m_loop = nullptr;
  m_job.join();
}

void CPhoneBookOutlookImport::OnJobMessage(std::uint32_t message) {
  if (message != kJobDone && message != kJobFailed) {
    return;
  }
  m_jobEnded = true;
  if (m_loop != nullptr) {
    m_loop->quit();
  }
}

void CPhoneBookOutlookImport::Cancel() {
  m_cancel.store(true);
  m_library.Cancel();
}

void CPhoneBookOutlookImport::Merge() {
  CPhoneBookUtilityDlg& window = *m_window;
  if (MergeCollected(window.m_computer, m_result.collection.collected) == 0) {
    return;
  }
  SortAndNumber(window.m_computer);
  window.m_pcEdit = true;
  window.ListChanged(CPhoneBookUtilityDlg::Side::Computer);
}

void CPhoneBookOutlookImport::End(bool failed) {
  m_library.Unload();
  if (!m_window) {
    return;
  }
  CPhoneBookUtilityDlg& window = *m_window;
  window.CloseAnime();
  window.CloseSandGlass();
  window.SetExtcuting(0);
  if (failed) {
    window.ShowMsg(kMsgImportError, MB_ICONSTOP);
    if (!m_window) {
      return;
    }
  }
  window.RunPostponedAfterImport();
}
