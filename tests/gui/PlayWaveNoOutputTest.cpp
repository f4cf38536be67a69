// PC playback when no sound server answers: Play reports that there is no audio output.
#include "MelodyGuiSupport.h"

#include "melody/PlayWave.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace melodygui;

class PlayWaveNoOutputTest : public QObject {
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
  }

  void playWithoutOutputIsRefused() {
    const std::string tone = dir.filePath(QStringLiteral("tone.wav")).toStdString();
    QVERIFY(WriteWave(tone, 1, 16, 16000, Bytes16(Tone(440, 6000, 16000, 16000))));
    CPlayWave player;
    QCOMPARE(player.Open(tone), CPlayWave::kDone);
    QSignalSpy ended(&player, &CPlayWave::playEnded);
    QCOMPARE(player.Play(0, 0), CPlayWave::kNoAudioOutput);
    QVERIFY(!player.IsPlaying());
    QCOMPARE(player.State(), QAudio::StoppedState);
    QTest::qWait(100);
    QVERIFY(ended.isEmpty());
    // The player stays usable: the file is still described.
    QVERIFY(player.IsOpen());
    QCOMPARE(player.Close(), CPlayWave::kDone);
  }
};

QTEST_MAIN(PlayWaveNoOutputTest)
#include "PlayWaveNoOutputTest.moc"
