#include "ui/Artwork.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QScreen>
#include <QSvgRenderer>
#include <cmath>

QString CArtwork::ResourcePath(const QString& name) {
  return QStringLiteral(":/images/") + name + QStringLiteral(".svg");
}

bool CArtwork::Exists(const QString& name) {
  return !name.isEmpty() && QFile::exists(ResourcePath(name));
}

QSize CArtwork::NaturalSize(const QString& name) {
  if (!Exists(name)) {
    return {};
  }
  QSvgRenderer renderer(ResourcePath(name));
  return renderer.isValid() ? renderer.defaultSize() : QSize();
}

qreal CArtwork::ScreenRatio() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

QImage CArtwork::Image(const QString& name, QSize logicalSize, qreal devicePixelRatio) {
  if (!Exists(name)) {
    return {};
  }
  QSvgRenderer renderer(ResourcePath(name));
  if (!renderer.isValid()) {
    return {};
  }
  if (logicalSize.isEmpty()) {
    logicalSize = renderer.defaultSize();
  }
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : ScreenRatio();
  const QSize device(int(std::ceil(logicalSize.width() * ratio)), int(std::ceil(logicalSize.height() * ratio)));
  QImage image(device, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
  }
  image.setDevicePixelRatio(ratio);
  return image;
}

QPixmap CArtwork::Pixmap(const QString& name, QSize logicalSize, qreal devicePixelRatio) {
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : ScreenRatio();
  const QString key =
      QStringLiteral("orvane-art:%1:%2x%3@%4").arg(name).arg(logicalSize.width()).arg(logicalSize.height()).arg(ratio);
  QPixmap pixmap;
  if (QPixmapCache::find(key, &pixmap)) {
    return pixmap;
  }
  pixmap = QPixmap::fromImage(Image(name, logicalSize, ratio));
  if (!pixmap.isNull()) {
    QPixmapCache::insert(key, pixmap);
  }
  return pixmap;
}

QIcon CArtwork::Icon(const QString& name) {
  QIcon icon;
  if (!Exists(name)) {
    return icon;
  }
  for (const int side : {16, 20, 22, 24, 32, 40, 48, 64, 96, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(Image(name, QSize(side, side), 1.0)));
  }
  return icon;
}

bool CArtwork::Render(QPainter& painter, const QRectF& target, const QString& name) {
  if (!Exists(name)) {
    return false;
  }
  QSvgRenderer renderer(ResourcePath(name));
  if (!renderer.isValid()) {
    return false;
  }
  renderer.render(&painter, target);
  return true;
}

QString CArtwork::NameForResourceId(int resourceId) {
  switch (resourceId) {
    case 100:
    case 1101:
      return kAppIcon;
    case 153:
      return kTrayConnected;
    case 154:
      return kTrayNotConnected;
    default:
      return {};
  }
}

QString CArtwork::BackgroundForKind(int kind) {
  switch (kind) {
    case 1:
      return kLauncherBackground;
    case 3:
    case 4:
    case 5:
      return kUtilityBackground;
    default:
      return {};
  }
}
