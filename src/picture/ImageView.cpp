#include "picture/ImageView.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

const QColor kViewBackground(0xF0, 0xF0, 0xF0);
const QColor kFrameColor(0xE0, 0x20, 0x20);

}  // namespace

CImageView::CImageView(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setMouseTracking(true);
  setFrameShape(QFrame::StyledPanel);
}

void CImageView::SetImage(const CRgbImage* image) {
  m_image = image;
  ImageChanged();
}

void CImageView::ImageChanged() {
  UpdateScrollBars();
  Settle();
  viewport()->update();
}

void CImageView::SetFrameSize(PictureSize size) {
  m_frameSize = size;
  Settle();
  viewport()->update();
}

void CImageView::SetFrameVisible(bool visible) {
  m_frameVisible = visible;
  viewport()->update();
}

void CImageView::SetFramePosition(CTargetFrame::Position position) {
  m_frame = position;
  Settle();
  viewport()->update();
}

CTargetFrame::Position CImageView::FrameOnImage() const {
  return {m_frame.x + horizontalScrollBar()->value(), m_frame.y + verticalScrollBar()->value()};
}

PictureSize CImageView::VisibleArea() const {
  return {viewport()->width(), viewport()->height()};
}

void CImageView::UpdateScrollBars() {
  const int width = m_image != nullptr ? m_image->Width() : 0;
  const int height = m_image != nullptr ? m_image->Height() : 0;
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, width - view.width()));
  verticalScrollBar()->setRange(0, std::max(0, height - view.height()));
  horizontalScrollBar()->setPageStep(view.width());
  verticalScrollBar()->setPageStep(view.height());
  horizontalScrollBar()->setSingleStep(8);
  verticalScrollBar()->setSingleStep(8);
}

void CImageView::Settle() {
  m_frame = CTargetFrame::Clamp(m_frame, m_frameSize, VisibleArea());
  emit FrameChanged();
}

void CImageView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), kViewBackground);
  if (m_image != nullptr && !m_image->IsEmpty()) {
    // A view of the image's own buffer: rows of width * 3 bytes without padding.
    const QImage pixels(m_image->Bytes().data(), m_image->Width(), m_image->Height(), m_image->Width() * 3,
                        QImage::Format_RGB888);
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRect source = QRect(offset, viewport()->size()).intersected(pixels.rect());
    painter.drawImage(source.topLeft() - offset, pixels, source);
  }
  if (m_frameVisible) {
    painter.setPen(QPen(kFrameColor, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(m_frame.x, m_frame.y, m_frameSize.width - 1, m_frameSize.height - 1);
  }
}

void CImageView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton && m_frameVisible &&
      CTargetFrame::Contains(m_frame, m_frameSize, at.x(), at.y())) {
    m_dragging = true;
    m_dragFrom = at;
    return;
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void CImageView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (m_dragging && (event->buttons() & Qt::LeftButton) != 0) {
    const QPoint moved = at - m_dragFrom;
    m_dragFrom = at;
    m_frame = {m_frame.x + moved.x(), m_frame.y + moved.y()};
    Settle();
    viewport()->update();
  }
  UpdateCursor(at);
}

void CImageView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_dragging = false;
  }
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void CImageView::UpdateCursor(const QPoint& at) {
  const bool overFrame = m_frameVisible && CTargetFrame::Contains(m_frame, m_frameSize, at.x(), at.y());
  viewport()->setCursor(overFrame || m_dragging ? Qt::SizeAllCursor : Qt::ArrowCursor);
}

void CImageView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  Settle();
}

void CImageView::scrollContentsBy(int /*dx*/, int /*dy*/) {
  Settle();
  viewport()->update();
}
