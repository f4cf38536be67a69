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
  Choice(kCallerChoice)->setEnabled(handsetConnected);
}
