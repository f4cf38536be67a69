// CPhoneBookUtilityDlg: the Export submenu, the context menus of the two lists, the
// accelerators and the pictures on the buttons.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "ui/Artwork.h"

#include <QAbstractButton>
#include <QMenu>
#include <QShortcut>
#include <QTableView>
#include <algorithm>

namespace {
constexpr int kExportAsTitle = 44001;
}  // namespace

void CPhoneBookUtilityDlg::BuildExtraMenus() {
  // File menu: Export (vCard, CSV) just before Import.
  m_exportMenu = new QMenu(m_fileMenu);
  AddMenuItem(m_exportMenu, kMenuExportVCard);
  AddMenuItem(m_exportMenu, kMenuExportCsv);
  QAction* exportItem = m_fileMenu->insertMenu(MenuItem(m_fileMenu, kMenuImport), m_exportMenu);
  SetCommandId(exportItem, kMenuExport);

  // The Computer list's menu leaves out Cut, Copy and Paste (reached by their keys) and the
  // export items (in the File menu).
  m_pcContext = new QMenu(this);
  for (int id : {kContextComputerAdd, kContextComputerEdit, kContextComputerErase, kContextComputerSelectAll}) {
    AddMenuItem(m_pcContext, id);
  }
  m_devContext = new QMenu(this);
  for (int id : {kContextHandsetAdd, kContextHandsetEdit, kContextHandsetErase, kContextHandsetSelectAll}) {
    AddMenuItem(m_devContext, id);
  }
  m_devContext->addSeparator();
  AddMenuItem(m_devContext, kReceiveCallerList);
  for (const Side side : {Side::Computer, Side::Handset}) {
    QTableView* view = View(side);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, side](const QPoint& position) { ShowContextMenu(side, position); });
  }

  // Accelerators: Add and Edit on the focused list, New, Open and Save as.
  const std::pair<QKeySequence, int> keys[] = {{QKeySequence(Qt::CTRL | Qt::Key_A), kAddFocused},
                                               {QKeySequence(Qt::CTRL | Qt::Key_E), kEditFocused},
                                               {QKeySequence(Qt::CTRL | Qt::Key_N), kMenuNew},
                                               {QKeySequence(Qt::CTRL | Qt::Key_O), kMenuOpen},
                                               {QKeySequence(Qt::CTRL | Qt::Key_S), kMenuSaveAs}};
  for (const auto& [key, command] : keys) {
    auto* shortcut = new QShortcut(key, this);
    // Keys reach the window even while its content is disabled by a running operation.
    connect(shortcut, &QShortcut::activated, this, [this, command = command] {
      if (IsContentEnabled()) {
        OnCommand(command);
      }
    });
  }
}

// Each button shows its picture beside its caption; the toolkit greys it while disabled.
void CPhoneBookUtilityDlg::SetButtonImages() {
  const std::pair<int, const char*> pictures[] = {{kOpenFile, "open"},
                                                  {kNew, "new"},
                                                  {kSave, "save"},
                                                  {kImport, "import"},
                                                  {kComputerAdd, "add"},
                                                  {kHandsetAdd, "add"},
                                                  {kComputerEdit, "edit"},
                                                  {kHandsetEdit, "edit"},
                                                  {kComputerErase, "erase"},
                                                  {kHandsetErase, "erase"},
                                                  {kToHandset, "to-handset"},
                                                  {kToComputer, "to-computer"},
                                                  {TemplateId::kSend, "send"},
                                                  {kSearch, "search"}};
  for (const auto& [id, picture] : pictures) {
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
      button->setIcon(CArtwork::Icon(QStringLiteral("phonebook/") + picture));
      button->setIconSize(QSize(20, 20));
    }
  }
}

void CPhoneBookUtilityDlg::RelabelExtraMenus() {
  RelabelMenu(m_pcContext, 0);
  RelabelMenu(m_devContext, 0);
  // The Export item takes the text of string 44020, or "Export As" while that is empty.
  QString title = Text(kMenuExport);
  if (title.isEmpty()) {
    title = Text(kExportAsTitle);
  }
  if (!title.isEmpty() && m_exportMenu != nullptr) {
    m_exportMenu->setTitle(title);
  }
}

void CPhoneBookUtilityDlg::ShowContextMenu(Side side, const QPoint& position) {
  QTableView* view = View(side);
  QMenu* menu = side == Side::Computer ? m_pcContext : m_devContext;
  UpdateButtons();
  menu->popup(view->viewport()->mapToGlobal(position));
}

// The enabling of the items this file adds, by the same rules as the buttons.
void CPhoneBookUtilityDlg::UpdateExtraItems(const ListState& state) {
  if (m_pcContext == nullptr || m_devContext == nullptr) {
    return;
  }
  const auto [pcSelected, devSelected, pcRows, devRows, handsetRoom] = state;
  for (int id : {kMenuExportVCard, kMenuExportCsv, kMenuExport}) {
    EnableItem(id, pcRows);
  }
  EnableMenuItem(m_pcContext, kContextComputerEdit, pcRows && pcSelected == 1);
  EnableMenuItem(m_pcContext, kContextComputerErase, pcRows && pcSelected >= 1);
  EnableMenuItem(m_pcContext, kContextComputerSelectAll, pcRows);
  EnableMenuItem(m_devContext, kContextHandsetAdd, !devRows || handsetRoom);
  EnableMenuItem(m_devContext, kContextHandsetEdit, devRows && devSelected == 1);
  EnableMenuItem(m_devContext, kContextHandsetErase, devRows && devSelected >= 1);
  EnableMenuItem(m_devContext, kContextHandsetSelectAll, devRows);
  EnableMenuItem(m_devContext, kReceiveCallerList, !m_noDevice);
}

bool CPhoneBookUtilityDlg::OnExtraCommand(int id) {
  const Side focused = m_devView->hasFocus() ? Side::Handset : Side::Computer;
  switch (id) {
    case kMenuExportCsv:
    case kMenuExport:
    case kContextExportCsv:
      ExportCsv();
      return true;
    case kMenuExportVCard:
    case kContextExportVCard:
      ExportVCards();
      return true;
    case kContextComputerAdd:
      AddEntry(Side::Computer);
      return true;
    case kContextComputerEdit:
      EditEntry(Side::Computer);
      return true;
    case kContextComputerErase:
      EraseEntries(Side::Computer);
      return true;
    case kContextComputerSelectAll:
      SelectAll(Side::Computer);
      return true;
    case kContextHandsetAdd:
      AddEntry(Side::Handset);
      return true;
    case kContextHandsetEdit:
      EditEntry(Side::Handset);
      return true;
    case kContextHandsetErase:
      EraseEntries(Side::Handset);
      return true;
    case kContextHandsetSelectAll:
      SelectAll(Side::Handset);
      return true;
    case kAddFocused:
      // A full Handset list takes no further entry (its Add button is disabled then).
      if (focused == Side::Computer || Control(kHandsetAdd)->isEnabled()) {
        AddEntry(focused);
      }
      return true;
    case kEditFocused:
      EditEntry(focused);
      return true;
    default:
      return false;
  }
}
