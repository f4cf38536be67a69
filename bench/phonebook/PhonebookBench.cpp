// Time of the file readers and of the import merge for phonebooks of growing size.
#include "phonebook/CsvFormat.h"
#include "phonebook/HandsetPhonebook.h"
#include "phonebook/ImportJob.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/VCardFormat.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

// A 10 MB contacts file as a phone writes it: one card with a 6 MB photo folded into lines
// of 75 characters, then cards with small photos up to the size.
std::string CardWithFoldedPhoto(const std::string& name, int number, std::size_t photoBytes) {
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nPHOTO;ENCODING=b;TYPE=JPEG:";
  const std::string chunk(74, 'Q');
  for (std::size_t written = 0; written < photoBytes; written += chunk.size()) {
    card += chunk + "\r\n ";
  }
  return card + "Zg==\r\nTEL;TYPE=CELL:" + Number(number) + "\r\nEND:VCARD\r\n";
}

void BM_ReadVCardFileWithPhoto(benchmark::State& state) {
  const std::size_t total = static_cast<std::size_t>(state.range(0)) << 20;
  std::string text = CardWithFoldedPhoto("Photo", 0, 6u << 20);
  for (int i = 1; text.size() < total; ++i) {
    text += CardWithFoldedPhoto("Name " + std::to_string(i), i, 4000);
  }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("orvane-bench-" + std::to_string(::getpid()) + ".vcf");
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
  for (auto _ : state) {
    CImportGrid grid;
    benchmark::DoNotOptimize(ReadVCardGrid(path, grid));
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadVCardFileWithPhoto)->Arg(10)->Unit(benchmark::kMillisecond);

// The handset side of a send for a list of n entries, every one received before with its
// attribute bytes: the queue of records to write, and the send cache written before the
// erase and read back by a restore.
std::vector<PhonebookEntry> Received(const CPhonebookList& list) {
  std::vector<PhonebookEntry> received;
  for (const PhonebookRow& row : list.Rows()) {
    const auto b = static_cast<std::uint8_t>(received.size());
    received.push_back({row.name, row.number, {b, 2, 3, 4}});
  }
  return received;
}

void BM_BuildSendQueue(benchmark::State& state) {
  const CPhonebookList list = MakeList(static_cast<int>(state.range(0)));
  const std::vector<PhonebookEntry> received = Received(list);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildSendQueue(list, received));
  }
}
BENCHMARK(BM_BuildSendQueue)->Arg(250)->Arg(10000)->Unit(benchmark::kMillisecond);

std::filesystem::path ScratchCache() {
  return std::filesystem::temp_directory_path() / ("orvane-bench-" + std::to_string(::getpid()) + "-PBCache.phb");
}

void BM_WriteSendCache(benchmark::State& state) {
  const std::vector<PhonebookEntry> received = Received(MakeList(static_cast<int>(state.range(0))));
  const std::filesystem::path path = ScratchCache();
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteSendCache(path, received));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteSendCache)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_RestoreSendCache(benchmark::State& state) {
  const std::filesystem::path path = ScratchCache();
  WriteSendCache(path, Received(MakeList(static_cast<int>(state.range(0)))));
  for (auto _ : state) {
    CPhonebookList handset;
    benchmark::DoNotOptimize(ReadSendCacheEntries(path));
    benchmark::DoNotOptimize(ReadSendCache(path, handset, true));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_RestoreSendCache)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
