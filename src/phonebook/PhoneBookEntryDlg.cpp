#include "phonebook/PhoneBookEntryDlg.h"

#include "phonebook/PhonebookEntry.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"
#include "ui/PhoneNumberEdit.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kNameLabel = 4022;
constexpr int kNumberLabel = 4023;
constexpr int kTitle = 4019;
constexpr std::int32_t kInvalidData = 786;
}  // namespace

CPhoneBookEntryDlg::CPhoneBookEntryDlg(QWidget* parent, CAppContext* context, const std::string& name,
                                       const std::string& number)
    : CTemplate(parent, context) {
  auto* grid = new QGridLayout(Content());
  auto* nameLabel = new QLabel(Content());
  auto* numberLabel = new QLabel(Content());
  SetControlId(nameLabel, kNameLabel);
  SetControlId(numberLabel, kNumberLabel);
  m_nameEdit = new CCharSetEdit(Content());
  m_nameEdit->SetAllowed(NameCharacters());
  m_nameEdit->setMaxLength(static_cast<int>(kMaxNameLength));
  m_numberEdit = new CPhoneNumberEdit(Content());
  m_numberEdit->setMaxLength(static_cast<int>(kMaxNumberLength));
  SetControlId(m_nameEdit, kNameEdit);
  SetControlId(m_numberEdit, kNumberEdit);
  m_ok = new QPushButton(Content());
  auto* cancel = new QPushButton(Content());
  SetControlId(m_ok, kOk);
  SetControlId(cancel, kCancel);
  m_ok->setDefault(true);
  grid->addWidget(nameLabel, 0, 0);
  grid->addWidget(m_nameEdit, 0, 1, 1, 2);
  grid->addWidget(numberLabel, 1, 0);
  grid->addWidget(m_numberEdit, 1, 1, 1, 2);
  grid->addWidget(m_ok, 2, 1);
  grid->addWidget(cancel, 2, 2);
  grid->setColumnMinimumWidth(1, 140);

  // The base class runs only its own commands for a button: these two are the dialog's.
  for (QPushButton* button : {m_ok, cancel}) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
  }
  connect(m_ok, &QPushButton::clicked, this, &CPhoneBookEntryDlg::PressOk);
  connect(cancel, &QPushButton::clicked, this, [this] { done(Rejected); });
  connect(m_numberEdit, &QLineEdit::textChanged, this, &CPhoneBookEntryDlg::UpdateOk);

  m_nameEdit->setText(QString::fromStdString(name));
  m_numberEdit->setText(QString::fromStdString(number));
  UpdateOk();
  RelabelControls();
  setModal(true);
}

QString CPhoneBookEntryDlg::NameCharacters() {
  QString allowed;
  for (int c = 0x20; c < 0x7F; ++c) {
    if (IsNameCharacter(static_cast<char>(c))) {
      allowed.append(QChar(c));
    }
  }
  return allowed;
}

void CPhoneBookEntryDlg::RelabelControls() {
  for (int id : {kNameLabel, kNumberLabel, kOk, kCancel}) {
    SetControlText(id, id);
  }
  const QString title = Text(kTitle);
  if (!title.isEmpty()) {
    setWindowTitle(title);
  }
}

void CPhoneBookEntryDlg::UpdateOk() {
  m_ok->setEnabled(!m_numberEdit->text().isEmpty());
}

void CPhoneBookEntryDlg::PressOk() {
  const std::string name = m_nameEdit->text().left(static_cast<int>(kMaxNameLength)).toStdString();
  const std::string number = m_numberEdit->text().left(static_cast<int>(kMaxNumberLength)).toStdString();
  if (!IsValidNumber(number)) {
    QPointer<CPhoneBookEntryDlg> self(this);
    ShowMsg(kInvalidData, MB_ICONEXCLAMATION, {String(kNumberLabel)});
    if (self) {
      m_numberEdit->setFocus();
    }
    return;
  }
  m_name = NormaliseName(name);
  m_number = number;
  done(Accepted);
}
