#include "melody/FirTable.h"

#include <algorithm>
#include <memory>

#include "melody/FirDesign.h"

namespace {

// The deepest stop band worth having for 16-bit output; beyond it a table trades
// nothing useful for a wider transition.
constexpr double kAttenuationCapDb = 100.0;
// The transition never eats more than a quarter of the pass band on either side of the
// cut-off, so short tables keep most of their band.
constexpr double kMaxHalfTransitionOfCutoff = 0.25;

struct Row {
  int L, M, taps;
  double dc, cutoff;
  bool direct;
};

constexpr Row kRows[] = {
    {1, 2, 401, 1.0, 0.250, false},  {3, 4, 409, 3.0, 0.125, false},   {2, 7, 130, 1.0, 0.070, false},
    {2, 9, 180, 1.0, 0.0545, false}, {1, 3, 301, 1.0, 0.160, true},    {1, 7, 130, 1.0, 0.070, true},
    {2, 1, 120, 1.0, 0.248, false},  {4, 1, 90, 1.0, 0.123, false},    {5, 1, 110, 1.0, 0.0985, false},
    {8, 1, 180, 1.0, 0.0615, false}, {10, 1, 220, 1.0, 0.0495, false}, {3, 2, 361, 3.0, 0.158, false},
    {4, 3, 217, 4.0, 0.108, false},  {5, 3, 121, 5.0, 0.094, false},   {5, 4, 121, 5.0, 0.094, false},
    {7, 5, 71, 7.0, 0.069, false},   {8, 5, 401, 8.04, 0.0585, false},
};

// Chooses the widest useful transition for the length: the one reaching the attenuation
// cap, or a quarter of the cut-off if the table is too short for that.
FirTable Design(const Row& row) {
  FirTable t;
  t.L = row.L;
  t.M = row.M;
  t.taps = row.taps;
  t.dcGain = row.dc;
  t.cutoff = row.cutoff;
  t.direct = row.direct;
  t.centre = row.direct ? row.taps / 2 : 0;
  t.delay = row.direct ? 0 : row.taps / (2 * row.M);
  const double capWidth = (kAttenuationCapDb - 7.95) / (2.285 * (row.taps - 1) * 2.0 * 3.14159265358979323846) / 2.0;
  t.halfTransition = std::min(capWidth, kMaxHalfTransitionOfCutoff * row.cutoff);
  t.designAttenuationDb = FirDesign::KaiserAttenuation(row.taps, 2.0 * t.halfTransition);
  t.beta = FirDesign::KaiserBeta(t.designAttenuationDb);
  t.h = FirDesign::KaiserLowpass(row.taps, row.cutoff, t.beta, row.dc);
  return t;
}

const std::vector<std::unique_ptr<FirTable>>& Tables() {
  static const std::vector<std::unique_ptr<FirTable>> tables = [] {
    std::vector<std::unique_ptr<FirTable>> all;
    for (const Row& row : kRows) {
      all.push_back(std::make_unique<FirTable>(Design(row)));
    }
    return all;
  }();
  return tables;
}

}  // namespace

const FirTable* FirInit(int L, int M, bool direct) {
  for (const auto& t : Tables()) {
    if (t->L == L && t->M == M && t->direct == direct) {
      return t.get();
    }
  }
  return nullptr;
}

std::vector<const FirTable*> AllFirTables() {
  std::vector<const FirTable*> all;
  for (const auto& t : Tables()) {
    all.push_back(t.get());
  }
  return all;
}
