#pragma once

#include <vector>

// Kaiser-window design of linear-phase low-pass FIR filters, and measurement of the
// resulting response. Frequencies are fractions of the filter's sampling rate.
namespace FirDesign {

// Kaiser's estimate of the window parameter beta for a stop-band attenuation in dB.
double KaiserBeta(double attenuationDb);
// Attenuation a Kaiser window of `taps` reaches over a transition of `width` (full width).
double KaiserAttenuation(int taps, double width);
// Symmetric windowed-sinc low-pass: `taps` coefficients, half-gain at `cutoff`, scaled so
// that the coefficients sum to `dcGain`.
std::vector<double> KaiserLowpass(int taps, double cutoff, double beta, double dcGain);
// Magnitude of the filter's response at frequency f.
double Magnitude(const std::vector<double>& h, double f);

struct ResponseFigures {
  double passRippleDb = 0;       // peak-to-peak deviation in the pass band
  double stopAttenuationDb = 0;  // worst stop-band level below the DC gain
  double halfGainFrequency = 0;  // where the response falls to half the DC gain
};
ResponseFigures Measure(const std::vector<double>& h, double passEdge, double stopEdge);

}  // namespace FirDesign
