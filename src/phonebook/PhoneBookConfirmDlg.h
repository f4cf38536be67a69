#pragma once

#include "phonebook/ChoiceDlg.h"

// "Confirm": what an import does with the Computer list that already has rows: save it
// first (offered only when it has unsaved changes), replace it, or add to it. The result
// is kSaveThenImport, kReplace, kAdd or QDialog::Rejected.
class CPhoneBookConfirmDlg : public CChoiceDlg {
  Q_OBJECT

 public:
  static constexpr int kSaveThenImport = 250;
  static constexpr int kReplace = 251;
  static constexpr int kAdd = 252;
  static constexpr int kSaveChoice = 4070;
  static constexpr int kReplaceChoice = 4071;
  static constexpr int kAddChoice = 4072;
  static constexpr int kOk = 4073;
  static constexpr int kCancel = 4074;

  CPhoneBookConfirmDlg(QWidget* parent, CAppContext* context, bool unsavedChanges);
};
