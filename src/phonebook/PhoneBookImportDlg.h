#pragma once

#include "phonebook/ChoiceDlg.h"

// "Import": where new Computer entries come from: a phonebook file, Outlook or the handset's
// caller list. "File" is preselected; "Caller ID" can be chosen only while a handset is
// connected. The result is kFromFile, kFromOutlook, kFromCallerList or QDialog::Rejected.
class CPhoneBookImportDlg : public CChoiceDlg {
  Q_OBJECT

 public:
  static constexpr int kFromFile = 240;
  static constexpr int kFromOutlook = 241;
  static constexpr int kOutlookChoice = 4067;
  static constexpr int kFromCallerList = 242;
  static constexpr int kFileChoice = 4066;
  static constexpr int kCallerChoice = 4068;
  static constexpr int kOk = 4063;
  static constexpr int kCancel = 4064;

  CPhoneBookImportDlg(QWidget* parent, CAppContext* context, bool handsetConnected);

 protected:
  // The phonebook window passes the handset's comings and goings on while the dialog is open.
  bool OnDeviceAttached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnDeviceDetached(std::uintptr_t wParam, std::intptr_t lParam) override;

 private:
  void EnableCallerChoice(bool enable);
};
