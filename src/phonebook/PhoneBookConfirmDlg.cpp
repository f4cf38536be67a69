#include "phonebook/PhoneBookConfirmDlg.h"

#include <QRadioButton>

namespace {
constexpr int kTitle = 4089;
constexpr int kNotSaved = 4075;
constexpr int kChoose = 4076;
}  // namespace

CPhoneBookConfirmDlg::CPhoneBookConfirmDlg(QWidget* parent, CAppContext* context, bool unsavedChanges)
    : CChoiceDlg(parent, context, kTitle, {kNotSaved, kChoose},
                 {{kSaveChoice, kSaveThenImport}, {kReplaceChoice, kReplace}, {kAddChoice, kAdd}}, kOk, kCancel) {
  Choice(kSaveChoice)->setVisible(unsavedChanges);
  Choice(unsavedChanges ? kSaveChoice : kReplaceChoice)->setChecked(true);
}
