#include "phonebook/ChoiceDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

CChoiceDlg::CChoiceDlg(QWidget* parent, CAppContext* context, int titleId, std::vector<int> captionIds,
                       std::vector<Option> options, int okId, int cancelId)
    : CTemplate(parent, context),
      m_titleId(titleId),
      m_captionIds(std::move(captionIds)),
      m_options(std::move(options)),
      m_okId(okId),
      m_cancelId(cancelId) {
  auto* grid = new QGridLayout(Content());
  int row = 0;
  for (int id : m_captionIds) {
    auto* label = new QLabel(Content());
    SetControlId(label, id);
    grid->addWidget(label, row++, 0, 1, 2);
  }
  for (const Option& option : m_options) {
    auto* choice = new QRadioButton(Content());
    SetControlId(choice, option.controlId);
    grid->addWidget(choice, row++, 0, 1, 2);
  }
  auto* ok = new QPushButton(Content());
  auto* cancel = new QPushButton(Content());
  SetControlId(ok, m_okId);
  SetControlId(cancel, m_cancelId);
  ok->setDefault(true);
  grid->addWidget(ok, row, 0);
  grid->addWidget(cancel, row, 1);
  // The base class runs only its own commands for a button: these two are the dialog's.
  for (QPushButton* button : {ok, cancel}) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
  }
  connect(ok, &QPushButton::clicked, this, &CChoiceDlg::PressOk);
  connect(cancel, &QPushButton::clicked, this, [this] { done(Rejected); });
  CChoiceDlg::RelabelControls();
  setModal(true);
}

QRadioButton* CChoiceDlg::Choice(int id) const {
  return qobject_cast<QRadioButton*>(Control(id));
}

// The choices are exclusive and one is checked from the start; the first is the answer
// should none be.
void CChoiceDlg::PressOk() {
  for (const Option& option : m_options) {
    if (Choice(option.controlId)->isChecked()) {
      done(option.result);
      return;
    }
  }
  done(m_options.front().result);
}

void CChoiceDlg::RelabelControls() {
  for (int id : m_captionIds) {
    SetControlText(id, id);
  }
  for (const Option& option : m_options) {
    SetControlText(option.controlId, option.controlId);
  }
  SetControlText(m_okId, m_okId);
  SetControlText(m_cancelId, m_cancelId);
  const QString title = Text(m_titleId);
  if (!title.isEmpty()) {
    setWindowTitle(title);
  }
}
