#pragma once

#include "melody/WaveFile.h"
#include "melody/WaveSummary.h"

#include <QImage>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class QScrollBar;

// Draws a mono 8- or 16-bit WAVE file as a waveform with a time ruler, with a start and an
// end marker placed by mouse or by steps, a playback cursor, zoom and horizontal scrolling.
//
// Each pixel column shows the smallest and the largest sample of its frame range, so a
// single-sample peak is never lost between columns. The waveform, markers and ruler are
// rendered into a cached image whenever they change; a paint copies the damaged part of it
// and adds the playback cursor, so moving the cursor repaints only the column it leaves and
// the column it enters.
//
// Markers are frame positions held as doubles (kNoMarker: not placed). A selection made with
// the mouse, and a marker moved by a step, stays shorter than 30 seconds.
class CWaveView : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kNoMarker = std::numeric_limits<double>::max();
  static constexpr int kMaxSelectionSeconds = 30;
  // Selection states of GetSelection.
  static constexpr int kNoFile = 3;
  static constexpr int kNotSet = 0;
  static constexpr int kStartOnly = 1;
  static constexpr int kBoth = 2;
  // Which marker SetMarker moves.
  static constexpr int kStartMarker = 1;
  static constexpr int kEndMarker = 2;
  // Margins of the waveform area inside the view's client rectangle.
  static constexpr int kAreaLeft = 3;
  static constexpr int kAreaRightMargin = 8;
  static constexpr int kAreaTop = 3;
  static constexpr int kRulerHeight = 28;
  static constexpr int kGrabDistance = 5;

  CWaveView(QWidget* parent, int id);
  ~CWaveView() override;

  int Id() const { return m_id; }

  // Opens a mono 8- or 16-bit PCM file; anything else throws CMelodyException code 1.
  // Zoom 1, first frame 0, markers cleared.
  void Open(const std::string& file, double gain = 1.0);
  void Close();
  bool IsOpen() const { return m_file.IsOpen(); }
  const std::string& FileName() const { return m_file.FileName(); }
  std::uint32_t Frames() const { return m_frames; }
  std::uint16_t BlockAlign() const { return m_blockAlign; }
  std::uint32_t SampleRate() const { return m_rate; }

  // ---- zoom and scrolling --------------------------------------------------------------
  double Zoom() const { return m_zoom; }
  // The largest zoom factor, at least 1.
  void SetMaxZoom(double maxZoom);
  double MaxZoom() const { return m_maxZoom; }
  // Sets the zoom (limited to 1 .. MaxZoom), keeping the centre of the view in place.
  // False when the view could not be rebuilt.
  bool SetZoom(double zoom);
  // The factors of the series 1, 2, 5, 10, 20, 50 ...: the next larger one (at most
  // maxZoom) and the next smaller one (at least 1).
  static double ZoomInStep(double zoom, double maxZoom);
  static double ZoomOutStep(double zoom);
  double FirstFrame() const { return m_firstFrame; }
  // Scrolls so that the given frame is the first shown (as far as the zoomed width allows).
  void ScrollToFrame(double frame);
  QScrollBar* ScrollBar() const { return m_scroll; }

  // ---- geometry ------------------------------------------------------------------------
  QRect ClientRect() const;
  QRect AreaRect() const;
  // Frames one pixel column shows.
  double FramesPerColumn() const;
  // The frame under a view x (clamped to the waveform area); 0 for an empty view.
  double FrameAtX(int x) const;
  // The column x of a frame (may lie outside the area when scrolled away).
  int XOfFrame(double frame) const;
  // Extent of the samples of the area column at view x, as drawn (display gain applied).
  struct ColumnExtent {
    int low = 0;
    int high = 0;
    bool present = false;
  };
  ColumnExtent ColumnAt(int x) const;

  // ---- markers -------------------------------------------------------------------------
  // kNoFile, kNotSet, kStartOnly or kBoth; start and end receive the positions.
  int GetSelection(double& start, double& end) const;
  // Both placed and at least 0.1 frame apart.
  bool IsSelectionComplete() const;
  void SetMarkers(double start, double end);
  void ClearMarkers();
  // Moves a marker one column left (-1) or right (+1), never past the other marker, the
  // data or the 30-second limit. 0 when moved, 1 when it could not move, 3 when a marker
  // is not placed.
  int SetMarker(int which, int direction);
  // The marker state before the last mouse change, for the parent's undo.
  void RestoreSavedMarkers();

  // ---- display -------------------------------------------------------------------------
  double Gain() const { return m_gain; }
  // Redraws only when the gain changes by more than 1e-6; true when it redrew.
  bool SetGain(double gain);
  void EnableMouse(bool enable) { m_mouseEnabled = enable; }
  bool IsMouseEnabled() const { return m_mouseEnabled; }
  void SetHighlighted(bool highlighted);
  bool IsHighlighted() const { return m_highlighted; }
  void ShowPlayCursor(bool show);
  bool IsPlayCursorShown() const { return m_cursorShown; }
  void SetPlayCursor(double frame);
  double PlayCursor() const { return m_cursorFrame; }
  // The x of the cursor's column, or -1 when it is hidden or scrolled away.
  int PlayCursorX() const;
  // The cached image (waveform, markers, ruler) without the cursor; for tests and benches.
  const QImage& Picture() const { return m_image; }
  // Number of times the cached image was rendered.
  int RenderCount() const { return m_renderCount; }
  // Rebuilds the column table and renders the image now (normally done on change).
  void Render();

 signals:
  // A marker was placed or moved with the mouse; position is the grabbed marker's frame.
  void markerChanged(int id, double position);
  // A click while the playback cursor is shown, at that frame.
  void clicked(int id, int frame);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  enum class Grab { None, Start, End };

  void RebuildColumns();
  void RenderImage();
  void Refresh();
  void UpdateScrollRange();
  void OnScroll(int value);
  void DrawSelection(QPainter& painter, const QRect& area) const;
  void DrawColumns(QPainter& painter, const QRect& area) const;
  void DrawScale(QPainter& painter, const QRect& area) const;
  void DrawMarkers(QPainter& painter, const QRect& area) const;
  void DrawRuler(QPainter& painter, const QRect& client) const;
  int SampleY(double value, const QRect& area) const;
  double DrawnValue(int sample) const;
  double MaxSelectionFrames() const;
  double LimitToSelectionSpan(double position, double other) const;
  void DragTo(int x);
  Grab MarkerNear(int x) const;
  void CursorColumnChanged(int oldX, int newX);
  static bool Same(double a, double b) { return std::abs(a - b) < 0.1; }

  int m_id;
  QScrollBar* m_scroll;
  CWaveFile m_file;
  CWaveSummary m_summary;
  std::uint32_t m_frames = 0;
  std::uint16_t m_blockAlign = 0;
  std::uint32_t m_rate = 0;
  std::uint32_t m_avgBytesPerSec = 0;
  double m_zoom = 1.0;
  double m_maxZoom = 50.0;
  double m_firstFrame = 0.0;
  int m_scrollColumn = 0;
  std::vector<CWaveSummary::Extent> m_columns;
  std::vector<bool> m_columnPresent;
  double m_gain = 1.0;
  double m_start = kNoMarker;
  double m_end = kNoMarker;
  double m_savedStart = kNoMarker;
  double m_savedEnd = kNoMarker;
  Grab m_hover = Grab::None;
  Grab m_grab = Grab::None;
  bool m_mouseEnabled = true;
  bool m_highlighted = false;
  bool m_cursorShown = false;
  double m_cursorFrame = 0.0;
  QImage m_image;
  int m_renderCount = 0;
};
