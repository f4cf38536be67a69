#include <cmath>

#include <gtest/gtest.h>

#include "melody/MelodyVolume.h"

namespace {

TEST(MelodyVolume, AutoBringsThePeakToTheTargetAndThenNothingRaisesIt) {
  CMelodyVolume volume(32767, 4);
  volume.Reset(16384);
  EXPECT_TRUE(volume.CanAuto());
  EXPECT_TRUE(volume.Auto());
  EXPECT_EQ(std::lround(volume.DisplayedPeak()), 32767);
  EXPECT_FALSE(volume.CanUp());
  EXPECT_FALSE(volume.CanAuto());
  EXPECT_FALSE(volume.Up());
  EXPECT_TRUE(volume.CanDown());
}

// One dB below the target with a 4 dB step, Vol Up lands exactly on the target.
TEST(MelodyVolume, UpThatWouldPassTheTargetDoesAuto) {
  CMelodyVolume volume(32767, 4);
  volume.Reset(32767 * std::pow(10.0, -1.0 / 20.0));
  EXPECT_TRUE(volume.CanUp());
  EXPECT_TRUE(volume.Up());
  EXPECT_DOUBLE_EQ(volume.Db(), 20.0 * std::log10(32767 / volume.Peak()));
  EXPECT_NEAR(volume.Db(), 1.0, 1e-9);
}

TEST(MelodyVolume, StepsAndRestoreAreExact) {
  CMelodyVolume volume(32767, 4);
  volume.Reset(1000);
  EXPECT_TRUE(volume.Up());
  EXPECT_EQ(volume.Db(), 4.0);
  const double peak = volume.Peak();
  const double db = volume.Db();
  EXPECT_TRUE(volume.Down());
  EXPECT_TRUE(volume.Down());
  EXPECT_EQ(volume.Db(), -4.0);
  volume.Restore(peak, db);
  EXPECT_EQ(volume.Db(), 4.0);
  EXPECT_EQ(volume.Gain(), std::pow(10.0, 4.0 / 20.0));
}

// Vol Dw stops while one more step would leave a peak below 1.
TEST(MelodyVolume, DownStopsBeforeTheLevelReachesZero) {
  CMelodyVolume volume(32767, 4);
  volume.Reset(2);
  EXPECT_TRUE(volume.CanDown());  // 2 * 10^(-4/20) = 1.26
  EXPECT_TRUE(volume.Down());
  EXPECT_FALSE(volume.CanDown());  // 0.79 truncates to 0
  EXPECT_FALSE(volume.Down());
  EXPECT_EQ(volume.Db(), -4.0);
}

// Silence has no level: no command is offered and none changes the offset (Auto Vol would
// otherwise set +infinity dB).
TEST(MelodyVolume, SilenceOffersNoCommand) {
  CMelodyVolume volume(32767, 4);
  volume.Reset(0);
  EXPECT_FALSE(volume.CanUp());
  EXPECT_FALSE(volume.CanDown());
  EXPECT_FALSE(volume.CanAuto());
  EXPECT_FALSE(volume.Auto());
  EXPECT_FALSE(volume.Up());
  EXPECT_EQ(volume.Db(), 0.0);
  EXPECT_TRUE(std::isfinite(volume.Gain()));
}

// A target of 0 or a step of 0 read from the settings still gives usable commands.
TEST(MelodyVolume, UnusableLimitsAreBroughtIntoRange) {
  CMelodyVolume zeroTarget(0, 0);
  zeroTarget.Reset(100);
  EXPECT_FALSE(zeroTarget.CanAuto());
  EXPECT_TRUE(zeroTarget.Down());
  EXPECT_EQ(zeroTarget.Db(), -1.0);
  CMelodyVolume highTarget(100000, 4);
  highTarget.Reset(16384);
  EXPECT_TRUE(highTarget.Auto());
  EXPECT_EQ(std::lround(highTarget.DisplayedPeak()), 32767);
}

TEST(MelodyVolume, AboveIgnoresRoundingNoise) {
  EXPECT_FALSE(CMelodyVolume::Above(32767.000000000004, 32767.0));
  EXPECT_TRUE(CMelodyVolume::Above(32767.001, 32767.0));
  EXPECT_FALSE(CMelodyVolume::Above(32766.0, 32767.0));
}

}  // namespace
