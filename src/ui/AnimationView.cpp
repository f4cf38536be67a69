#include "ui/AnimationView.h"

#include "ui/AnimationPainter.h"

#include <QPainter>

CAnimationView::CAnimationView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  m_timer.setInterval(kFrameIntervalMs);
  connect(&m_timer, &QTimer::timeout, this, &CAnimationView::Advance);
}

bool CAnimationView::Play(int kind) {
  if (!CAnimationPainter::IsValidKind(kind)) {
    Stop();
    return false;
  }
  m_kind = kind;
  m_frame = 0;
  m_timer.start();
  update();
  return true;
}

void CAnimationView::Stop() {
  m_timer.stop();
  m_kind = -1;
  m_frame = 0;
  update();
}

void CAnimationView::ShowFrame(int frame) {
  m_frame = ((frame % CAnimationPainter::kFrames) + CAnimationPainter::kFrames) % CAnimationPainter::kFrames;
  update();
}

QSize CAnimationView::sizeHint() const {
  return QSize(int(CAnimationPainter::kWidth * 1.3), int(CAnimationPainter::kHeight * 1.3));
}

void CAnimationView::Advance() {
  m_frame = (m_frame + 1) % CAnimationPainter::kFrames;
  update();
}

void CAnimationView::paintEvent(QPaintEvent*) {
  if (m_kind < 0) {
    return;
  }
  QPainter painter(this);
  CAnimationPainter::Paint(painter, QRectF(rect()), m_kind, m_frame);
}
