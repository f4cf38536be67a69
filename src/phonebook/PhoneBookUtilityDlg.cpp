// CPhoneBookUtilityDlg: controls, menus, texts, commands and closing.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "framework/AppContext.h"
#include "phonebook/PhoneBookEntryDlg.h"
#include "phonebook/PhoneBookOutlookImport.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookListModel.h"
#include "ui/Artwork.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"
#include "ui/Palette.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kTitle = 4000;
constexpr int kComputerCaption = 4090;
constexpr int kHandsetCaption = 4091;
constexpr int kColumnNo = 4046;
constexpr int kColumnName = 4047;
constexpr int kColumnNumber = 4048;
constexpr int kFileMenuTitle = 44000;
constexpr int kEditMenuTitle = 44015;
constexpr int kComputerMenuTitle = 44014;
constexpr int kHandsetMenuTitle = 44009;
constexpr int kHelpMenuTitle = 44004;
constexpr std::int32_t kMsgSaveQuestion = 752;
constexpr std::int32_t kMsgCannotExitReceiving = 727;
constexpr std::int32_t kMsgCannotExitSending = 728;
constexpr std::int32_t kMsgSendUnsaved = 775;
constexpr int kPathLabelLength = 30;

// Button captions: the window shows its captions on the buttons themselves.
int CaptionOf(int buttonId) {
  switch (buttonId) {
    case CPhoneBookUtilityDlg::kComputerAdd:
      return 4006;
    case CPhoneBookUtilityDlg::kComputerEdit:
      return 4011;
    case CPhoneBookUtilityDlg::kComputerErase:
      return 4008;
    case CPhoneBookUtilityDlg::kHandsetAdd:
      return 4062;
    case CPhoneBookUtilityDlg::kHandsetEdit:
      return 4012;
    case CPhoneBookUtilityDlg::kHandsetErase:
      return 4009;
    case CPhoneBookUtilityDlg::kSearch:
      return 4001;
    case CPhoneBookUtilityDlg::kImport:
      return 4069;
    case CPhoneBookUtilityDlg::kSave:
      return CPhoneBookUtilityDlg::kMenuSave;
    default:
      return buttonId;
  }
}

QString WithoutAccelerator(QString text) {
  const int tab = text.indexOf('\t');
  if (tab >= 0) {
    text.truncate(tab);
  }
  return text.remove('&');
}

}  // namespace

CPhoneBookUtilityDlg::CPhoneBookUtilityDlg(QWidget* parent, CAppContext* context)
    : CTemplate(parent, context), m_cachePath(SendCachePath()) {
  SetKind(APP_PHONEBOOK);
  BuildControls();
  BuildMenus();
  BuildExtraMenus();
  SetButtonImages();
  RelabelControls();
  AddKindToolTips();
  LoadFileHistory();
  if (Context() != nullptr && Context()->status != nullptr) {
    Context()->status->Register(APP_PHONEBOOK, 1, Handle());
  }
  if (Context() != nullptr && Context()->IsConnected()) {
    EvaluateFreeEdit();
    StartUtility();  // ends in OnUtilityStartDone: restore the cache or receive
  } else if (Context() != nullptr && Context()->settings != nullptr) {
    m_freeEdit = Context()->settings->ReadOrCreateDword(kProductKey + "PhoneBook", "FreeEdit", 1) != 0;
  }
  UpdateButtons();
}

CPhoneBookUtilityDlg::~CPhoneBookUtilityDlg() = default;

// ---- layout ------------------------------------------------------------------------------------

QPushButton* CPhoneBookUtilityDlg::MakeButton(int id) {
  auto* button = new QPushButton(Content());
  SetControlId(button, id);
  button->setAutoDefault(false);
  // The base class runs its own commands from a button; the window's own go to OnCommand.
  const bool baseCommand = id == TemplateId::kSend || id == kSave || id == kOpenFile;
  if (!baseCommand) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
    connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  }
  return button;
}

QTableView* CPhoneBookUtilityDlg::MakeListView(int id, CPhonebookListModel* model) {
  auto* view = new QTableView(Content());
  SetControlId(view, id);
  view->setModel(model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(20);
  view->setShowGrid(false);
  view->setColumnWidth(0, 40);
  view->setColumnWidth(1, 120);
  view->horizontalHeader()->setStretchLastSection(true);
  view->setMinimumSize(330, 300);
  const Side side = id == kComputerList ? Side::Computer : Side::Handset;
  if (side == Side::Computer) {
    // Cut, copy and paste of entry lines work on the Computer list only.
    const std::pair<QKeySequence::StandardKey, int> keys[] = {
        {QKeySequence::Cut, kMenuCut}, {QKeySequence::Copy, kMenuCopy}, {QKeySequence::Paste, kMenuPaste}};
    for (const auto& [key, command] : keys) {
      auto* shortcut = new QShortcut(QKeySequence(key), view, nullptr, nullptr, Qt::WidgetShortcut);
      connect(shortcut, &QShortcut::activated, this, [this, command = command] { OnCommand(command); });
    }
  }
  connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateButtons(); });
  connect(view, &QAbstractItemView::doubleClicked, this, [this, side] { EditEntry(side); });
  view->installEventFilter(this);
  return view;
}

void CPhoneBookUtilityDlg::BuildControls() {
  m_pcModel = new CPhonebookListModel(m_computer, this);
  m_devModel = new CPhonebookListModel(m_handset, this);
  auto* grid = new QGridLayout(Content());
  auto* pcCaption = new QLabel(Content());
  auto* devCaption = new QLabel(Content());
  SetControlId(pcCaption, kComputerCaption);
  SetControlId(devCaption, kHandsetCaption);
  m_pcView = MakeListView(kComputerList, m_pcModel);
  m_devView = MakeListView(kHandsetList, m_devModel);

  auto* pcButtons = new QHBoxLayout;
  for (int id : {kImport, kComputerAdd, kComputerEdit, kComputerErase}) {
    pcButtons->addWidget(MakeButton(id));
  }
  auto* devButtons = new QHBoxLayout;
  for (int id : {kHandsetAdd, kHandsetEdit, kHandsetErase}) {
    devButtons->addWidget(MakeButton(id));
  }
  devButtons->addStretch();
  devButtons->addWidget(MakeButton(TemplateId::kSend));

  auto* copyColumn = new QVBoxLayout;
  copyColumn->addStretch();
  copyColumn->addWidget(MakeButton(kToHandset));
  copyColumn->addWidget(MakeButton(kToComputer));
  copyColumn->addStretch();

  auto* searchRow = new QHBoxLayout;
  m_search = new CCharSetEdit(Content());
  m_search->SetAllowed(CPhoneBookEntryDlg::NameCharacters());
  m_search->setMaxLength(static_cast<int>(kMaxNameLength));
  SetControlId(m_search, kSearchEdit);
  connect(m_search, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  connect(m_search, &QLineEdit::returnPressed, this, [this] { OnCommand(kSearch); });
  searchRow->addWidget(m_search, 1);
  searchRow->addWidget(MakeButton(kSearch));

  auto* fileRow = new QHBoxLayout;
  for (int id : {kOpenFile, kNew, kSave}) {
    fileRow->addWidget(MakeButton(id));
  }
  auto* fileCaption = new QLabel(Content());
  SetControlId(fileCaption, kCurrentFileLabel);
  m_pathLabel = new QLabel(Content());
  SetControlId(m_pathLabel, kCurrentFilePath);
  fileRow->addSpacing(12);
  fileRow->addWidget(fileCaption);
  fileRow->addWidget(m_pathLabel, 1);

  grid->addLayout(fileRow, 0, 0, 1, 3);
  grid->addWidget(pcCaption, 1, 0);
  grid->addWidget(devCaption, 1, 2);
  grid->addWidget(m_pcView, 2, 0);
  grid->addLayout(copyColumn, 2, 1);
  grid->addWidget(m_devView, 2, 2);
  grid->addLayout(pcButtons, 3, 0);
  grid->addLayout(devButtons, 3, 2);
  grid->addLayout(searchRow, 4, 0);
}

void CPhoneBookUtilityDlg::AddMenuItem(QMenu* menu, int id) {
  QAction* action = menu->addAction(QString::number(id));
  SetCommandId(action, id);
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
}

void CPhoneBookUtilityDlg::BuildMenus() {
  m_menuBar = new QMenuBar(this);
  layout()->setMenuBar(m_menuBar);
  m_fileMenu = m_menuBar->addMenu(QString());
  for (int id : {kMenuNew, kMenuOpen, kMenuSave, kMenuSaveAs}) {
    AddMenuItem(m_fileMenu, id);
  }
  m_fileMenu->addSeparator();
  AddMenuItem(m_fileMenu, kMenuSend);
  AddMenuItem(m_fileMenu, kMenuImport);
  m_fileMenu->addSeparator();
  AddMenuItem(m_fileMenu, kMenuExit);
  SetHistoryMenu(m_fileMenu, MenuItem(m_fileMenu, kMenuExit));

  m_editMenu = m_menuBar->addMenu(QString());
  QMenu* computer = m_editMenu->addMenu(QString());
  for (int id : {kMenuComputerAdd, kMenuComputerEdit, kMenuComputerErase, kMenuComputerSelectAll}) {
    AddMenuItem(computer, id);
  }
  QMenu* handset = m_editMenu->addMenu(QString());
  for (int id : {kMenuHandsetAdd, kMenuHandsetEdit, kMenuHandsetErase, kMenuHandsetSelectAll}) {
    AddMenuItem(handset, id);
  }
  m_helpMenu = m_menuBar->addMenu(QString());
  AddMenuItem(m_helpMenu, kMenuHelp);
  AddMenuItem(m_helpMenu, kMenuVersion);
}

void CPhoneBookUtilityDlg::FitToBackground() {
  // The lists set the window's size; the background picture is drawn behind them.
  adjustSize();
}

// The lists make the window larger than the background picture: it is stretched over the
// whole window rather than ending in a visible edge.
void CPhoneBookUtilityDlg::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), CPalette::Background());
  CArtwork::Render(painter, QRectF(rect()), CArtwork::BackgroundForKind(APP_PHONEBOOK));
}

// ---- texts -------------------------------------------------------------------------------------

void CPhoneBookUtilityDlg::RelabelControls() {
  for (QWidget* control : Content()->findChildren<QWidget*>()) {
    const int id = ControlId(control);
    if (id == 0 || id == kCurrentFilePath || id == kSearchEdit) {
      continue;
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
      const QString text = WithoutAccelerator(Text(CaptionOf(id)));
      if (!text.isEmpty()) {
        button->setText(text);
      }
    } else {
      SetControlText(id, id);
    }
  }
  const std::array<QString, CPhonebookListModel::kColumns> titles{Text(kColumnNo), Text(kColumnName),
                                                                  Text(kColumnNumber)};
  m_pcModel->SetColumnTitles(titles);
  m_devModel->SetColumnTitles(titles);
  for (QMenu* menu : {m_fileMenu, m_editMenu, m_helpMenu}) {
    RelabelMenu(menu, 0);
  }
  m_fileMenu->setTitle(Text(kFileMenuTitle));
  m_editMenu->setTitle(Text(kEditMenuTitle));
  m_helpMenu->setTitle(Text(kHelpMenuTitle));
  RelabelExtraMenus();
  const QList<QAction*> submenus = m_editMenu->actions();
  if (submenus.size() >= 2) {
    submenus[0]->setText(Text(kComputerMenuTitle));
    submenus[1]->setText(Text(kHandsetMenuTitle));
  }
  UpdateTitle();
}

bool CPhoneBookUtilityDlg::OnLanguageChanged() {
  RelabelControls();
  return true;
}

void CPhoneBookUtilityDlg::UpdateTitle() {
  const QString title = Text(kTitle);
  if (title.isEmpty()) {
    return;
  }
  setWindowTitle(m_fileName.empty() ? title : title + " - " + QString::fromStdString(m_fileName));
  m_pathLabel->setText(
      QString::fromStdString(m_path.empty() ? std::string() : AbbreviatePath(kPathLabelLength, m_path)));
}

// ---- commands ----------------------------------------------------------------------------------

void CPhoneBookUtilityDlg::OnCommand(int id) {
  if (OnExtraCommand(id)) {
    return;
  }
  switch (id) {
    case kNew:
    case kMenuNew:
      NewPhonebook();
      break;
    case kMenuOpen:
      RunCommand(kOpenFile);
      break;
    case kMenuSave:
      RunCommand(kSave);
      break;
    case kMenuSaveAs:
      SavePhonebook(true);
      break;
    case kMenuSend:
      RunCommand(TemplateId::kSend);
      break;
    case kComputerAdd:
    case kMenuComputerAdd:
      AddEntry(Side::Computer);
      break;
    case kHandsetAdd:
    case kMenuHandsetAdd:
      AddEntry(Side::Handset);
      break;
    case kComputerEdit:
    case kMenuComputerEdit:
      EditEntry(Side::Computer);
      break;
    case kHandsetEdit:
    case kMenuHandsetEdit:
      EditEntry(Side::Handset);
      break;
    case kComputerErase:
    case kMenuComputerErase:
      EraseEntries(Side::Computer);
      break;
    case kHandsetErase:
    case kMenuHandsetErase:
      EraseEntries(Side::Handset);
      break;
    case kMenuComputerSelectAll:
      SelectAll(Side::Computer);
      break;
    case kMenuHandsetSelectAll:
      SelectAll(Side::Handset);
      break;
    case kToHandset:
      CopyEntries(Side::Computer);
      break;
    case kToComputer:
      CopyEntries(Side::Handset);
      break;
    case kSearch:
      Search();
      break;
    case kMenuCopy:
      CopyToClipboard();
      break;
    case kMenuCut:
      CutToClipboard();
      break;
    case kMenuPaste:
      PasteFromClipboard();
      break;
    case kImport:
    case kMenuImport:
      Import();
      break;
    case kImportFromOutlook:
      CPhoneBookOutlookImport(*this).Run();
      break;
    case kReceiveCallerList:
      ReceiveCallerList();
      break;
    case kMenuExit:
      RunCommand(TemplateId::kClose);
      break;
    case kMenuHelp:
      RunCommand(TemplateId::kHelp);
      break;
    case kMenuVersion:
      RunCommand(TemplateId::kAbout);
      break;
    default:
      RunCommand(id);
      break;
  }
}

// ---- closing -----------------------------------------------------------------------------------

bool CPhoneBookUtilityDlg::QueryClose() {
  QPointer<CPhoneBookUtilityDlg> self(this);
  if (!m_leaveWithoutAsking) {
    m_closing = true;
    const std::uint8_t executing = Executing();
    // A close that already waits for the send it started stays closing: that send's end
    // (or the receive it runs first) must still reach it.
    const bool waitingForSend = m_closeSending;
    if (executing == kReceiving || executing == kReceivingCallers || executing == 6 || executing == 7) {
      ShowMsg(kMsgCannotExitReceiving, MB_ICONEXCLAMATION);
      m_closing = waitingForSend;
      return false;
    }
    if (executing == kSending || executing == 8) {
      ShowMsg(kMsgCannotExitSending, MB_ICONEXCLAMATION);
      m_closing = waitingForSend;
      return false;
    }
    if (executing == kSavingFile || executing == kOpeningFile) {
      return false;
    }
    if (m_subDialog) {
      m_subDialog->done(QDialog::Rejected);
    }
    if (m_pcEdit && !m_computer.Empty()) {
      const int answer = ShowMsg(kMsgSaveQuestion, MB_YESNOCANCEL | MB_ICONQUESTION);
      if (!self) {
        return false;
      }
      if (answer == IDCANCEL || (answer == IDYES && (!SavePhonebook(false) || !self || m_pcEdit))) {
        if (self) {
          m_closing = false;
        }
        return false;
      }
    }
    if (m_devEdit && Executing() == 0 && !m_handset.Empty() && !m_noDevice) {
      const int answer = ShowMsg(kMsgSendUnsaved, MB_YESNOCANCEL | MB_ICONQUESTION);
      if (!self) {
        return false;
      }
      if (answer == IDCANCEL) {
        m_closing = false;
        return false;
      }
      if (answer == IDYES) {
        m_closeResult = 0;
        m_closeSending = true;
        RunCommand(TemplateId::kSend);
        if (!self) {
          return false;
        }
        if (Executing() != kSending && m_closeResult == 0) {
          m_closeSending = false;
          m_closing = false;
          return false;
        }
        if (m_closeResult == 0) {
          QEventLoop loop;
          m_closeLoop = &loop;
          loop.exec();
          if (!self) {
            return false;
          }
          m_closeLoop = nullptr;
        }
        m_closeSending = false;
        if (m_closeResult != kExitSent) {
          m_closing = false;
          return false;
        }
      }
    }
  }
  if (Context() != nullptr && Context()->status != nullptr) {
    Context()->status->Register(APP_PHONEBOOK, 0, 0);
  }
  m_pcEdit = false;
  m_devEdit = false;
  return CTemplate::QueryClose();
}

void CPhoneBookUtilityDlg::EndWindow() {
  QDialog::done(QDialog::Accepted);
}
