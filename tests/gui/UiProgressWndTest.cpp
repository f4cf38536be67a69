// The progress window driven for real under the offscreen platform.
#include "UiTestSupport.h"
#include "platform/MessageQueue.h"
#include "ui/AnimationPainter.h"
#include "ui/AnimationView.h"
#include "ui/ControlId.h"
#include "ui/ProgressWnd.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QtTest>
#include <chrono>

namespace {

using namespace std::chrono_literals;

CProgressWnd::TextLookup Lookup() {
  return [](std::int32_t id) { return id == CProgressWnd::kCancelId ? std::string("Abort it") : std::string(); };
}

std::size_t CancelsPosted(CMessageQueue& owner) {
  std::size_t count = 0;
  for (const WindowMessage& m : owner.Drain()) {
    count += m.message == CProgressWnd::kCancelMessage ? 1 : 0;
  }
  return count;
}

QImage Render(int kind, int frame) {
  QImage image(200, 80, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  CAnimationPainter::Paint(painter, QRectF(0, 0, 200, 80), kind, frame);
  return image;
}

}  // namespace

class UiProgressWndTest : public QObject {
  Q_OBJECT

 private slots:
  void progressLineShowsBothNumbersInDecimal() {
    QCOMPARE(CProgressWnd::FormatProgress(1536, 15648), std::string("( 1536 / 15648 )"));
    QCOMPARE(CProgressWnd::FormatProgress(0, 0), std::string("( 0 / 0 )"));
    // Numbers past 32 bits keep every digit.
    QCOMPARE(CProgressWnd::FormatProgress(5000000000ULL, 18446744073709551615ULL),
             std::string("( 5000000000 / 18446744073709551615 )"));
    CProgressWnd wnd(Lookup());
    wnd.Open("Please Wait", "Sending", CAnimationPainter::kSend, false);
    wnd.Progress(1536, 15648);
    QCOMPARE(wnd.ProgressText(), QString("( 1536 / 15648 )"));
    // Reopening clears the line of the previous operation.
    wnd.Close();
    wnd.Open("Please Wait", "Sending", CAnimationPainter::kSend, false);
    QCOMPARE(wnd.ProgressText(), QString());
  }

  void openShowsTitleMessageAndPlaysTheKind() {
    CProgressWnd wnd(Lookup());
    wnd.Open("Please Wait", "'%s' is being received\\nDo not unplug", CAnimationPainter::kReceive, true, {"Melody 1"});
    QVERIFY(wnd.isVisible());
    QVERIFY(wnd.IsOpen());
    QCOMPARE(wnd.windowTitle(), QString("Please Wait"));
    QCOMPARE(wnd.MessageText(), QString("'Melody 1' is being received\nDo not unplug"));
    QCOMPARE(wnd.CancelButton()->text(), QString("Abort it"));
    QVERIFY(wnd.CancelButton()->isVisible());
    QVERIFY(wnd.CancelButton()->isEnabled());
    QVERIFY(wnd.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(wnd.Animation()->Kind(), int(CAnimationPainter::kReceive));
    QVERIFY(wnd.Animation()->IsPlaying());
    // The controls carry the dialog's ids.
    QCOMPARE(CControlId::Find(&wnd, CProgressWnd::kMessageId), static_cast<QWidget*>(wnd.findChild<QLabel*>("ctl201")));
    QVERIFY(CControlId::Find(&wnd, CProgressWnd::kAnimationId) == wnd.Animation());
    QVERIFY(CControlId::Find(&wnd, CProgressWnd::kCancelId) == wnd.CancelButton());
    QVERIFY(CControlId::Find(&wnd, CProgressWnd::kProgressId) != nullptr);

    wnd.Close();
    QVERIFY(!wnd.isVisible());
    QVERIFY(!wnd.IsOpen());
    QVERIFY(!wnd.Animation()->IsPlaying());
    wnd.Close();  // closing twice is harmless
    QVERIFY(!wnd.IsOpen());
  }

  void withoutCancelCloseAndEscapeDoNothing() {
    CMessageQueue owner;
    CProgressWnd wnd(Lookup(), owner.Handle());
    wnd.Open("Please Wait", "Sending", CAnimationPainter::kSend, false);
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QVERIFY(!wnd.CancelButton()->isVisible());
    QVERIFY(!wnd.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!wnd.CloseEnabled());

    QVERIFY(!wnd.close());
    QTest::keyClick(&wnd, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(wnd.isVisible());
    QVERIFY(wnd.IsOpen());
    QCOMPARE(CancelsPosted(owner), std::size_t(0));
  }

  void cancelPostsTheRequestOnceAndLeavesClosingToTheOwner() {
    CMessageQueue owner;
    CProgressWnd wnd(Lookup(), owner.Handle());
    wnd.Open("Please Wait", "Receiving", CAnimationPainter::kReceive, true);
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));

    QTest::mouseClick(wnd.CancelButton(), Qt::LeftButton);
    const auto first = owner.TakeMessage(CProgressWnd::kCancelMessage, 1000ms);
    QVERIFY(first.has_value());
    QCOMPARE(first->wParam, std::uintptr_t(0));
    QCOMPARE(first->lParam, std::intptr_t(0));
    QVERIFY(!wnd.CancelButton()->isEnabled());
    QVERIFY(!wnd.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(wnd.isVisible());

    // Further attempts of every kind post nothing more.
    QTest::mouseClick(wnd.CancelButton(), Qt::LeftButton);
    wnd.close();
    QTest::keyClick(&wnd, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCOMPARE(CancelsPosted(owner), std::size_t(0));
    QVERIFY(wnd.isVisible());

    // The next operation may be cancelled again.
    wnd.Close();
    wnd.Open("Please Wait", "Receiving", CAnimationPainter::kReceive, true);
    QVERIFY(wnd.CancelButton()->isEnabled());
    QVERIFY(wnd.close() == false);
    QCOMPARE(CancelsPosted(owner), std::size_t(1));
  }

  void escapeCancelsWhenAllowed() {
    CMessageQueue owner;
    CProgressWnd wnd(Lookup(), owner.Handle());
    wnd.Open("Please Wait", "Erasing", CAnimationPainter::kErase, true);
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QTest::keyClick(&wnd, Qt::Key_Escape);
    QCOMPARE(CancelsPosted(owner), std::size_t(1));
    QVERIFY(wnd.isVisible());
  }

  void hiddenWindowPostsNoCancel() {
    CMessageQueue owner;
    CProgressWnd wnd(Lookup(), owner.Handle());
    wnd.Open("Please Wait", "Receiving", CAnimationPainter::kReceive, true);
    wnd.Close();
    wnd.CancelButton()->click();
    QCOMPARE(CancelsPosted(owner), std::size_t(0));
  }

  void animationLoopsWithoutEnd() {
    CAnimationView view;
    QVERIFY(!view.Play(CAnimationPainter::kKindCount));
    QVERIFY(!view.IsPlaying());
    QVERIFY(view.Play(CAnimationPainter::kPlay));
    QCOMPARE(view.Frame(), 0);
    int highest = 0;
    bool wrapped = false;
    int previous = 0;
    QElapsedTimer clock;
    clock.start();
    while (!wrapped && clock.elapsed() < 10000) {
      QTest::qWait(CAnimationView::kFrameIntervalMs / 2);
      highest = std::max(highest, view.Frame());
      wrapped = view.Frame() < previous;
      previous = view.Frame();
    }
    QVERIFY(wrapped);
    QCOMPARE(highest, CAnimationPainter::kFrames - 1);
    QVERIFY(view.IsPlaying());
    view.Stop();
    QVERIFY(!view.IsPlaying());
    QCOMPARE(view.Kind(), -1);
  }

  // Every kind has its own drawing, and its frames move.
  void everyKindDrawsItsOwnMovingPicture() {
    QSet<QByteArray> firstFrames;
    for (int kind = 0; kind < CAnimationPainter::kKindCount; ++kind) {
      const QImage first = Render(kind, 0);
      const QImage middle = Render(kind, CAnimationPainter::kFrames / 2 + 1);
      QVERIFY2(first != middle, qPrintable(QString("kind %1 does not move").arg(kind)));
      QVERIFY2(first != QImage(first.size(), first.format()), "empty drawing");
      firstFrames.insert(QByteArray(reinterpret_cast<const char*>(first.constBits()), int(first.sizeInBytes())));
      // The last frame leads back to the first.
      QCOMPARE(Render(kind, CAnimationPainter::kFrames), first);
    }
    QCOMPARE(firstFrames.size(), CAnimationPainter::kKindCount);
  }

  void screenshotsInEveryLanguage() {
    for (int language = 0; language < uitest::kLanguageCount; ++language) {
      uitest::ShippedLanguage texts(language);
      QVERIFY(texts.Loaded());
      const QString name = QString::fromStdString(uitest::ShippedLanguage::Name(language));
      CProgressWnd wnd(texts.Lookup());
      wnd.Open(texts.Text(1016), texts.Text(710), CAnimationPainter::kSend, false);
      wnd.Animation()->ShowFrame(9);
      wnd.Progress(1536, 15648);
      QVERIFY(uitest::SaveScreenshot(wnd, "progress-send-" + name));
      wnd.Close();
      wnd.Open(texts.Text(1016), texts.Text(714), CAnimationPainter::kReceive, true, {texts.Text(4053)});
      wnd.Animation()->ShowFrame(14);
      wnd.Progress(12, 250);
      QVERIFY(uitest::SaveScreenshot(wnd, "progress-receive-" + name));
      wnd.Close();
    }
    CProgressWnd wnd(Lookup());
    for (int kind = 0; kind < CAnimationPainter::kKindCount; ++kind) {
      wnd.Open("Please Wait", "Animation kind " + std::to_string(kind), kind, true);
      wnd.Animation()->ShowFrame(8);
      QVERIFY(uitest::SaveScreenshot(wnd, QString("progress-kind-%1").arg(kind)));
      wnd.Close();
    }
  }
};

QTEST_MAIN(UiProgressWndTest)
#include "UiProgressWndTest.moc"
