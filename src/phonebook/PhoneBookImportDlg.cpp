#include "phonebook/PhoneBookImportDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int kTitle = 4020;
constexpr int kImportFrom = 4088;
}  // namespace

CPhoneBookImportDlg::CPhoneBookImportDlg(QWidget* parent, CAppContext* context, bool handsetConnected)
    : CTemplate(parent, context) {
  auto* grid = new QGridLayout(Content());
  auto* caption = new QLabel(Content());
  SetControlId(caption, kImportFrom);
  auto* file = new QRadioButton(Content());
  auto* caller = new QRadioButton(Content());
  SetControlId(file, kFileChoice);
  SetControlId(caller, kCallerChoice);
  file->setChecked(true);
  caller->setEnabled(handsetConnected);
  auto* ok = new QPushButton(Content());
  auto* cancel = new QPushButton(Content());
  SetControlId(ok, kOk);
  SetControlId(cancel, kCancel);
  ok->setDefault(true);
  grid->addWidget(caption, 0, 0, 1, 2);
  grid->addWidget(file, 1, 0, 1, 2);
  grid->addWidget(caller, 2, 0, 1, 2);
  grid->addWidget(ok, 3, 0);
  grid->addWidget(cancel, 3, 1);
  // The base class runs only its own commands for a button: these two are the dialog's.
  for (QPushButton* button : {ok, cancel}) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
  }
  connect(ok, &QPushButton::clicked, this, &CPhoneBookImportDlg::PressOk);
  connect(cancel, &QPushButton::clicked, this, [this] { done(Rejected); });
  RelabelControls();
  setModal(true);
}

QRadioButton* CPhoneBookImportDlg::Choice(int id) const {
  return qobject_cast<QRadioButton*>(Control(id));
}

void CPhoneBookImportDlg::PressOk() {
  done(Choice(kCallerChoice)->isChecked() ? kFromCallerList : kFromFile);
}

void CPhoneBookImportDlg::RelabelControls() {
  for (int id : {kImportFrom, kFileChoice, kCallerChoice, kOk, kCancel}) {
    SetControlText(id, id);
  }
  const QString title = Text(kTitle);
  if (!title.isEmpty()) {
    setWindowTitle(title);
  }
}
