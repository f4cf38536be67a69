// Time of the file readers and of the import merge for phonebooks of growing size.
#include "phonebook/CsvFormat.h"
#include "phonebook/ImportJob.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/VCardFormat.h"

#include <benchmark/benchmark.h>

namespace {

std::string Number(int i) {
  return "0" + std::to_string(301000000 + i * 7);
}

CPhonebookList MakeList(int count) {
  CPhonebookList list;
  for (int i = 0; i < count; ++i) {
    list.Append("Name " + std::to_string(i), ToDisplayNumber(Number(i), true));
  }
  SortAndNumber(list);
  return list;
}

std::string ContactsCsv(int count) {
  std::string text = "Name,Given Name,Family Name,Notes,Mobile Phone\r\n";
  for (int i = 0; i < count; ++i) {
    text += "\"Family " + std::to_string(i) + ", Given\",Given,Family,\"a note, with commas\"," + Number(i) + "\r\n";
  }
  return text;
}

void BM_ParseCsv(benchmark::State& state) {
  const std::string text = ContactsCsv(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseCsvText(text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseCsv)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ImportColumns(benchmark::State& state) {
  const CImportGrid grid = ParseCsvText(ContactsCsv(static_cast<int>(state.range(0))));
  const ImportLists lists = *ChooseColumns(grid, 1, 5);
  for (auto _ : state) {
    CPhonebookList list;
    benchmark::DoNotOptimize(ImportEntries(list, lists, true));
    SortAndNumber(list);
  }
}
BENCHMARK(BM_ImportColumns)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ReadPhonebook(benchmark::State& state) {
  const std::string text = PhonebookText(MakeList(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    CPhonebookList list;
    benchmark::DoNotOptimize(ReadPhonebookText(text, list, false, true));
  }
}
BENCHMARK(BM_ReadPhonebook)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ParseVCards(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < state.range(0); ++i) {
    text += VCardText("Name " + std::to_string(i), Number(i), "200537953") + "\r\n";
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseVCardText(text));
  }
}
BENCHMARK(BM_ParseVCards)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
