#include "phonebook/PhoneBookImportDlg.h"

#include <QRadioButton>

namespace {
constexpr int kTitle = 4020;
constexpr int kImportFrom = 4088;
}  // namespace

CPhoneBookImportDlg::CPhoneBookImportDlg(QWidget* parent, CAppContext* context, bool handsetConnected)
    : CChoiceDlg(parent, context, kTitle, {kImportFrom},
                 {{kFileChoice, kFromFile}, {kOutlookChoice, kFromOutlook}, {kCallerChoice, kFromCallerList}}, kOk,
                 kCancel) {
  Choice(kFileChoice)->setChecked(true);
  EnableCallerChoice(handsetConnected);
}

bool CPhoneBookImportDlg::OnDeviceAttached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  EnableCallerChoice(true);
  return true;
}

bool CPhoneBookImportDlg::OnDeviceDetached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  EnableCallerChoice(false);
  return true;
}

// Without a handset the caller list cannot be chosen; a choice made before it went falls
// back to the file.
void CPhoneBookImportDlg::EnableCallerChoice(bool enable) {
  QRadioButton* caller = Choice(kCallerChoice);
  if (!enable && caller->isChecked()) {
    Choice(kFileChoice)->setChecked(true);
  }
  caller->setEnabled(enable);
}
