// Bitmap buttons driven with the mouse under the offscreen platform.
#include "UiTestSupport.h"
#include "ui/Artwork.h"
#include "ui/BitmapButton.h"

#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The launcher's numbers with label texts (Help and Exit take the window strings "Help" and "Close").
struct LauncherButton {
  int imageNumber;
  int labelId;
};
constexpr LauncherButton kLauncherButtons[] = {{11, 8003}, {12, 8004}, {13, 8005}, {16, 1008}, {17, 1007}};

void MoveCursor(QWidget& widget, QPoint local) {
  QCursor::setPos(widget.mapToGlobal(local));
  QTest::mouseMove(&widget, local);
}

// A move over the button as the window system would deliver it.
void SendMove(QWidget& button, QPoint local) {
  QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(button.mapToGlobal(local)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&button, &move);
}

class PressCounter : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    ++presses;
    event->accept();
  }
};

class SkinnedBackground : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    CArtwork::Render(painter, QRectF(rect()), CArtwork::kLauncherBackground);
  }
};

}  // namespace

class UiBitmapButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void setUpTakesThePictureSizeAndShape() {
    QWidget owner;
    owner.resize(300, 200);
    CBitmapButton button(&owner);
    button.move(30, 40);
    QVERIFY(button.SetUp(11, &owner));
    QCOMPARE(button.ImageNumber(), 11);
    QCOMPARE(button.pos(), QPoint(30, 40));
    QCOMPARE(button.size(), CArtwork::NaturalSize("buttons/phonebook-normal"));
    const QRegion& shape = button.Shape();
    QVERIFY(shape.contains(QPoint(35, 35)));
    for (const QPoint corner : {QPoint(0, 0), QPoint(71, 0), QPoint(0, 71), QPoint(71, 71)}) {
      QVERIFY2(!shape.contains(corner), qPrintable(QString("corner %1,%2").arg(corner.x()).arg(corner.y())));
    }
    // The shape reaches two pixels further right and down, where the pressed picture lies.
    QVERIFY(shape.contains(QPoint(69, 35)));
    QVERIFY(shape.contains(QPoint(35, 69)));
    QVERIFY(!shape.contains(QPoint(1, 35)));
  }

  void unknownImageNumberLeavesTheButtonAlone() {
    CBitmapButton button;
    button.resize(10, 10);
    QVERIFY(!button.SetUp(9));
    QVERIFY(!button.SetUp(300));
    QCOMPARE(button.ImageNumber(), -1);
    QCOMPARE(button.size(), QSize(10, 10));
  }

  void everyLauncherNumberHasFourDistinctPictures() {
    for (int number = 10; number <= 17; ++number) {
      const ButtonImageSet* set = CButtonImageSets::Find(number);
      QVERIFY(set != nullptr);
      QList<QImage> states;
      for (const char* picture : set->pictures) {
        const QImage image = CArtwork::Image(picture, {}, 1.0);
        QVERIFY2(!image.isNull(), picture);
        QCOMPARE(image.size(), QSize(72, 72));
        QVERIFY2(!states.contains(image), picture);
        states.append(image);
      }
      CBitmapButton button;
      QVERIFY(button.SetUp(number));
    }
  }

  void hoverEndsWhenTheCursorReachesATransparentCorner() {
    QWidget owner;
    owner.resize(200, 150);
    CBitmapButton button(&owner);
    button.move(40, 30);
    QVERIFY(button.SetUp(12, &owner));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    // A move over a transparent corner is not over the button.
    MoveCursor(button, QPoint(1, 1));
    SendMove(button, QPoint(1, 1));
    QVERIFY(!button.IsHovered());

    MoveCursor(button, QPoint(35, 35));
    SendMove(button, QPoint(35, 35));
    QVERIFY(button.IsHovered());
    QCOMPARE(button.DrawnState(), CButtonImageSets::kHover);
    // Staying over the picture keeps the hover.
    QTest::qWait(4 * CBitmapButton::kHoverCheckMs);
    QVERIFY(button.IsHovered());

    // Inside the rectangle but outside the picture: no more events reach the button.
    MoveCursor(button, QPoint(2, 2));
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!button.IsHovered(), 1000);
    QVERIFY(clock.elapsed() < 500);
    QCOMPARE(button.DrawnState(), CButtonImageSets::kNormal);
  }

  void pressAndClickFollowTheShape() {
    PressCounter owner;
    owner.resize(200, 150);
    CBitmapButton button(&owner);
    QVERIFY(button.SetUp(13, &owner));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(35, 35));
    QVERIFY(button.IsPressedFlag());
    QCOMPARE(button.DrawnState(), CButtonImageSets::kPressed);
    QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, QPoint(35, 35));
    QVERIFY(!button.IsPressedFlag());
    QCOMPARE(clicks.count(), 1);

    QCOMPARE(owner.presses, 0);

    // A click in a transparent corner is not a click on the button: the window behind gets it.
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(owner.presses, 1);
    QVERIFY(!button.IsPressedFlag());

    button.setEnabled(false);
    QCOMPARE(button.DrawnState(), CButtonImageSets::kDisabled);
  }

  void losingTheFocusEndsHoverAndPress() {
    QWidget owner;
    owner.resize(200, 150);
    CBitmapButton button(&owner);
    QVERIFY(button.SetUp(16, &owner));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    button.setFocus();
    MoveCursor(button, QPoint(35, 35));
    SendMove(button, QPoint(35, 35));
    QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(35, 35));
    QVERIFY(button.IsHovered());
    QVERIFY(button.IsPressedFlag());
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(&button, &focusOut);
    QVERIFY(!button.IsHovered());
    QVERIFY(!button.IsPressedFlag());
  }

  // Rows: normal, hover, pressed, disabled; one column per launcher button, labelled.
  void screenshotsOfTheStatesInEveryLanguage() {
    for (int language = 0; language < uitest::kLanguageCount; ++language) {
      uitest::ShippedLanguage texts(language);
      QVERIFY(texts.Loaded());
      SkinnedBackground sheet;
      auto* grid = new QGridLayout(&sheet);
      grid->setHorizontalSpacing(14);
      QList<CBitmapButton*> buttons;
      for (int row = 0; row < 4; ++row) {
        int column = 0;
        for (const LauncherButton& entry : kLauncherButtons) {
          auto* button = new CBitmapButton(&sheet);
          QVERIFY(button->SetUp(entry.imageNumber, &sheet));
          grid->addWidget(button, row * 2, column, Qt::AlignHCenter);
          auto* label = new QLabel(QString::fromStdString(texts.Text(entry.labelId)), &sheet);
          label->setAlignment(Qt::AlignHCenter);
          grid->addWidget(label, row * 2 + 1, column++);
          buttons.append(button);
        }
      }
      sheet.show();
      QVERIFY(QTest::qWaitForWindowExposed(&sheet));
      const int columns = int(std::size(kLauncherButtons));
      for (int i = 0; i < buttons.size(); ++i) {
        const int row = i / columns;
        if (row == 1) {
          SendMove(*buttons[i], QPoint(35, 35));
        } else if (row == 2) {
          buttons[i]->setDown(true);
        } else if (row == 3) {
          buttons[i]->setEnabled(false);
        }
      }
      const QString name = QString::fromStdString(uitest::ShippedLanguage::Name(language));
      QVERIFY(uitest::SaveScreenshot(sheet, "bitmap-buttons-" + name));
    }
  }
};

QTEST_MAIN(UiBitmapButtonTest)
#include "UiBitmapButtonTest.moc"
