// CMelodyUtilityDlg: the controls, menus and labels of the window.
#include "melody/MelodyUtilityDlg.h"

#include "appcore/AppStatus.h"
#include "melody/MelodyName.h"
#include "melody/WaveView.h"
#include "ui/Artwork.h"
#include "ui/CharSetEdit.h"
#include "ui/ControlId.h"
#include "ui/Palette.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using namespace MelodyUtilityId;

constexpr int kPopupFile = 49000;
constexpr int kPopupOriginal = 49001;
constexpr int kPopupTransferred = 49002;
constexpr int kPopupHandset = 49003;
constexpr int kPopupHelp = 49012;
constexpr int kMenuHelp = 49013;
constexpr int kMenuAbout = 49016;
// The client size of each waveform view.
constexpr int kViewWidth = 332;
constexpr int kViewHeight = 124;
// Tooltips of the editing buttons are their id plus 500; the device and file buttons have
// their own.
constexpr int kToolTipOffset = 500;
constexpr int kSendToolTip = 9601;
constexpr int kEraseToolTip = 9602;
constexpr int kPlayOnPcToolTip = 9603;
constexpr int kSaveToolTip = 9605;

// A button caption from a menu text: without the '&' of the menu's access key and without
// the key name after a tab.
QString ButtonText(QString text) {
  text = text.section(QLatin1Char('\t'), 0, 0);
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&&"));
  return text;
}

}  // namespace

QPushButton* CMelodyUtilityDlg::AddButton(int id, QWidget* parent) {
  auto* button = new QPushButton(parent);
  // Enter never presses a button of this window.
  button->setAutoDefault(false);
  CControlId::Set(button, id);
  connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  return button;
}

QLabel* CMelodyUtilityDlg::AddLabel(int id, QWidget* parent) {
  auto* label = new QLabel(parent);
  CControlId::Set(label, id);
  return label;
}

QLabel* CMelodyUtilityDlg::AddValue(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setMinimumWidth(56);
  label->setFrameShape(QFrame::StyledPanel);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

QString CMelodyUtilityDlg::LabelText(const char* name) const {
  const auto* label = Content()->findChild<QLabel*>(QString::fromLatin1(name));
  return label != nullptr ? label->text() : QString();
}

void CMelodyUtilityDlg::BuildControls() {
  auto* rows = new QVBoxLayout(Content());
  rows->setContentsMargins(10, 8, 10, 10);
  rows->setSpacing(8);

  auto* fileRow = new QHBoxLayout();
  fileRow->addWidget(AddLabel(kCurrentFileLabel, Content()));
  m_pathLabel = new QLabel(Content());
  m_pathLabel->setObjectName(QStringLiteral("openedPath"));
  m_pathLabel->setFrameShape(QFrame::StyledPanel);
  fileRow->addWidget(m_pathLabel, 1);
  fileRow->addWidget(AddButton(kOpen, Content()));
  rows->addLayout(fileRow);

  auto* views = new QHBoxLayout();
  views->addWidget(BuildSourcePanel());
  auto* copyColumn = new QVBoxLayout();
  copyColumn->addStretch();
  QPushButton* copy = AddButton(kCopy, Content());
  copy->setFixedWidth(40);
  copyColumn->addWidget(copy);
  copyColumn->addStretch();
  views->addLayout(copyColumn);
  views->addWidget(BuildEditPanel());
  rows->addLayout(views);
  rows->addWidget(BuildHandsetPanel());
}

// The time rows of a view: Start, End with their step buttons, Length.
namespace {

void AddTimeRows(QGridLayout* grid, int row, QLabel* startLabel, QPushButton* startLeft, QPushButton* startRight,
                 QLabel* start, QLabel* endLabel, QPushButton* endLeft, QPushButton* endRight, QLabel* end,
                 QLabel* lengthLabel, QLabel* length) {
  for (QPushButton* step : {startLeft, startRight, endLeft, endRight}) {
    step->setFixedWidth(28);
  }
  grid->addWidget(startLabel, row, 0);
  grid->addWidget(startLeft, row, 1);
  grid->addWidget(start, row, 2);
  grid->addWidget(startRight, row, 3);
  grid->addWidget(lengthLabel, row, 4);
  grid->addWidget(length, row, 5);
  grid->addWidget(endLabel, row + 1, 0);
  grid->addWidget(endLeft, row + 1, 1);
  grid->addWidget(end, row + 1, 2);
  grid->addWidget(endRight, row + 1, 3);
  grid->setColumnStretch(6, 1);
}

}  // namespace

QWidget* CMelodyUtilityDlg::BuildSourcePanel() {
  auto* box = new QGroupBox(Content());
  CControlId::Set(box, kOriginal);
  auto* column = new QVBoxLayout(box);
  m_sourceView = new CWaveView(box, kSourceView);
  m_sourceView->setFixedSize(kViewWidth + 2, kViewHeight + 2);
  column->addWidget(m_sourceView);
  auto* grid = new QGridLayout();
  AddTimeRows(grid, 0, AddLabel(kSourceStartLabel, box), AddButton(kSourceStartLeft, box),
              AddButton(kSourceStartRight, box), AddValue("sourceStart", box), AddLabel(kSourceEndLabel, box),
              AddButton(kSourceEndLeft, box), AddButton(kSourceEndRight, box), AddValue("sourceEnd", box),
              AddLabel(kSourceLengthLabel, box), AddValue("sourceLength", box));
  column->addLayout(grid);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(AddButton(kSourcePlay, box));
  buttons->addWidget(AddButton(kSourcePause, box));
  buttons->addStretch();
  buttons->addWidget(AddLabel(kZoomLabel, box));
  buttons->addWidget(AddValue("zoom", box));
  buttons->addWidget(AddButton(kZoomIn, box));
  buttons->addWidget(AddButton(kZoomOut, box));
  column->addLayout(buttons);
  return box;
}

QWidget* CMelodyUtilityDlg::BuildEditPanel() {
  auto* box = new QGroupBox(Content());
  CControlId::Set(box, kTransferred);
  auto* column = new QVBoxLayout(box);
  m_editView = new CWaveView(box, kEditView);
  m_editView->setFixedSize(kViewWidth + 2, kViewHeight + 2);
  column->addWidget(m_editView);
  auto* grid = new QGridLayout();
  AddTimeRows(grid, 0, AddLabel(kEditStartLabel, box), AddButton(kEditStartLeft, box), AddButton(kEditStartRight, box),
              AddValue("editStart", box), AddLabel(kEditEndLabel, box), AddButton(kEditEndLeft, box),
              AddButton(kEditEndRight, box), AddValue("editEnd", box), AddLabel(kEditLengthLabel, box),
              AddValue("editLength", box));
  column->addLayout(grid);
  auto* buttons = new QHBoxLayout();
  for (const int id : {kEditPlay, kEditPause, kCut, kUndo}) {
    buttons->addWidget(AddButton(id, box));
  }
  column->addLayout(buttons);
  auto* volume = new QHBoxLayout();
  volume->addWidget(AddLabel(kVolumeLabel, box));
  for (const int id : {kVolUp, kVolDown, kAutoVol}) {
    volume->addWidget(AddButton(id, box));
  }
  volume->addStretch();
  volume->addWidget(AddLabel(kPeakLabel, box));
  volume->addWidget(AddValue("peak", box));
  column->addLayout(volume);
  return box;
}

QWidget* CMelodyUtilityDlg::BuildHandsetPanel() {
  auto* panel = new QWidget(Content());
  auto* columns = new QHBoxLayout(panel);
  columns->setContentsMargins(0, 0, 0, 0);

  auto* left = new QVBoxLayout();
  auto* nameRow = new QHBoxLayout();
  nameRow->addWidget(AddLabel(kNameLabel, panel));
  m_nameEdit = new CCharSetEdit(panel);
  m_nameEdit->SetAllowed(QString::fromStdString(CMelodyName::Characters()));
  // Room for a proposed name that is too long: the send refuses it with its message.
  m_nameEdit->setMaxLength(64);
  CControlId::Set(m_nameEdit, kName);
  nameRow->addWidget(m_nameEdit, 1);
  left->addLayout(nameRow);
  auto* files = new QHBoxLayout();
  files->addWidget(AddButton(kSave, panel));
  files->addWidget(AddButton(kSaveAs, panel));
  left->addLayout(files);
  left->addStretch();
  auto* window = new QHBoxLayout();
  window->addWidget(AddButton(TemplateId::kHelp, panel));
  window->addWidget(AddButton(TemplateId::kClose, panel));
  left->addLayout(window);
  columns->addLayout(left, 1);

  auto* right = new QVBoxLayout();
  right->addWidget(AddLabel(kHandsetList, panel));
  m_listWidget = new QListWidget(panel);
  m_listWidget->setObjectName(QStringLiteral("handsetMelodies"));
  m_listWidget->setSelectionMode(QAbstractItemView::SingleSelection);
  m_listWidget->setMinimumHeight(96);
  connect(m_listWidget, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  right->addWidget(m_listWidget, 1);
  auto* device = new QHBoxLayout();
  device->addWidget(AddButton(TemplateId::kSend, panel));
  device->addWidget(AddButton(TemplateId::kPlayOnDevice, panel));
  device->addWidget(AddButton(TemplateId::kErase, panel));
  right->addLayout(device);
  columns->addLayout(right, 1);
  return panel;
}

void CMelodyUtilityDlg::AddMenuItem(QMenu* menu, int stringId, int command, const QKeySequence& shortcut) {
  AddCommandItem(
      menu, stringId, [this, command] { OnCommand(command); }, shortcut);
}

void CMelodyUtilityDlg::BuildMenus() {
  m_menuBar = new QMenuBar(this);
  layout()->setMenuBar(m_menuBar);
  QMenu* file = m_menuBar->addMenu(QString());
  AddMenuItem(file, kOpen, kOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
  AddMenuItem(file, kSave, kSave, QKeySequence(Qt::CTRL | Qt::Key_S));
  AddMenuItem(file, kSaveAs, kSaveAs);
  file->addSeparator();
  AddMenuItem(file, kMenuExit, TemplateId::kClose);
  SetHistoryMenu(file, file->actions().constLast());
  QMenu* original = m_menuBar->addMenu(QString());
  AddMenuItem(original, kMenuSourcePlay, kSourcePlay);
  AddMenuItem(original, kMenuSourcePause, kSourcePause);
  original->addSeparator();
  AddMenuItem(original, kMenuZoomIn, kZoomIn);
  AddMenuItem(original, kMenuZoomOut, kZoomOut);
  original->addSeparator();
  AddMenuItem(original, kMenuCopy, kCopy);
  QMenu* transferred = m_menuBar->addMenu(QString());
  AddMenuItem(transferred, kMenuEditPlay, kEditPlay);
  AddMenuItem(transferred, kMenuEditPause, kEditPause);
  transferred->addSeparator();
  AddMenuItem(transferred, kMenuCut, kCut, QKeySequence(Qt::CTRL | Qt::Key_X));
  AddMenuItem(transferred, kMenuUndo, kUndo, QKeySequence(Qt::CTRL | Qt::Key_Z));
  transferred->addSeparator();
  AddMenuItem(transferred, kMenuVolUp, kVolUp);
  AddMenuItem(transferred, kMenuVolDown, kVolDown);
  AddMenuItem(transferred, kMenuAutoVol, kAutoVol);
  QMenu* handset = m_menuBar->addMenu(QString());
  AddMenuItem(handset, kToDevice, TemplateId::kSend);
  AddMenuItem(handset, kPlayOnPc, TemplateId::kPlayOnDevice);
  AddMenuItem(handset, kDeleteData, TemplateId::kErase);
  QMenu* help = m_menuBar->addMenu(QString());
  AddMenuItem(help, kMenuHelp, TemplateId::kHelp, QKeySequence(Qt::Key_F1));
  AddMenuItem(help, kMenuAbout, TemplateId::kAbout);
  m_menus = {file, original, transferred, handset, help};
}

void CMelodyUtilityDlg::RelabelMenus() {
  const int popupIds[] = {kPopupFile, kPopupOriginal, kPopupTransferred, kPopupHandset, kPopupHelp};
  for (std::size_t i = 0; i < m_menus.size(); ++i) {
    RelabelMenu(m_menus[i], 0);
    if (const QString text = Text(popupIds[i]); !text.isEmpty()) {
      m_menus[i]->setTitle(text);
    }
  }
}

void CMelodyUtilityDlg::SetButtonCaption(int id, int stringId) {
  auto* button = qobject_cast<QPushButton*>(Control(id));
  if (const QString text = ButtonText(Text(stringId)); button != nullptr && !text.isEmpty()) {
    button->setText(text);
  }
}

void CMelodyUtilityDlg::RelabelControls() {
  CTemplate::RelabelControls();
  if (const QString title = Text(kTitle); !title.isEmpty()) {
    setWindowTitle(title);
  }
  for (QWidget* control : Content()->findChildren<QWidget*>()) {
    if (const int id = ControlId(control); id >= kTitle && id < kEditView && id != kName) {
      SetControlText(id, id);
    }
  }
  // The buttons that repeat a menu command carry its text; "Play on PC" is the button of
  // the framework's play command, which here plays a handset melody on this PC.
  SetButtonCaption(kOpen, kOpen);
  SetButtonCaption(kSave, kSave);
  SetButtonCaption(kSaveAs, kSaveAs);
  SetButtonCaption(TemplateId::kSend, kToDevice);
  SetButtonCaption(TemplateId::kPlayOnDevice, kPlayOnPc);
  SetButtonCaption(TemplateId::kErase, kDeleteData);
  if (m_playing == Playing::Source) {
    SetButtonCaption(kSourcePlay, kStop);
  }
  if (m_playing == Playing::Edit) {
    SetButtonCaption(kEditPlay, kEditStop);
  }
  for (QWidget* control : Content()->findChildren<QWidget*>()) {
    if (const int id = ControlId(control); id > kTitle && id < kStop) {
      AddToolTip(id, id + kToolTipOffset);
    }
  }
  AddToolTip(TemplateId::kSend, kSendToolTip);
  AddToolTip(TemplateId::kErase, kEraseToolTip);
  AddToolTip(TemplateId::kPlayOnDevice, kPlayOnPcToolTip);
  AddToolTip(kSaveAs, kSaveToolTip);
  RelabelMenus();
}

bool CMelodyUtilityDlg::OnLanguageChanged() {
  UpdateLabels();
  return true;
}

void CMelodyUtilityDlg::FitToBackground() {
  // The two views set the window's size; the background picture is drawn behind them.
  adjustSize();
}

void CMelodyUtilityDlg::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), CPalette::Background());
  CArtwork::Render(painter, QRectF(rect()), CArtwork::BackgroundForKind(APP_MELODY));
}
