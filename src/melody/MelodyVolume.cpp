#include "melody/MelodyVolume.h"

#include <algorithm>
#include <cmath>

CMelodyVolume::CMelodyVolume(std::uint32_t maxVolume, std::uint32_t stepDb)
    : m_maxVolume(std::clamp<std::uint32_t>(maxVolume, 1, 32767)), m_stepDb(std::max<std::uint32_t>(stepDb, 1)) {}

void CMelodyVolume::Reset(double peak) {
  m_peak = std::max(0.0, peak);
  m_db = 0.0;
}

void CMelodyVolume::Restore(double peak, double db) {
  m_peak = std::max(0.0, peak);
  m_db = db;
}

bool CMelodyVolume::Above(double a, double b) {
  return a > b && a - b > 1e-12 * std::max(std::abs(a), std::abs(b));
}

double CMelodyVolume::Gain() const {
  return std::pow(10.0, m_db / 20.0);
}

double CMelodyVolume::PeakAt(double db) const {
  return m_peak * std::pow(10.0, db / 20.0);
}

double CMelodyVolume::DisplayedPeak() const {
  return PeakAt(m_db);
}

bool CMelodyVolume::CanDown() const {
  return m_peak > 0.0 && std::trunc(PeakAt(m_db - m_stepDb)) > 0.0;
}

bool CMelodyVolume::CanUp() const {
  return m_peak > 0.0 && (!Above(PeakAt(m_db + m_stepDb), m_maxVolume) || Above(m_maxVolume, DisplayedPeak()));
}

bool CMelodyVolume::CanAuto() const {
  return m_peak > 0.0 && Above(m_maxVolume, DisplayedPeak());
}

bool CMelodyVolume::Down() {
  if (!CanDown()) {
    return false;
  }
  m_db -= m_stepDb;
  return true;
}

bool CMelodyVolume::Up() {
  if (!CanUp()) {
    return false;
  }
  if (Above(PeakAt(m_db + m_stepDb), m_maxVolume)) {
    return Auto();
  }
  m_db += m_stepDb;
  return true;
}

bool CMelodyVolume::Auto() {
  if (!CanAuto()) {
    return false;
  }
  m_db = 20.0 * std::log10(m_maxVolume / m_peak);
  return true;
}
