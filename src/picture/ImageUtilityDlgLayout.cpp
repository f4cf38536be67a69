// CImageUtilityDlg: the controls, menus and labels of the window.
#include "picture/ImageUtilityDlg.h"

#include "picture/ImageView.h"
#include "picture/PictureName.h"
#include "ui/CharSetEdit.h"
#include "ui/ControlId.h"

#include <QAction>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPopupFile = 3001;
constexpr int kPopupEdit = 43005;
constexpr int kPopupHelp = 43014;
constexpr int kNumberColumnWidth = 40;
constexpr int kNameColumnWidth = 135;
constexpr int kRightColumnWidth = 224;

// Buttons whose tooltip string is their id plus 500 (the device and file buttons take
// theirs from the framework's table).
constexpr int kToolTipOffset = 500;

}  // namespace

QPushButton* CImageUtilityDlg::AddButton(int id) {
  auto* button = new QPushButton(Content());
  // Enter never presses a button of this window.
  button->setAutoDefault(false);
  CControlId::Set(button, id);
  connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  return button;
}

void CImageUtilityDlg::BuildControls() {
  auto* columns = new QHBoxLayout(Content());
  columns->setContentsMargins(8, 6, 8, 8);
  columns->setSpacing(8);

  auto* left = new QVBoxLayout();
  auto* fileRow = new QHBoxLayout();
  auto* fileLabel = new QLabel(Content());
  SetControlId(fileLabel, ImageUtilityId::kCurrentFileLabel);
  m_currentFileEdit = new QLineEdit(Content());
  m_currentFileEdit->setReadOnly(true);
  SetControlId(m_currentFileEdit, ImageUtilityId::kCurrentFile);
  fileRow->addWidget(fileLabel);
  fileRow->addWidget(m_currentFileEdit, 1);
  left->addLayout(fileRow);
  m_view = new CImageView(Content());
  m_view->setMinimumSize(300, 220);
  m_view->SetImage(&m_editor.Display());
  left->addWidget(m_view, 1);
  auto* steps = new QGridLayout();
  const int stepIds[] = {ImageUtilityId::kEnlarge,    ImageUtilityId::kReduce,   ImageUtilityId::kRotateRight,
                         ImageUtilityId::kRotateLeft, ImageUtilityId::kContrast, ImageUtilityId::kColor};
  for (int i = 0; i < 6; ++i) {
    steps->addWidget(AddButton(stepIds[i]), i / 2, i % 2);
  }
  left->addLayout(steps);
  auto* files = new QHBoxLayout();
  for (const int id : {TemplateId::kOpen, TemplateId::kSaveAs, TemplateId::kHelp, TemplateId::kClose}) {
    files->addWidget(AddButton(id));
  }
  left->addLayout(files);
  columns->addLayout(left, 1);

  auto* right = new QVBoxLayout();
  auto* kindBox = new QGroupBox(Content());
  SetControlId(kindBox, ImageUtilityId::kKindLabel);
  // One above the other: translated kind names are too long to share a row.
  auto* kindRow = new QVBoxLayout(kindBox);
  kindRow->setSpacing(2);
  kindRow->setContentsMargins(8, 2, 8, 4);
  m_wallpaperButton = new QRadioButton(kindBox);
  m_pictureIdButton = new QRadioButton(kindBox);
  CControlId::Set(m_wallpaperButton, ImageUtilityId::kWallpaper);
  CControlId::Set(m_pictureIdButton, ImageUtilityId::kPictureId);
  m_wallpaperButton->setChecked(true);
  kindRow->addWidget(m_wallpaperButton);
  kindRow->addWidget(m_pictureIdButton);
  connect(m_wallpaperButton, &QRadioButton::clicked, this, [this] { SetPictureKind(PictureKind::Wallpaper); });
  connect(m_pictureIdButton, &QRadioButton::clicked, this, [this] { SetPictureKind(PictureKind::PictureId); });
  right->addWidget(kindBox);

  auto* previewTitle = new QLabel(Content());
  SetControlId(previewTitle, ImageUtilityId::kPreviewLabel);
  right->addWidget(previewTitle);
  auto* previewRow = new QHBoxLayout();
  m_previewLabel = new QLabel(Content());
  m_previewLabel->setFixedSize(kWallpaperSize.width + 2, kWallpaperSize.height + 2);
  m_previewLabel->setAlignment(Qt::AlignCenter);
  m_previewLabel->setFrameShape(QFrame::Box);
  m_previewLabel->setStyleSheet("QLabel { background: white; }");
  m_thumbnailLabel = new QLabel(Content());
  m_thumbnailLabel->setFixedSize(kThumbnailSize.width + 2, kThumbnailSize.height + 2);
  m_thumbnailLabel->setAlignment(Qt::AlignCenter);
  m_thumbnailLabel->setFrameShape(QFrame::Box);
  m_thumbnailLabel->setStyleSheet("QLabel { background: white; }");
  previewRow->addWidget(m_previewLabel);
  previewRow->addWidget(m_thumbnailLabel, 0, Qt::AlignBottom);
  previewRow->addStretch();
  right->addLayout(previewRow);

  auto* nameRow = new QHBoxLayout();
  auto* nameLabel = new QLabel(Content());
  SetControlId(nameLabel, ImageUtilityId::kNameLabel);
  m_nameEdit = new CCharSetEdit(Content());
  m_nameEdit->SetAllowed(HandsetCharacters());
  m_nameEdit->setMaxLength(static_cast<int>(CPictureName::kMaxLength));
  SetControlId(m_nameEdit, ImageUtilityId::kName);
  nameRow->addWidget(nameLabel);
  nameRow->addWidget(m_nameEdit, 1);
  right->addLayout(nameRow);

  auto* handsetLabel = new QLabel(Content());
  SetControlId(handsetLabel, ImageUtilityId::kHandsetLabel);
  right->addWidget(handsetLabel);
  m_listView = new QTreeWidget(Content());
  m_listView->setColumnCount(2);
  m_listView->setRootIsDecorated(false);
  m_listView->setSelectionMode(QAbstractItemView::SingleSelection);
  m_listView->setColumnWidth(0, kNumberColumnWidth);
  m_listView->setColumnWidth(1, kNameColumnWidth);
  SetControlId(m_listView, ImageUtilityId::kHandsetList);
  connect(m_listView, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  right->addWidget(m_listView, 1);
  m_freeLabel = new QLabel(Content());
  m_freeLabel->setWordWrap(true);
  right->addWidget(m_freeLabel);
  auto* device = new QGridLayout();
  device->addWidget(AddButton(TemplateId::kFromDevice), 0, 0);
  device->addWidget(AddButton(ImageUtilityId::kShow), 0, 1);
  device->addWidget(AddButton(TemplateId::kSend), 1, 0);
  device->addWidget(AddButton(TemplateId::kErase), 1, 1);
  right->addLayout(device);
  auto* rightBox = new QWidget(Content());
  rightBox->setFixedWidth(kRightColumnWidth);
  rightBox->setLayout(right);
  right->setContentsMargins(0, 0, 0, 0);
  columns->addWidget(rightBox);

  auto* erase = new QShortcut(QKeySequence(Qt::Key_Delete), m_listView);
  connect(erase, &QShortcut::activated, this, [this] { OnCommand(TemplateId::kErase); });
}

void CImageUtilityDlg::AddMenuItem(QMenu* menu, int stringId, int command, const QKeySequence& shortcut) {
  AddCommandItem(
      menu, stringId, [this, command] { OnCommand(command); }, shortcut);
}

void CImageUtilityDlg::BuildMenus() {
  m_menuBar = new QMenuBar(this);
  layout()->setMenuBar(m_menuBar);
  QMenu* file = m_menuBar->addMenu(QString());
  AddMenuItem(file, 43000, TemplateId::kOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
  AddMenuItem(file, 43001, ImageUtilityId::kSave, {});
  AddMenuItem(file, 43002, TemplateId::kSaveAs, QKeySequence(Qt::CTRL | Qt::Key_S));
  file->addSeparator();
  AddMenuItem(file, 43003, TemplateId::kSend, {});
  file->addSeparator();
  AddMenuItem(file, 43004, TemplateId::kClose, {});
  SetHistoryMenu(file, file->actions().constLast());
  QMenu* edit = m_menuBar->addMenu(QString());
  AddMenuItem(edit, 43006, ImageUtilityId::kEnlarge, QKeySequence(Qt::CTRL | Qt::Key_U));
  AddMenuItem(edit, 43007, ImageUtilityId::kReduce, QKeySequence(Qt::CTRL | Qt::Key_D));
  AddMenuItem(edit, 43008, ImageUtilityId::kOriginalSize, {});
  edit->addSeparator();
  AddMenuItem(edit, 43009, ImageUtilityId::kRotateRight, QKeySequence(Qt::CTRL | Qt::Key_R));
  AddMenuItem(edit, 43010, ImageUtilityId::kRotateLeft, QKeySequence(Qt::CTRL | Qt::Key_L));
  edit->addSeparator();
  AddMenuItem(edit, 43011, ImageUtilityId::kContrast, QKeySequence(Qt::CTRL | Qt::Key_C));
  AddMenuItem(edit, 43012, ImageUtilityId::kColor, QKeySequence(Qt::CTRL | Qt::Key_G));
  edit->addSeparator();
  AddMenuItem(edit, 43013, ImageUtilityId::kShowPreview, {});
  QMenu* help = m_menuBar->addMenu(QString());
  AddMenuItem(help, 43015, TemplateId::kHelp, QKeySequence(Qt::Key_F1));
  AddMenuItem(help, 43016, TemplateId::kAbout, {});
  m_menus = {file, edit, help};

  m_contextMenu = new QMenu(this);
  AddMenuItem(m_contextMenu, 43017, ImageUtilityId::kShow, {});
  AddMenuItem(m_contextMenu, 43018, TemplateId::kErase, {});
}

void CImageUtilityDlg::RelabelMenus() {
  const int popupIds[] = {kPopupFile, kPopupEdit, kPopupHelp};
  for (std::size_t i = 0; i < m_menus.size(); ++i) {
    RelabelMenu(m_menus[i], 0);
    if (const QString text = Text(popupIds[i]); !text.isEmpty()) {
      m_menus[i]->setTitle(text);
    }
  }
  RelabelMenu(m_contextMenu, 0);
}

void CImageUtilityDlg::RelabelControls() {
  CTemplate::RelabelControls();
  if (const QString title = Text(ImageUtilityId::kTitle); !title.isEmpty()) {
    setWindowTitle(title);
  }
  for (const int id :
       {ImageUtilityId::kWallpaper, ImageUtilityId::kPictureId, ImageUtilityId::kEnlarge, ImageUtilityId::kReduce,
        ImageUtilityId::kRotateRight, ImageUtilityId::kRotateLeft, ImageUtilityId::kContrast, ImageUtilityId::kColor,
        ImageUtilityId::kCurrentFileLabel, ImageUtilityId::kNameLabel, ImageUtilityId::kHandsetLabel,
        ImageUtilityId::kPreviewLabel, ImageUtilityId::kShow, ImageUtilityId::kKindLabel}) {
    SetControlText(id, id);
  }
  // Radio texts begin with a blank that spaced them from the box; the style spaces them.
  for (QRadioButton* radio : {m_wallpaperButton, m_pictureIdButton}) {
    radio->setText(radio->text().trimmed());
  }
  SetColumnTitle(m_listView, 0, String(ImageUtilityId::kNumberColumn));
  SetColumnTitle(m_listView, 1, String(ImageUtilityId::kNameColumn));
  for (const int id :
       {ImageUtilityId::kEnlarge, ImageUtilityId::kReduce, ImageUtilityId::kRotateRight, ImageUtilityId::kRotateLeft,
        ImageUtilityId::kContrast, ImageUtilityId::kColor, ImageUtilityId::kShow}) {
    AddToolTip(id, id + kToolTipOffset);
  }
  RelabelMenus();
  ShowFreeSpace();
}
