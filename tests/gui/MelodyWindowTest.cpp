// The melody window against the handset emulator and a private PulseAudio null sink:
// opening and converting, the marked range and its 30-second limit, copy, cut and undo,
// volume, PC playback, sending, playing a handset melody, erasing, closing, screenshots.
#include "MelodyGuiSupport.h"
#include "PulseNullSink.h"
#include "TemplateFixture.h"

#include "melody/MelodyCodec.h"
#include "melody/MelodyRecord.h"
#include "melody/MelodyUtilityDlg.h"
#include "melody/MelodyVolume.h"
#include "melody/PlayWave.h"
#include "melody/WaveFileDialog.h"
#include "melody/WaveOperations.h"
#include "melody/WaveView.h"
#include "platform/WindowRegistry.h"
#include "ui/CharSetEdit.h"
#include "ui/ProgressWnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <filesystem>

using namespace melodygui;
using namespace templatetest;
namespace fs = std::filesystem;
using Id = int;

namespace {

constexpr std::uint32_t kRate = 16000;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

std::uint32_t PeakOf(const std::string& path) {
  std::uint32_t peak = 0;
  std::uint32_t fullScale = 0;
  WavePeak(path, peak, fullScale);
  return peak;
}

double Rms(const std::vector<std::int16_t>& samples) {
  double sum = 0;
  for (const std::int16_t s : samples) {
    sum += double(s) * s;
  }
  return samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
}

}  // namespace

class MelodyWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();

  void stereo8BitRightChannelOpensFlatWithItsName();
  void openThroughTheDialogTakesTheChosenChannel();
  void filesTheConversionCannotTakeShow732AndKeepTheView();
  void cancelledOpenShows1532AndKeepsTheView();
  void dragThenCopyTakesTheRangeAndStaysUnderThirtySeconds();
  void rangeUnderOneFrameIsRefusedWith1516();
  void cutThenUndoRestoresTheFileByteForByte();
  void sixCutsWithFiveLevelsAllowFiveUndos();
  void cuttingEverythingLeavesAnEmptyMelodyThatCannotBeSent();
  void autoVolumeAndUndoOfAVolumeStep();
  void silenceHasNoVolumeCommands();
  void unusableSettingsAreBroughtIntoRange();
  void zoomFollowsTheSeriesUpToItsLimit();
  void playRangeOnThePcMovesTheCursorAndIsHeard();
  void sendStoresTheRecordAndListsAgain();
  void sendRefusedForFullSlotsBeforeEncoding();
  void sendRefusedForMemoryAfterEncoding();
  void badNamesAreRefusedWith761();
  void sendThatPostsNothingLeavesTheWindowFree();
  void cancelDuringEncodingEndsTheSend();
  void closingDuringASendIsRefused();
  void cancelDuringTheWriteEndsTheSend();
  void handsetMelodyPlaysOnThePcAndLeavesNoFiles();
  void eraseAsksAndListsAgain();
  void listFollowsAttachment();
  void closingAsksToSaveAndRemovesTheWorkingFolder();
  void closingWhileConvertingCancelsAndJoins();
  void screenshotsInEveryLanguage();
  void languageChangeRelabelsTheWindow();

 private:
  SimHandset& Sim() { return *services->sim; }
  void Connect();
  void MakeWindow();
  bool AwaitIdle() {
    return QTest::qWaitFor([this] { return !window->IsWorking() && !window->IsListing() && window->Executing() == 0; },
                           kWaitMs);
  }
  std::string Path(const char* name) const { return tmp.filePath(QString::fromLatin1(name)).toStdString(); }
  // A 16 kHz 16-bit mono tone of `frames` frames.
  std::string ToneFile(const char* name, std::size_t frames, double amplitude = 8000);
  void Open(const std::string& path, int channel = 1);
  // Drags over the view from one frame to another with the mouse.
  void Drag(CWaveView* view, double from, double to);
  // A 4-second tone (peak `amplitude`) opened, 0.5-2.5 s copied into the edit view.
  void PrepareEdit(double amplitude = 8000);
  void Send(const QString& name);
  bool Enabled(int id) const { return window->Control(id)->isEnabled(); }
  void Cancel() { PostMessage(window->Handle(), TemplateMessage::kCancel, 0, 0); }
  QString Text(int id) const { return QString::fromStdString(services->strings.GetString(id)); }

  QTemporaryDir root;
  QTemporaryDir tmp{root.filePath(QStringLiteral("files-XXXXXX"))};
  CPulseNullSink pulse;
  bool pulseRunning = false;
  int answer752 = IDNO;
  std::unique_ptr<Services> services;
  std::unique_ptr<CMelodyUtilityDlg> window;
};

void MelodyWindowTest::initTestCase() {
  QVERIFY(root.isValid());
  QVERIFY(tmp.isValid());
  pulseRunning = CPulseNullSink::Installed() && pulse.Start();
  // The windows' private folders are made in the temporary folder: this test's own.
  const QString temp = root.filePath(QStringLiteral("tmp"));
  QVERIFY(QDir().mkpath(temp));
  qputenv("TMPDIR", temp.toLocal8Bit());
}

void MelodyWindowTest::cleanupTestCase() {
  pulse.Stop();
}

void MelodyWindowTest::init() {
  services = std::make_unique<Services>();
  answer752 = IDNO;
  services->onMessage = [this](std::int32_t number) {
    return number == 726 || number == 715 ? IDYES : number == 752 ? answer752 : IDOK;
  };
}

void MelodyWindowTest::cleanup() {
  window.reset();
  services.reset();
  // Nothing a window made is left in the temporary folder.
  QCOMPARE(QDir(root.filePath(QStringLiteral("tmp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
           QStringList());
}

void MelodyWindowTest::Connect() {
  QVERIFY(services->Connect());
  QCOMPARE(Sim().Exports().StoreFill(UDFP_SIM_KIND_MELODY, 2), 2);
}

void MelodyWindowTest::MakeWindow() {
  window = std::make_unique<CMelodyUtilityDlg>(nullptr, &services->context);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  QVERIFY(AwaitIdle());
}

std::string MelodyWindowTest::ToneFile(const char* name, std::size_t frames, double amplitude) {
  const std::string path = Path(name);
  WriteWave(path, 1, 16, kRate, Bytes16(Tone(440, amplitude, kRate, frames)));
  return path;
}

void MelodyWindowTest::Open(const std::string& path, int channel) {
  QVERIFY(window->OpenFile(path, channel));
  QVERIFY(window->IsWorking());
  QVERIFY(QTest::qWaitFor([this] { return !window->IsWorking(); }, kWaitMs));
}

void MelodyWindowTest::Drag(CWaveView* view, double from, double to) {
  const int y = view->AreaRect().center().y();
  QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(view->XOfFrame(from), y));
  QTest::mouseMove(view, QPoint(view->XOfFrame(to), y));
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(view->XOfFrame(to), y));
}

void MelodyWindowTest::PrepareEdit(double amplitude) {
  Open(ToneFile("four.wav", 4 * kRate, amplitude));
  window->SourceView()->SetMarkers(0.5 * kRate, 2.5 * kRate);
  window->OnCommand(MelodyUtilityId::kCopy);
  QVERIFY(window->HasEditData());
  QCOMPARE(window->EditView()->Frames(), 2 * kRate);
}

void MelodyWindowTest::Send(const QString& name) {
  window->NameEdit()->setText(name);
  window->OnCommand(TemplateId::kSend);
}

// ---- opening --------------------------------------------------------------------------------

void MelodyWindowTest::stereo8BitRightChannelOpensFlatWithItsName() {
  MakeWindow();
  // 2 seconds, a tone on the left, silence on the right.
  std::vector<std::uint8_t> stereo(44100 * 2 * 2);
  for (std::size_t i = 0; i < stereo.size(); i += 2) {
    stereo[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(i * 0.03));
    stereo[i + 1] = 128;
  }
  const std::string ring = Path("Ring@Tone.wav");
  QVERIFY(WriteWave(ring, 2, 8, 44100, stereo));
  QVERIFY(window->OpenFile(ring, 2));
  // The conversion runs behind the progress window with its "Importing..." text.
  QVERIFY(window->ProgressWindow()->IsOpen());
  QVERIFY(!window->IsContentEnabled());
  QVERIFY(QTest::qWaitFor([this] { return !window->IsWorking(); }, kWaitMs));
  QVERIFY(services->shown.empty());
  QVERIFY(!window->ProgressWindow()->IsOpen());
  QVERIFY(window->IsContentEnabled());
  CWaveView* view = window->SourceView();
  QVERIFY(view->IsOpen());
  QCOMPARE(view->SampleRate(), kRate);
  QCOMPARE(int(view->BlockAlign()), 2);
  QVERIFY(std::abs(int(view->Frames()) - int(2 * kRate)) <= 32);
  const std::string wave = window->WorkPath(CMelodyUtilityDlg::kWaveFile);
  QCOMPARE(view->FileName(), wave);
  QCOMPARE(PeakOf(wave), 0u);
  QCOMPARE(window->NameEdit()->text(), QStringLiteral("Ring Tone"));
  QCOMPARE(window->OpenedPath(), ring);
  // The working files live in the window's own folder, closed to other users.
  QCOMPARE(fs::path(wave).parent_path(), window->WorkFolder().Dir());
  QCOMPARE(fs::status(window->WorkFolder().Dir()).permissions() & fs::perms::all, fs::perms::owner_all);
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kOpenScratch)));
  // The left channel holds the tone.
  Open(ring, 1);
  QVERIFY(PeakOf(wave) > 10000);
  QVERIFY(services->shown.empty());
}

void MelodyWindowTest::openThroughTheDialogTakesTheChosenChannel() {
  MakeWindow();
  std::vector<std::uint8_t> stereo(16000 * 2 * 2);
  for (std::size_t i = 0; i < stereo.size(); i += 4) {
    // Left silent, right a tone: the right channel must be the one taken.
    const auto s = static_cast<std::int16_t>(9000 * std::sin(i * 0.02));
    stereo[i + 2] = static_cast<std::uint8_t>(s & 0xFF);
    stereo[i + 3] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
  }
  const std::string file = Path("duet.wav");
  QVERIFY(WriteWave(file, 2, 16, 16000, stereo));
  // The dialog starts in the folder of the file opened last.
  Open(ToneFile("first.wav", kRate));
  bool leftOffered = false;
  bool seen = false;
  QTimer answer;
  connect(&answer, &QTimer::timeout, this, [&] {
    CWaveFileDialog* dialog = window->findChild<CWaveFileDialog*>();
    auto* model = dialog != nullptr ? dialog->findChild<QFileSystemModel*>() : nullptr;
    auto* list = dialog != nullptr ? dialog->findChild<QListView*>(QStringLiteral("listView")) : nullptr;
    // The dialog lists its folder in the background: the file is picked once it is listed.
    if (dialog == nullptr || !dialog->isVisible() || model == nullptr || list == nullptr ||
        !model->index(QString::fromStdString(file)).isValid()) {
      return;
    }
    answer.stop();
    list->setCurrentIndex(model->index(QString::fromStdString(file)));
    leftOffered = dialog->LeftButton()->isEnabled() && dialog->LeftButton()->isChecked();
    dialog->RightButton()->setChecked(true);
    seen = true;
    // As the dialog's Open button ends it once the name is checked; the check itself belongs to
    // the toolkit and waits for its folder model.
    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
  });
  answer.start(50);
  window->OnCommand(MelodyUtilityId::kOpen);
  QVERIFY(seen);
  QVERIFY(leftOffered);
  QVERIFY(QTest::qWaitFor([this] { return !window->IsWorking(); }, kWaitMs));
  QVERIFY(services->shown.empty());
  QCOMPARE(window->OpenedPath(), file);
  QVERIFY(PeakOf(window->WorkPath(CMelodyUtilityDlg::kWaveFile)) > 8000);
}

// Non-PCM encodings and rates the chain has no filters for are refused before anything
// starts, with no change to what is shown; floating-point samples are narrowed and open.
void MelodyWindowTest::filesTheConversionCannotTakeShow732AndKeepTheView() {
  MakeWindow();
  Open(ToneFile("tone.wav", kRate));
  const std::vector<std::uint8_t> before = ReadBytes(window->WorkPath(CMelodyUtilityDlg::kWaveFile));
  QVERIFY(WriteWave(Path("fast.wav"), 1, 16, 96000, std::vector<std::uint8_t>(19200)));
  QVERIFY(WriteWave(Path("alaw.wav"), 1, 8, 8000, std::vector<std::uint8_t>(8000, 0x55), 6));
  QVERIFY(WriteWave(Path("mulaw.wav"), 1, 8, 8000, std::vector<std::uint8_t>(8000, 0x55), 7));
  QFile junk(QString::fromStdString(Path("junk.wav")));
  QVERIFY(junk.open(QIODevice::WriteOnly));
  junk.write("not a wave file");
  junk.close();
  for (const char* name : {"fast.wav", "alaw.wav", "mulaw.wav", "junk.wav", "missing.wav"}) {
    services->shown.clear();
    QVERIFY(!window->OpenFile(Path(name), 1));
    QCOMPARE(services->shown, std::vector<std::int32_t>{732});
    QVERIFY(!window->IsWorking());
    QCOMPARE(ReadBytes(window->WorkPath(CMelodyUtilityDlg::kWaveFile)), before);
    QCOMPARE(window->SourceView()->Frames(), kRate);
  }
  // 32-bit floating point at full scale: narrowed, not taken as integer noise.
  std::vector<std::uint8_t> floats;
  for (std::size_t i = 0; i < 8000; ++i) {
    const float value = 0.25f * std::sin(float(i) * 0.1f);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    Put32(floats, bits);
  }
  QVERIFY(WriteWave(Path("float.wav"), 1, 32, 8000, floats, 3));
  services->shown.clear();
  Open(Path("float.wav"));
  QVERIFY(services->shown.empty());
  const std::uint32_t peak = PeakOf(window->WorkPath(CMelodyUtilityDlg::kWaveFile));
  QVERIFY2(peak > 7000 && peak < 9500, std::to_string(peak).c_str());
}

void MelodyWindowTest::cancelledOpenShows1532AndKeepsTheView() {
  MakeWindow();
  Open(ToneFile("short.wav", kRate));
  const std::string wave = window->WorkPath(CMelodyUtilityDlg::kWaveFile);
  const std::vector<std::uint8_t> before = ReadBytes(wave);
  // Three minutes at 44.1 kHz: far longer to convert than the cancel takes to arrive.
  const std::string longFile = Path("long.wav");
  QVERIFY(WriteWave(longFile, 1, 16, 44100, Bytes16(Tone(300, 5000, 44100, 44100 * 180))));
  QVERIFY(window->OpenFile(longFile, 1));
  Cancel();
  QVERIFY(QTest::qWaitFor([this] { return !window->IsWorking(); }, kWaitMs));
  QCOMPARE(services->shown, std::vector<std::int32_t>{1532});
  QCOMPARE(window->SourceView()->Frames(), kRate);
  QCOMPARE(window->SourceView()->FileName(), wave);
  QCOMPARE(ReadBytes(wave), before);
  QCOMPARE(window->OpenedPath(), Path("short.wav"));
  QCOMPARE(window->NameEdit()->text(), QStringLiteral("short"));
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kOpenScratch)));
  QVERIFY(window->IsContentEnabled());
  // A later open is not taken for cancelled.
  services->shown.clear();
  Open(ToneFile("again.wav", kRate / 2));
  QVERIFY(services->shown.empty());
  QCOMPARE(window->SourceView()->Frames(), kRate / 2);
}

// ---- markers and copy -----------------------------------------------------------------------

void MelodyWindowTest::dragThenCopyTakesTheRangeAndStaysUnderThirtySeconds() {
  MakeWindow();
  // A length that puts a whole number of frames (800) under each column, so the mouse hits
  // 0.5 s and 2.5 s exactly.
  const int columns = window->SourceView()->AreaRect().width();
  const std::size_t frames = static_cast<std::size_t>(columns) * 800;
  Open(ToneFile("sweep.wav", frames));
  CWaveView* source = window->SourceView();
  QCOMPARE(source->FramesPerColumn(), 800.0);
  QVERIFY(!Enabled(MelodyUtilityId::kCopy));
  Drag(source, 0.5 * kRate, 2.5 * kRate);
  double start = 0;
  double end = 0;
  QCOMPARE(source->GetSelection(start, end), CWaveView::kBoth);
  QCOMPARE(start, 0.5 * kRate);
  QCOMPARE(end, 2.5 * kRate);
  QCOMPARE(window->LabelText("sourceStart"), QStringLiteral("00:00.5"));
  QCOMPARE(window->LabelText("sourceLength"), QStringLiteral("00:02.0"));
  QVERIFY(Enabled(MelodyUtilityId::kCopy));
  window->OnCommand(MelodyUtilityId::kCopy);
  QVERIFY(services->shown.empty());
  QCOMPARE(window->EditView()->Frames(), 32000u);
  QVERIFY(window->IsModified());
  QCOMPARE(window->Volume().Db(), 0.0);
  // The copied samples are those of the range.
  const auto edit = ReadBytes(window->WorkPath(CMelodyUtilityDlg::kEditFile));
  const auto wave = ReadBytes(window->WorkPath(CMelodyUtilityDlg::kWaveFile));
  QVERIFY(std::equal(edit.begin() + 44, edit.end(), wave.begin() + 44 + 16000));

  // The 30-second limit: a 60-second file, the end dragged 40 seconds out.
  Open(ToneFile("minute.wav", 60 * kRate));
  Drag(source, 0.5 * kRate, 40.5 * kRate);
  QCOMPARE(source->GetSelection(start, end), CWaveView::kBoth);
  QVERIFY2(end - start < 30.0 * kRate && end - start >= 29.8 * kRate, std::to_string(end - start).c_str());
  // The step buttons keep the limit too.
  for (int i = 0; i < 5; ++i) {
    window->OnCommand(MelodyUtilityId::kSourceEndRight);
    window->OnCommand(MelodyUtilityId::kSourceStartLeft);
  }
  QCOMPARE(source->GetSelection(start, end), CWaveView::kBoth);
  QVERIFY2(end - start < 30.0 * kRate, std::to_string(end - start).c_str());
  // At the limit a step may still shorten the range: the start marker moves one column.
  const double before = start;
  window->OnCommand(MelodyUtilityId::kSourceStartRight);
  source->GetSelection(start, end);
  QCOMPARE(start, before + source->FramesPerColumn());
  window->OnCommand(MelodyUtilityId::kCopy);
  QVERIFY(window->EditView()->Frames() < 30 * kRate);
}

void MelodyWindowTest::rangeUnderOneFrameIsRefusedWith1516() {
  MakeWindow();
  PrepareEdit();
  const auto before = ReadBytes(window->WorkPath(CMelodyUtilityDlg::kEditFile));
  window->SourceView()->SetMarkers(1000.2, 1000.8);
  window->OnCommand(MelodyUtilityId::kCopy);
  QCOMPARE(services->shown, std::vector<std::int32_t>{1516});
  QCOMPARE(ReadBytes(window->WorkPath(CMelodyUtilityDlg::kEditFile)), before);
  QCOMPARE(window->EditView()->Frames(), 2 * kRate);
}

// ---- cut and undo ---------------------------------------------------------------------------

void MelodyWindowTest::cutThenUndoRestoresTheFileByteForByte() {
  MakeWindow();
  PrepareEdit();
  const std::string edit = window->WorkPath(CMelodyUtilityDlg::kEditFile);
  const auto before = ReadBytes(edit);
  window->EditView()->SetMarkers(4000, 12000);
  window->OnCommand(MelodyUtilityId::kCut);
  QVERIFY(services->shown.empty());
  QCOMPARE(window->EditView()->Frames(), 2 * kRate - 8000);
  QCOMPARE(window->UndoDepth(), std::size_t{1});
  QVERIFY(fs::exists(window->WorkPath("MelodyEditTemp000.wav")));
  QVERIFY(Enabled(MelodyUtilityId::kUndo));
  window->OnCommand(MelodyUtilityId::kUndo);
  QVERIFY(services->shown.empty());
  QCOMPARE(ReadBytes(edit), before);
  QCOMPARE(window->UndoDepth(), std::size_t{0});
  QVERIFY(!fs::exists(window->WorkPath("MelodyEditTemp000.wav")));
  double start = 0;
  double end = 0;
  QCOMPARE(window->EditView()->GetSelection(start, end), CWaveView::kBoth);
  QCOMPARE(start, 4000.0);
  QCOMPARE(end, 12000.0);
  QVERIFY(!Enabled(MelodyUtilityId::kUndo));
}

void MelodyWindowTest::sixCutsWithFiveLevelsAllowFiveUndos() {
  services->settings.WriteDword(kProductKey + "Melody", "MaxUndoCount", 5);
  MakeWindow();
  PrepareEdit();
  const std::string edit = window->WorkPath(CMelodyUtilityDlg::kEditFile);
  std::vector<std::vector<std::uint8_t>> states{ReadBytes(edit)};
  for (int i = 0; i < 6; ++i) {
    window->EditView()->SetMarkers(1000, 2000);
    window->OnCommand(MelodyUtilityId::kCut);
    states.push_back(ReadBytes(edit));
  }
  QVERIFY(services->shown.empty());
  QCOMPARE(window->UndoDepth(), std::size_t{5});
  // The undo files are used in turn: the sixth cut took the first one's.
  QCOMPARE(window->UndoCounter(), 1);
  for (int i = 5; i >= 1; --i) {
    QVERIFY(Enabled(MelodyUtilityId::kUndo));
    window->OnCommand(MelodyUtilityId::kUndo);
    QCOMPARE(ReadBytes(edit), states[static_cast<std::size_t>(i)]);
  }
  QVERIFY(services->shown.empty());
  QVERIFY(!Enabled(MelodyUtilityId::kUndo));
  QCOMPARE(window->UndoCounter(), 0);
  // The oldest cut can no longer be undone.
  QVERIFY(ReadBytes(edit) != states[0]);
}

// A cut of everything leaves an empty melody: the view draws it, and nothing that needs a
// frame (play, save, send, volume) is offered; undo brings it back.
void MelodyWindowTest::cuttingEverythingLeavesAnEmptyMelodyThatCannotBeSent() {
  Connect();
  MakeWindow();
  PrepareEdit();
  window->EditView()->SetMarkers(0, 2 * kRate);
  window->OnCommand(MelodyUtilityId::kCut);
  QVERIFY(services->shown.empty());
  QCOMPARE(window->EditView()->Frames(), 0u);
  window->EditView()->repaint();
  for (const int id :
       {MelodyUtilityId::kEditPlay, MelodyUtilityId::kSave, MelodyUtilityId::kSaveAs, TemplateId::kSend,
        MelodyUtilityId::kVolUp, MelodyUtilityId::kVolDown, MelodyUtilityId::kAutoVol, MelodyUtilityId::kCut}) {
    QVERIFY2(!Enabled(id), std::to_string(id).c_str());
  }
  window->NameEdit()->setText("Empty");
  Sim().ResetCounters();
  window->OnCommand(TemplateId::kSend);
  window->OnCommand(MelodyUtilityId::kSave);
  window->OnCommand(MelodyUtilityId::kEditPlay);
  QVERIFY(services->shown.empty());
  QVERIFY(!window->IsPlaying());
  QCOMPARE(window->Executing(), std::uint8_t{0});
  window->OnCommand(MelodyUtilityId::kUndo);
  QCOMPARE(window->EditView()->Frames(), 2 * kRate);
  QVERIFY(Enabled(TemplateId::kSend));
}

// ---- volume ---------------------------------------------------------------------------------

void MelodyWindowTest::autoVolumeAndUndoOfAVolumeStep() {
  MakeWindow();
  PrepareEdit(16384);
  QCOMPARE(window->DisplayedPeak(), 16384L);
  QCOMPARE(window->LabelText("peak"), QStringLiteral("16384"));
  QVERIFY(Enabled(MelodyUtilityId::kAutoVol));
  window->OnCommand(MelodyUtilityId::kAutoVol);
  QCOMPARE(window->DisplayedPeak(), 32767L);
  QVERIFY(!Enabled(MelodyUtilityId::kVolUp));
  QVERIFY(!Enabled(MelodyUtilityId::kAutoVol));
  QVERIFY(Enabled(MelodyUtilityId::kVolDown));
  QCOMPARE(window->EditView()->Gain(), window->Volume().Gain());
  const double db = window->Volume().Db();
  window->OnCommand(MelodyUtilityId::kVolDown);
  QCOMPARE(window->Volume().Db(), db - 4.0);
  window->OnCommand(MelodyUtilityId::kUndo);
  QCOMPARE(window->Volume().Db(), db);
  QCOMPARE(window->DisplayedPeak(), 32767L);
  window->OnCommand(MelodyUtilityId::kUndo);
  QCOMPARE(window->Volume().Db(), 0.0);
  QCOMPARE(window->EditView()->Gain(), 1.0);
  // The saved melody carries the volume.
  window->OnCommand(MelodyUtilityId::kAutoVol);
  services->dialogs.answers.push_back({true, Path("loud.wav"), {}});
  window->OnCommand(MelodyUtilityId::kSave);
  QCOMPARE(services->shown, std::vector<std::int32_t>{765});
  QVERIFY(!window->IsModified());
  QCOMPARE(PeakOf(Path("loud.wav")), 32767u);
  QVERIFY(!fs::exists(Path("loud.wav.part")));
}

void MelodyWindowTest::silenceHasNoVolumeCommands() {
  MakeWindow();
  PrepareEdit(0);
  QCOMPARE(window->DisplayedPeak(), 0L);
  for (const int id : {MelodyUtilityId::kVolUp, MelodyUtilityId::kVolDown, MelodyUtilityId::kAutoVol}) {
    QVERIFY(!Enabled(id));
    window->OnCommand(id);
  }
  QVERIFY(std::isfinite(window->Volume().Db()));
  QCOMPARE(window->Volume().Db(), 0.0);
  QCOMPARE(window->UndoDepth(), std::size_t{0});
  QVERIFY(services->shown.empty());
}

void MelodyWindowTest::unusableSettingsAreBroughtIntoRange() {
  const std::string key = kProductKey + "Melody";
  services->settings.WriteDword(key, "MaxUndoCount", 0);
  services->settings.WriteDword(key, "MaxZoomSize", 0);
  services->settings.WriteDword(key, "MaxVolume", 70000);
  services->settings.WriteDword(key, "VolumeChangeRate", 0);
  MakeWindow();
  QCOMPARE(window->Settings().maxUndoCount, 1u);
  QCOMPARE(window->Settings().maxZoomSize, 1u);
  QCOMPARE(window->Settings().maxVolume, 32767u);
  QCOMPARE(window->Settings().volumeChangeRate, 1u);
  PrepareEdit();
  QVERIFY(!Enabled(MelodyUtilityId::kZoomIn));
  QVERIFY(!Enabled(MelodyUtilityId::kZoomOut));
  window->OnCommand(MelodyUtilityId::kZoomIn);
  window->OnCommand(MelodyUtilityId::kZoomOut);
  QCOMPARE(window->SourceView()->Zoom(), 1.0);
  window->EditView()->SetMarkers(0, 1000);
  window->OnCommand(MelodyUtilityId::kCut);
  window->OnCommand(MelodyUtilityId::kVolDown);
  QCOMPARE(window->UndoDepth(), std::size_t{1});
  window->OnCommand(MelodyUtilityId::kUndo);
  QCOMPARE(window->Volume().Db(), 0.0);
  QVERIFY(services->shown.empty());
}

void MelodyWindowTest::zoomFollowsTheSeriesUpToItsLimit() {
  services->settings.WriteDword(kProductKey + "Melody", "MaxZoomSize", 20);
  MakeWindow();
  Open(ToneFile("zoom.wav", 10 * kRate));
  QVERIFY(!Enabled(MelodyUtilityId::kZoomOut));
  std::vector<double> factors;
  while (Enabled(MelodyUtilityId::kZoomIn)) {
    window->OnCommand(MelodyUtilityId::kZoomIn);
    factors.push_back(window->SourceView()->Zoom());
  }
  QCOMPARE(factors, (std::vector<double>{2, 5, 10, 20}));
  QCOMPARE(window->LabelText("zoom"), QStringLiteral("x20"));
  factors.clear();
  while (Enabled(MelodyUtilityId::kZoomOut)) {
    window->OnCommand(MelodyUtilityId::kZoomOut);
    factors.push_back(window->SourceView()->Zoom());
  }
  QCOMPARE(factors, (std::vector<double>{10, 5, 2, 1}));
  QVERIFY(services->shown.empty());
}

// ---- playing on the PC -----------------------------------------------------------------------

void MelodyWindowTest::playRangeOnThePcMovesTheCursorAndIsHeard() {
  if (!CPulseNullSink::Installed()) {
    QSKIP("PulseAudio is not installed");
  }
  QVERIFY(pulseRunning);
  MakeWindow();
  // Silence with a tone between 0.5 and 1.5 s: what the sink hears is the range.
  std::vector<std::int16_t> samples(3 * kRate, 0);
  const auto tone = Tone(1000, 12000, kRate, kRate);
  std::copy(tone.begin(), tone.end(), samples.begin() + kRate / 2);
  QVERIFY(WriteWave(Path("range.wav"), 1, 16, kRate, Bytes16(samples)));
  Open(Path("range.wav"));
  window->SourceView()->SetMarkers(0.5 * kRate, 1.5 * kRate);
  QVERIFY(pulse.StartRecording());
  QElapsedTimer clock;
  clock.start();
  window->OnCommand(MelodyUtilityId::kSourcePlay);
  QVERIFY(services->shown.empty());
  QVERIFY(window->IsPlaying());
  QCOMPARE(qobject_cast<QPushButton*>(window->Control(MelodyUtilityId::kSourcePlay))->text(), QStringLiteral("Stop"));
  QVERIFY(!window->SourceView()->IsMouseEnabled());
  QVERIFY(window->SourceView()->IsPlayCursorShown());
  double lowest = 1e9;
  double highest = 0;
  while (window->IsPlaying() && clock.elapsed() < 15000) {
    QTest::qWait(10);
    lowest = std::min(lowest, window->SourceView()->PlayCursor());
    highest = std::max(highest, window->SourceView()->PlayCursor());
  }
  QVERIFY(!window->IsPlaying());
  QVERIFY2(clock.elapsed() >= 900, std::to_string(clock.elapsed()).c_str());
  QVERIFY(lowest >= 0.5 * kRate);
  QVERIFY(highest <= 1.5 * kRate);
  QVERIFY(highest > 0.5 * kRate);
  QTest::qWait(300);
  const auto heard = pulse.StopRecording();
  QVERIFY(Rms(heard) > 1000);
  QVERIFY(!window->SourceView()->IsPlayCursorShown());
  QVERIFY(window->SourceView()->IsMouseEnabled());
  QCOMPARE(qobject_cast<QPushButton*>(window->Control(MelodyUtilityId::kSourcePlay))->text(), QStringLiteral("Play"));
  // Play again: pause and go on, a click in the range seeks there, a click outside it does
  // nothing; the same button stops.
  window->OnCommand(MelodyUtilityId::kSourcePlay);
  QVERIFY(window->IsPlaying());
  window->OnCommand(MelodyUtilityId::kSourcePause);
  QVERIFY(window->Player()->IsPaused());
  window->OnCommand(MelodyUtilityId::kSourcePause);
  QVERIFY(!window->Player()->IsPaused());
  CWaveView* view = window->SourceView();
  const int y = view->AreaRect().center().y();
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(view->XOfFrame(1.3 * kRate), y));
  QVERIFY(view->PlayCursor() >= 1.25 * kRate);
  std::uint32_t position = 0;
  QCOMPARE(window->Player()->GetCurrentPos(position), CPlayWave::kDone);
  QVERIFY(position >= 1.25 * kRate);
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(view->XOfFrame(2.5 * kRate), y));
  QVERIFY(view->PlayCursor() < 2.0 * kRate);
  double start = 0;
  double end = 0;
  QCOMPARE(view->GetSelection(start, end), CWaveView::kBoth);
  QCOMPARE(start, 0.5 * kRate);
  QCOMPARE(end, 1.5 * kRate);
  window->OnCommand(MelodyUtilityId::kSourcePlay);
  QVERIFY(!window->IsPlaying());
  QVERIFY(services->shown.empty());
}

// ---- sending --------------------------------------------------------------------------------

void MelodyWindowTest::sendStoresTheRecordAndListsAgain() {
  Connect();
  MakeWindow();
  QCOMPARE(window->HandsetList()->count(), 2);
  QVERIFY(window->HandsetList()->item(0)->text().startsWith(QStringLiteral("[1]")));
  PrepareEdit(12000);
  QVERIFY(Enabled(TemplateId::kSend));
  Send("My Tone");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 723}));
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 3);
  const std::vector<std::uint8_t> stored = Sim().Item(UDFP_SIM_KIND_MELODY, 2);
  QVERIFY(stored.size() > kMelodyNameField);
  QCOMPARE((stored.size() - kMelodyNameField) % (kMelodyFrameBytes * kMelodyFrameGroup), std::size_t{0});
  QCOMPARE(MelodyRecordName(stored.data(), stored.size()), std::string("My Tone"));
  QCOMPARE(window->HandsetList()->count(), 3);
  QVERIFY(window->HandsetList()->item(2)->text().contains(QStringLiteral("My Tone")));
  // The window's volume is untouched; the handset got the melody 8 dB down.
  QCOMPARE(window->Volume().Db(), 0.0);
  const auto frames = MelodyRecordFrames(stored.data(), stored.size());
  const std::string gc = Path("stored.gc");
  QFile out(QString::fromStdString(gc));
  QVERIFY(out.open(QIODevice::WriteOnly));
  out.write(reinterpret_cast<const char*>(frames.data()), qint64(frames.size()));
  out.close();
  QCOMPARE(LoadMelodyCodec(), 0);
  MelodyDataToWave(gc, Path("stored.wav"));
  FreeMelodyCodec();
  const double ratio = PeakOf(Path("stored.wav")) / 12000.0;
  QVERIFY2(ratio > 0.3 && ratio < 0.5, std::to_string(ratio).c_str());
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kGcFile)));
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kSendFile)));
}

void MelodyWindowTest::sendRefusedForFullSlotsBeforeEncoding() {
  Connect();
  QCOMPARE(Sim().Exports().StoreFill(UDFP_SIM_KIND_MELODY, 8), 8);
  MakeWindow();
  QCOMPARE(window->HandsetList()->count(), 10);
  PrepareEdit();
  bool encoded = false;
  Send("Full");
  QVERIFY(QTest::qWaitFor(
      [&] {
        encoded = encoded || window->IsWorking();
        return services->Count(762) == 1;
      },
      kWaitMs));
  QVERIFY(AwaitIdle());
  QVERIFY(!encoded);
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 762}));
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 10);
  QCOMPARE(window->Volume().Db(), 0.0);
  QVERIFY(window->IsContentEnabled());
  QVERIFY(!window->ProgressWindow()->IsOpen());
}

void MelodyWindowTest::sendRefusedForMemoryAfterEncoding() {
  Connect();
  QVERIFY(Sim().Exports().SetFreeKilobytes(2));
  MakeWindow();
  PrepareEdit();
  window->OnCommand(MelodyUtilityId::kVolDown);
  const double db = window->Volume().Db();
  Send("Too Big");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(762) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 762}));
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 2);
  QCOMPARE(window->Volume().Db(), db);
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kGcFile)));
  QVERIFY(window->IsContentEnabled());
}

void MelodyWindowTest::badNamesAreRefusedWith761() {
  Connect();
  MakeWindow();
  PrepareEdit();
  Sim().ResetCounters();
  for (const QString& name : {QString(""), QString(" Tone"), QString("ABCDEFGHIJKLMNOP"), QString("Ring@Tone")}) {
    services->shown.clear();
    Send(name);
    QCOMPARE(services->shown, std::vector<std::int32_t>{761});
  }
  QTest::qWait(100);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 2);
  QCOMPARE(window->Executing(), std::uint8_t{0});
}

// A send whose request goes nowhere (the handset went without the window being told) ends
// at once: the window is usable and may close.
void MelodyWindowTest::sendThatPostsNothingLeavesTheWindowFree() {
  Connect();
  MakeWindow();
  PrepareEdit();
  services->status.SetConnected(0);
  Send("Nowhere");
  QCOMPARE(window->Executing(), std::uint8_t{0});
  QVERIFY(window->IsContentEnabled());
  QVERIFY(!window->ProgressWindow()->IsOpen());
  QCOMPARE(window->Volume().Db(), 0.0);
  answer752 = IDNO;
  services->shown.clear();
  window->OnCommand(TemplateId::kClose);
  QCOMPARE(services->shown, std::vector<std::int32_t>{752});
  QVERIFY(!window->isVisible());
}

void MelodyWindowTest::cancelDuringEncodingEndsTheSend() {
  Connect();
  MakeWindow();
  // 30 seconds: long enough to encode that the cancel arrives first.
  Open(ToneFile("long16.wav", 31 * kRate));
  window->SourceView()->SetMarkers(0, 29.9 * kRate);
  window->OnCommand(MelodyUtilityId::kCopy);
  Send("Cancelled");
  QVERIFY(QTest::qWaitFor([this] { return window->IsWorking(); }, kWaitMs));
  Cancel();
  QVERIFY(QTest::qWaitFor([this] { return services->Count(724) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 724}));
  QCOMPARE(window->Executing(), std::uint8_t{0});
  QVERIFY(window->IsContentEnabled());
  QVERIFY(!window->ProgressWindow()->IsOpen());
  QCOMPARE(window->Volume().Db(), 0.0);
  QTest::qWait(200);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 2);
  // The send can run again, and the window can close.
  services->shown.clear();
  Send("Second Go");
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 3);
}

void MelodyWindowTest::closingDuringASendIsRefused() {
  Connect();
  Sim().Exports().SetResponseDelay(100);
  MakeWindow();
  PrepareEdit();
  Send("Busy");
  QCOMPARE(window->Executing(), CMelodyUtilityDlg::kBusySend);
  window->OnCommand(TemplateId::kClose);
  QCOMPARE(services->Count(728), 1);
  QVERIFY(window->isVisible());
  QVERIFY(QTest::qWaitFor([this] { return services->Count(723) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  answer752 = IDNO;
  window->OnCommand(TemplateId::kClose);
  QVERIFY(!window->isVisible());
}

void MelodyWindowTest::cancelDuringTheWriteEndsTheSend() {
  Connect();
  MakeWindow();
  PrepareEdit();
  Sim().Exports().SetResponseDelay(150);
  bool encoded = false;
  Send("Stopped");
  // Once the encoding is over the record is written, block by block: the cancel comes while
  // the handset is taking the blocks.
  QVERIFY(QTest::qWaitFor(
      [&] {
        encoded = encoded || window->IsWorking();
        return encoded && !window->IsWorking() && Sim().State().writing == 1;
      },
      kWaitMs));
  QCOMPARE(window->Executing(), CMelodyUtilityDlg::kBusySend);
  Cancel();
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{726, 724}));
  QVERIFY(window->IsContentEnabled());
  QVERIFY(!window->ProgressWindow()->IsOpen());
  QCOMPARE(window->Volume().Db(), 0.0);
  Sim().Exports().SetResponseDelay(0);
  QTest::qWait(300);
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 2);
  answer752 = IDNO;
  window->OnCommand(TemplateId::kClose);
  QCOMPARE(services->Count(728), 0);
  QVERIFY(!window->isVisible());
}

// ---- the handset's melodies -------------------------------------------------------------------

void MelodyWindowTest::handsetMelodyPlaysOnThePcAndLeavesNoFiles() {
  if (!CPulseNullSink::Installed()) {
    QSKIP("PulseAudio is not installed");
  }
  QVERIFY(pulseRunning);
  Connect();
  MakeWindow();
  auto* button = qobject_cast<QPushButton*>(window->Control(TemplateId::kPlayOnDevice));
  QCOMPARE(button->text(), QStringLiteral("Play on PC"));
  QVERIFY(!button->isEnabled());
  window->HandsetList()->setCurrentRow(0);
  QVERIFY(button->isEnabled());
  window->OnCommand(TemplateId::kPlayOnDevice);
  QVERIFY(QTest::qWaitFor([this] { return window->IsPlayingHandsetMelody(); }, kWaitMs));
  QVERIFY(window->ProgressWindow()->IsOpen());
  QVERIFY(fs::exists(window->WorkPath(CMelodyUtilityDlg::kFromDevWaveFile)));
  QVERIFY(QTest::qWaitFor([this] { return !window->IsPlaying(); }, kWaitMs));
  QVERIFY(AwaitIdle());
  QVERIFY(services->shown.empty());
  QVERIFY(!window->ProgressWindow()->IsOpen());
  QVERIFY(window->IsContentEnabled());
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kFromDevWaveFile)));
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kFromDevGcFile)));
  // A cancel while it plays stops the player.
  window->OnCommand(TemplateId::kPlayOnDevice);
  QVERIFY(QTest::qWaitFor([this] { return window->IsPlayingHandsetMelody(); }, kWaitMs));
  Cancel();
  QVERIFY(QTest::qWaitFor([this] { return !window->IsPlaying(); }, 2000));
  QVERIFY(AwaitIdle());
  QVERIFY(!fs::exists(window->WorkPath(CMelodyUtilityDlg::kFromDevWaveFile)));
}

void MelodyWindowTest::eraseAsksAndListsAgain() {
  Connect();
  MakeWindow();
  const QString name = QString::fromStdString(window->HandsetMelodies()[1].name);
  window->HandsetList()->setCurrentRow(1);
  window->OnCommand(TemplateId::kErase);
  QVERIFY(QTest::qWaitFor([this] { return services->Count(721) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(services->shown, (std::vector<std::int32_t>{715, 721}));
  QVERIFY(QString::fromStdString(services->texts[0]).contains(name));
  QCOMPARE(Sim().Count(UDFP_SIM_KIND_MELODY), 1);
  QCOMPARE(window->HandsetList()->count(), 1);
  // Closing while an erase runs is refused.
  Sim().Exports().SetResponseDelay(100);
  window->HandsetList()->setCurrentRow(0);
  services->shown.clear();
  window->OnCommand(TemplateId::kErase);
  window->OnCommand(TemplateId::kClose);
  QCOMPARE(services->Count(772), 1);
  QVERIFY(QTest::qWaitFor([this] { return services->Count(721) == 1; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(window->HandsetList()->count(), 0);
}

void MelodyWindowTest::listFollowsAttachment() {
  MakeWindow();
  QCOMPARE(window->HandsetList()->count(), 0);
  Connect();
  PostMessage(window->Handle(), TemplateMessage::kDeviceChange, 0, 0);
  QVERIFY(QTest::qWaitFor([this] { return window->HandsetList()->count() == 2; }, kWaitMs));
  QVERIFY(AwaitIdle());
  QCOMPARE(window->HandsetMelodies()[0].slot, std::uint8_t{1});
  services->status.SetConnected(0);
  PostMessage(window->Handle(), TemplateMessage::kDeviceChange, 1, 0);
  QVERIFY(QTest::qWaitFor([this] { return window->HandsetList()->count() == 0; }, kWaitMs));
  QVERIFY(!Enabled(TemplateId::kPlayOnDevice));
}

// ---- closing --------------------------------------------------------------------------------

void MelodyWindowTest::closingAsksToSaveAndRemovesTheWorkingFolder() {
  MakeWindow();
  PrepareEdit();
  const fs::path folder = window->WorkFolder().Dir();
  QVERIFY(fs::exists(folder));
  answer752 = IDCANCEL;
  window->OnCommand(TemplateId::kClose);
  QCOMPARE(services->shown, std::vector<std::int32_t>{752});
  QVERIFY(window->isVisible());
  QVERIFY(fs::exists(folder));
  // Yes saves first, then the window goes with its folder.
  answer752 = IDYES;
  services->shown.clear();
  services->dialogs.answers.push_back({true, Path("kept.wav"), {}});
  window->OnCommand(TemplateId::kClose);
  QCOMPARE(services->shown, (std::vector<std::int32_t>{752, 765}));
  QVERIFY(!window->isVisible());
  QVERIFY(!fs::exists(folder));
  QCOMPARE(ReadBytes(Path("kept.wav")).size(), std::size_t{44 + 2 * 2 * kRate});
}

void MelodyWindowTest::closingWhileConvertingCancelsAndJoins() {
  MakeWindow();
  const fs::path folder = window->WorkFolder().Dir();
  QVERIFY(WriteWave(Path("long.wav"), 1, 16, 44100, Bytes16(Tone(300, 5000, 44100, 44100 * 180))));
  QVERIFY(window->OpenFile(Path("long.wav"), 1));
  QVERIFY(window->IsWorking());
  window->OnCommand(TemplateId::kClose);
  QVERIFY(!window->IsWorking());
  QVERIFY(!window->isVisible());
  QVERIFY(!fs::exists(folder));
  QVERIFY(services->shown.empty());
  // The worker's message, still on its way, finds nothing to do.
  QTest::qWait(100);
  QVERIFY(services->shown.empty());
}

// ---- screenshots ----------------------------------------------------------------------------

void MelodyWindowTest::screenshotsInEveryLanguage() {
  Connect();
  for (int language = 0; language < 4; ++language) {
    QVERIFY(services->strings.Load(language));
    services->shown.clear();
    MakeWindow();
    PrepareEdit(12000);
    window->SourceView()->SetMarkers(0.5 * kRate, 2.5 * kRate);
    window->EditView()->SetMarkers(0.25 * kRate, 1.25 * kRate);
    window->HandsetList()->setCurrentRow(0);
    window->OnCommand(MelodyUtilityId::kZoomIn);
    QCOMPARE(services->shown, std::vector<std::int32_t>{});
    const QString name = QStringLiteral("melody-window-") + CLanguageStrings::LanguageName(language);
    QVERIFY(window->grab().save(ScreenshotDir() + QLatin1Char('/') + name + QStringLiteral(".png")));
    answer752 = IDNO;
    window->OnCommand(TemplateId::kClose);
    window.reset();
  }
}

void MelodyWindowTest::languageChangeRelabelsTheWindow() {
  MakeWindow();
  auto* playOnPc = qobject_cast<QPushButton*>(window->Control(TemplateId::kPlayOnDevice));
  auto* send = qobject_cast<QPushButton*>(window->Control(TemplateId::kSend));
  QCOMPARE(playOnPc->text(), QStringLiteral("Play on PC"));
  QCOMPARE(send->text(), QStringLiteral("To Device"));
  QCOMPARE(window->windowTitle(), QStringLiteral("Melody Utility"));
  QVERIFY(services->strings.Load(1));
  PostMessage(window->Handle(), TemplateMessage::kLanguageChange, 0, 0);
  QVERIFY(QTest::qWaitFor([&] { return playOnPc->text() != QStringLiteral("Play on PC"); }, kWaitMs));
  QCOMPARE(playOnPc->text(), Text(49020).remove(QLatin1Char('&')));
  QCOMPARE(send->text(), Text(49022).remove(QLatin1Char('&')));
  QCOMPARE(window->windowTitle(), Text(9000));
  QVERIFY(!playOnPc->text().contains(QLatin1Char('&')));
}

QTEST_MAIN(MelodyWindowTest)
#include "MelodyWindowTest.moc"
