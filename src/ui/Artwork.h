#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

// The program's pictures: SVG drawings compiled into the program as Qt resources, rendered
// on demand at the size and device pixel ratio they are shown at, so they stay sharp on
// any screen.
class CArtwork {
 public:
  // Names of the pictures (resources/images/<name>.svg).
  static constexpr const char* kAppIcon = "app-icon";
  static constexpr const char* kDialogIcon = "dialog-icon";
  static constexpr const char* kTrayConnected = "tray-connected";
  static constexpr const char* kTrayNotConnected = "tray-not-connected";
  static constexpr const char* kLauncherBackground = "background-launcher";
  static constexpr const char* kUtilityBackground = "background-utility";

  static QString ResourcePath(const QString& name);
  static bool Exists(const QString& name);
  // The drawing's own size in logical pixels; empty when the picture does not exist.
  static QSize NaturalSize(const QString& name);
  // The picture at a logical size (its natural size when empty) for a device pixel ratio
  // (that of the primary screen when 0). A null image when the picture does not exist.
  static QImage Image(const QString& name, QSize logicalSize = {}, qreal devicePixelRatio = 0);
  static QPixmap Pixmap(const QString& name, QSize logicalSize = {}, qreal devicePixelRatio = 0);
  // An icon holding the picture at the usual icon sizes.
  static QIcon Icon(const QString& name);
  // Draws the picture stretched over a rectangle; false when it does not exist.
  static bool Render(QPainter& painter, const QRectF& target, const QString& name);

  // The picture standing for a resource number of the program's windows: 100 and 1101
  // the application icon, 153 and 154 the tray icons; empty for any other number.
  static QString NameForResourceId(int resourceId);
  // The background picture of a window kind: the launcher (1) and the utilities (3, 4, 5);
  // empty for kinds painted with the flat background colour.
  static QString BackgroundForKind(int kind);

 private:
  static qreal ScreenRatio();
};
