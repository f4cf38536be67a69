#include "phonebook/PhoneBookImportFromDlg.h"

#include "phonebook/CsvFormat.h"
#include "phonebook/MSFlexGrid.h"
#include "phonebook/VCardFormat.h"
#include "ui/Message.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <array>
#include <utility>

namespace {
constexpr int kNameLabel = 4031;
constexpr int kNumberLabel = 4032;
constexpr int kCsvTitle = 4051;
constexpr int kVCardTitle = 4052;
constexpr std::int32_t kMsgNotOpened = 732;
constexpr std::int32_t kMsgInaccurate = 753;
}  // namespace

CPhoneBookImportFromDlg::CPhoneBookImportFromDlg(QWidget* parent, CAppContext* context, Kind kind, std::string path)
    : CTemplate(parent, context), m_kind(kind), m_path(std::move(path)) {
  auto* layout = new QGridLayout(Content());
  m_grid = new CMSFlexGrid(Content());
  SetControlId(m_grid, kGrid);
  m_grid->setMinimumSize(460, 240);
  layout->addWidget(m_grid, 0, 0, 1, 5);
  int row = 1;
  for (auto [labelId, fieldId, takeId, clearId] : {std::array{kNameLabel, kNameField, kTakeName, kClearName},
                                                   std::array{kNumberLabel, kNumberField, kTakeNumber, kClearNumber}}) {
    auto* label = new QLabel(Content());
    SetControlId(label, labelId);
    auto* field = new QLineEdit(Content());
    SetControlId(field, fieldId);
    field->setReadOnly(true);
    field->setFixedWidth(48);
    (fieldId == kNameField ? m_nameField : m_numberField) = field;
    connect(field, &QLineEdit::textChanged, this, &CPhoneBookImportFromDlg::UpdateButtons);
    layout->addWidget(label, row, 0);
    layout->addWidget(AddButton(takeId), row, 1);
    layout->addWidget(AddButton(clearId), row, 2);
    layout->addWidget(field, row, 3);
    ++row;
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(AddButton(kOk));
  buttons->addWidget(AddButton(kCancel));
  layout->addLayout(buttons, row, 0, 1, 5);
  layout->setColumnStretch(4, 1);
  connect(m_grid, &CMSFlexGrid::Click, this, [this] {
    m_gridClicked = true;
    UpdateButtons();
  });
  UpdateButtons();
  CPhoneBookImportFromDlg::RelabelControls();
  setModal(true);
}

QPushButton* CPhoneBookImportFromDlg::AddButton(int id) {
  auto* button = new QPushButton(Content());
  SetControlId(button, id);
  button->setAutoDefault(false);
  // The base class runs only its own commands for a button: these are the dialog's.
  QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
  connect(button, &QPushButton::clicked, this, [this, id] { Press(id); });
  if (id == kTakeName || id == kTakeNumber || id == kClearName || id == kClearNumber) {
    button->setFixedWidth(32);
  }
  return button;
}

CPhoneBookImportFromDlg::LoadResult CPhoneBookImportFromDlg::Load() {
  CImportGrid grid;
  int status = 0;
  if (m_kind == kCsv) {
    status = static_cast<int>(ReadCsvGrid(m_path, grid));
  } else {
    status = static_cast<int>(ReadVCardGrid(m_path, grid));
  }
  if (status == kMsgNotOpened) {
    ShowMsg(kMsgNotOpened, MB_ICONSTOP);
    return LoadResult::NotOpened;
  }
  if (status != 0 || grid.RowCount() == 0) {
    return LoadResult::NoEntries;
  }
  m_grid->SetGrid(std::move(grid));
  return LoadResult::Loaded;
}

void CPhoneBookImportFromDlg::Press(int id) {
  switch (id) {
    case kTakeName:
      TakeColumn(m_nameField);
      break;
    case kTakeNumber:
      TakeColumn(m_numberField);
      break;
    case kClearName:
      m_nameField->clear();
      break;
    case kClearNumber:
      m_numberField->clear();
      break;
    case kOk:
      Accept();
      break;
    case kCancel:
      done(Rejected);
      break;
    default:
      break;
  }
}

// The field takes the number row's text of the current column: its column number, whole
// (address-book exports have a hundred columns and more; a field cut to two digits would
// name another column).
void CPhoneBookImportFromDlg::TakeColumn(QLineEdit* field) {
  const long column = m_grid->Col();
  if (column < 0) {
    return;
  }
  field->setText(QString::fromStdString(m_grid->TextMatrix(0, column)));
}

int CPhoneBookImportFromDlg::ColumnOf(const QLineEdit* field) {
  bool ok = false;
  const int column = field->text().toInt(&ok);
  return ok ? column : 0;
}

void CPhoneBookImportFromDlg::Accept() {
  const std::optional<ImportLists> lists =
      ChooseColumns(m_grid->Grid(), ColumnOf(m_nameField), ColumnOf(m_numberField));
  if (!lists) {
    QPointer<CPhoneBookImportFromDlg> self(this);
    ShowMsg(kMsgInaccurate, MB_ICONSTOP);
    if (self) {
      done(Rejected);
    }
    return;
  }
  m_lists = *lists;
  done(Accepted);
}

void CPhoneBookImportFromDlg::UpdateButtons() {
  const bool name = !m_nameField->text().isEmpty();
  const bool number = !m_numberField->text().isEmpty();
  Control(kTakeName)->setEnabled(m_gridClicked);
  Control(kTakeNumber)->setEnabled(m_gridClicked);
  Control(kClearName)->setEnabled(name);
  Control(kClearNumber)->setEnabled(number);
  Control(kOk)->setEnabled(number);
}

void CPhoneBookImportFromDlg::RelabelControls() {
  for (int id : {kNameLabel, kNumberLabel, kTakeName, kClearName, kTakeNumber, kClearNumber, kOk, kCancel}) {
    SetControlText(id, id);
  }
  const QString title = Text(m_kind == kCsv ? kCsvTitle : kVCardTitle);
  if (!title.isEmpty()) {
    setWindowTitle(title);
  }
}
