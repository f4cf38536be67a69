// The waveform view: min/max columns, markers and the 30-second rule, zoom and scrolling,
// the playback cursor's repaint, and refusals.
#include "MelodyGuiSupport.h"

#include "melody/MelodyException.h"
#include "melody/WaveView.h"

#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace melodygui;

namespace {

// Records the region of every paint event of a widget.
class PaintRecorder : public QObject {
 public:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      regions.push_back(static_cast<QPaintEvent*>(event)->region());
    }
    return false;
  }
  std::vector<QRegion> regions;
};

}  // namespace

class WaveViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir;
  std::unique_ptr<QWidget> parent;
  CWaveView* view = nullptr;

  std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
  // A 16 kHz 16-bit mono file of silence with the given samples set.
  std::string Silence(const char* name, std::size_t frames,
                      const std::vector<std::pair<std::size_t, std::int16_t>>& set = {}) {
    std::vector<std::int16_t> samples(frames, 0);
    for (const auto& [at, value] : set) {
      samples[at] = value;
    }
    const std::string path = Path(name);
    WriteWave(path, 1, 16, 16000, Bytes16(samples));
    return path;
  }
  void PressAt(int x, Qt::KeyboardModifiers mods = {}) {
    QTest::mousePress(view, Qt::LeftButton, mods, QPoint(x, view->AreaRect().center().y()));
  }
  void MoveTo(int x) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, view->AreaRect().center().y()), view->mapToGlobal(QPointF(x, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
  }
  void ReleaseAt(int x) { QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(x, view->AreaRect().center().y())); }
  // The sample value the picture shows at the top of the area column x is lit.
  bool Lit(int x, int y) const {
    const QImage& picture = view->Picture();
    const qreal r = picture.devicePixelRatio();
    return picture.pixelColor(static_cast<int>(x * r), static_cast<int>(y * r)) == QColor(0, 255, 0);
  }

 private slots:
  void initTestCase() { QVERIFY(dir.isValid()); }

  void init() {
    parent = std::make_unique<QWidget>();
    parent->resize(400, 200);
    view = new CWaveView(parent.get(), 9063);
    // The melody window's client rectangle of a view, with the scroll bar below it.
    view->setGeometry(24, 20, 331, 123 + view->ScrollBar()->sizeHint().height());
    parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(parent.get()));
  }

  void cleanup() { parent.reset(); }

  // A lone full-scale sample that is not the first of its column still shows, in its own
  // column only; the neighbours stay flat.
  void singleSamplePeakShowsInItsColumn() {
    const std::size_t frames = 48000;
    const int columns = view->AreaRect().width();
    QCOMPARE(columns, 320);
    const double perColumn = static_cast<double>(frames) / columns;  // 150 frames
    const std::size_t peakAt = static_cast<std::size_t>(200 * perColumn) + 77;
    view->Open(Silence("peak.wav", frames, {{peakAt, 32767}, {peakAt + 1, -32768}}));
    const int x = view->XOfFrame(static_cast<double>(peakAt));
    QCOMPARE(x, view->AreaRect().left() + 200);
    QCOMPARE(view->ColumnAt(x).high, 32767);
    QCOMPARE(view->ColumnAt(x).low, -32768);
    QCOMPARE(view->ColumnAt(x - 1).high, 0);
    QCOMPARE(view->ColumnAt(x + 1).high, 0);
    const QRect area = view->AreaRect();
    QVERIFY(Lit(x, area.top()));
    QVERIFY(Lit(x, area.top() + area.height() - 1));
    QVERIFY(!Lit(x - 1, area.top()));
    QVERIFY(!Lit(x + 1, area.top()));
    // Zoomed in and scrolled there, the peak is still drawn at full height.
    QVERIFY(view->SetZoom(50.0));
    view->ScrollToFrame(static_cast<double>(peakAt) - 100);
    const int zoomedX = view->XOfFrame(static_cast<double>(peakAt));
    QVERIFY(zoomedX > area.left() && zoomedX < area.left() + area.width());
    QCOMPARE(view->ColumnAt(zoomedX).high, 32767);
    QVERIFY(Lit(zoomedX, area.top()));
  }

  // A file shorter than the view is as wide: each column shows one frame.
  void shortFileShowsOneFramePerColumn() {
    std::vector<std::int16_t> samples(100);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(i * 300 - 15000);
    }
    const std::string path = Path("short.wav");
    WriteWave(path, 1, 16, 16000, Bytes16(samples));
    view->Open(path);
    const QRect area = view->AreaRect();
    for (int c = 0; c < area.width(); ++c) {
      const auto column = view->ColumnAt(area.left() + c);
      QVERIFY(column.present);
      QCOMPARE(column.low, column.high);
      QCOMPARE(column.low, int{samples[static_cast<std::size_t>(c * 100.0 / area.width())]});
    }
  }

  // 8-bit silence (byte 128) lies on the centre line, not at the top of the view.
  void eightBitSilenceIsCentred() {
    const std::string path = Path("eight.wav");
    WriteWave(path, 1, 8, 8000, std::vector<std::uint8_t>(8000, 128));
    view->Open(path);
    const QRect area = view->AreaRect();
    const int x = area.left() + 100;
    const int centre = area.top() + area.height() / 2;
    int lit = 0;
    for (int y = area.top(); y < area.top() + area.height(); ++y) {
      if (Lit(x, y)) {
        ++lit;
        QVERIFY2(std::abs(y - centre) <= 1, qPrintable(QString::number(y)));
      }
    }
    QCOMPARE(lit, 1);
  }

  void gainScalesTheDrawingAndRedrawsOnlyOnChange() {
    view->Open(Silence("gain.wav", 16000, {{8000, 1000}}));
    const int x = view->XOfFrame(8000);
    QCOMPARE(view->ColumnAt(x).high, 1000);
    const int renders = view->RenderCount();
    QVERIFY(view->SetGain(4.0));
    QCOMPARE(view->ColumnAt(x).high, 4000);
    QCOMPARE(view->RenderCount(), renders + 1);
    QVERIFY(!view->SetGain(4.0 + 1e-7));
    QCOMPARE(view->RenderCount(), renders + 1);
    // Gain beyond full scale is drawn clipped, not wrapped.
    QVERIFY(view->SetGain(100.0));
    QCOMPARE(view->ColumnAt(x).high, 32767);
  }

  // Dragging the end marker 40 s past the start stops short of 30 s, stepping back a tenth
  // of a second at a time.
  void dragStopsShortOfThirtySeconds() {
    view->Open(Silence("long.wav", 16000 * 60));
    QSignalSpy markers(view, &CWaveView::markerChanged);
    const int x0 = view->XOfFrame(16000 * 5);
    PressAt(x0);
    double start = 0;
    double end = 0;
    QCOMPARE(view->GetSelection(start, end), CWaveView::kBoth);
    QCOMPARE(start, end);
    QVERIFY(!view->IsSelectionComplete());
    const int x1 = x0 + static_cast<int>(std::ceil(40 * 16000 / view->FramesPerColumn()));
    MoveTo(x1);
    ReleaseAt(x1);
    QCOMPARE(view->GetSelection(start, end), CWaveView::kBoth);
    const double target = view->FrameAtX(x1);
    QVERIFY(target - start >= 40 * 16000);
    QVERIFY(end - start < 30 * 16000);
    QVERIFY(end - start >= 30 * 16000 - 1600);
    const double steps = (target - end) / 1600;
    QCOMPARE(steps, std::round(steps));
    QVERIFY(view->IsSelectionComplete());
    QVERIFY(markers.count() >= 2);
    QCOMPARE(markers.first().at(0).toInt(), 9063);
  }

  // Pressing 3 pixels from the start marker grabs it; dragging it past the end exchanges the
  // markers; pressing 10 pixels from both starts a new selection.
  void grabSwapAndNewSelection() {
    view->Open(Silence("grab.wav", 16000 * 10));
    view->SetMarkers(16000, 48000);
    const int startX = view->XOfFrame(16000);
    const int endX = view->XOfFrame(48000);
    PressAt(startX + 3);
    MoveTo(endX + 20);
    ReleaseAt(endX + 20);
    double start = 0;
    double end = 0;
    view->GetSelection(start, end);
    QCOMPARE(start, 48000.0);
    QCOMPARE(end, view->FrameAtX(endX + 20));
    // The saved copy is the state before the gesture.
    view->RestoreSavedMarkers();
    view->GetSelection(start, end);
    QCOMPARE(start, 16000.0);
    QCOMPARE(end, 48000.0);
    PressAt(endX + 10);
    view->GetSelection(start, end);
    QCOMPARE(start, view->FrameAtX(endX + 10));
    QCOMPARE(end, start);
    ReleaseAt(endX + 10);
  }

  void stepButtonsKeepTheLimits() {
    view->Open(Silence("steps.wav", 16000 * 60));
    view->SetMarkers(16000, CWaveView::kNoMarker);
    QCOMPARE(view->SetMarker(CWaveView::kEndMarker, 1), 3);
    double start = 0;
    double end = 0;
    QCOMPARE(view->GetSelection(start, end), CWaveView::kStartOnly);
    QCOMPARE(start, 16000.0);
    view->SetMarkers(16000, 32000);
    QCOMPARE(view->SetMarker(CWaveView::kEndMarker, 1), 0);
    view->GetSelection(start, end);
    QCOMPARE(end, 32000 + view->FramesPerColumn());
    // The end cannot step 30 s away from the start.
    view->SetMarkers(16000, 16000 + 30 * 16000 - 1000);
    QCOMPARE(view->SetMarker(CWaveView::kEndMarker, 1), 0);
    view->GetSelection(start, end);
    QVERIFY(end - start < 30 * 16000);
    QCOMPARE(view->SetMarker(CWaveView::kEndMarker, 1), 1);
    // The start never passes frame 0 nor the end.
    view->SetMarkers(100, 50000);
    QCOMPARE(view->SetMarker(CWaveView::kStartMarker, -1), 0);
    view->GetSelection(start, end);
    QCOMPARE(start, 0.0);
    QCOMPARE(view->SetMarker(CWaveView::kStartMarker, -1), 1);
    view->SetMarkers(49990, 50000);
    QCOMPARE(view->SetMarker(CWaveView::kStartMarker, 1), 0);
    view->GetSelection(start, end);
    QCOMPARE(start, 50000.0);
  }

  void zoomSeriesAndLimits() {
    QCOMPARE(CWaveView::ZoomInStep(1, 50), 2.0);
    QCOMPARE(CWaveView::ZoomInStep(2, 50), 5.0);
    QCOMPARE(CWaveView::ZoomInStep(5, 50), 10.0);
    QCOMPARE(CWaveView::ZoomInStep(20, 50), 50.0);
    QCOMPARE(CWaveView::ZoomInStep(50, 50), 50.0);
    QCOMPARE(CWaveView::ZoomInStep(5, 7), 7.0);
    QCOMPARE(CWaveView::ZoomInStep(1, 0), 1.0);
    QCOMPARE(CWaveView::ZoomOutStep(50), 20.0);
    QCOMPARE(CWaveView::ZoomOutStep(20), 10.0);
    QCOMPARE(CWaveView::ZoomOutStep(2), 1.0);
    QCOMPARE(CWaveView::ZoomOutStep(1), 1.0);
    QCOMPARE(CWaveView::ZoomOutStep(7), 3.5);
    QCOMPARE(CWaveView::ZoomOutStep(0), 1.0);
    view->Open(Silence("zoom.wav", 16000 * 3));
    // A largest zoom of 0 is taken as 1: zooming stays at 1 and nothing divides by zero.
    view->SetMaxZoom(0);
    QCOMPARE(view->MaxZoom(), 1.0);
    QVERIFY(view->SetZoom(5));
    QCOMPARE(view->Zoom(), 1.0);
    QCOMPARE(view->ScrollBar()->maximum(), 0);
    view->SetMaxZoom(50);
    QVERIFY(view->SetZoom(10));
    QCOMPARE(view->ScrollBar()->maximum(), 320 * 10 - 320);
    // Zooming keeps the centre of the view.
    QVERIFY(std::abs(view->FirstFrame() + 160 * view->FramesPerColumn() - 24000) < 2 * view->FramesPerColumn());
    view->ScrollBar()->setValue(view->ScrollBar()->maximum());
    QCOMPARE(view->FrameAtX(view->AreaRect().left() + view->AreaRect().width()), 48000.0);
    QVERIFY(view->SetZoom(0.1));
    QCOMPARE(view->Zoom(), 1.0);
    QCOMPARE(view->FirstFrame(), 0.0);
  }

  // Moving the cursor repaints exactly the column it leaves and the column it enters, from
  // the cached picture, without rendering the waveform again.
  void cursorRepaintsOnlyTwoColumns() {
    view->Open(Silence("cursor.wav", 16000 * 3, {{100, 20000}}));
    view->ShowPlayCursor(true);
    view->SetPlayCursor(16000);
    PaintRecorder recorder;
    view->installEventFilter(&recorder);
    QTRY_VERIFY(!recorder.regions.empty() || view->PlayCursorX() >= 0);
    QCoreApplication::processEvents();
    recorder.regions.clear();
    const int renders = view->RenderCount();
    const int oldX = view->PlayCursorX();
    view->SetPlayCursor(32000);
    const int newX = view->PlayCursorX();
    QVERIFY(newX > oldX + 1);
    QTRY_VERIFY(!recorder.regions.empty());
    const int height = view->ClientRect().height() - 2 * CWaveView::kAreaTop;
    const QRegion expected =
        QRegion(oldX, CWaveView::kAreaTop, 1, height) + QRegion(newX, CWaveView::kAreaTop, 1, height);
    QCOMPARE(recorder.regions.front(), expected);
    QCOMPARE(view->RenderCount(), renders);
    const QImage shown = view->grab().toImage();
    QCOMPARE(shown.pixelColor(newX, 20), QColor(Qt::white));
    QVERIFY(shown.pixelColor(oldX, 20) != QColor(Qt::white));
    // A move within the same column repaints nothing.
    recorder.regions.clear();
    view->SetPlayCursor(32000 + view->FramesPerColumn() / 4);
    QTest::qWait(50);
    QVERIFY(recorder.regions.empty());
    view->removeEventFilter(&recorder);
  }

  // While the cursor is shown, a click inside the selection moves it there; one outside only
  // reports the frame.
  void clickWhilePlayingSeeksInsideTheRange() {
    view->Open(Silence("seek.wav", 16000 * 3));
    view->SetMarkers(8000, 24000);
    view->ShowPlayCursor(true);
    view->SetPlayCursor(8000);
    view->EnableMouse(false);
    QSignalSpy clicks(view, &CWaveView::clicked);
    const int inside = view->XOfFrame(16000);
    PressAt(inside);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(view->PlayCursor(), view->FrameAtX(inside));
    const int outside = view->XOfFrame(40000);
    PressAt(outside);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(clicks.at(1).at(1).toInt(), static_cast<int>(view->FrameAtX(outside)));
    QCOMPARE(view->PlayCursor(), view->FrameAtX(inside));
    double start = 0;
    double end = 0;
    view->GetSelection(start, end);
    QCOMPARE(start, 8000.0);
    QCOMPARE(end, 24000.0);
  }

  void mouseDisabledLeavesMarkers() {
    view->Open(Silence("off.wav", 16000));
    view->EnableMouse(false);
    PressAt(100);
    double start = 0;
    double end = 0;
    QCOMPARE(view->GetSelection(start, end), CWaveView::kNotSet);
  }

  void refusedFilesAndEmptyData() {
    const std::string stereo = Path("stereo.wav");
    WriteWave(stereo, 2, 16, 16000, std::vector<std::uint8_t>(4000));
    const std::string wide = Path("wide.wav");
    WriteWave(wide, 1, 24, 16000, std::vector<std::uint8_t>(3000));
    const std::string alaw = Path("alaw.wav");
    WriteWave(alaw, 1, 8, 8000, std::vector<std::uint8_t>(3000), 6);
    for (const std::string& path : {stereo, wide, alaw}) {
      try {
        view->Open(path);
        QFAIL("opened");
      } catch (const CMelodyException& e) {
        QCOMPARE(e.Code(), CMelodyException::kGeneral);
      }
      QVERIFY(!view->IsOpen());
      double start = 0;
      double end = 0;
      QCOMPARE(view->GetSelection(start, end), CWaveView::kNoFile);
    }
    // A cut of everything leaves a file without frames: nothing to draw or select.
    view->Open(Silence("empty.wav", 0));
    QVERIFY(view->IsOpen());
    QCOMPARE(view->FramesPerColumn(), 0.0);
    QCOMPARE(view->FrameAtX(100), 0.0);
    QVERIFY(view->SetZoom(10));
    PressAt(100);
    double start = 0;
    double end = 0;
    QCOMPARE(view->GetSelection(start, end), CWaveView::kNotSet);
    view->grab();
  }

  void screenshots() {
    std::vector<std::int16_t> samples = Tone(3.0, 9000, 16000, 16000 * 12);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(samples[i] * (0.3 + 0.7 * std::abs(std::sin(i / 40000.0))) +
                                             ((i * 7919) % 4001) - 2000);
    }
    samples[16000 * 7 + 33] = 32000;
    const std::string path = Path("shot.wav");
    WriteWave(path, 1, 16, 16000, Bytes16(samples));
    view->Open(path);
    view->SetMarkers(16000 * 2.5, 16000 * 8.25);
    view->SetHighlighted(true);
    view->ShowPlayCursor(true);
    view->SetPlayCursor(16000 * 5);
    QVERIFY(view->grab().save(ScreenshotDir() + QStringLiteral("/wave-view.png")));
    QVERIFY(view->SetZoom(5));
    view->ScrollToFrame(16000 * 6.5);
    view->SetHighlighted(false);
    QVERIFY(view->grab().save(ScreenshotDir() + QStringLiteral("/wave-view-zoom5.png")));
  }
};

QTEST_MAIN(WaveViewTest)
#include "WaveViewTest.moc"
