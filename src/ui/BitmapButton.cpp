#include "ui/BitmapButton.h"

#include "ui/Artwork.h"

#include <QBitmap>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

CBitmapButton::CBitmapButton(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

bool CBitmapButton::SetUp(int imageNumber, QWidget* owner) {
  const ButtonImageSet* set = CButtonImageSets::Find(imageNumber);
  if (set == nullptr) {
    return false;
  }
  for (const char* picture : set->pictures) {
    if (!CArtwork::Exists(QString::fromLatin1(picture))) {
      return false;
    }
  }
  const QImage normal = CArtwork::Image(QString::fromLatin1(set->pictures[CButtonImageSets::kNormal]), {}, 1.0);
  if (normal.isNull()) {
    return false;
  }
  if (owner != nullptr && owner != parentWidget()) {
    setParent(owner);
  }
  m_imageNumber = imageNumber;
  m_set = set;
  m_pictureSize = normal.size();
  const QPoint position = pos();
  setFixedSize(m_pictureSize);
  move(position);
  // The shape is not applied as a widget mask: a mask has whole logical pixels and would
  // cut jagged edges on a HiDPI screen. The pictures' own transparency shapes the drawing
  // and the mouse handlers below pass on whatever falls outside the shape.
  m_shape = ShapeOf(normal, set->transparentColor);
  m_shape |= m_shape.translated(kPressedOffset, kPressedOffset);
  update();
  return true;
}

QRegion CBitmapButton::ShapeOf(const QImage& picture, std::int32_t transparentColor) {
  QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  if (transparentColor >= 0) {
    // A Windows colour reference: 0x00BBGGRR.
    const QRgb key = qRgb(transparentColor & 0xFF, (transparentColor >> 8) & 0xFF, (transparentColor >> 16) & 0xFF);
    for (int y = 0; y < argb.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
      for (int x = 0; x < argb.width(); ++x) {
        if ((line[x] & RGB_MASK) == (key & RGB_MASK)) {
          line[x] = 0;
        }
      }
    }
  }
  // Half-transparent edge pixels count as outside from an opacity of one half down.
  return QRegion(QBitmap::fromImage(argb.createAlphaMask(Qt::ThresholdAlphaDither)));
}

CButtonImageSets::State CBitmapButton::DrawnState() const {
  if (!isEnabled()) {
    return CButtonImageSets::kDisabled;
  }
  if (m_pressed || isDown()) {
    return CButtonImageSets::kPressed;
  }
  return m_hover ? CButtonImageSets::kHover : CButtonImageSets::kNormal;
}

QSize CBitmapButton::sizeHint() const {
  return m_pictureSize.isEmpty() ? QSize(72, 72) : m_pictureSize;
}

void CBitmapButton::paintEvent(QPaintEvent*) {
  if (m_set == nullptr) {
    return;
  }
  const CButtonImageSets::State state = DrawnState();
  const QPixmap picture =
      CArtwork::Pixmap(QString::fromLatin1(m_set->pictures[state]), m_pictureSize, devicePixelRatioF());
  QPainter painter(this);
  const int offset = state == CButtonImageSets::kPressed ? kPressedOffset : 0;
  painter.drawPixmap(QPoint(offset, offset), picture);
  if (hasFocus()) {
    // A dotted ring inside the shape marks the keyboard focus.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(QPointF(offset, offset), QSizeF(m_pictureSize)).adjusted(7.5, 7.5, -9.5, -9.5));
  }
}

bool CBitmapButton::OutsideShape(const QMouseEvent* event) const {
  return !m_shape.isEmpty() && !m_shape.contains(event->position().toPoint());
}

void CBitmapButton::mouseMoveEvent(QMouseEvent* event) {
  if (OutsideShape(event) && !isDown()) {
    event->ignore();  // the window behind the transparent part gets it
    return;
  }
  if (!m_hover) {
    m_hover = true;
    m_hoverTimer.start(kHoverCheckMs, this);
    update();
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CBitmapButton::mousePressEvent(QMouseEvent* event) {
  if (OutsideShape(event)) {
    event->ignore();
    return;
  }
  if (event->button() == Qt::LeftButton) {
    m_pressed = true;
    update();
  }
  QAbstractButton::mousePressEvent(event);
}

void CBitmapButton::mouseReleaseEvent(QMouseEvent* event) {
  if (OutsideShape(event) && !isDown() && !m_pressed) {
    event->ignore();
    return;
  }
  if (event->button() == Qt::LeftButton) {
    m_pressed = false;
    update();
  }
  QAbstractButton::mouseReleaseEvent(event);
}

void CBitmapButton::mouseDoubleClickEvent(QMouseEvent* event) {
  if (OutsideShape(event)) {
    event->ignore();
    return;
  }
  QAbstractButton::mouseDoubleClickEvent(event);
}

void CBitmapButton::focusOutEvent(QFocusEvent* event) {
  m_pressed = false;
  EndHover();
  QAbstractButton::focusOutEvent(event);
}

// The cursor may leave through a transparent part of the rectangle, where the button gets
// no more mouse events, so hovering is ended by looking at the cursor.
void CBitmapButton::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_hoverTimer.timerId()) {
    QAbstractButton::timerEvent(event);
    return;
  }
  if (!m_shape.contains(mapFromGlobal(QCursor::pos()))) {
    EndHover();
  }
}

void CBitmapButton::EndHover() {
  m_hoverTimer.stop();
  if (m_hover) {
    m_hover = false;
    update();
  }
}

bool CBitmapButton::hitButton(const QPoint& pos) const {
  return m_shape.isEmpty() ? QAbstractButton::hitButton(pos) : m_shape.contains(pos);
}
