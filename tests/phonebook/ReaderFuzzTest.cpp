// Thousands of mutated files through every reader: no crash, no hang, and whatever the
// readers let into a list still obeys the entry rules.
#include "phonebook/CsvFormat.h"
#include "phonebook/HandsetRecord.h"
#include "phonebook/ImportJob.h"
#include "phonebook/OutlookTempFile.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/VCardFormat.h"

#include "PhonebookTestFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace std::string_view_literals;

constexpr int kRounds = 4000;
constexpr std::string_view kInteresting = "\",;:=\\\r\n \t-*#PF0@`\x00\xFF\xC3\xEF\xBB\xBF"sv;

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(TestData(""))) {
    seeds.push_back(ReadBytes(entry.path()));
  }
  seeds.push_back(
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=A9=\r\n=\r\n"
      "TEL;TYPE=CELL:1\r\n END:VCARD");
  seeds.push_back("\"a\"\"\",\"\"\"\n\"\n,,,\"");
  return seeds;
}

std::string Mutate(std::string text, std::mt19937& random) {
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int i = 0; i < edits; ++i) {
    const std::size_t pos = text.empty() ? 0 : random() % (text.size() + 1);
    const char interesting = kInteresting[random() % kInteresting.size()];
    switch (random() % 6) {
      case 0:
        text.insert(pos, 1, interesting);
        break;
      case 1:
        if (pos < text.size()) {
          text[pos] = interesting;
        }
        break;
      case 2:
        if (pos < text.size()) {
          text[pos] = static_cast<char>(random());
        }
        break;
      case 3:
        text.erase(pos, random() % 16);
        break;
      case 4:
        text.insert(pos, text.substr(random() % (text.size() + 1), random() % 64));
        break;
      default:
        text.resize(pos);
        break;
    }
  }
  return text;
}

void ExpectSoundList(const CPhonebookList& list) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const PhonebookRow& row = list.Row(i);
    ASSERT_TRUE(IsValidNumber(StoredNumber(row.number))) << row.number;
    ASSERT_EQ(NormaliseName(row.name), row.name);
    ASSERT_EQ(FindByNumber(list, row.number), static_cast<int>(i)) << "number twice: " << row.number;
  }
}

void ExpectSoundGrid(const CImportGrid& grid) {
  for (std::size_t row = 0; row < grid.RowCount(); ++row) {
    ASSERT_LE(grid.RowCells(row).size(), grid.ColumnCount());
  }
}

void ImportSomeColumns(const CImportGrid& grid, std::mt19937& random) {
  ExpectSoundGrid(grid);
  const int columns = static_cast<int>(grid.ColumnCount()) + 1;
  const auto lists =
      ChooseColumns(grid, static_cast<int>(random() % columns), 1 + static_cast<int>(random() % columns));
  if (lists) {
    CPhonebookList list;
    ImportEntries(list, *lists, random() % 2 == 0);
    ExpectSoundList(list);
  }
}

void RunEveryReader(const std::string& text, std::mt19937& random) {
  ImportSomeColumns(ParseCsvText(text), random);
  ImportSomeColumns(ParseVCardText(text), random);

  CPhonebookList list;
  list.Append("Seed", "1");
  ReadPhonebookText(text, list, random() % 2 == 0, true);
  ExpectSoundList(list);
  for (const std::string_view line : {std::string_view(text).substr(0, 80), std::string_view(text)}) {
    MergeEntryLine(list, line, false, true);
  }
  ExpectSoundList(list);

  CPhonebookList handset;
  ReadSendCacheText(text, handset, true);
  ExpectSoundList(handset);

  for (OutlookSource source : {OutlookSource::PersonalFolders, OutlookSource::AddressBook}) {
    std::vector<PhonebookEntry> collected;
    ReadOutlookTempText(text, source, list, true, collected);
    CPhonebookList merged;
    MergeCollected(merged, collected);
    ExpectSoundList(merged);
  }

  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.resize(std::max<std::size_t>(bytes.size(), 36));
  if (const auto entry = DecodeRecord(bytes)) {
    EXPECT_TRUE(IsValidNumber(entry->number));
    const auto again = DecodeRecord(EncodeRecord(entry->name, entry->number, entry->attributes).bytes);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->number, entry->number);
  }
  if (const auto caller = DecodeCallerRecord(bytes)) {
    CPhonebookList callers;
    MergeCallers(callers, {*caller}, true);
    ExpectSoundList(callers);
  }
}

TEST(ReaderFuzz, MutatedFilesThroughEveryReader) {
  std::mt19937 random(20261208);
  const std::vector<std::string> seeds = Seeds();
  ASSERT_GE(seeds.size(), 8u);
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = Mutate(seeds[static_cast<std::size_t>(round) % seeds.size()], random);
    RunEveryReader(text, random);
    if (HasFatalFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}

TEST(ReaderFuzz, MutatedFilesFromDisk) {
  std::mt19937 random(8122026);
  const std::vector<std::string> seeds = Seeds();
  CScratchFolder folder;
  const auto path = folder / "fuzz.dat";
  for (int round = 0; round < 200; ++round) {
    WriteBytes(path, Mutate(seeds[static_cast<std::size_t>(round) % seeds.size()], random));
    CImportGrid grid;
    if (ReadCsvGrid(path, grid) == CsvReadStatus::Ok) {
      ExpectSoundGrid(grid);
    }
    if (ReadVCardGrid(path, grid) == VCardReadStatus::Ok) {
      ExpectSoundGrid(grid);
    }
    CPhonebookList list;
    ReadPhonebookFile(path, list, false, true);
    ExpectSoundList(list);
    ReadSendCache(path, list, false);
    ExpectSoundList(list);
  }
}

}  // namespace
