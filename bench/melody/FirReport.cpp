// melody_fir_report: designs every resampler table and prints its measured response:
// length, DC gain, half-gain frequency, pass-band ripple and stop-band attenuation.
#include <cmath>
#include <cstdio>

#include "melody/FirDesign.h"
#include "melody/FirTable.h"

int main() {
  std::printf("%-8s %-7s %5s %6s %9s %9s %9s %9s %10s %9s\n", "ratio", "kind", "taps", "DC", "cutoff", "half-gain",
              "pass-edge", "stop-edge", "ripple dB", "stop dB");
  for (const FirTable* t : AllFirTables()) {
    const auto figures = FirDesign::Measure(t->h, t->PassEdge(), t->StopEdge());
    double dc = 0.0;
    bool symmetric = true;
    for (std::size_t i = 0; i < t->h.size(); ++i) {
      dc += t->h[i];
      symmetric = symmetric && t->h[i] == t->h[t->h.size() - 1 - i];
    }
    std::printf("%2d/%-5d %-7s %5d %6.3f %9.4f %9.4f %9.4f %9.4f %10.5f %9.1f%s\n", t->L, t->M,
                t->direct ? "direct" : (t->L > t->M ? "up" : "down"), t->taps, dc, t->cutoff, figures.halfGainFrequency,
                t->PassEdge(), t->StopEdge(), figures.passRippleDb, figures.stopAttenuationDb,
                symmetric ? "" : "  NOT SYMMETRIC");
  }
  return 0;
}
