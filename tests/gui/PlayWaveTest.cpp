// PC playback on a private PulseAudio null sink: a range plays to its end and what reached
// the sink is the range's sound, the position grows within the range, pause and continue,
// and the refusals.
#include "MelodyGuiSupport.h"
#include "PulseNullSink.h"

#include "melody/MelodyException.h"
#include "melody/PlayWave.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

using namespace melodygui;

namespace {

constexpr int kEndWaitMs = 20000;

// Samples whose magnitude exceeds a level.
int Above(const std::vector<std::int16_t>& samples, int level) {
  return static_cast<int>(
      std::count_if(samples.begin(), samples.end(), [level](std::int16_t s) { return std::abs(s) > level; }));
}

}  // namespace

class PlayWaveTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir;
  CPulseNullSink pulse;
  std::string tone;

  std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }

 private slots:
  void initTestCase() {
    if (!CPulseNullSink::Installed()) {
      QSKIP("pulseaudio is not installed");
    }
    QVERIFY(dir.isValid());
    QVERIFY(pulse.Start());
    // Three seconds: quiet 440 Hz, except 1.4-1.5 s, which is loud (the end of the range
    // the tests play).
    std::vector<std::int16_t> samples = Tone(440, 6000, 16000, 48000);
    for (std::size_t i = 22400; i < 24000; ++i) {
      samples[i] = static_cast<std::int16_t>(samples[i] * 4);
    }
    tone = Path("tone.wav");
    QVERIFY(WriteWave(tone, 1, 16, 16000, Bytes16(samples)));
  }

  void cleanupTestCase() { pulse.Stop(); }

  // 0.5-1.5 s: the output goes Active then ends, the position grows and stays in range, and
  // the sink received the range, its loud last tenth of a second included.
  void rangePlaysToItsEndOnTheSink() {
    CPlayWave player;
    QCOMPARE(player.Open(tone), CPlayWave::kDone);
    QCOMPARE(player.DataLength(), 48000u);
    QSignalSpy ended(&player, &CPlayWave::playEnded);
    QVERIFY(pulse.StartRecording());
    QTest::qWait(300);
    QCOMPARE(player.Play(8000, 24000), CPlayWave::kDone);
    QVERIFY(player.IsPlaying());
    QTRY_COMPARE_WITH_TIMEOUT(player.State(), QAudio::ActiveState, 5000);
    std::vector<std::uint32_t> positions;
    while (ended.isEmpty() && positions.size() < 2000) {
      std::uint32_t position = 0;
      QCOMPARE(player.GetCurrentPos(position), CPlayWave::kDone);
      positions.push_back(position);
      QTest::qWait(10);
    }
    QVERIFY(ended.wait(kEndWaitMs) || !ended.isEmpty());
    QCOMPARE(ended.count(), 1);
    QVERIFY(!player.IsPlaying());
    QVERIFY(std::is_sorted(positions.begin(), positions.end()));
    QVERIFY(positions.front() >= 8000 && positions.back() <= 24000);
    QVERIFY2(positions.back() > 16000, qPrintable(QString::number(positions.back())));
    QTest::qWait(500);
    const std::vector<std::int16_t> heard = pulse.StopRecording();
    // The quiet part: about 0.9 s of a 6000 sine, of which about 70 % lies above 3000.
    const int quiet = Above(heard, 3000) - Above(heard, 12000);
    QVERIFY2(quiet > 14400 * 0.7 * 0.7 && quiet < 14400 * 1.3, qPrintable(QString::number(quiet)));
    // The last tenth of a second (a 24000 sine, 0.5 above 18000 in magnitude) was not cut.
    const int loud = Above(heard, 18000);
    QVERIFY2(loud > 1600 * 0.5 * 0.7 && loud < 1600 * 1.3, qPrintable(QString::number(loud)));
  }

  void pauseHoldsThePositionAndContinueFinishes() {
    CPlayWave player;
    QCOMPARE(player.Open(tone), CPlayWave::kDone);
    QSignalSpy ended(&player, &CPlayWave::playEnded);
    QCOMPARE(player.Continue(), CPlayWave::kRefused);
    QCOMPARE(player.Play(0, 0), CPlayWave::kDone);
    QCOMPARE(player.End(), 0u);
    std::uint32_t position = 0;
    QTRY_VERIFY_WITH_TIMEOUT((player.GetCurrentPos(position), position > 1600), 10000);
    QCOMPARE(player.Pause(), CPlayWave::kDone);
    QCOMPARE(player.Pause(), CPlayWave::kRefused);
    QVERIFY(player.IsPaused());
    QTest::qWait(100);
    std::uint32_t held = 0;
    player.GetCurrentPos(held);
    QTest::qWait(600);
    std::uint32_t later = 0;
    player.GetCurrentPos(later);
    QVERIFY2(later - held < 800, qPrintable(QStringLiteral("%1 %2").arg(held).arg(later)));
    QVERIFY(ended.isEmpty());
    QCOMPARE(player.Continue(), CPlayWave::kDone);
    QVERIFY(!player.IsPaused());
    QVERIFY(ended.wait(kEndWaitMs));
    QCOMPARE(ended.count(), 1);
  }

  // Stop ends the playback at once and reports no end; the file stays open to play again.
  void stopEndsWithoutNotification() {
    CPlayWave player;
    QCOMPARE(player.Open(tone), CPlayWave::kDone);
    QSignalSpy ended(&player, &CPlayWave::playEnded);
    QCOMPARE(player.Play(0, 0), CPlayWave::kDone);
    QTest::qWait(200);
    QCOMPARE(player.Stop(), CPlayWave::kDone);
    QVERIFY(!player.IsPlaying());
    QTest::qWait(300);
    QVERIFY(ended.isEmpty());
    QVERIFY(player.IsOpen());
    QCOMPARE(player.Play(47000, 48000), CPlayWave::kDone);
    QVERIFY(ended.wait(kEndWaitMs));
    QCOMPARE(player.Close(), CPlayWave::kDone);
    QCOMPARE(player.Close(), CPlayWave::kRefused);
  }

  // A seek goes on from the new frame to the same end.
  void seekGoesOnToTheSameEnd() {
    CPlayWave player;
    QCOMPARE(player.Open(tone), CPlayWave::kDone);
    QCOMPARE(player.Seek(100), CPlayWave::kRefused);
    QSignalSpy ended(&player, &CPlayWave::playEnded);
    QCOMPARE(player.Play(0, 40000), CPlayWave::kDone);
    QTest::qWait(100);
    QCOMPARE(player.Seek(40001), CPlayWave::kRefused);
    QCOMPARE(player.Seek(36000), CPlayWave::kDone);
    QCOMPARE(player.End(), 40000u);
    std::uint32_t position = 0;
    QCOMPARE(player.GetCurrentPos(position), CPlayWave::kDone);
    QVERIFY(position >= 36000 && position <= 40000);
    QVERIFY(ended.wait(kEndWaitMs));
    QCOMPARE(ended.count(), 1);
  }

  void refusals() {
    CPlayWave player;
    QCOMPARE(player.Play(0, 0), CPlayWave::kRefused);
    std::uint32_t position = 0;
    QCOMPARE(player.GetCurrentPos(position), CPlayWave::kRefused);
    QCOMPARE(player.Open(tone), CPlayWave::kDone);
    QCOMPARE(player.Play(2000, 1000), CPlayWave::kRefused);
    QCOMPARE(player.Play(0, 48001), CPlayWave::kRefused);
    QCOMPARE(player.Play(48001, 0), CPlayWave::kRefused);
    QVERIFY(!player.IsPlaying());
    try {
      player.Open(Path("missing.wav"));
      QFAIL("opened a missing file");
    } catch (const CMelodyException& e) {
      QCOMPARE(e.Code(), CMelodyException::kFile);
    }
    QVERIFY(!player.IsOpen());
    // A-law samples would play as noise; 24-bit has no output format here.
    const std::string alaw = Path("alaw.wav");
    QVERIFY(WriteWave(alaw, 1, 8, 8000, std::vector<std::uint8_t>(800, 0x55), 6));
    QCOMPARE(player.Open(alaw), CPlayWave::kUnsupportedFormat);
    const std::string wide = Path("wide.wav");
    QVERIFY(WriteWave(wide, 1, 24, 16000, std::vector<std::uint8_t>(3000)));
    QCOMPARE(player.Open(wide), CPlayWave::kUnsupportedFormat);
    QVERIFY(!player.IsOpen());
  }

  void transTime() {
    std::uint32_t seconds = 0;
    QCOMPARE(CPlayWave::TransTime(32000, 2, 16001, seconds), CPlayWave::kDone);
    QCOMPARE(seconds, 2u);
    QCOMPARE(CPlayWave::TransTime(32000, 2, 16000, seconds), CPlayWave::kDone);
    QCOMPARE(seconds, 1u);
    double exact = 0;
    QCOMPARE(CPlayWave::TransTime(32000, 2, 16001, exact), CPlayWave::kDone);
    QCOMPARE(exact, 1.0);
    QCOMPARE(CPlayWave::TransTime(0, 2, 16001, seconds), CPlayWave::kRefused);
    QCOMPARE(CPlayWave::TransTime(32000, 0, 16001, exact), CPlayWave::kRefused);
  }
};

QTEST_MAIN(PlayWaveTest)
#include "PlayWaveTest.moc"
