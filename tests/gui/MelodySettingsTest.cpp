// The melody settings: defaults written when missing, unusable values brought into range.
#include "appcore/SettingsStore.h"
#include "melody/MelodySettings.h"
#include "melody/WaveView.h"
#include "platform/MemorySettingsBackend.h"

#include <QtTest>

class MelodySettingsTest : public QObject {
  Q_OBJECT

 private:
  static const std::string Key() { return kProductKey + "Melody"; }

 private slots:
  void defaultsAreWrittenWhenMissing() {
    CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
    CMelodySettings settings;
    settings.Read(&store);
    QCOMPARE(settings.maxUndoCount, 5u);
    QCOMPARE(settings.maxVolume, 32767u);
    QCOMPARE(settings.maxZoomSize, 50u);
    QCOMPARE(settings.volumeChangeRate, 4u);
    QCOMPARE(store.ReadOrCreateDword(Key(), "MaxZoomSize", 0), 50u);
    QCOMPARE(store.ReadOrCreateDword(Key(), "VolumeChangeRate", 0), 4u);
  }

  void unusableValuesAreClamped() {
    CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
    store.WriteDword(Key(), "MaxUndoCount", 0);
    store.WriteDword(Key(), "MaxVolume", 0);
    store.WriteDword(Key(), "MaxZoomSize", 0);
    store.WriteDword(Key(), "VolumeChangeRate", 0);
    CMelodySettings settings;
    settings.Read(&store);
    QCOMPARE(settings.maxUndoCount, 1u);
    QCOMPARE(settings.maxVolume, 1u);
    QCOMPARE(settings.maxZoomSize, 1u);
    QCOMPARE(settings.volumeChangeRate, 1u);
    store.WriteDword(Key(), "MaxUndoCount", 0xFFFFFFFF);
    store.WriteDword(Key(), "MaxVolume", 40000);
    store.WriteDword(Key(), "MaxZoomSize", 0x80000000);
    store.WriteDword(Key(), "VolumeChangeRate", 1000);
    settings.Read(&store);
    QCOMPARE(settings.maxUndoCount, CMelodySettings::kUndoLimit);
    QCOMPARE(settings.maxVolume, 32767u);
    QCOMPARE(settings.maxZoomSize, CMelodySettings::kZoomLimit);
    QCOMPARE(settings.volumeChangeRate, CMelodySettings::kVolumeStepLimit);
  }

  // A zoom limit read as 0 reaches the view as 1: zooming in and out both stay at 1.
  void zoomLimitZeroKeepsTheViewAtOne() {
    CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
    store.WriteDword(Key(), "MaxZoomSize", 0);
    CMelodySettings settings;
    settings.Read(&store);
    QCOMPARE(CWaveView::ZoomInStep(1, settings.maxZoomSize), 1.0);
    QCOMPARE(CWaveView::ZoomOutStep(1), 1.0);
  }
};

QTEST_MAIN(MelodySettingsTest)
#include "MelodySettingsTest.moc"
