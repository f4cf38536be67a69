#include "melody/FirDesign.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace FirDesign {

namespace {

// Zeroth-order modified Bessel function of the first kind (power series).
double BesselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  const double q = x * x / 4.0;
  for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
  }
  return sum;
}

}  // namespace

double KaiserBeta(double a) {
  if (a > 50.0) {
    return 0.1102 * (a - 8.7);
  }
  if (a >= 21.0) {
    return 0.5842 * std::pow(a - 21.0, 0.4) + 0.07886 * (a - 21.0);
  }
  return 0.0;
}

double KaiserAttenuation(int taps, double width) {
  return 2.285 * (taps - 1) * 2.0 * std::numbers::pi * width + 7.95;
}

std::vector<double> KaiserLowpass(int taps, double cutoff, double beta, double dcGain) {
  std::vector<double> h(static_cast<std::size_t>(taps));
  const double centre = (taps - 1) / 2.0;
  const double i0Beta = BesselI0(beta);
  for (int n = 0; n < taps; ++n) {
    const double t = n - centre;
    const double sinc =
        t == 0.0 ? 2.0 * cutoff : std::sin(2.0 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
    const double r = centre > 0 ? t / centre : 0.0;
    const double window = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0Beta;
    h[static_cast<std::size_t>(n)] = sinc * window;
  }
  // Mirror exactly so rounding cannot break the symmetry, then set the DC gain.
  for (int n = 0; n < taps / 2; ++n) {
    const double mean = (h[static_cast<std::size_t>(n)] + h[static_cast<std::size_t>(taps - 1 - n)]) / 2.0;
    h[static_cast<std::size_t>(n)] = h[static_cast<std::size_t>(taps - 1 - n)] = mean;
  }
  double sum = 0.0;
  for (double v : h) {
    sum += v;
  }
  for (double& v : h) {
    v *= dcGain / sum;
  }
  return h;
}

double Magnitude(const std::vector<double>& h, double f) {
  double re = 0.0;
  double im = 0.0;
  for (std::size_t n = 0; n < h.size(); ++n) {
    const double w = 2.0 * std::numbers::pi * f * static_cast<double>(n);
    re += h[n] * std::cos(w);
    im -= h[n] * std::sin(w);
  }
  return std::hypot(re, im);
}

ResponseFigures Measure(const std::vector<double>& h, double passEdge, double stopEdge) {
  ResponseFigures figures;
  const double dc = Magnitude(h, 0.0);
  const int points = 4000;
  double passMin = dc;
  double passMax = dc;
  for (int i = 0; i <= points; ++i) {
    const double m = Magnitude(h, passEdge * i / points);
    passMin = std::min(passMin, m);
    passMax = std::max(passMax, m);
  }
  figures.passRippleDb = 20.0 * std::log10(passMax / passMin);
  double stopMax = 0.0;
  for (int i = 0; i <= points * 4; ++i) {
    stopMax = std::max(stopMax, Magnitude(h, stopEdge + (0.5 - stopEdge) * i / (points * 4)));
  }
  figures.stopAttenuationDb = -20.0 * std::log10(std::max(stopMax, 1e-300) / dc);
  // Bisection between the pass-band and stop-band edges for the half-gain point.
  double lo = passEdge;
  double hi = stopEdge;
  for (int i = 0; i < 60; ++i) {
    const double mid = (lo + hi) / 2.0;
    (Magnitude(h, mid) > dc / 2.0 ? lo : hi) = mid;
  }
  figures.halfGainFrequency = (lo + hi) / 2.0;
  return figures;
}

}  // namespace FirDesign
