#include "phonebook/PhoneBookConfirmDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int kTitle = 4089;
constexpr int kNotSaved = 4075;
constexpr int kChoose = 4076;
}  // namespace

CPhoneBookConfirmDlg::CPhoneBookConfirmDlg(QWidget* parent, CAppContext* context, bool unsavedChanges)
    : CTemplate(parent, context) {
  auto* grid = new QGridLayout(Content());
  int row = 0;
  for (int id : {kNotSaved, kChoose}) {
    auto* label = new QLabel(Content());
    SetControlId(label, id);
    grid->addWidget(label, row++, 0, 1, 2);
  }
  for (int id : {kSaveChoice, kReplaceChoice, kAddChoice}) {
    auto* choice = new QRadioButton(Content());
    SetControlId(choice, id);
    grid->addWidget(choice, row++, 0, 1, 2);
  }
  Choice(kSaveChoice)->setVisible(unsavedChanges);
  Choice(unsavedChanges ? kSaveChoice : kReplaceChoice)->setChecked(true);
  auto* ok = new QPushButton(Content());
  auto* cancel = new QPushButton(Content());
  SetControlId(ok, kOk);
  SetControlId(cancel, kCancel);
  ok->setDefault(true);
  grid->addWidget(ok, row, 0);
  grid->addWidget(cancel, row, 1);
  // The base class runs only its own commands for a button: these two are the dialog's.
  for (QPushButton* button : {ok, cancel}) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
  }
  connect(ok, &QPushButton::clicked, this, &CPhoneBookConfirmDlg::PressOk);
  connect(cancel, &QPushButton::clicked, this, [this] { done(Rejected); });
  RelabelControls();
  setModal(true);
}

QRadioButton* CPhoneBookConfirmDlg::Choice(int id) const {
  return qobject_cast<QRadioButton*>(Control(id));
}

void CPhoneBookConfirmDlg::PressOk() {
  if (Choice(kSaveChoice)->isChecked()) {
    done(kSaveThenImport);
  } else {
    done(Choice(kAddChoice)->isChecked() ? kAdd : kReplace);
  }
}

void CPhoneBookConfirmDlg::RelabelControls() {
  for (int id : {kNotSaved, kChoose, kSaveChoice, kReplaceChoice, kAddChoice, kOk, kCancel}) {
    SetControlText(id, id);
  }
  const QString title = Text(kTitle);
  if (!title.isEmpty()) {
    setWindowTitle(title);
  }
}
