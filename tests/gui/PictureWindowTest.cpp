// The picture window against the handset emulator: opening and adjusting images, the target
// frame, the preview, saving, and the handset's wallpapers and picture IDs.
#include "TemplateFixture.h"
#include "UiTestSupport.h"

#include "picture/FileDlgEx.h"
#include "picture/ImageFile.h"
#include "picture/ImageUtilityDlg.h"
#include "picture/ImageView.h"
#include "picture/PictureRecord.h"
#include "picture/PreviewDlg.h"
#include "picture/ToneAdjustDlg.h"
#include "ui/CharSetEdit.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstring>

using namespace templatetest;

namespace {

constexpr int kSampleWallpapers = 2;
constexpr int kSamplePictureIds = 2;
constexpr int kStoreCapacity = 10;

std::vector<std::uint8_t> ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

// A picture with colour everywhere, so that every adjustment and every frame position
// changes what is shown.
QImage Landscape(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixel(x, y, qRgb((x * 255) / width, (y * 255) / height, ((x + y) * 97) % 256));
    }
  }
  return image;
}

}  // namespace

class PictureWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void openShowsTheImageTheNameAndTheHandsetContent();
  void unreadableFileShows732AndChangesNothing();
  void droppedFileOpens();
  void largeCameraPhotoOpens();
  void contrastCancelRestoresTheImageAndTheModifiedState();
  void colourOkKeepsTheValuesAndMarksModified();
  void frameDragStopsAtTheEdge();
  void sendStoresTheRecordThePreviewShows();
  void badNamesAreRefusedWithoutARequest();
  void wallpaperWithoutRoomIsRefusedWhilePictureIdGoes();
  void receiveAsksToSaveAModifiedImageAndThenHasNoFile();
  void wrongSizeRecordShows725();
  void plainSaveWritesTheFormatOfTheExtension();
  void saveDialogKeepsTheExtensionInStepWithTheFilter();
  void eraseAsksWithTheNameAndListsAgain();
  void refusedBlockShowsMemoryFull();
  void silentHandsetShows705AndDisablesTheDeviceButtons();
  void unplugDuringSendShows725AndEmptiesTheList();
  void closingDuringSendIsRefused();
  void screenshotsInEveryLanguage();
  void languageChangeRelabelsTheWindow();

 private:
  SimHandset& Sim() { return *services->sim; }
  void Connect();
  void MakeWindow();
  bool AwaitIdle() {
    return QTest::qWaitFor([this] { return !window->IsListing() && window->Executing() == 0; }, kWaitMs);
  }
  QString WritePicture(const QString& name, const QImage& image, const char* format);
  void OpenPicture(const QString& path);
  void SelectRow(int row) { window->ListView()->setCurrentItem(window->ListView()->topLevelItem(row)); }
  int Rows() const { return window->ListView()->topLevelItemCount(); }
  void Send(const QString& name);

  std::unique_ptr<Services> services;
  std::unique_ptr<CImageUtilityDlg> window;
  std::unique_ptr<QTemporaryDir> folder;
  QString beach;
};

void PictureWindowTest::init() {
  services = std::make_unique<Services>();
  folder = std::make_unique<QTemporaryDir>();
  QVERIFY(folder->isValid());
  beach = WritePicture("Beach@Dusk.png", Landscape(400, 300), "PNG");
  services->onMessage = [](std::int32_t number) {
    return number == 726 || number == 715 ? IDYES : number == 752 ? IDNO : IDOK;
  };
}

void PictureWindowTest::cleanup() {
  window.reset();
  services.reset();
  folder.reset();
}

void PictureWindowTest::Connect() {
  QVERIFY(services->Connect());
  QCOMPARE(Sim().Exports().StoreFill(UDFP_SIM_KIND_WALLPAPER, kSampleWallpapers), kSampleWallpapers);
  QCOMPARE(Sim().Exports().StoreFill(UDFP_SIM_KIND_PICTURE_ID, kSamplePictureIds), kSamplePictureIds);
}

void PictureWindowTest::MakeWindow() {
  window = std::make_unique<CImageUtilityDlg>(nullptr, &services->context);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  QVERIFY(AwaitIdle());
}

QString PictureWindowTest::WritePicture(const QString& name, const QImage& image, const char* format) {
  const QString path = folder->filePath(name);
  image.save(path, format);
  return path;
}

void PictureWindowTest::OpenPicture(const QString& path) {
  services->dialogs.answers.push_back({true, path.toStdString(), {}});
  window->OnCommand(TemplateId::kOpen);
}

void PictureWindowTest::Send(const QString& name) {
  window->NameEdit()->setText(name);
  window->OnCommand(TemplateId::kSend);
}

// ---- opening --------------------------------------------------------------------------------

void PictureWindowTest::openShowsTheImageTheNameAndTheHandsetContent() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  QVERIFY(services->shown.empty());
  const IFileDialogs::Request& request = services->dialogs.requests.back();
  QCOMPARE(QString::fromStdString(request.folder), QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
  QVERIFY(request.filter.find("*.png") != std::string::npos);
  QVERIFY(window->Editor().IsLoaded());
  QVERIFY(!window->Editor().IsModified());
  QCOMPARE(window->Editor().Display().Width(), 400);
  QCOMPARE(window->Editor().Display().Height(), 300);
  QCOMPARE(window->NameEdit()->text(), QString("Beach Dusk"));
  QCOMPARE(window->CurrentFile(), beach.toStdString());
  QVERIFY(window->View()->IsFrameVisible());
  QCOMPARE(window->Preview().Width(), 128);
  QCOMPARE(window->Preview().Height(), 110);
  // The handset's content: its wallpapers, then its picture IDs, and the free space.
  QCOMPARE(Rows(), kSampleWallpapers + kSamplePictureIds);
  QCOMPARE(window->ListView()->topLevelItem(0)->text(0), QString("[1]"));
  QCOMPARE(window->ListView()->topLevelItem(3)->text(0), QString("[4]"));
  QCOMPARE(window->HandsetList().Items()[0].itemData & 0xF00, 0x100u);
  QCOMPARE(window->HandsetList().Items()[2].itemData & 0xF00, 0x200u);
  QVERIFY(!window->ListView()->topLevelItem(0)->text(1).isEmpty());
  const auto freeKb = window->HandsetList().FreeKilobytes();
  QVERIFY(freeKb.has_value());
  QCOMPARE(int(*freeKb), int(Sim().Exports().GetFreeBytes() / 1024));
  QCOMPARE(window->FreeItems(PictureKind::Wallpaper), std::optional<std::uint16_t>(kStoreCapacity - 2));
  QCOMPARE(window->FreeItems(PictureKind::PictureId), std::optional<std::uint16_t>(kStoreCapacity - 2));
  QVERIFY(window->FreeLabel()->text().contains(QString::number(*freeKb)));
  QVERIFY(window->Control(TemplateId::kSend)->isEnabled());
  QVERIFY(window->IsContentEnabled());
}

void PictureWindowTest::unreadableFileShows732AndChangesNothing() {
  MakeWindow();
  OpenPicture(beach);
  const CRgbImage before = window->Editor().Display();
  const QString fake = folder->filePath("notes.jpg");
  QFile text(fake);
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("These are notes, not a photo.\n");
  text.close();
  OpenPicture(fake);
  QCOMPARE(services->shown, std::vector<std::int32_t>{732});
  QCOMPARE(services->styles.back(), std::uint32_t{MB_ICONEXCLAMATION});
  QVERIFY(window->Editor().Display() == before);
  QCOMPARE(window->NameEdit()->text(), QString("Beach Dusk"));
  QCOMPARE(window->CurrentFile(), beach.toStdString());
  QVERIFY(!window->Editor().IsModified());
}

void PictureWindowTest::droppedFileOpens() {
  MakeWindow();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(beach)});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window.get(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window.get(), &drop);
  QVERIFY(window->Editor().IsLoaded());
  QCOMPARE(window->CurrentFile(), beach.toStdString());
}

// A 48-million-pixel camera photo opens, reduced to the working size.
void PictureWindowTest::largeCameraPhotoOpens() {
  MakeWindow();
  QImage photo(8000, 6000, QImage::Format_Grayscale8);
  for (int y = 0; y < photo.height(); ++y) {
    std::memset(photo.scanLine(y), (y * 255) / photo.height(), static_cast<std::size_t>(photo.width()));
  }
  const QString path = WritePicture("camera.jpg", photo, "JPEG");
  photo = QImage();
  OpenPicture(path);
  QVERIFY(services->shown.empty());
  QVERIFY(window->Editor().IsLoaded());
  QCOMPARE(window->Editor().Display().Width(), CImageFile::kMaxWorkingSide);
  QCOMPARE(window->Editor().Display().Height(), 3072);
  QCOMPARE(window->NameEdit()->text(), QString("camera"));
  QVERIFY(!window->Preview().IsEmpty());
}

// ---- adjustments ------------------------------------------------------------------------------

void PictureWindowTest::contrastCancelRestoresTheImageAndTheModifiedState() {
  MakeWindow();
  OpenPicture(beach);
  const CRgbImage before = window->Editor().Display();
  const CRgbImage previewBefore = window->Preview();
  bool changedLive = false;
  bool modifiedLive = false;
  QTimer::singleShot(0, this, [&] {
    CToneAdjustDlg* dialog = window->ToneDialog();
    QVERIFY(dialog != nullptr);
    dialog->ScrollBar(0)->setValue(500);
    dialog->ScrollBar(1)->setValue(-200);
    changedLive = !(window->Editor().Display() == before) && window->Editor().Contrast() == 500 &&
                  window->Editor().Brightness() == -200;
    modifiedLive = window->Editor().IsModified();
    uitest::SaveScreenshot(*dialog, "picture-contrast-dialog");
    dialog->PressCancel();
  });
  window->OnCommand(3009);
  QVERIFY(changedLive);
  QVERIFY(modifiedLive);
  QVERIFY(window->Editor().Display() == before);
  QVERIFY(window->Preview() == previewBefore);
  QCOMPARE(window->Editor().Contrast(), 0);
  QCOMPARE(window->Editor().Brightness(), 0);
  QVERIFY(!window->Editor().IsModified());
  QVERIFY(window->IsContentEnabled());
}

void PictureWindowTest::colourOkKeepsTheValuesAndMarksModified() {
  MakeWindow();
  OpenPicture(beach);
  QTimer::singleShot(0, this, [&] {
    CToneAdjustDlg* dialog = window->ToneDialog();
    QVERIFY(dialog != nullptr);
    dialog->ScrollBar(0)->setValue(300);   // red
    dialog->ScrollBar(2)->setValue(-100);  // blue
    dialog->PressOk();
  });
  window->OnCommand(3010);
  QCOMPARE(window->Editor().Red(), 300);
  QCOMPARE(window->Editor().Blue(), -100);
  QVERIFY(window->Editor().IsModified());
  // Cancel after changes that were kept restores those, and the modified state stays set.
  const CRgbImage kept = window->Editor().Display();
  QTimer::singleShot(0, this, [&] {
    window->ToneDialog()->ScrollBar(1)->setValue(700);
    window->ToneDialog()->PressCancel();
  });
  window->OnCommand(3010);
  QCOMPARE(window->Editor().Green(), 0);
  QVERIFY(window->Editor().Display() == kept);
  QVERIFY(window->Editor().IsModified());
}

void PictureWindowTest::frameDragStopsAtTheEdge() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  CImageView* view = window->View();
  QWidget* viewport = view->viewport();
  const PictureSize visible = view->VisibleArea();
  // A drag that starts outside the frame moves nothing.
  QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
  QTest::mouseMove(viewport, QPoint(100, 100));
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QCOMPARE(view->FramePosition(), (CTargetFrame::Position{0, 0}));
  const CRgbImage atOrigin = window->Preview();
  QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseMove(viewport, QPoint(40, 30));
  QCOMPARE(view->FramePosition(), (CTargetFrame::Position{30, 20}));
  QVERIFY(!(window->Preview() == atOrigin));
  QTest::mouseMove(viewport, QPoint(900, 900));
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(900, 900));
  const CTargetFrame::Position edge{visible.width - 128, visible.height - 110};
  QCOMPARE(view->FramePosition(), edge);
  // Past the left and top edges it stops at 0.
  QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(edge.x + 5, edge.y + 5));
  QTest::mouseMove(viewport, QPoint(-800, -800));
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(-800, -800));
  QCOMPARE(view->FramePosition(), (CTargetFrame::Position{0, 0}));
  // A picture ID frame is smaller; a frame at the edge is clamped again when the kind changes.
  window->SetPictureKind(PictureKind::PictureId);
  QCOMPARE(view->FrameSize(), kPictureIdSize);
  view->SetFramePosition({1000, 1000});
  QCOMPARE(view->FramePosition(), (CTargetFrame::Position{visible.width - 48, visible.height - 54}));
  window->SetPictureKind(PictureKind::Wallpaper);
  QCOMPARE(view->FramePosition(), edge);
  // Scrolling moves the image under the frame, which stays where it is in the view.
  for (int i = 0; i < 5; ++i) {
    window->OnCommand(3005);
  }
  const CRgbImage unscrolled = window->Preview();
  view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
  view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
  QVERIFY(view->horizontalScrollBar()->value() > 0);
  QCOMPARE(view->FramePosition(), edge);
  QCOMPARE(view->FrameOnImage(), (CTargetFrame::Position{edge.x + view->horizontalScrollBar()->value(),
                                                         edge.y + view->verticalScrollBar()->value()}));
  QVERIFY(!(window->Preview() == unscrolled));
  // The preview follows what lies under the frame after a rotation too.
  const CRgbImage before = window->Preview();
  window->OnCommand(3007);
  QVERIFY(!(window->Preview() == before));
  QCOMPARE(window->Editor().Rotation(), 9000);
}

// ---- sending --------------------------------------------------------------------------------

void PictureWindowTest::sendStoresTheRecordThePreviewShows() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  window->View()->SetFramePosition({17, 9});
  const CRgbImage preview = window->Preview();
  Send("Dusk");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 723}));
  QCOMPARE(services->styles, (std::vector<std::uint32_t>{MB_YESNO | MB_ICONQUESTION, MB_ICONINFORMATION}));
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), kSampleWallpapers + 1);
  QCOMPARE(Rows(), kSampleWallpapers + kSamplePictureIds + 1);
  QCOMPARE(window->ListView()->topLevelItem(2)->text(1), QString("Dusk"));
  const std::vector<std::uint8_t> stored = Sim().Item(UDFP_SIM_KIND_WALLPAPER, kSampleWallpapers);
  QCOMPARE(stored.size(), std::size_t{15648});
  const auto decoded = CPictureRecord::Decode(stored);
  QVERIFY(decoded.has_value());
  QCOMPARE(decoded->name, std::string("Dusk"));
  QVERIFY(decoded->picture == preview);
  QVERIFY(decoded->thumbnail == window->PreviewThumbnail());
  // One object was written: nothing was sent a second time.
  QTest::qWait(200);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), kSampleWallpapers + 1);
  QCOMPARE(window->FreeItems(PictureKind::Wallpaper), std::optional<std::uint16_t>(kStoreCapacity - 3));

  // A picture ID: the record of 4160 bytes in the picture-ID store.
  services->shown.clear();
  window->SetPictureKind(PictureKind::PictureId);
  const CRgbImage idPreview = window->Preview();
  QCOMPARE(idPreview.Width(), 48);
  Send("Dusk ID");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  const std::vector<std::uint8_t> storedId = Sim().Item(UDFP_SIM_KIND_PICTURE_ID, kSamplePictureIds);
  QCOMPARE(storedId.size(), std::size_t{4160});
  QVERIFY(CPictureRecord::Decode(storedId)->picture == idPreview);
}

void PictureWindowTest::badNamesAreRefusedWithoutARequest() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  window->NameEdit()->setMaxLength(32);
  Sim().ResetCounters();
  for (const QString& name : {QString(""), QString(" Dusk"), QString("ABCDEFGHIJKLMNOP"), QString("Caf\u00e9")}) {
    services->shown.clear();
    Send(name);
    QCOMPARE(services->shown, std::vector<std::int32_t>{761});
    QCOMPARE(services->styles.back(), std::uint32_t{MB_ICONEXCLAMATION});
  }
  QTest::qWait(100);
  QCOMPARE(Sim().Counters().vendorRequestsOut, 0u);
  QCOMPARE(window->Executing(), std::uint8_t{0});
  QVERIFY(window->IsContentEnabled());
  // The name box itself takes only handset characters.
  window->NameEdit()->clear();
  QTest::keyClicks(window->NameEdit(), "Caf");
  QKeyEvent accented(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString("\u00e9"));
  QCoreApplication::sendEvent(window->NameEdit(), &accented);
  QTest::keyClicks(window->NameEdit(), "!");
  QCOMPARE(window->NameEdit()->text(), QString("Caf!"));
}

// Free items are counted per store: a full wallpaper store refuses a wallpaper while a
// picture ID still goes; with 15 free kilobytes only the picture ID fits.
void PictureWindowTest::wallpaperWithoutRoomIsRefusedWhilePictureIdGoes() {
  Connect();
  Sim().Exports().SetCapacity(UDFP_SIM_KIND_WALLPAPER, kSampleWallpapers);
  MakeWindow();
  OpenPicture(beach);
  QCOMPARE(window->FreeItems(PictureKind::Wallpaper), std::optional<std::uint16_t>(0));
  QCOMPARE(window->FreeItems(PictureKind::PictureId), std::optional<std::uint16_t>(kStoreCapacity - 2));
  Send("Dusk");
  QCOMPARE(services->shown, std::vector<std::int32_t>{762});
  services->shown.clear();
  window->SetPictureKind(PictureKind::PictureId);
  Send("Dusk");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_PICTURE_ID), kSamplePictureIds + 1);

  Sim().Exports().SetCapacity(UDFP_SIM_KIND_WALLPAPER, kStoreCapacity);
  Sim().SetFreeKilobytes(15);
  services->status.SetConnected(0);
  window->OnWindowMessage({TemplateMessage::kDeviceChange, 1, 0, nullptr});
  services->status.SetConnected(1);
  window->OnWindowMessage({TemplateMessage::kDeviceChange, 0, 0, nullptr});
  QVERIFY(AwaitIdle());
  QCOMPARE(window->HandsetList().FreeKilobytes(), std::optional<std::uint16_t>(15));
  services->shown.clear();
  window->SetPictureKind(PictureKind::Wallpaper);
  Send("Dusk");
  QCOMPARE(services->shown, std::vector<std::int32_t>{762});
  services->shown.clear();
  window->SetPictureKind(PictureKind::PictureId);
  Send("Dusk 2");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
}

// ---- receiving ------------------------------------------------------------------------------

void PictureWindowTest::receiveAsksToSaveAModifiedImageAndThenHasNoFile() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  const std::vector<std::uint8_t> photo = ReadBytes(beach);
  window->OnCommand(3005);  // enlarge: the image is modified
  QVERIFY(window->Editor().IsModified());
  SelectRow(1);
  window->OnCommand(TemplateId::kFromDevice);
  QVERIFY(QTest::qWaitFor([this] { return window->Executing() == 0 && window->IsContentEnabled(); }, kWaitMs));
  QCOMPARE(services->shown, std::vector<std::int32_t>{752});
  QCOMPARE(services->styles.back(), std::uint32_t{MB_YESNOCANCEL | MB_ICONQUESTION});
  const auto sample = CPictureRecord::Decode(Sim().Item(UDFP_SIM_KIND_WALLPAPER, 1));
  QVERIFY(sample.has_value());
  QVERIFY(window->Editor().Display() == sample->picture);
  QVERIFY(!window->Editor().IsModified());
  QCOMPARE(window->NameEdit()->text().toStdString(), sample->name);
  QVERIFY(window->CurrentFile().empty());
  QCOMPARE(services->link->HeldItemCount(), std::size_t{0});

  // Save after a receive asks for a name: the photo that was open stays as it was.
  const std::size_t dialogsBefore = services->dialogs.requests.size();
  const QString received = folder->filePath("received.png");
  services->dialogs.answers.push_back({true, received.toStdString(), "PNG Files (*.png)"});
  services->shown.clear();
  QVERIFY(window->Save());
  QCOMPARE(services->dialogs.requests.size(), dialogsBefore + 1);
  QCOMPARE(services->shown, std::vector<std::int32_t>{765});
  QVERIFY(ReadBytes(beach) == photo);
  QCOMPARE(QImage(received).size(), QSize(128, 110));

  // Cancel at 752 keeps the image and receives nothing.
  window->OnCommand(3006);
  services->onMessage = [](std::int32_t number) { return number == 752 ? IDCANCEL : IDOK; };
  services->shown.clear();
  const CRgbImage kept = window->Editor().Display();
  Sim().ResetCounters();
  SelectRow(0);
  window->OnCommand(3025);
  QCOMPARE(services->shown, std::vector<std::int32_t>{752});
  QTest::qWait(100);
  QCOMPARE(Sim().Counters().vendorRequestsOut, 0u);
  QVERIFY(window->Editor().Display() == kept);
}

// A record whose size is neither kind's is refused with 725 and nothing changes.
void PictureWindowTest::wrongSizeRecordShows725() {
  MakeWindow();
  OpenPicture(beach);
  const CRgbImage before = window->Editor().Display();
  std::vector<std::uint8_t> bytes(15000, 0x11);
  ReceivedItem item{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
  window->OnWindowMessage(
      {LinkMessage::kItemReceived, LinkCode::kRead, reinterpret_cast<std::intptr_t>(&item), nullptr});
  window->OnWindowMessage({LinkMessage::kRequestComplete, LinkCode::kRead, 0, nullptr});
  QCOMPARE(services->shown, std::vector<std::int32_t>{725});
  QCOMPARE(services->styles.back(), std::uint32_t{MB_ICONSTOP});
  QVERIFY(window->Editor().Display() == before);
  QCOMPARE(window->CurrentFile(), beach.toStdString());
}

// ---- saving ---------------------------------------------------------------------------------

void PictureWindowTest::plainSaveWritesTheFormatOfTheExtension() {
  MakeWindow();
  const QString jpeg = WritePicture("harbour.jpg", Landscape(160, 120), "JPEG");
  OpenPicture(jpeg);
  window->OnCommand(3007);
  const std::size_t dialogsBefore = services->dialogs.requests.size();
  QVERIFY(window->Save());
  QCOMPARE(services->dialogs.requests.size(), dialogsBefore);
  const std::vector<std::uint8_t> written = ReadBytes(jpeg);
  QVERIFY(written.size() > 2);
  QCOMPARE(int(written[0]), 0xFF);
  QCOMPARE(int(written[1]), 0xD8);
  QCOMPARE(QImage(jpeg).size(), QSize(120, 160));
  QVERIFY(!window->Editor().IsModified());

  // A file whose extension names no image format goes to the save dialog.
  const QString odd = WritePicture("scan.dat", Landscape(50, 40), "PNG");
  OpenPicture(odd);
  window->OnCommand(3005);
  services->dialogs.answers.push_back({true, folder->filePath("scan.tif").toStdString(), "TIFF Files (*.tif *.tiff)"});
  QVERIFY(window->Save());
  const IFileDialogs::Request& request = services->dialogs.requests.back();
  QCOMPARE(request.fileName, std::string("scan.bmp"));
  QCOMPARE(CImageFile::FormatFromPath(window->CurrentFile()),
           std::optional<CImageFile::Format>(CImageFile::Format::Tiff));
  const std::vector<std::uint8_t> tiff = ReadBytes(folder->filePath("scan.tif"));
  QVERIFY(tiff.size() > 4);
  QVERIFY((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'));
  QVERIFY(ReadBytes(odd).size() > 0);
}

void PictureWindowTest::saveDialogKeepsTheExtensionInStepWithTheFilter() {
  QCOMPARE(CFileDlgEx::Extensions("*.jpg;*.jpeg"), (std::vector<std::string>{".jpg", ".jpeg"}));
  QCOMPARE(CFileDlgEx::Extensions("*.* *.png"), (std::vector<std::string>{".png"}));
  QCOMPARE(CFileDlgEx::AdjustName("Dusk.png", "*.jpg;*.jpeg"), std::string("Dusk.jpg"));
  QCOMPARE(CFileDlgEx::AdjustName("Dusk.JPEG", "*.jpg;*.jpeg"), std::string("Dusk.JPEG"));
  QCOMPARE(CFileDlgEx::AdjustName("Dusk", "*.tif;*.tiff"), std::string("Dusk.tif"));
  QCOMPARE(CFileDlgEx::AdjustName("/photos.2024/Dusk", "*.bmp"), std::string("/photos.2024/Dusk.bmp"));
  const auto filters = CFileDlgEx::ParseFilter(
      "Bitmap Files (*.bmp)|*.bmp|JPEG Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG Files (*.png)|*.png||");
  QCOMPARE(filters.size(), std::size_t{3});
  QCOMPARE(CFileDlgEx::DialogFilter(filters[1]), std::string("JPEG Files (*.jpg *.jpeg)"));

  // A name that needs adjusting is refused once and proposed adjusted; a second Save takes it.
  Services local;
  local.dialogs.answers.push_back({true, "/tmp/x/Dusk.png", CFileDlgEx::DialogFilter(filters[1])});
  local.dialogs.answers.push_back({true, "/tmp/x/Dusk.jpg", CFileDlgEx::DialogFilter(filters[1])});
  IFileDialogs::Request request;
  request.fileName = "Dusk.bmp";
  const auto result = CFileDlgEx::Run(local.dialogs, request, filters, 0);
  QVERIFY(result.has_value());
  QCOMPARE(result->path, std::string("/tmp/x/Dusk.jpg"));
  QCOMPARE(result->filterIndex, 1);
  QCOMPARE(local.dialogs.requests.size(), std::size_t{2});
  QCOMPARE(local.dialogs.requests[0].fileName, std::string("Dusk.bmp"));
  QCOMPARE(local.dialogs.requests[1].fileName, std::string("Dusk.jpg"));
  QCOMPARE(local.dialogs.requests[1].folder, std::string("/tmp/x"));
  // An empty name is refused; cancelling ends the dialog.
  local.dialogs.answers.push_back({true, "/tmp/x/", CFileDlgEx::DialogFilter(filters[0])});
  QVERIFY(!CFileDlgEx::Run(local.dialogs, request, filters, 0).has_value());
}

// ---- erasing --------------------------------------------------------------------------------

void PictureWindowTest::eraseAsksWithTheNameAndListsAgain() {
  Connect();
  MakeWindow();
  SelectRow(2);
  const std::string name = window->ListView()->topLevelItem(2)->text(1).toStdString();
  window->OnCommand(TemplateId::kErase);
  QVERIFY(QTest::qWaitFor([this] { return services->Count(721) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{715, 721}));
  QVERIFY(services->texts[0].find(name) != std::string::npos);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_PICTURE_ID), kSamplePictureIds - 1);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), kSampleWallpapers);
  QCOMPARE(Rows(), kSampleWallpapers + kSamplePictureIds - 1);
  // No: nothing is erased.
  services->onMessage = [](std::int32_t) { return IDNO; };
  services->shown.clear();
  SelectRow(0);
  window->OnCommand(TemplateId::kErase);
  QCOMPARE(services->shown, std::vector<std::int32_t>{715});
  QTest::qWait(100);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), kSampleWallpapers);
}

// ---- faults ---------------------------------------------------------------------------------

void PictureWindowTest::refusedBlockShowsMemoryFull() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  Sim().RefuseNextBlock(0x10);
  Send("Dusk");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(762) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 762}));
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_WALLPAPER), kSampleWallpapers);
  QVERIFY(window->IsContentEnabled());
}

void PictureWindowTest::silentHandsetShows705AndDisablesTheDeviceButtons() {
  services->SetCommunicate("RequestTimeOut", 500);
  Connect();
  MakeWindow();
  OpenPicture(beach);
  Sim().Silence(20);
  Send("Dusk");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(705) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
  QVERIFY(!window->Control(TemplateId::kFromDevice)->isEnabled());
  QVERIFY(!window->Control(TemplateId::kErase)->isEnabled());
  QVERIFY(window->IsContentEnabled());
  QVERIFY(window->Control(3005)->isEnabled());
}

void PictureWindowTest::unplugDuringSendShows725AndEmptiesTheList() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  Sim().UnplugAfterBlock(3);
  Send("Dusk");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(725) == 1; }, kWaitMs));
  QCOMPARE(services->Count(723), 0);
  // The resident window reports the removal.
  services->status.SetConnected(0);
  window->OnWindowMessage({TemplateMessage::kDeviceChange, 1, 0, nullptr});
  QCOMPARE(Rows(), 0);
  QVERIFY(!window->IsConnectedState());
  QVERIFY(!window->Control(TemplateId::kSend)->isEnabled());
  QVERIFY(window->IsContentEnabled());
  QVERIFY(window->FreeLabel()->text().isEmpty());
  QCOMPARE(window->Executing(), std::uint8_t{0});
  // Plugged in again: the resident window opens the link anew and reports the arrival.
  services->link->StopLink();
  QVERIFY(Sim().Plug());
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  QVERIFY(services->link->GetDeviceInfo(vendor, product));
  CMessageQueue starter;
  RequestParams params;
  params.notifyWindow = starter.Handle();
  QVERIFY(services->link->PostRequest(LinkCode::kStartLink, params));
  const auto started = starter.Take(std::chrono::milliseconds(kWaitMs));
  QVERIFY(started.has_value() && started->message == LinkMessage::kRequestComplete);
  services->status.SetConnected(1);
  window->OnWindowMessage({TemplateMessage::kDeviceChange, 0, 0, nullptr});
  QVERIFY(AwaitIdle());
  QCOMPARE(Rows(), kSampleWallpapers + kSamplePictureIds);
  QVERIFY(window->Control(TemplateId::kSend)->isEnabled());
}

void PictureWindowTest::closingDuringSendIsRefused() {
  Connect();
  MakeWindow();
  OpenPicture(beach);
  Sim().ResponseDelay(60);
  Send("Dusk");
  QCOMPARE(window->Executing(), std::uint8_t{1});
  window->close();
  QCOMPARE(services->Count(728), 1);
  QVERIFY(window->isVisible());
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  // Listing again after the send counts as receiving.
  QCOMPARE(window->Executing(), std::uint8_t{4});
  window->close();
  QCOMPARE(services->Count(727), 1);
  QVERIFY(AwaitIdle());
  SelectRow(0);
  window->OnCommand(TemplateId::kErase);
  QCOMPARE(window->Executing(), std::uint8_t{3});
  window->close();
  QCOMPARE(services->Count(772), 1);
  QVERIFY(window->isVisible());
  QVERIFY(QTest::qWaitFor([this] { return services->Count(721) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  Sim().ResponseDelay(0);
  window->close();
  QVERIFY(!window->isVisible());
  QCOMPARE(window->result(), int(QDialog::Accepted));
}

// ---- screenshots ------------------------------------------------------------------------------

void PictureWindowTest::screenshotsInEveryLanguage() {
  Connect();
  for (int language = 0; language < uitest::kLanguageCount; ++language) {
    QVERIFY(services->strings.Load(language));
    MakeWindow();
    OpenPicture(beach);
    window->View()->SetFramePosition({60, 40});
    SelectRow(1);
    QVERIFY(!window->Preview().IsEmpty());
    const QString name = QString::fromStdString(uitest::ShippedLanguage::Name(language));
    QVERIFY(uitest::SaveScreenshot(*window, "picture-window-" + name));
    QVERIFY(!window->FreeLabel()->text().isEmpty());
    QTimer::singleShot(0, this, [&] {
      uitest::SaveScreenshot(*window->ToneDialog(), "picture-colour-dialog-" + name);
      window->ToneDialog()->PressCancel();
    });
    window->OnCommand(3010);
    QTimer::singleShot(0, this, [&] {
      auto* preview = qobject_cast<CPreviewDlg*>(QApplication::activeModalWidget());
      QVERIFY(preview != nullptr);
      QVERIFY(!preview->PictureLabel()->pixmap().isNull());
      uitest::SaveScreenshot(*preview, "picture-preview-dialog-" + name);
      preview->close();
    });
    window->OnCommand(43013);
    window.reset();
  }
}

void PictureWindowTest::languageChangeRelabelsTheWindow() {
  MakeWindow();
  QCOMPARE(qobject_cast<QPushButton*>(window->Control(TemplateId::kSend))->text(), QString("Send"));
  QVERIFY(services->strings.Load(1));
  window->OnWindowMessage({TemplateMessage::kLanguageChange, 0, 0, nullptr});
  QCOMPARE(qobject_cast<QPushButton*>(window->Control(TemplateId::kSend))->text(), QString("Envoyer"));
  QCOMPARE(qobject_cast<QPushButton*>(window->Control(3025))->text(),
           QString::fromStdString(services->strings.GetString(3025)));
  QCOMPARE(window->windowTitle(), QString::fromStdString(services->strings.GetString(3000)));
  QCOMPARE(window->MenuBar()->actions().first()->text(), QString::fromStdString(services->strings.GetString(3001)));
}

QTEST_MAIN(PictureWindowTest)
#include "PictureWindowTest.moc"
