// Time of an Outlook import of SampleContacts.pst (six contacts, 271 KB): the export over
// libpff alone, and the import job through the loaded library.
#include "ioutlk/ContactExport.h"
#include "phonebook/OutlookImport.h"
#include "platform/Paths.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

const std::string kSample = std::string(ORVANE_TEST_DATA_DIR) + "/outlook/SampleContacts.pst";

void BM_ContactExport(benchmark::State& state) {
  const std::atomic<bool> cancel{false};
  for (auto _ : state) {
    CPffFile file;
    if (!file.Open(kSample)) {
      state.SkipWithError("sample not opened");
      return;
    }
    CContactExport exporter(file, cancel);
    std::string lines;
    exporter.Run(lines);
    benchmark::DoNotOptimize(lines);
  }
}
BENCHMARK(BM_ContactExport)->Unit(benchmark::kMillisecond);

void BM_OutlookImportJob(benchmark::State& state) {
  COutlookLibrary library;
  if (!library.Load(std::filesystem::path(ORVANE_OUTPUT_DIR) / COutlookLibrary::kFileName)) {
    state.SkipWithError("ioutlk.so not loaded");
    return;
  }
  const std::atomic<bool> cancel{false};
  for (auto _ : state) {
    library.SetSourceFile(kSample);
    const OutlookImportResult result = RunOutlookImport(library, "", {}, true, cancel, CPaths::TempDir());
    if (result.collection.collected.size() != 6) {
      state.SkipWithError("unexpected contacts");
      return;
    }
  }
}
BENCHMARK(BM_OutlookImportJob)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
