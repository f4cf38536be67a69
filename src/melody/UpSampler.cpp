#include "melody/UpSampler.h"

#include "melody/FirTable.h"
#include "melody/MelodyException.h"
#include "melody/PolyphaseFilter.h"

CUpSampler::CUpSampler(const std::string& source, const std::string& destination, int L, int M) {
  const FirTable* table = L > M ? FirInit(L, M) : nullptr;
  if (table == nullptr) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "CUpSampler::FirInit");
  }
  CPolyphaseFilter::ConvertFile(source, destination, *table);
}
