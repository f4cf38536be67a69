#include "phonebook/ImportJob.h"
#include "phonebook/VCardFormat.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

using Cells = std::vector<std::string>;

std::tm MarchSeventh() {
  std::tm time{};
  time.tm_year = 2005 - 1900;
  time.tm_mon = 2;
  time.tm_mday = 7;
  time.tm_hour = 9;
  time.tm_min = 5;
  time.tm_sec = 3;
  return time;
}

TEST(VCardExport, TextTimeStampAndFileNames) {
  EXPECT_EQ(VCardTimeStamp(MarchSeventh()), "200537953");
  EXPECT_EQ(VCardText("A/B", "5551234", "200537953"),
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;A/B\r\nFN:A/B\r\nTEL;HOME:5551234\r\nREV:200537953\r\nEND:VCARD");
  EXPECT_EQ(VCardBaseName("A/B", "1"), "A_B");
  EXPECT_EQ(VCardBaseName("a/b:c*d\"e?f<g>h\\i|j", "1"), "a_b_c_d_e_f_g_h\\i|j");
  EXPECT_EQ(VCardBaseName("", "12*"), "12_");
}

TEST(VCardExport, OneFilePerEntryWithNumberedDuplicates) {
  CScratchFolder folder;
  const std::vector<PhonebookEntry> entries = {{"Anna", "555-1234", {}}, {"Anna", "999", {}}, {"", "12*", {}}};
  VCardExportResult result = ExportVCards(folder.Path(), entries, MarchSeventh());
  ASSERT_TRUE(result.Ok());
  result = ExportVCards(folder.Path(), {{"Anna", "1", {}}}, MarchSeventh());
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(result.written[0], folder / "Anna(2).vcf");
  EXPECT_EQ(ReadBytes(folder / "Anna.vcf"),
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;Anna\r\nFN:Anna\r\nTEL;HOME:5551234\r\nREV:200537953\r\nEND:VCARD");
  EXPECT_TRUE(std::filesystem::exists(folder / "Anna(1).vcf"));
  EXPECT_TRUE(std::filesystem::exists(folder / "12_.vcf"));
  EXPECT_EQ(folder.FileCount(), 4u);

  // A folder that cannot take the files: the failure names the file, earlier files stay.
  const auto missing = ExportVCards(folder / "gone", entries, MarchSeventh());
  EXPECT_FALSE(missing.Ok());
  EXPECT_EQ(missing.failed, folder / "gone" / "Anna.vcf");
}

TEST(VCardImport, ReadsTheLinesThatMatterIntoOneRowPerCard) {
  const CImportGrid grid =
      ParseVCardText("BEGIN:VCARD\r\nVERSION:2.1\r\nN:;Bob\r\nFN:Bob\r\nTEL;CELL:555-12\r\nEMAIL:b@x\r\nEND:VCARD");
  ASSERT_EQ(grid.RowCount(), 1u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Bob", "55512"}));

  const CImportGrid nick = ParseVCardText("FN:Jean-Luc\nNICKNAME:J-L\nTEL;HOME:0-1\nTEL:+1 555-0100\nNOTE:x\n");
  EXPECT_EQ(nick.RowCells(0), (Cells{"Jean-Luc", "J-L", "01", "+1 5550100"}));

  EXPECT_EQ(ParseVCardText("BEGIN:VCARD\nN:;x\nEMAIL:a\nEND:VCARD\n").RowCount(), 0u);
}

TEST(VCardImport, RealFilesFromPhonesAndAddressBooks) {
  CImportGrid grid;
  ASSERT_EQ(ReadVCardGrid(TestData("vcard21-qp.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 3u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"J\xC3\xBCrgen M\xC3\xBCller", "+491715550101", "0305550102"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"Jane Doe, Sales Department", "5550199"}));
  // No FN: the name comes from N, turned from Latin-1 into UTF-8.
  EXPECT_EQ(grid.RowCells(2), (Cells{"Jos\xC3\xA9 Garc\xC3\xAD"
                                     "a",
                                     "(555) 0102000"}));

  ASSERT_EQ(ReadVCardGrid(TestData("vcard30-cell.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 2u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Smith, John", "Johnny", "+15551234567", "5557654"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"Anna-Lena Hoffmann-Schmidt", "0211 555 0303"}));

  CPhonebookList list;
  const auto outcome = ImportEntries(list, *ChooseColumns(grid, 1, 3), true);
  EXPECT_EQ(outcome.added, 1u);
  EXPECT_EQ(outcome.invalidRows, (std::vector<std::size_t>{2}));
  EXPECT_EQ(list.Row(0).name, "Smith, John");
  EXPECT_EQ(list.Row(0).number, "1-555-123-4567");
}

TEST(VCardImport, MissingEmptyAndEntrylessFiles) {
  CScratchFolder folder;
  CImportGrid grid;
  EXPECT_EQ(ReadVCardGrid(folder / "missing.vcf", grid), VCardReadStatus::NotOpened);
  WriteBytes(folder / "empty.vcf", "");
  EXPECT_EQ(ReadVCardGrid(folder / "empty.vcf", grid), VCardReadStatus::NotOpened);
  WriteBytes(folder / "none.vcf", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;A\r\nEND:VCARD");
  EXPECT_EQ(ReadVCardGrid(folder / "none.vcf", grid), VCardReadStatus::NoEntries);
}

TEST(VCardRoundTrip, EachExportedFileImportsToTheSameEntry) {
  CScratchFolder folder;
  const std::vector<PhonebookEntry> entries = {{"A/B", "555-1234", {}},
                                               {"Jean-Luc", "12P3", {}},
                                               {"Back\\slash|bar", "*#", {}},
                                               {"", "12*", {}},
                                               {"Say \"Hi\"; x", "0301234567", {}},
                                               {"=3D", "1", {}}};
  const VCardExportResult result = ExportVCards(folder.Path(), entries, MarchSeventh());
  ASSERT_TRUE(result.Ok());
  ASSERT_EQ(result.written.size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    CImportGrid grid;
    ASSERT_EQ(ReadVCardGrid(result.written[i], grid), VCardReadStatus::Ok) << result.written[i];
    CPhonebookList list;
    ImportEntries(list, *ChooseColumns(grid, 1, 2), false);
    ASSERT_EQ(list.Count(), 1u) << result.written[i];
    EXPECT_EQ(list.Row(0).name, entries[i].name);
    EXPECT_EQ(list.Row(0).number, StoredNumber(entries[i].number));
  }
}

}  // namespace
