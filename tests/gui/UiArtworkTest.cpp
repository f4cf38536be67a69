// The compiled-in pictures and their rendering at different pixel ratios.
#include "UiTestSupport.h"
#include "ui/Artwork.h"

#include <QPainter>
#include <QtTest>

namespace {

const char* const kNamedPictures[] = {
    CArtwork::kAppIcon,          CArtwork::kDialogIcon,         CArtwork::kTrayConnected,
    CArtwork::kTrayNotConnected, CArtwork::kLauncherBackground, CArtwork::kUtilityBackground};

int OpaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
  }
  return count;
}

}  // namespace

class UiArtworkTest : public QObject {
  Q_OBJECT

 private slots:
  void everyPictureRendersAtItsNaturalSize() {
    for (const char* name : kNamedPictures) {
      QVERIFY2(CArtwork::Exists(name), name);
      const QSize natural = CArtwork::NaturalSize(name);
      QVERIFY2(!natural.isEmpty(), name);
      const QImage image = CArtwork::Image(name, {}, 1.0);
      QCOMPARE(image.size(), natural);
      QVERIFY2(OpaquePixels(image) > image.width() * image.height() / 10, name);
    }
    QVERIFY(!CArtwork::Exists("no-such-picture"));
    QVERIFY(CArtwork::Image("no-such-picture").isNull());
    QVERIFY(CArtwork::Pixmap("no-such-picture").isNull());
    QVERIFY(CArtwork::Icon("no-such-picture").isNull());
  }

  // A picture for a HiDPI screen is drawn with the screen's pixels, not enlarged.
  void renderingFollowsThePixelRatio() {
    const QImage single = CArtwork::Image(CArtwork::kTrayConnected, QSize(24, 24), 1.0);
    const QImage twice = CArtwork::Image(CArtwork::kTrayConnected, QSize(24, 24), 2.0);
    const QImage odd = CArtwork::Image(CArtwork::kTrayConnected, QSize(24, 24), 1.5);
    QCOMPARE(single.size(), QSize(24, 24));
    QCOMPARE(twice.size(), QSize(48, 48));
    QCOMPARE(twice.devicePixelRatio(), 2.0);
    QCOMPARE(odd.size(), QSize(36, 36));
    QCOMPARE(twice.deviceIndependentSize(), QSizeF(24, 24));
    // Crisp: the 2x rendering has detail a 1x picture scaled up lacks.
    const QImage enlarged =
        single.scaled(48, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(twice.format());
    QVERIFY(enlarged != twice);
    const QPixmap pixmap = CArtwork::Pixmap(CArtwork::kAppIcon, QSize(32, 32), 2.0);
    QCOMPARE(pixmap.size(), QSize(64, 64));
    QCOMPARE(pixmap.devicePixelRatio(), 2.0);
  }

  void iconsOfferTheUsualSizes() {
    const QIcon icon = CArtwork::Icon(CArtwork::kAppIcon);
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (const int side : {16, 22, 32, 48, 256}) {
      QVERIFY(sizes.contains(QSize(side, side)));
    }
  }

  void resourceNumbersAndWindowKindsName() {
    QCOMPARE(CArtwork::NameForResourceId(100), QString(CArtwork::kAppIcon));
    QCOMPARE(CArtwork::NameForResourceId(1101), QString(CArtwork::kAppIcon));
    QCOMPARE(CArtwork::NameForResourceId(153), QString(CArtwork::kTrayConnected));
    QCOMPARE(CArtwork::NameForResourceId(154), QString(CArtwork::kTrayNotConnected));
    QVERIFY(CArtwork::NameForResourceId(155).isEmpty());
    QCOMPARE(CArtwork::BackgroundForKind(1), QString(CArtwork::kLauncherBackground));
    for (const int kind : {3, 4, 5}) {
      QCOMPARE(CArtwork::BackgroundForKind(kind), QString(CArtwork::kUtilityBackground));
    }
    for (const int kind : {0, 2, 6, 11, 255}) {
      QVERIFY(CArtwork::BackgroundForKind(kind).isEmpty());
    }
    // The tray's two states look different at tray size.
    QVERIFY(CArtwork::Image(CArtwork::kTrayConnected, QSize(16, 16), 1.0) !=
            CArtwork::Image(CArtwork::kTrayNotConnected, QSize(16, 16), 1.0));
  }

  void screenshotOfTheArtwork() {
    QImage sheet(QSize(760, 300) * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(2.0);
    sheet.fill(QColor(173, 207, 247));
    QPainter painter(&sheet);
    int x = 10;
    for (const int side : {16, 24, 32, 48, 64, 128}) {
      painter.drawPixmap(x, 10, CArtwork::Pixmap(CArtwork::kAppIcon, QSize(side, side), 2.0));
      x += side + 10;
    }
    x = 10;
    for (const char* name : {CArtwork::kTrayConnected, CArtwork::kTrayNotConnected, CArtwork::kDialogIcon}) {
      for (const int side : {16, 22, 32, 64}) {
        painter.drawPixmap(x, 150, CArtwork::Pixmap(name, QSize(side, side), 2.0));
        x += side + 8;
      }
      x += 16;
    }
    CArtwork::Render(painter, QRectF(10, 230, 360, 60), CArtwork::kLauncherBackground);
    CArtwork::Render(painter, QRectF(390, 230, 360, 60), CArtwork::kUtilityBackground);
    painter.end();
    QVERIFY(sheet.save(uitest::ScreenshotDir() + "/artwork.png"));
  }
};

QTEST_MAIN(UiArtworkTest)
#include "UiArtworkTest.moc"
