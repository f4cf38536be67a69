#include "phonebook/PhoneBookPasswordDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CPhoneBookPasswordDlg::CPhoneBookPasswordDlg(QWidget* parent, CAppContext* context) : CTemplate(parent, context) {
  auto* grid = new QGridLayout(Content());
  auto* prompt = new QLabel(Content());
  prompt->setWordWrap(true);
  SetControlId(prompt, kPrompt);
  grid->addWidget(prompt, 0, 0, 1, 2);
  m_edit = new QLineEdit(Content());
  m_edit->setEchoMode(QLineEdit::Password);
  SetControlId(m_edit, kPasswordEdit);
  grid->addWidget(m_edit, 1, 0, 1, 2);
  auto* ok = new QPushButton(Content());
  auto* cancel = new QPushButton(Content());
  SetControlId(ok, kOk);
  SetControlId(cancel, kCancel);
  ok->setDefault(true);
  grid->addWidget(ok, 2, 0);
  grid->addWidget(cancel, 2, 1);
  // The base class runs only its own commands for a button: these two are the dialog's.
  for (QPushButton* button : {ok, cancel}) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
  }
  connect(ok, &QPushButton::clicked, this, [this] { done(Accepted); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(Rejected); });
  CPhoneBookPasswordDlg::RelabelControls();
  setModal(true);
  m_edit->setFocus();
}

std::string CPhoneBookPasswordDlg::Password() const {
  return m_edit->text().toStdString();
}

void CPhoneBookPasswordDlg::RelabelControls() {
  SetControlText(kPrompt, kPrompt);
  SetControlText(kOk, kOk);
  SetControlText(kCancel, kCancel);
  const QString title = Text(kTitle);
  if (!title.isEmpty()) {
    setWindowTitle(title);
  }
}
