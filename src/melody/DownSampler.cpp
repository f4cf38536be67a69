#include "melody/DownSampler.h"

#include "melody/FirTable.h"
#include "melody/MelodyException.h"
#include "melody/PolyphaseFilter.h"

CDownSampler::CDownSampler(const std::string& source, const std::string& destination, int L, int M) {
  const FirTable* table = nullptr;
  if (L < M) {
    table = L == 1 && (M == 3 || M == 7) ? FirInit(L, M, true) : FirInit(L, M);
  }
  if (table == nullptr) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CDownSampler::FirInit");
  }
  CPolyphaseFilter::ConvertFile(source, destination, *table);
}
