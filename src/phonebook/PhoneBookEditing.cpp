// CPhoneBookUtilityDlg: editing the two lists, copying between them, search and the
// enabling of buttons and menu items.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "phonebook/PhoneBookEntryDlg.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookListModel.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

namespace {
constexpr std::int32_t kMsgSameNumber = 1534;
constexpr std::int32_t kMsgEraseQuestion = 785;
constexpr std::int32_t kMsgNoSpace = 755;
}  // namespace

std::vector<std::size_t> CPhoneBookUtilityDlg::SelectedRows(Side side) const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : View(side)->selectionModel()->selectedRows()) {
    rows.push_back(static_cast<std::size_t>(index.row()));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CPhoneBookUtilityDlg::SelectRow(Side side, int row, bool only) {
  QTableView* view = View(side);
  if (only) {
    view->clearSelection();
  }
  if (row < 0 || row >= view->model()->rowCount()) {
    return;
  }
  const QModelIndex index = view->model()->index(row, 0);
  view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  view->scrollTo(index);
  view->setFocus();
}

// The list's rows changed: the view shows them again (the selection goes with the old rows).
void CPhoneBookUtilityDlg::ListChanged(Side side) {
  (side == Side::Computer ? m_pcModel : m_devModel)->Refresh();
  UpdateButtons();
}

void CPhoneBookUtilityDlg::MarkChanged(Side side) {
  (side == Side::Computer ? m_pcEdit : m_devEdit) = true;
}

// The row of a number after sorting: the caller selects it again.
static int RowOfNumber(const CPhonebookList& list, const std::string& number) {
  return FindByNumber(list, number);
}

bool CPhoneBookUtilityDlg::RunEntryDialog(std::string& name, std::string& number) {
  QPointer<CPhoneBookUtilityDlg> self(this);
  auto* dialog = new CPhoneBookEntryDlg(this, Context(), name, number);
  m_subDialog = dialog;
  const int result = RunModalChild(*dialog);
  if (!self) {
    return false;
  }
  name = dialog->Name();
  number = dialog->Number();
  dialog->deleteLater();
  return result == QDialog::Accepted;
}

void CPhoneBookUtilityDlg::AddEntry(Side side) {
  View(side)->clearSelection();
  std::string name;
  std::string number;
  if (!RunEntryDialog(name, number)) {
    return;
  }
  CPhonebookList& list = List(side);
  const std::string display = ToDisplayNumber(StoredNumber(number), m_freeEdit);
  const int existing = FindByNumber(list, number);
  if (existing >= 0) {
    QPointer<CPhoneBookUtilityDlg> self(this);
    const int answer = ShowMsg(kMsgSameNumber, MB_OKCANCEL | MB_ICONQUESTION);
    if (!self || answer != IDOK) {
      return;
    }
    list.SetRow(static_cast<std::size_t>(existing), name, display);
  } else {
    list.Append(name, display);
  }
  SortAndNumber(list);
  MarkChanged(side);
  ListChanged(side);
  SelectRow(side, RowOfNumber(list, display), true);
}

void CPhoneBookUtilityDlg::EditEntry(Side side) {
  const std::vector<std::size_t> selected = SelectedRows(side);
  if (selected.size() != 1) {
    return;
  }
  CPhonebookList& list = List(side);
  const std::size_t row = selected.front();
  std::string name = list.Row(row).name;
  std::string number = StoredNumber(list.Row(row).number);
  const std::string oldNumber = number;
  if (!RunEntryDialog(name, number)) {
    return;
  }
  const std::string display = ToDisplayNumber(StoredNumber(number), m_freeEdit);
  // The dialog ran its own event loop: the row is found again by its number.
  const int edited = FindByNumber(list, oldNumber);
  const int other = FindByNumber(list, number);
  if (other >= 0 && other != edited) {
    QPointer<CPhoneBookUtilityDlg> self(this);
    const int answer = ShowMsg(kMsgSameNumber, MB_OKCANCEL | MB_ICONQUESTION);
    if (!self || answer != IDOK) {
      return;
    }
    list.SetRow(static_cast<std::size_t>(other), name, display);
    if (edited >= 0) {
      list.Remove(static_cast<std::size_t>(edited));
    }
  } else if (edited >= 0) {
    list.SetRow(static_cast<std::size_t>(edited), name, display);
  } else {
    list.Append(name, display);
  }
  SortAndNumber(list);
  MarkChanged(side);
  ListChanged(side);
  SelectRow(side, RowOfNumber(list, display), true);
}

void CPhoneBookUtilityDlg::EraseEntries(Side side) {
  std::vector<std::size_t> selected = SelectedRows(side);
  if (selected.empty()) {
    return;
  }
  QPointer<CPhoneBookUtilityDlg> self(this);
  const int answer = ShowMsg(kMsgEraseQuestion, MB_OKCANCEL | MB_ICONQUESTION);
  if (!self || answer != IDOK) {
    return;
  }
  CPhonebookList& list = List(side);
  std::sort(selected.rbegin(), selected.rend());
  for (std::size_t row : selected) {
    if (row < list.Count()) {
      list.Remove(row);
    }
  }
  SortAndNumber(list);
  MarkChanged(side);
  ListChanged(side);
}

void CPhoneBookUtilityDlg::SelectAll(Side side) {
  View(side)->selectAll();
  UpdateButtons();
}

void CPhoneBookUtilityDlg::CopyEntries(Side from) {
  const Side to = from == Side::Computer ? Side::Handset : Side::Computer;
  const std::vector<std::size_t> selected = SelectedRows(from);
  if (selected.empty()) {
    return;
  }
  std::optional<std::size_t> freePlaces;
  const auto capacity = static_cast<std::size_t>(std::max(0, Capacity()));
  if (to == Side::Handset && selected.size() + m_handset.Count() > capacity) {
    QPointer<CPhoneBookUtilityDlg> self(this);
    const int answer = ShowMsg(kMsgNoSpace, MB_OKCANCEL | MB_ICONEXCLAMATION);
    if (!self) {
      return;
    }
    if (answer != IDOK) {
      View(from)->setFocus();
      return;
    }
    freePlaces = capacity > m_handset.Count() ? capacity - m_handset.Count() : 0;
  }
  const std::vector<std::size_t> handled = CopyRows(List(from), selected, List(to), freePlaces);
  MarkChanged(to);
  ListChanged(to);
  // Rows that found no place stay selected in the source list.
  QItemSelectionModel* selection = View(from)->selectionModel();
  for (std::size_t row : handled) {
    selection->select(View(from)->model()->index(static_cast<int>(row), 0),
                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  }
  if (handled.size() < selected.size()) {
    View(from)->setFocus();
  }
  UpdateButtons();
}

void CPhoneBookUtilityDlg::Search() {
  const std::string text = m_search->text().toStdString();
  if (text.empty()) {
    return;
  }
  SelectRow(Side::Computer, SearchByName(m_computer, text), true);
  UpdateButtons();
}

void CPhoneBookUtilityDlg::CopyToClipboard() {
  const std::vector<std::size_t> selected = SelectedRows(Side::Computer);
  if (selected.empty()) {
    return;
  }
  QGuiApplication::clipboard()->setText(QString::fromStdString(ClipboardText(m_computer, selected)));
}

void CPhoneBookUtilityDlg::CutToClipboard() {
  std::vector<std::size_t> selected = SelectedRows(Side::Computer);
  if (selected.empty()) {
    return;
  }
  CopyToClipboard();
  std::sort(selected.rbegin(), selected.rend());
  for (std::size_t row : selected) {
    m_computer.Remove(row);
  }
  SortAndNumber(m_computer);
  MarkChanged(Side::Computer);
  ListChanged(Side::Computer);
}

void CPhoneBookUtilityDlg::PasteFromClipboard() {
  const std::string text = QGuiApplication::clipboard()->text().toStdString();
  if (PasteEntryLines(m_computer, text, m_freeEdit) > 0) {
    MarkChanged(Side::Computer);
  }
  ListChanged(Side::Computer);
}

bool CPhoneBookUtilityDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == m_pcView || watched == m_devView)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
      const Side side = watched == m_pcView ? Side::Computer : Side::Handset;
      if (!SelectedRows(side).empty()) {
        EraseEntries(side);
      }
      return true;
    }
  }
  return CTemplate::eventFilter(watched, event);
}

// ---- enabling ----------------------------------------------------------------------------------

void CPhoneBookUtilityDlg::EnableItem(int id, bool enable) {
  if (QWidget* control = Control(id)) {
    control->setEnabled(enable);
  }
  for (QAction* action : m_menuBar->actions()) {
    if (QMenu* menu = action->menu()) {
      EnableMenuItem(menu, id, enable);
    }
  }
}

CPhoneBookUtilityDlg::ListState CPhoneBookUtilityDlg::CurrentListState() const {
  ListState state;
  state.pcSelected = SelectedRows(Side::Computer).size();
  state.devSelected = SelectedRows(Side::Handset).size();
  state.pcRows = !m_computer.Empty();
  state.devRows = !m_handset.Empty();
  state.handsetRoom = m_handset.Count() < static_cast<std::size_t>(std::max(0, Capacity()));
  return state;
}

void CPhoneBookUtilityDlg::UpdateButtons() {
  if (m_pcView == nullptr || m_menuBar == nullptr) {
    return;
  }
  const ListState state = CurrentListState();
  const auto [pcSelected, devSelected, pcRows, devRows, handsetRoom] = state;

  EnableItem(kComputerEdit, pcRows && pcSelected == 1);
  EnableItem(kMenuComputerEdit, pcRows && pcSelected == 1);
  EnableItem(kComputerErase, pcRows && pcSelected >= 1);
  EnableItem(kMenuComputerErase, pcRows && pcSelected >= 1);
  EnableItem(kToHandset, pcRows && pcSelected >= 1 && handsetRoom);
  EnableItem(kMenuComputerSelectAll, pcRows);
  EnableItem(kSave, pcRows);
  EnableItem(kMenuSave, pcRows);
  EnableItem(kMenuSaveAs, pcRows);

  EnableItem(kHandsetAdd, !devRows || handsetRoom);
  EnableItem(kMenuHandsetAdd, !devRows || handsetRoom);
  EnableItem(kHandsetEdit, devRows && devSelected == 1);
  EnableItem(kMenuHandsetEdit, devRows && devSelected == 1);
  EnableItem(kHandsetErase, devRows && devSelected >= 1);
  EnableItem(kMenuHandsetErase, devRows && devSelected >= 1);
  EnableItem(kToComputer, devRows && devSelected >= 1);
  EnableItem(kMenuHandsetSelectAll, devRows);
  EnableItem(TemplateId::kSend, devRows && !m_noDevice);
  EnableItem(kMenuSend, devRows && !m_noDevice);

  EnableItem(kSearch, !m_search->text().isEmpty());
  UpdateExtraItems(state);
}
