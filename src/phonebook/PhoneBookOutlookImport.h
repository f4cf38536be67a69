#pragma once

#include "phonebook/OutlookImport.h"
#include "phonebook/OutlookLibrary.h"
#include "platform/WindowMessage.h"

#include <QPointer>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class CPhoneBookUtilityDlg;
class QEventLoop;

// The phonebook window's import from Outlook: the data file chosen in the file dialog
// (its folder remembered under "PhoneBook"), message 1537, the progress window with
// message 719 and Cancel, the contacts export library loaded for the length of the import,
// the password of a protected file, the job on its own thread, and the merge of the
// contacts into the Computer list on the window's thread.
//
// The job writes the contact files into a private folder of its own and removes it before
// it reports. A failure of both exports, of the library or of the password ends with
// message 768 and leaves the Computer list as it was; so does a cancel (without a message).
class CPhoneBookOutlookImport {
 public:
  // Messages of the job to the window.
  static constexpr std::uint32_t kJobDone = WM_APP + 0x1F4;
  static constexpr std::uint32_t kJobFailed = WM_APP + 0x1F5;
  static constexpr std::uint8_t kExecuting = 6;
  // The setting under "PhoneBook" that keeps the folder of the last data file.
  static constexpr const char* kFolderValue = "OutlookFolder";

  explicit CPhoneBookOutlookImport(CPhoneBookUtilityDlg& window);
  ~CPhoneBookOutlookImport();
  CPhoneBookOutlookImport(const CPhoneBookOutlookImport&) = delete;
  CPhoneBookOutlookImport& operator=(const CPhoneBookOutlookImport&) = delete;

  void Run();
  // From the window: a message of the job, and the progress window's Cancel.
  void OnJobMessage(std::uint32_t message);
  void Cancel();

 private:
  std::string ChooseDataFile();
  bool OpenProgress();
  int PasswordProtection();
  bool AskPassword();
  void RunJob();
  void Merge();
  void End(bool failed);

  QPointer<CPhoneBookUtilityDlg> m_window;
  COutlookLibrary m_library;
  std::thread m_job;
  std::atomic<bool> m_cancel{false};
  OutlookImportResult m_result;
  QEventLoop* m_loop = nullptr;
  bool m_jobEnded = false;
};
