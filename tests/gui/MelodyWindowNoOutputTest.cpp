// The melody window when no sound server answers: playing either view shows 764 and leaves
// the window as it was.
#include "MelodyGuiSupport.h"
#include "TemplateFixture.h"

#include "melody/MelodyUtilityDlg.h"
#include "melody/WaveView.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace melodygui;
using namespace templatetest;

class MelodyWindowNoOutputTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir;

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    // A server address nobody listens on, and no server started on demand.
    const QString config = dir.filePath(QStringLiteral("client.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("autospawn = no\n");
    file.close();
    qputenv("PULSE_CLIENTCONFIG", config.toLocal8Bit());
    qputenv("PULSE_SERVER", ("unix:" + dir.filePath(QStringLiteral("nobody.sock"))).toLocal8Bit());
    const QString temp = dir.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(temp));
    qputenv("TMPDIR", temp.toLocal8Bit());
  }

  void playWithoutOutputShows764() {
    Services services;
    CMelodyUtilityDlg window(nullptr, &services.context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::string tone = dir.filePath(QStringLiteral("tone.wav")).toStdString();
    QVERIFY(WriteWave(tone, 1, 16, 16000, Bytes16(Tone(440, 6000, 16000, 32000))));
    QVERIFY(window.OpenFile(tone, 1));
    QVERIFY(QTest::qWaitFor([&] { return !window.IsWorking(); }, kWaitMs));
    window.SourceView()->SetMarkers(0, 16000);
    window.OnCommand(MelodyUtilityId::kCopy);
    for (const int id : {MelodyUtilityId::kSourcePlay, MelodyUtilityId::kEditPlay}) {
      services.shown.clear();
      window.OnCommand(id);
      QCOMPARE(services.shown, std::vector<std::int32_t>{764});
      QVERIFY(!window.IsPlaying());
      QVERIFY(window.IsContentEnabled());
      QVERIFY(window.SourceView()->IsMouseEnabled());
      QVERIFY(!window.SourceView()->IsPlayCursorShown());
      QCOMPARE(qobject_cast<QPushButton*>(window.Control(id))->text(), QStringLiteral("Play"));
    }
  }
};

QTEST_MAIN(MelodyWindowNoOutputTest)
#include "MelodyWindowNoOutputTest.moc"
