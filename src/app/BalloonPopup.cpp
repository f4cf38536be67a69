#include "app/BalloonPopup.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QStyle>

CBalloonPopup::CBalloonPopup(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setObjectName("BalloonPopup");
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);

  m_icon = new QLabel(this);
  m_title = new QLabel(this);
  QFont bold = font();
  bold.setWeight(QFont::Bold);
  m_title->setFont(bold);
  m_text = new QLabel(this);
  m_text->setWordWrap(true);
  m_text->setMaximumWidth(320);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(14, 10, 14, 12);
  layout->addWidget(m_icon, 0, 0, Qt::AlignTop);
  layout->addWidget(m_title, 0, 1);
  layout->addWidget(m_text, 1, 1);
}

void CBalloonPopup::Show(const QString& title, const QString& text, NoticeSeverity severity) {
  m_severity = severity;
  m_title->setText(title);
  m_text->setText(text);
  const QStyle::StandardPixmap picture =
      severity == NoticeSeverity::Warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation;
  m_icon->setPixmap(style()->standardIcon(picture).pixmap(16, 16));
  adjustSize();
  PlaceAtWorkAreaCorner();
  show();
  raise();
  update();
}

void CBalloonPopup::Close() {
  hide();
}

QString CBalloonPopup::Title() const {
  return m_title->text();
}

QString CBalloonPopup::Text() const {
  return m_text->text();
}

void CBalloonPopup::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
    hide();
  }
  QWidget::mousePressEvent(event);
}

void CBalloonPopup::resizeEvent(QResizeEvent* event) {
  QPainterPath outline;
  outline.addRoundedRect(QRectF(rect()), kCornerSize / 2.0, kCornerSize / 2.0);
  setMask(QRegion(outline.toFillPolygon().toPolygon()));
  QWidget::resizeEvent(event);
}

void CBalloonPopup::PlaceAtWorkAreaCorner() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  const QRect area = screen->availableGeometry();
  move(area.right() + 1 - kRightMargin - width(), area.bottom() + 1 - height());
}
