#include "melody/WaveView.h"

#include "melody/MelodyException.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <cstdio>

namespace {

const QColor kBackground(0, 0, 0);
const QColor kWave(0, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kSelection(32, 48, 96);
const QColor kMarker(255, 224, 64);
const QColor kRulerText(200, 200, 200);
const QColor kHighlight(255, 200, 0);
const QColor kFrame(64, 64, 64);

// Seconds between labelled ruler ticks, smallest first.
constexpr std::array<int, 13> kTickSeconds = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
constexpr int kLabelSpacing = 64;

// The leading decimal digit of a positive factor.
int LeadingDigit(double value) {
  const double scale = std::pow(10.0, std::floor(std::log10(value) + 1e-9));
  return static_cast<int>(std::lround(value / scale));
}

}  // namespace

CWaveView::CWaveView(QWidget* parent, int id)
    : QWidget(parent), m_id(id), m_scroll(new QScrollBar(Qt::Horizontal, this)) {
  setWindowTitle(QStringLiteral("WAV(PCM) VIEW)"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_scroll->setRange(0, 0);
  connect(m_scroll, &QScrollBar::valueChanged, this, &CWaveView::OnScroll);
}

CWaveView::~CWaveView() = default;

// ---- file ----------------------------------------------------------------------------------

void CWaveView::Open(const std::string& file, double gain) {
  Close();
  try {
    m_file.OpenR(file);
    m_file.ReadHeader();
    const std::uint16_t align = m_file.m_wBlockAlign;
    const bool mono8or16 = m_file.SampleFormat() == CWaveFile::kTagPcm && m_file.m_wChannels == 1 &&
                           (align == 1 || align == 2) && m_file.m_wBitsPerSample == align * 8;
    if (!mono8or16) {
      throw CMelodyException(CMelodyException::kGeneral, "CWaveView::Open BlockAlign");
    }
    std::uint32_t size = 0;
    m_file.SeekData(&size);
    m_summary.Build(m_file, size / align);
  } catch (const CMelodyException&) {
    m_file.Close();
    m_summary.Clear();
    throw;
  }
  m_blockAlign = m_file.m_wBlockAlign;
  m_frames = m_summary.Frames();
  m_rate = m_file.m_dwSamplesPerSec;
  m_avgBytesPerSec = m_file.m_dwAvgBytesPerSec != 0 ? m_file.m_dwAvgBytesPerSec : m_rate * m_blockAlign;
  m_gain = gain;
  m_zoom = 1.0;
  m_scrollColumn = 0;
  m_firstFrame = 0.0;
  UpdateScrollRange();
  Render();
  update();
}

void CWaveView::Close() {
  m_file.Close();
  m_summary.Clear();
  m_frames = 0;
  m_blockAlign = 0;
  m_rate = 0;
  m_avgBytesPerSec = 0;
  m_zoom = 1.0;
  m_scrollColumn = 0;
  m_firstFrame = 0.0;
  m_start = m_end = m_savedStart = m_savedEnd = kNoMarker;
  m_grab = m_hover = Grab::None;
  m_cursorShown = false;
  m_cursorFrame = 0.0;
  UpdateScrollRange();
  Refresh();
}

// ---- geometry ------------------------------------------------------------------------------

QRect CWaveView::ClientRect() const {
  return {0, 0, width(), std::max(0, height() - m_scroll->sizeHint().height())};
}

QRect CWaveView::AreaRect() const {
  const QRect client = ClientRect();
  return {kAreaLeft, kAreaTop, std::max(0, client.width() - kAreaLeft - kAreaRightMargin),
          std::max(0, client.height() - kAreaTop - kRulerHeight)};
}

double CWaveView::FramesPerColumn() const {
  const int columns = AreaRect().width();
  if (m_frames == 0 || columns <= 0) {
    return 0.0;
  }
  return static_cast<double>(m_frames) / (columns * m_zoom);
}

double CWaveView::FrameAtX(int x) const {
  const double perColumn = FramesPerColumn();
  if (perColumn <= 0.0) {
    return 0.0;
  }
  const QRect area = AreaRect();
  x = std::clamp(x, area.left(), area.left() + area.width());
  return std::min(m_firstFrame + (x - area.left()) * perColumn, static_cast<double>(m_frames));
}

int CWaveView::XOfFrame(double frame) const {
  const double perColumn = FramesPerColumn();
  if (perColumn <= 0.0) {
    return AreaRect().left();
  }
  return AreaRect().left() + static_cast<int>(std::floor((frame - m_firstFrame) / perColumn + 1e-9));
}

CWaveView::ColumnExtent CWaveView::ColumnAt(int x) const {
  const int column = x - AreaRect().left();
  if (column < 0 || column >= static_cast<int>(m_columns.size()) || !m_columnPresent[column]) {
    return {};
  }
  return {static_cast<int>(DrawnValue(m_columns[column].low)), static_cast<int>(DrawnValue(m_columns[column].high)),
          true};
}

// ---- zoom and scrolling --------------------------------------------------------------------

void CWaveView::SetMaxZoom(double maxZoom) {
  m_maxZoom = std::isfinite(maxZoom) ? std::clamp(maxZoom, 1.0, 10000.0) : 1.0;
  if (m_zoom > m_maxZoom) {
    SetZoom(m_maxZoom);
  }
}

double CWaveView::ZoomInStep(double zoom, double maxZoom) {
  maxZoom = std::max(1.0, maxZoom);
  zoom = std::max(1.0, zoom);
  const double next = zoom * (LeadingDigit(zoom) == 2 ? 2.5 : 2.0);
  return std::min(next, maxZoom);
}

double CWaveView::ZoomOutStep(double zoom) {
  zoom = std::max(1.0, zoom);
  const double next = zoom * (LeadingDigit(zoom) == 5 ? 0.4 : 0.5);
  return std::max(1.0, next);
}

bool CWaveView::SetZoom(double zoom) {
  if (!std::isfinite(zoom)) {
    return false;
  }
  const int columns = AreaRect().width();
  const double centre = m_firstFrame + columns * FramesPerColumn() / 2.0;
  m_zoom = std::clamp(zoom, 1.0, m_maxZoom);
  UpdateScrollRange();
  const double perColumn = FramesPerColumn();
  const int column = perColumn > 0.0 ? static_cast<int>(std::lround(centre / perColumn - columns / 2.0)) : 0;
  const QSignalBlocker block(m_scroll);
  m_scroll->setValue(column);
  m_scrollColumn = m_scroll->value();
  try {
    Render();
  } catch (const CMelodyException&) {
    m_columns.clear();
    m_columnPresent.clear();
    update();
    return false;
  }
  update();
  return true;
}

void CWaveView::ScrollToFrame(double frame) {
  const double perColumn = FramesPerColumn();
  if (perColumn > 0.0) {
    m_scroll->setValue(static_cast<int>(frame / perColumn));
  }
}

void CWaveView::UpdateScrollRange() {
  const int columns = AreaRect().width();
  const int total = static_cast<int>(std::ceil(columns * m_zoom - 1e-9));
  const QSignalBlocker block(m_scroll);
  m_scroll->setRange(0, m_frames == 0 ? 0 : std::max(0, total - columns));
  m_scroll->setPageStep(std::max(1, columns));
  m_scroll->setSingleStep(std::max(1, columns / 20));
  m_scrollColumn = m_scroll->value();
  m_firstFrame = m_scrollColumn * FramesPerColumn();
}

void CWaveView::OnScroll(int value) {
  m_scrollColumn = value;
  Refresh();
}

// ---- drawing -------------------------------------------------------------------------------

void CWaveView::Render() {
  RebuildColumns();
  RenderImage();
}

void CWaveView::Refresh() {
  try {
    Render();
  } catch (const CMelodyException&) {
    // The file became unreadable: show the view without a waveform.
    m_columns.clear();
    m_columnPresent.clear();
    RenderImage();
  }
  update();
}

void CWaveView::RebuildColumns() {
  const int columns = AreaRect().width();
  const double perColumn = FramesPerColumn();
  m_firstFrame = m_scrollColumn * perColumn;
  m_columns.assign(static_cast<std::size_t>(std::max(0, columns)), {});
  m_columnPresent.assign(m_columns.size(), false);
  if (perColumn <= 0.0 || !m_file.IsOpen()) {
    return;
  }
  for (int c = 0; c < columns; ++c) {
    const double absolute = static_cast<double>(m_scrollColumn) + c;
    const auto first = static_cast<std::uint32_t>(std::floor(absolute * perColumn + 1e-9));
    if (first >= m_frames) {
      break;
    }
    auto end = static_cast<std::uint32_t>(std::min<double>(std::floor((absolute + 1) * perColumn + 1e-9), m_frames));
    end = std::max(end, first + 1);
    m_columns[c] = m_summary.MinMax(m_file, first, end);
    m_columnPresent[c] = true;
  }
}

double CWaveView::DrawnValue(int sample) const {
  if (m_blockAlign == 1) {
    return std::clamp(128.0 + (sample - 128) * m_gain, 0.0, 255.0);
  }
  return std::clamp(sample * m_gain, -32768.0, 32767.0);
}

int CWaveView::SampleY(double value, const QRect& area) const {
  const double low = m_blockAlign == 1 ? 0.0 : -32768.0;
  const double high = m_blockAlign == 1 ? 255.0 : 32767.0;
  const int y = static_cast<int>((high - std::trunc(value)) * area.height() / (high - low)) + area.top();
  return std::clamp(y, area.top(), area.top() + std::max(0, area.height() - 1));
}

void CWaveView::RenderImage() {
  const QRect client = ClientRect();
  const qreal ratio = devicePixelRatioF();
  const QSize size(std::max(1, static_cast<int>(client.width() * ratio)),
                   std::max(1, static_cast<int>(client.height() * ratio)));
  if (m_image.size() != size) {
    m_image = QImage(size, QImage::Format_RGB32);
  }
  m_image.setDevicePixelRatio(ratio);
  m_image.fill(kBackground);
  QPainter painter(&m_image);
  const QRect area = AreaRect();
  DrawSelection(painter, area);
  DrawColumns(painter, area);
  const int centre = area.height() / 2 + kAreaTop;
  painter.fillRect(QRect(0, centre, std::max(0, client.width() - 3), 1), kWhite);
  DrawScale(painter, area);
  DrawMarkers(painter, area);
  DrawRuler(painter, client);
  painter.setPen(m_highlighted ? kHighlight : kFrame);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(client.adjusted(0, 0, -1, -1));
  ++m_renderCount;
}

void CWaveView::DrawSelection(QPainter& painter, const QRect& area) const {
  if (m_start == kNoMarker || m_end == kNoMarker || m_frames == 0) {
    return;
  }
  const int left = std::max(area.left(), XOfFrame(std::min(m_start, m_end)));
  const int right = std::min(area.left() + area.width(), XOfFrame(std::max(m_start, m_end)));
  if (right > left) {
    painter.fillRect(QRect(left, area.top(), right - left, area.height()), kSelection);
  }
}

void CWaveView::DrawColumns(QPainter& painter, const QRect& area) const {
  for (std::size_t c = 0; c < m_columns.size(); ++c) {
    if (!m_columnPresent[c]) {
      continue;
    }
    const int top = SampleY(DrawnValue(m_columns[c].high), area);
    const int bottom = SampleY(DrawnValue(m_columns[c].low), area);
    painter.fillRect(QRect(area.left() + static_cast<int>(c), top, 1, bottom - top + 1), kWave);
  }
}

void CWaveView::DrawScale(QPainter& painter, const QRect& area) const {
  const int x = ClientRect().width() - 6;
  const int centre = area.height() / 2 + kAreaTop;
  const int tick = area.height() / 7;
  painter.fillRect(QRect(x, area.top(), 1, area.height()), kWhite);
  for (int k = -3; k <= 3; ++k) {
    if (k != 0) {
      painter.fillRect(QRect(x, centre + k * tick, 3, 1), kWhite);
    }
  }
}

void CWaveView::DrawMarkers(QPainter& painter, const QRect& area) const {
  painter.setPen(Qt::NoPen);
  painter.setBrush(kMarker);
  for (const double marker : {m_start, m_end}) {
    if (marker == kNoMarker || m_frames == 0) {
      continue;
    }
    const int x = XOfFrame(marker);
    if (x < area.left() || x > area.left() + area.width()) {
      continue;
    }
    painter.fillRect(QRect(x, area.top(), 1, area.height()), kMarker);
    // A flag at the top pointing into the selection, and a foot at the bottom.
    const int inward = marker == std::min(m_start, m_end) ? 1 : -1;
    const QPoint flag[3] = {{x, area.top()}, {x + inward * 6, area.top()}, {x, area.top() + 6}};
    painter.drawPolygon(flag, 3);
    const int bottom = area.top() + area.height();
    const QPoint foot[3] = {{x, bottom}, {x + inward * 6, bottom}, {x, bottom - 6}};
    painter.drawPolygon(foot, 3);
  }
}

void CWaveView::DrawRuler(QPainter& painter, const QRect& client) const {
  const QRect area = AreaRect();
  const int base = client.height() - kRulerHeight + 2;
  painter.fillRect(QRect(area.left(), base, area.width(), 1), kRulerText);
  const double perColumn = FramesPerColumn();
  if (perColumn <= 0.0 || m_rate == 0) {
    return;
  }
  const double columnsPerSecond = m_rate / perColumn;
  int step = kTickSeconds.back();
  for (const int seconds : kTickSeconds) {
    if (seconds * columnsPerSecond >= kLabelSpacing) {
      step = seconds;
      break;
    }
  }
  QFont small = font();
  small.setPixelSize(10);
  painter.setFont(small);
  painter.setPen(kRulerText);
  const double firstSecond = m_firstFrame / m_rate;
  const double lastSecond = (m_firstFrame + area.width() * perColumn) / m_rate;
  const double minor = step / 5.0;
  const bool drawMinor = minor * columnsPerSecond >= 6.0;
  const auto firstTick = static_cast<long long>(std::ceil(firstSecond / minor - 1e-9));
  for (long long k = firstTick; k * minor <= lastSecond + 1e-9; ++k) {
    const double second = k * minor;
    const int x = area.left() + static_cast<int>(std::lround((second - firstSecond) * columnsPerSecond));
    const bool major = k % 5 == 0;
    if (!major && !drawMinor) {
      continue;
    }
    painter.fillRect(QRect(x, base, 1, major ? 6 : 3), kRulerText);
    if (major) {
      const auto whole = static_cast<int>(std::lround(second));
      char label[16];
      std::snprintf(label, sizeof label, "%02d:%02d:%02d", whole / 3600, whole / 60 % 60, whole % 60);
      painter.drawText(QPoint(x + 2, base + 18), QString::fromLatin1(label));
    }
  }
}

void CWaveView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const qreal ratio = m_image.devicePixelRatio();
  for (const QRect& rect : event->region()) {
    const QRectF source(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio);
    painter.drawImage(QRectF(rect), m_image, source);
  }
  const int x = PlayCursorX();
  if (x >= 0) {
    painter.fillRect(QRect(x, kAreaTop, 1, std::max(0, ClientRect().height() - 2 * kAreaTop)), kWhite);
  }
}

void CWaveView::resizeEvent(QResizeEvent* /*event*/) {
  const int scrollHeight = m_scroll->sizeHint().height();
  m_scroll->setGeometry(0, height() - scrollHeight, width(), scrollHeight);
  UpdateScrollRange();
  Refresh();
}

// ---- markers -------------------------------------------------------------------------------

int CWaveView::GetSelection(double& start, double& end) const {
  start = m_start;
  end = m_end;
  if (!m_file.IsOpen()) {
    return kNoFile;
  }
  if (m_start == kNoMarker) {
    return kNotSet;
  }
  return m_end == kNoMarker ? kStartOnly : kBoth;
}

bool CWaveView::IsSelectionComplete() const {
  return m_start != kNoMarker && m_end != kNoMarker && !Same(m_start, m_end);
}

void CWaveView::SetMarkers(double start, double end) {
  m_start = start;
  m_end = end;
  RenderImage();
  update();
}

void CWaveView::ClearMarkers() {
  SetMarkers(kNoMarker, kNoMarker);
}

void CWaveView::RestoreSavedMarkers() {
  SetMarkers(m_savedStart, m_savedEnd);
}

double CWaveView::MaxSelectionFrames() const {
  if (m_avgBytesPerSec == 0 || m_blockAlign == 0) {
    return static_cast<double>(m_frames) + 1.0;
  }
  return static_cast<double>(kMaxSelectionSeconds) * m_avgBytesPerSec / m_blockAlign;
}

// Moves position toward the other marker a tenth of a second at a time until fewer than
// 30 whole seconds separate them.
double CWaveView::LimitToSelectionSpan(double position, double other) const {
  if (m_avgBytesPerSec == 0 || m_blockAlign == 0 || other == kNoMarker) {
    return position;
  }
  const double step = std::max<std::uint32_t>(1, m_avgBytesPerSec / (m_blockAlign * 10u));
  auto seconds = [&](double p) {
    return static_cast<std::uint64_t>(m_blockAlign * std::abs(p - other)) / m_avgBytesPerSec;
  };
  while (seconds(position) >= kMaxSelectionSeconds) {
    const double next = position > other ? position - step : position + step;
    if ((position > other) != (next > other)) {
      return other;
    }
    position = next;
  }
  return position;
}

int CWaveView::SetMarker(int which, int direction) {
  if (m_start == kNoMarker || m_end == kNoMarker) {
    return 3;
  }
  const double step = FramesPerColumn() * (direction < 0 ? -1.0 : 1.0);
  double& marker = which == kStartMarker ? m_start : m_end;
  const double other = which == kStartMarker ? m_end : m_start;
  double moved = marker + step;
  if (which == kStartMarker) {
    moved = std::clamp(moved, 0.0, std::max(0.0, other));
  } else {
    moved = std::clamp(moved, std::min(other, static_cast<double>(m_frames)), static_cast<double>(m_frames));
  }
  // Keep the selection under 30 seconds: stop one frame short of the limit.
  const double span = MaxSelectionFrames() - 1.0;
  if (std::abs(moved - other) > span) {
    moved = other + (moved > other ? span : -span);
  }
  if (Same(moved, marker)) {
    return 1;
  }
  marker = moved;
  RenderImage();
  update();
  return 0;
}

// ---- display -------------------------------------------------------------------------------

bool CWaveView::SetGain(double gain) {
  if (std::abs(gain - m_gain) <= 1e-6) {
    return false;
  }
  m_gain = gain;
  RenderImage();
  update();
  return true;
}

void CWaveView::SetHighlighted(bool highlighted) {
  if (highlighted != m_highlighted) {
    m_highlighted = highlighted;
    RenderImage();
    update();
  }
}

int CWaveView::PlayCursorX() const {
  if (!m_cursorShown || m_frames == 0) {
    return -1;
  }
  const QRect area = AreaRect();
  const int x = XOfFrame(m_cursorFrame);
  return x < area.left() || x > area.left() + area.width() ? -1 : x;
}

void CWaveView::CursorColumnChanged(int oldX, int newX) {
  const int height = std::max(0, ClientRect().height() - 2 * kAreaTop);
  if (oldX >= 0) {
    update(QRect(oldX, kAreaTop, 1, height));
  }
  if (newX >= 0) {
    update(QRect(newX, kAreaTop, 1, height));
  }
}

void CWaveView::ShowPlayCursor(bool show) {
  if (show == m_cursorShown) {
    return;
  }
  const int oldX = PlayCursorX();
  m_cursorShown = show;
  CursorColumnChanged(oldX, PlayCursorX());
}

void CWaveView::SetPlayCursor(double frame) {
  const int oldX = PlayCursorX();
  m_cursorFrame = frame;
  const int newX = PlayCursorX();
  if (newX != oldX) {
    CursorColumnChanged(oldX, newX);
  }
}

// ---- mouse ---------------------------------------------------------------------------------

CWaveView::Grab CWaveView::MarkerNear(int x) const {
  if (!IsSelectionComplete()) {
    return Grab::None;
  }
  if (std::abs(x - XOfFrame(m_start)) <= kGrabDistance) {
    return Grab::Start;
  }
  if (std::abs(x - XOfFrame(m_end)) <= kGrabDistance) {
    return Grab::End;
  }
  return Grab::None;
}

void CWaveView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_file.IsOpen() || m_frames == 0) {
    return;
  }
  const int x = static_cast<int>(event->position().x());
  const double frame = FrameAtX(x);
  if (m_cursorShown) {
    const bool inside = IsSelectionComplete() && frame >= std::min(m_start, m_end) && frame <= std::max(m_start, m_end);
    if (inside || (m_start != kNoMarker && Same(m_start, m_end))) {
      SetPlayCursor(frame);
    }
    emit clicked(m_id, static_cast<int>(frame));
    return;
  }
  if (!m_mouseEnabled) {
    return;
  }
  m_savedStart = m_start;
  m_savedEnd = m_end;
  m_hover = MarkerNear(x);
  if (m_hover != Grab::None) {
    m_grab = m_hover;
    DragTo(x);
    return;
  }
  m_start = m_end = frame;
  m_grab = Grab::End;
  RenderImage();
  update();
  emit markerChanged(m_id, frame);
}

void CWaveView::mouseMoveEvent(QMouseEvent* event) {
  const int x = static_cast<int>(event->position().x());
  if (m_grab != Grab::None && (event->buttons() & Qt::LeftButton) != 0) {
    DragTo(x);
    return;
  }
  m_hover = m_mouseEnabled && !m_cursorShown ? MarkerNear(x) : Grab::None;
  if (m_hover != Grab::None) {
    setCursor(Qt::SizeHorCursor);
  } else {
    unsetCursor();
  }
}

void CWaveView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && m_grab != Grab::None) {
    DragTo(static_cast<int>(event->position().x()));
    m_grab = Grab::None;
  }
}

void CWaveView::DragTo(int x) {
  double& marker = m_grab == Grab::Start ? m_start : m_end;
  const double other = m_grab == Grab::Start ? m_end : m_start;
  const double position = LimitToSelectionSpan(FrameAtX(x), other);
  if (!Same(position, marker)) {
    marker = position;
  }
  if (m_start > m_end) {
    std::swap(m_start, m_end);
    m_grab = m_grab == Grab::Start ? Grab::End : Grab::Start;
  }
  RenderImage();
  update();
  emit markerChanged(m_id, m_grab == Grab::Start ? m_start : m_end);
}
