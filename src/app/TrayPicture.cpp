#include "app/TrayPicture.h"

#include <QPainter>
#include <QPixmap>

namespace {

// A handset drawn in the given colours at one size; the icon holds the usual tray sizes.
QPixmap Handset(int size, const QColor& body, const QColor& mark) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal unit = size / 16.0;
  painter.setPen(QPen(body.darker(160), unit * 0.8));
  painter.setBrush(body);
  painter.drawRoundedRect(QRectF(4.5 * unit, 1 * unit, 7 * unit, 14 * unit), 1.6 * unit, 1.6 * unit);
  painter.setBrush(Qt::white);
  painter.setPen(Qt::NoPen);
  painter.drawRect(QRectF(5.8 * unit, 2.6 * unit, 4.4 * unit, 4.2 * unit));
  painter.setBrush(mark);
  painter.drawEllipse(QPointF(8 * unit, 11 * unit), 1.8 * unit, 1.8 * unit);
  return pixmap;
}

}  // namespace

QIcon CTrayPicture::Icon(bool connected) {
  const QColor body = connected ? QColor(0x2E, 0x6F, 0xC0) : QColor(0x8A, 0x8A, 0x8A);
  const QColor mark = connected ? QColor(0x3C, 0xC8, 0x4B) : QColor(0xD0, 0x3A, 0x2F);
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    icon.addPixmap(Handset(size, body, mark));
  }
  return icon;
}
