#pragma once

#include <vector>

// One low-pass table of the resamplers, for the ratio L/M. The filter runs at the input
// rate times L; cutoff is its half-gain frequency as a fraction of that rate.
struct FirTable {
  int L = 1;
  int M = 1;
  int taps = 0;
  double dcGain = 1.0;
  double cutoff = 0.0;
  // Leading output samples discarded so the output lines up with the input (the
  // filter's group delay in output samples).
  int delay = 0;
  // Direct decimation (L = 1): output k is centred on input k * M; `centre` is the tap
  // that meets input k * M.
  bool direct = false;
  int centre = 0;
  // Design: half the transition width and the Kaiser beta chosen for this length.
  double halfTransition = 0.0;
  double beta = 0.0;
  double designAttenuationDb = 0.0;
  std::vector<double> h;

  // Gain that restores unity pass-band gain after zero insertion by L.
  double Gain() const { return L / dcGain; }
  double PassEdge() const { return cutoff - halfTransition; }
  double StopEdge() const { return cutoff + halfTransition; }
};

// The table for L/M, designed on first use; null when the pair has no filter.
// `direct` selects the direct-decimation tables (1/3 and 1/7).
const FirTable* FirInit(int L, int M, bool direct = false);
// Every table, for measurement.
std::vector<const FirTable*> AllFirTables();
