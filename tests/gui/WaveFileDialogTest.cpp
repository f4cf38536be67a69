// The WAVE open dialog: the information panel, the channel choice, message 788, files that
// cannot be previewed, the preview on a private PulseAudio null sink, and its screenshots.
#include "MelodyGuiSupport.h"
#include "PulseNullSink.h"
#include "TemplateFixture.h"

#include "melody/WaveFileDialog.h"

#include <QFileSystemModel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace melodygui;
using namespace templatetest;

class WaveFileDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir;
  CPulseNullSink pulse;
  bool pulseRunning = false;
  std::unique_ptr<Services> services;
  std::unique_ptr<CWaveFileDialog> dialog;

  std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
  QString QPath(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  void Select(const char* name) { dialog->OnFileNameChange(QPath(name)); }

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    pulseRunning = CPulseNullSink::Installed() && pulse.Start();
    QVERIFY(WriteWave(Path("mono.wav"), 1, 16, 16000, Bytes16(Tone(440, 8000, 16000, 16000 * 3))));
    // "Ring@Tone.wav": stereo 8-bit 44.1 kHz with a silent right channel.
    std::vector<std::uint8_t> stereo(44100 * 2 * 2);
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
      stereo[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(i * 0.03));
      stereo[i + 1] = 128;
    }
    QVERIFY(WriteWave(Path("Ring@Tone.wav"), 2, 8, 44100, stereo));
    // A RIFF size of 1025 bytes: 989 data bytes after the 36 header bytes it counts.
    QVERIFY(WriteWave(Path("odd.wav"), 1, 8, 8000, std::vector<std::uint8_t>(989, 128)));
    QVERIFY(WriteWave(Path("alaw.wav"), 1, 8, 8000, std::vector<std::uint8_t>(8000, 0x55), 6));
    QVERIFY(WriteWave(Path("fast.wav"), 1, 16, 96000, std::vector<std::uint8_t>(19200)));
    // A header whose average byte rate is 0.
    QVERIFY(WriteWave(Path("norate.wav"), 1, 16, 16000, std::vector<std::uint8_t>(3200)));
    QFile norate(QPath("norate.wav"));
    QVERIFY(norate.open(QIODevice::ReadWrite));
    norate.seek(28);
    norate.write(QByteArray(4, '\0'));
    norate.close();
    QFile junk(QPath("junk.wav"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a RIFF file at all, just text");
    junk.close();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.wav")));
  }

  void cleanupTestCase() { pulse.Stop(); }

  void init() {
    services = std::make_unique<Services>();
    dialog = std::make_unique<CWaveFileDialog>(nullptr, &services->context);
  }

  void cleanup() {
    dialog.reset();
    services.reset();
  }

  void monoDisablesTheChannelChoice() {
    Select("mono.wav");
    QVERIFY(dialog->HasDescription());
    QVERIFY(!dialog->LeftButton()->isEnabled());
    QVERIFY(!dialog->RightButton()->isEnabled());
    QVERIFY(dialog->PlayButton()->isEnabled());
    QCOMPARE(dialog->Channel(), 1);
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kRate), QStringLiteral("16000Hz"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kWidth), QStringLiteral("16bit"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kChannels), QStringLiteral("Mono"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kDuration), QStringLiteral("00:03"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kSize), QStringLiteral("94KByte"));
    QCOMPARE(dialog->DataSize(), 96000u);
    QVERIFY(services->shown.empty());
  }

  void stereoOffersLeftAndRightWithLeftFirst() {
    Select("Ring@Tone.wav");
    QVERIFY(dialog->LeftButton()->isEnabled());
    QVERIFY(dialog->RightButton()->isEnabled());
    QVERIFY(dialog->GetLeftButtonCheck());
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kChannels), QStringLiteral("Stereo"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kWidth), QStringLiteral("8bit"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kRate), QStringLiteral("44100Hz"));
    dialog->RightButton()->click();
    QCOMPARE(dialog->Channel(), 2);
    QCOMPARE(dialog->Info().m_wChannels, std::uint16_t{2});
    // Another file starts again with the left channel.
    Select("mono.wav");
    QCOMPARE(dialog->Channel(), 1);
    Select("Ring@Tone.wav");
    QVERIFY(dialog->GetLeftButtonCheck());
  }

  void sizeAndDurationRoundUp() {
    Select("odd.wav");
    QCOMPARE(dialog->Info().m_dwRiffSize, 1025u);
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kSize), QStringLiteral("2KByte"));
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kDuration), QStringLiteral("00:01"));
    QCOMPARE(CWaveFileDialog::DurationText(59), QStringLiteral("00:59"));
    QCOMPARE(CWaveFileDialog::DurationText(3599), QStringLiteral("59:59"));
    QCOMPARE(CWaveFileDialog::DurationText(3600), QStringLiteral("01:00:00"));
    QCOMPARE(CWaveFileDialog::DurationText(36061), QStringLiteral("10:01:01"));
  }

  void zeroByteRateShows788AndNoDuration() {
    Select("norate.wav");
    QCOMPARE(services->shown, std::vector<std::int32_t>{CWaveFileDialog::kMsgError});
    QVERIFY(dialog->ValueText(CWaveFileDialog::kDuration).isEmpty());
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kRate), QStringLiteral("16000Hz"));
    QVERIFY(!dialog->PlayButton()->isEnabled());
  }

  // Files the conversion does not take are described but cannot be previewed; what is not a
  // WAVE file, a folder or nothing leaves the panel empty, without a message.
  void unplayableAndUnreadableSelections() {
    for (const char* name : {"alaw.wav", "fast.wav"}) {
      Select(name);
      QVERIFY(dialog->HasDescription());
      QVERIFY2(!dialog->PlayButton()->isEnabled(), name);
    }
    QCOMPARE(dialog->ValueText(CWaveFileDialog::kRate), QStringLiteral("96000Hz"));
    for (const char* name : {"junk.wav", "folder.wav", "missing.wav", ""}) {
      Select(name);
      QVERIFY(!dialog->HasDescription());
      QVERIFY(!dialog->PlayButton()->isEnabled());
      QVERIFY(!dialog->LeftButton()->isEnabled());
      QVERIFY(dialog->ValueText(CWaveFileDialog::kSize).isEmpty());
      QVERIFY(dialog->ValueText(CWaveFileDialog::kDuration).isEmpty());
    }
    QVERIFY(services->shown.empty());
  }

  // The dialog's own selection reaches the panel, and the current folder survives the dialog.
  void selectionInTheDialogAndCurrentFolder() {
    const QString before = QDir::currentPath();
    dialog->setDirectory(dir.path());
    QTimer::singleShot(0, dialog.get(), [this] {
      dialog->selectFile(QPath("Ring@Tone.wav"));
      QDir::setCurrent(dir.path());
      QTimer::singleShot(200, dialog.get(), [this] { static_cast<QDialog*>(dialog.get())->accept(); });
    });
    const std::string chosen = dialog->Choose();
    QCOMPARE(QDir::currentPath(), before);
    QCOMPARE(QString::fromStdString(chosen), QPath("Ring@Tone.wav"));
    QVERIFY(dialog->HasDescription());
    QCOMPARE(dialog->Info().m_dwSamplesPerSec, 44100u);
  }

  void previewPlaysAndStops() {
    if (!pulseRunning) {
      QSKIP("pulseaudio is not installed");
    }
    Select("mono.wav");
    dialog->PlayButton()->click();
    QVERIFY(dialog->IsPreviewing());
    QCOMPARE(dialog->PlayButton()->text(), QStringLiteral("Stop"));
    // Another selection stops the preview.
    Select("Ring@Tone.wav");
    QVERIFY(!dialog->IsPreviewing());
    QCOMPARE(dialog->PlayButton()->text(), QStringLiteral("Play"));
    // Stop by the button, then a preview that runs to its end.
    dialog->PlayButton()->click();
    QVERIFY(dialog->IsPreviewing());
    dialog->PlayButton()->click();
    QVERIFY(!dialog->IsPreviewing());
    Select("odd.wav");
    dialog->PlayButton()->click();
    QVERIFY(dialog->IsPreviewing());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsPreviewing(), 20000);
    QCOMPARE(dialog->PlayButton()->text(), QStringLiteral("Play"));
    QVERIFY(services->shown.empty());
  }

  void screenshotsInEveryLanguage() {
    for (int language = 0; language < 4; ++language) {
      QVERIFY(services->strings.Load(language));
      CWaveFileDialog shown(nullptr, &services->context);
      shown.setDirectory(dir.path());
      shown.resize(720, 520);
      shown.show();
      QVERIFY(QTest::qWaitForWindowExposed(&shown));
      // A click on the file in the list, as a user picks it.
      auto* model = shown.findChild<QFileSystemModel*>();
      auto* list = shown.findChild<QListView*>(QStringLiteral("listView"));
      QVERIFY(model != nullptr && list != nullptr);
      QTRY_VERIFY(model->index(QPath("Ring@Tone.wav")).isValid());
      list->setCurrentIndex(model->index(QPath("Ring@Tone.wav")));
      QTRY_VERIFY(shown.HasDescription());
      QVERIFY(shown.RightButton()->isEnabled());
      const QString name = QStringLiteral("/wave-open-dialog-") + CLanguageStrings::LanguageName(language);
      QVERIFY(shown.grab().save(ScreenshotDir() + name + QStringLiteral(".png")));
    }
  }
};

QTEST_MAIN(WaveFileDialogTest)
#include "WaveFileDialogTest.moc"
