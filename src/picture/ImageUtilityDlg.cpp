#include "picture/ImageUtilityDlg.h"

#include "appcore/AppStatus.h"
#include "framework/AppContext.h"
#include "framework/QtFileDialogs.h"
#include "picture/FileDlgEx.h"
#include "picture/ImageFile.h"
#include "picture/ImageView.h"
#include "picture/PictureName.h"
#include "picture/PreviewDlg.h"
#include "picture/ToneAdjustDlg.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

namespace {

constexpr int kOpenFilterId = 3099;
constexpr int kSaveFilterId = 3100;
constexpr std::int32_t kMsgCannotOpen = 732;
constexpr std::int32_t kMsgSaveCurrent = 752;
constexpr std::int32_t kMsgSaved = 765;
constexpr std::int32_t kMsgNotSaved = 766;
constexpr std::int32_t kMsgCannotExitReceiving = 727;
constexpr std::int32_t kMsgCannotExitSending = 728;
constexpr std::int32_t kMsgCannotExitErasing = 772;
// The name the preview is encoded with; the handset never sees it.
constexpr const char* kPreviewName = "Preview";
constexpr std::uint32_t kHideReadOnly = 0x4;

QImage ImageOf(const CRgbImage& image) {
  // A deep copy: the label keeps its pixmap after the image has changed.
  return QImage(image.Bytes().data(), image.Width(), image.Height(), image.Width() * 3, QImage::Format_RGB888).copy();
}

std::string FileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

CImageUtilityDlg::CImageUtilityDlg(QWidget* parent, CAppContext* context) : CTemplate(parent, context) {
  SetKind(APP_IMAGE);
  setAcceptDrops(true);
  BuildControls();
  BuildMenus();
  RelabelControls();
  AddKindToolTips();
  LoadFileHistory();
  if (Context() != nullptr && Context()->status != nullptr) {
    Context()->status->Register(APP_IMAGE, 1, Handle());
  }
  connect(m_view, &CImageView::FrameChanged, this, [this] { RebuildPreview(); });
  DeviceStatusCheck();
  UpdateButtons();
}

CImageUtilityDlg::~CImageUtilityDlg() = default;

QString CImageUtilityDlg::HandsetCharacters() {
  QString characters;
  for (char32_t c = 0x20; c < 0x7F; ++c) {
    if (CPictureName::IsHandsetCharacter(c)) {
      characters += QChar(static_cast<char16_t>(c));
    }
  }
  return characters;
}

// ---- commands ------------------------------------------------------------------------------

void CImageUtilityDlg::OnCommand(int id) {
  switch (id) {
    case ImageUtilityId::kEnlarge:
      Enlarge();
      break;
    case ImageUtilityId::kReduce:
      Reduce();
      break;
    case ImageUtilityId::kOriginalSize:
      if (m_editor.IsLoaded()) {
        m_editor.OriginalSize();
        ImageChanged();
      }
      break;
    case ImageUtilityId::kRotateRight:
    case ImageUtilityId::kRotateLeft:
      if (m_editor.IsLoaded()) {
        id == ImageUtilityId::kRotateRight ? m_editor.RotateRight() : m_editor.RotateLeft();
        ImageChanged();
      }
      break;
    case ImageUtilityId::kContrast:
    case ImageUtilityId::kColor:
      RunToneDialog(id == ImageUtilityId::kColor);
      break;
    case ImageUtilityId::kSave:
      Save();
      break;
    case ImageUtilityId::kShow:
      RunCommand(TemplateId::kFromDevice);
      break;
    case ImageUtilityId::kShowPreview:
      ShowPreviewDialog();
      break;
    default:
      RunCommand(id);
      break;
  }
}

void CImageUtilityDlg::Enlarge() {
  if (m_editor.IsLoaded()) {
    m_editor.ScaleUp();
    ImageChanged();
  }
}

void CImageUtilityDlg::Reduce() {
  if (m_editor.IsLoaded()) {
    m_editor.ScaleDown();
    ImageChanged();
  }
}

void CImageUtilityDlg::SetPictureKind(PictureKind kind) {
  m_pictureKind = kind;
  (kind == PictureKind::Wallpaper ? m_wallpaperButton : m_pictureIdButton)->setChecked(true);
  DeviceStatusCheck();
}

// ---- the image and what the handset will show ----------------------------------------------

// Lays the preview out for the picture kind: with a handset the frame has the kind's
// size and the thumbnail shows; without one the frame is the wallpaper's and the
// thumbnail is hidden.
void CImageUtilityDlg::DeviceStatusCheck() {
  const bool wasConnected = m_connected;
  m_connected = Context() != nullptr && Context()->IsConnected();
  if (!m_connected) {
    m_noResponse = false;
  }
  m_view->SetFrameSize(m_connected ? TargetSize(m_pictureKind) : kWallpaperSize);
  m_view->SetFrameVisible(m_connected && m_editor.IsLoaded());
  m_thumbnailLabel->setVisible(m_connected);
  RebuildPreview();
  UpdateButtons();
  if (m_connected && !wasConnected) {
    StartListing();
  }
}

void CImageUtilityDlg::ImageChanged() {
  m_view->ImageChanged();
  m_view->SetFrameVisible(m_connected && m_editor.IsLoaded());
  RebuildPreview();
  UpdateButtons();
}

void CImageUtilityDlg::RebuildPreview() {
  m_previewStale = true;
  if (m_previewScheduled) {
    return;
  }
  m_previewScheduled = true;
  QPointer<CImageUtilityDlg> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self) {
      self->m_previewScheduled = false;
      self->FlushPreview();
    }
  });
}

// The framed part, made into the handset record and read back: exactly what a send stores
// and the handset shows.
void CImageUtilityDlg::FlushPreview() {
  if (!m_previewStale) {
    return;
  }
  m_previewStale = false;
  m_preview = CRgbImage();
  m_previewThumbnail = CRgbImage();
  if (m_editor.IsLoaded()) {
    const PictureKind kind = m_connected ? m_pictureKind : PictureKind::Wallpaper;
    const CRgbImage cut = m_editor.SendPreview(m_view->FrameOnImage(), TargetSize(kind));
    if (const auto record = CPictureRecord::Encode(kind, kPreviewName, cut)) {
      if (auto decoded = CPictureRecord::Decode(*record)) {
        m_preview = std::move(decoded->picture);
        m_previewThumbnail = std::move(decoded->thumbnail);
      }
    }
  }
  ShowPreviewImages();
}

void CImageUtilityDlg::ShowPreviewImages() {
  m_previewLabel->setPixmap(m_preview.IsEmpty() ? QPixmap() : QPixmap::fromImage(ImageOf(m_preview)));
  m_thumbnailLabel->setPixmap(m_previewThumbnail.IsEmpty() ? QPixmap()
                                                           : QPixmap::fromImage(ImageOf(m_previewThumbnail)));
}

void CImageUtilityDlg::ShowCurrentFile() {
  m_currentFileEdit->setText(QString::fromStdString(m_currentFile.empty() ? "" : FileNameOf(m_currentFile)));
  m_currentFileEdit->setToolTip(QString::fromStdString(m_currentFile));
}

void CImageUtilityDlg::UpdateButtons() {
  const bool loaded = m_editor.IsLoaded();
  for (const int id :
       {ImageUtilityId::kEnlarge, ImageUtilityId::kReduce, ImageUtilityId::kRotateRight, ImageUtilityId::kRotateLeft,
        ImageUtilityId::kContrast, ImageUtilityId::kColor, TemplateId::kSaveAs}) {
    if (QWidget* control = Control(id)) {
      control->setEnabled(loaded);
    }
  }
  const bool device = m_connected && !m_noResponse && !IsListing();
  const bool selected = m_listView->currentItem() != nullptr && !m_listView->selectedItems().isEmpty();
  Control(TemplateId::kSend)->setEnabled(device && loaded);
  Control(TemplateId::kFromDevice)->setEnabled(device && selected);
  Control(ImageUtilityId::kShow)->setEnabled(device && selected);
  Control(TemplateId::kErase)->setEnabled(device && selected);
}

void CImageUtilityDlg::RunToneDialog(bool colour) {
  if (!m_editor.IsLoaded()) {
    return;
  }
  const bool wasModified = m_editor.IsModified();
  std::vector<CToneAdjustDlg::Bar> bars;
  CToneAdjustDlg::Layout layout{};
  if (colour) {
    layout = {3050, 3060, 3061};
    bars = {
        {3063, 3052, 3054, m_editor.Red()}, {3064, 3053, 3055, m_editor.Green()}, {3062, 3051, 3056, m_editor.Blue()}};
  } else {
    layout = {3030, 3035, 3036};
    bars = {{3037, 3031, 3033, m_editor.Contrast()}, {3038, 3032, 3034, m_editor.Brightness()}};
  }
  std::vector<int> before;
  for (const auto& bar : bars) {
    before.push_back(bar.value);
  }
  const auto apply = [this, colour](std::size_t bar, int value) {
    if (colour) {
      bar == 0 ? m_editor.SetRed(value) : bar == 1 ? m_editor.SetGreen(value) : m_editor.SetBlue(value);
    } else {
      bar == 0 ? m_editor.SetContrast(value) : m_editor.SetBrightness(value);
    }
    ImageChanged();
  };
  CToneAdjustDlg dialog(this, Context(), layout, bars, apply);
  m_toneDialog = &dialog;
  QPointer<CImageUtilityDlg> self(this);
  const int result = RunModalChild(dialog);
  if (!self) {
    return;
  }
  m_toneDialog = nullptr;
  if (result == QDialog::Accepted) {
    m_editor.RestoreModified(true);
    return;
  }
  // Cancel: the values in effect when the dialog opened, rendered again, and the modified
  // state as it was.
  for (std::size_t i = 0; i < before.size(); ++i) {
    apply(i, before[i]);
  }
  m_editor.RestoreModified(wasModified);
}

void CImageUtilityDlg::ShowPreviewDialog() {
  FlushPreview();
  const CRgbImage& picture = m_received ? m_received->picture : m_preview;
  CPreviewDlg dialog(this, Context(), picture);
  RunModalChild(dialog);
}

// ---- files ---------------------------------------------------------------------------------

std::string CImageUtilityDlg::GetInitialFolder(const std::string& defaultText) {
  if (!defaultText.empty()) {
    return defaultText;
  }
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  return pictures.isEmpty() ? DocumentsFolder() : pictures.toStdString();
}

bool CImageUtilityDlg::OnOpen() {
  const auto filters = CFileDlgEx::ParseFilter(String(kOpenFilterId));
  QPointer<CImageUtilityDlg> self(this);
  const std::string path = BrowseForOpen("", 0, CFileDlgEx::DialogFilterList(filters), GetInitialFolder({}));
  if (!self || path.empty()) {
    return false;
  }
  return OpenFile(path);
}

void CImageUtilityDlg::OnHistoryCommand(int /*id*/) {
  OnOpen();
}

bool CImageUtilityDlg::OpenFile(const std::string& path) {
  // The editor reads the whole file before it replaces anything: a file it cannot read
  // leaves the image, the names and the adjustments as they were.
  if (!m_editor.Load(path)) {
    ShowMsg(kMsgCannotOpen, MB_ICONEXCLAMATION);
    return false;
  }
  m_currentFile = path;
  m_received.reset();
  m_receivedBuffer.clear();
  ShowCurrentFile();
  m_nameEdit->setText(QString::fromStdString(CPictureName::ProposedFromPath(path)));
  m_view->SetFramePosition({0, 0});
  m_view->horizontalScrollBar()->setValue(0);
  m_view->verticalScrollBar()->setValue(0);
  ImageChanged();
  AddFileHistory(path);
  return true;
}

bool CImageUtilityDlg::OnSaveAs() {
  return SaveAs();
}

// A plain save writes the format the file's extension names; a file without a name (new
// or received from the handset) or with an extension of no image format is asked for.
bool CImageUtilityDlg::Save() {
  if (!m_editor.IsLoaded()) {
    return false;
  }
  if (m_currentFile.empty()) {
    return SaveAs();
  }
  const auto format = CImageFile::FormatFromPath(m_currentFile);
  if (!format) {
    return SaveAs();
  }
  return SaveTo(m_currentFile, *format);
}

bool CImageUtilityDlg::SaveAs() {
  if (!m_editor.IsLoaded()) {
    return false;
  }
  const auto filters = CFileDlgEx::ParseFilter(String(kSaveFilterId));
  IFileDialogs::Request request;
  request.owner = this;
  if (!m_currentFile.empty()) {
    const std::filesystem::path current(m_currentFile);
    request.folder = current.parent_path().string();
    request.fileName = current.filename().string();
  } else {
    request.folder = GetInitialFolder({});
    request.fileName = m_nameEdit->text().trimmed().toStdString();
  }
  request.flags = kHideReadOnly | CQtFileDialogs::kOverwritePrompt;
  IFileDialogs* dialogs = Context() != nullptr ? Context()->fileDialogs : nullptr;
  QPointer<CImageUtilityDlg> self(this);
  SetModalOpen(true);
  Context()->SetResidentModal(true);
  const auto result =
      CFileDlgEx::Run(dialogs != nullptr ? *dialogs : CQtFileDialogs::Instance(), request, filters, m_saveFormat);
  if (!self) {
    return false;
  }
  SetModalOpen(false);
  Context()->SetResidentModal(false);
  if (!result) {
    return false;
  }
  // The name's extension decides the format; the filter only when the name has none known.
  const auto format = CImageFile::FormatFromPath(result->path);
  m_saveFormat = format ? static_cast<int>(*format) : result->filterIndex;
  return SaveTo(result->path, static_cast<CImageFile::Format>(m_saveFormat));
}

bool CImageUtilityDlg::SaveTo(const std::string& path, CImageFile::Format format) {
  if (!m_editor.Save(path, format)) {
    ShowMsg(kMsgNotSaved, MB_ICONSTOP);
    return false;
  }
  m_currentFile = path;
  ShowCurrentFile();
  AddFileHistory(path);
  QPointer<CImageUtilityDlg> self(this);
  ShowMsg(kMsgSaved, MB_ICONINFORMATION);
  return self;
}

// Before a received picture replaces a modified image: Yes saves first (a failed save
// stops), No goes on, Cancel stops.
bool CImageUtilityDlg::AskSaveBeforeReplacing() {
  if (!m_editor.IsLoaded() || !m_editor.IsModified()) {
    return true;
  }
  QPointer<CImageUtilityDlg> self(this);
  const int answer = ShowMsg(kMsgSaveCurrent, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (!self || answer == IDCANCEL) {
    return false;
  }
  return answer != IDYES || Save();
}

// ---- dropping a file -----------------------------------------------------------------------

void CImageUtilityDlg::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().constFirst().isLocalFile() && IsContentEnabled()) {
    event->acceptProposedAction();
  }
}

void CImageUtilityDlg::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.constFirst().isLocalFile() || !IsContentEnabled()) {
    return;
  }
  event->acceptProposedAction();
  OpenFile(urls.constFirst().toLocalFile().toStdString());
}

void CImageUtilityDlg::contextMenuEvent(QContextMenuEvent* event) {
  if (m_listView->geometry().contains(m_listView->parentWidget()->mapFrom(this, event->pos())) &&
      m_listView->currentItem() != nullptr) {
    m_contextMenu->exec(event->globalPos());
  }
}

// ---- closing -------------------------------------------------------------------------------

bool CImageUtilityDlg::QueryClose() {
  CAppStatus* status = Context() != nullptr ? Context()->status : nullptr;
  if (StartFailed()) {
    ForceEndBusy();
    if (status != nullptr) {
      status->Register(APP_IMAGE, 0, 0);
    }
    return CTemplate::QueryClose();
  }
  std::int32_t refusal = 0;
  switch (Executing()) {
    case 1:
      refusal = kMsgCannotExitSending;
      break;
    case 2:
    case 4:
      refusal = kMsgCannotExitReceiving;
      break;
    case 3:
      refusal = kMsgCannotExitErasing;
      break;
    case 5:
      return false;
    default:
      break;
  }
  if (refusal != 0) {
    Context()->SetResidentModal(true);
    QPointer<CImageUtilityDlg> self(this);
    ShowMsg(refusal, MB_ICONEXCLAMATION);
    if (self) {
      Context()->SetResidentModal(false);
    }
    return false;
  }
  if (m_toneDialog) {
    m_toneDialog->PressCancel();
  }
  if (status != nullptr) {
    status->Register(APP_IMAGE, 0, 0);
  }
  return CTemplate::QueryClose();
}

void CImageUtilityDlg::EndWindow() {
  QDialog::done(QDialog::Accepted);
}

bool CImageUtilityDlg::OnLanguageChanged() {
  // RelabelControls ran already; the free-space text is built from its strings.
  ShowFreeSpace();
  return true;
}
