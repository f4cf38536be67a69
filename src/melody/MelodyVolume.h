#pragma once

#include <cstdint>

// The volume of the edited melody as the melody window keeps it: the peak of the samples and
// an offset in dB applied only when the melody is sent or saved. Vol Up and Vol Dw move the
// offset by a step; Auto Vol brings the displayed peak to the target; Vol Up that would pass
// the target does Auto Vol instead. Every command needs a peak above 0: silence has no level
// to scale (Auto Vol would otherwise ask for +infinity dB).
class CMelodyVolume {
 public:
  CMelodyVolume(std::uint32_t maxVolume, std::uint32_t stepDb);

  // A new edited melody: its peak, offset 0 dB.
  void Reset(double peak);
  // Restores a state saved before a command (undo).
  void Restore(double peak, double db);

  double Peak() const { return m_peak; }
  double Db() const { return m_db; }
  double Gain() const;
  double DisplayedPeak() const;

  bool CanDown() const;
  bool CanUp() const;
  bool CanAuto() const;
  // Each returns false and changes nothing when it is not available.
  bool Down();
  bool Up();
  bool Auto();

  // a > b beyond rounding noise (relative 1e-12): a level that round-trips through dB is
  // not taken as above the target it was set to.
  static bool Above(double a, double b);

 private:
  double PeakAt(double db) const;

  double m_maxVolume;
  double m_stepDb;
  double m_peak = 0.0;
  double m_db = 0.0;
};
