#include "phonebook/ImportJob.h"
#include "phonebook/VCardFormat.h"

#include "PhonebookTestFiles.h"

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

TEST(VCardExport, NamesWithoutVisibleTextUseTheNumber) {
  EXPECT_EQ(VCardBaseName("   ", "0301234"), "0301234");
  EXPECT_EQ(VCardBaseName(".profile", "12*"), "12_");
  EXPECT_EQ(VCardBaseName("..", "5"), "5");
  EXPECT_EQ(VCardBaseName("Dr. No", "5"), "Dr. No");
  EXPECT_EQ(VCardBaseName(" x", "5"), " x");

  // Names in another alphabet are blanks once cleaned; each file still gets a visible name
  // and imports back to its number.
  CScratchFolder folder;
  const std::vector<PhonebookEntry> entries = {{NormaliseName("\xE5\xBC\xA0\xE4\xBC\x9F"), "030-1234", {}},
                                               {NormaliseName("\xF0\x9F\x98\x80"), "555", {}},
                                               {".", "556", {}},
                                               {".hidden", "557", {}}};
  const VCardExportResult result = ExportVCards(folder.Path(), entries, MarchSeventh());
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(result.written, (std::vector<std::filesystem::path>{folder / "0301234.vcf", folder / "555.vcf",
                                                                folder / "556.vcf", folder / "557.vcf"}));
  for (const auto& file : std::filesystem::directory_iterator(folder.Path())) {
    EXPECT_NE(file.path().filename().string().front(), '.') << file.path();
  }
  CImportGrid grid;
  ASSERT_EQ(ReadVCardGrid(folder / "557.vcf", grid), VCardReadStatus::Ok);
  EXPECT_EQ(grid.RowCells(0), (Cells{".hidden", "557"}));
}

TEST(VCardImport, ReadsTheLinesThatMatterIntoOneRowPerCard) {
  const CImportGrid grid =
      ParseVCardText("BEGIN:VCARD\r\nVERSION:2.1\r\nN:;Bob\r\nFN:Bob\r\nTEL;CELL:555-12\r\nEMAIL:b@x\r\nEND:VCARD");
  ASSERT_EQ(grid.RowCount(), 1u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Bob", "55512"}));

  // Fixed columns whatever the order of the lines: name, first number, nickname, further
  // numbers.
  const CImportGrid nick = ParseVCardText("NICKNAME:J-L\nTEL;HOME:0-1\nFN:Jean-Luc\nTEL:+1 555-0100\nNOTE:x\n");
  EXPECT_EQ(nick.RowCells(0), (Cells{"Jean-Luc", "01", "J-L", "+1 5550100"}));

  EXPECT_EQ(ParseVCardText("BEGIN:VCARD\nN:;x\nEMAIL:a\nEND:VCARD\n").RowCount(), 0u);
}

TEST(VCardImport, RealFilesFromPhonesAndAddressBooks) {
  CImportGrid grid;
  ASSERT_EQ(ReadVCardGrid(TestData("vcard21-qp.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 3u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"J\xC3\xBCrgen M\xC3\xBCller", "+491715550101", "", "0305550102"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"Jane Doe, Sales Department", "5550199"}));
  // No FN: the name comes from N, turned from Latin-1 into UTF-8.
  EXPECT_EQ(grid.RowCells(2), (Cells{"Jos\xC3\xA9 Garc\xC3\xAD"
                                     "a",
                                     "(555) 0102000"}));

  ASSERT_EQ(ReadVCardGrid(TestData("vcard30-cell.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 2u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Smith, John", "+15551234567", "Johnny", "5557654"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"Anna-Lena Hoffmann-Schmidt", "0211 555 0303"}));

  CPhonebookList list;
  const auto outcome = ImportEntries(list, *ChooseColumns(grid, 1, 4), true);
  EXPECT_EQ(outcome.added, 1u);
  EXPECT_EQ(outcome.invalidRows, (std::vector<std::size_t>{2}));
  EXPECT_EQ(list.Row(0).name, "Smith, John");
  EXPECT_EQ(list.Row(0).number, "555-7654");
}

// "name|number" of every entry the grid gives with name column 1 and number column 2,
// sorted by name, numbers in stored form.
std::vector<std::string> ImportedPairs(const CImportGrid& grid) {
  CPhonebookList list;
  ImportEntries(list, *ChooseColumns(grid, 1, 2), false);
  SortAndNumber(list);
  std::vector<std::string> pairs;
  for (const PhonebookRow& row : list.Rows()) {
    pairs.push_back(row.name + "|" + row.number);
  }
  return pairs;
}

using Pairs = std::vector<std::string>;

TEST(VCardImport, EveryCardOfAPhoneExportKeepsItsOwnNumber) {
  CImportGrid grid;
  ASSERT_EQ(ReadVCardGrid(TestData("android-21-contacts.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 5u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Anna Berg", "+49 171 5550101", "", "030 5550102"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"J\xC3\xBCrgen M\xC3\xBCller", "01725550103", "Jo"}));
  EXPECT_EQ(grid.RowCells(2), (Cells{"\xE5\xBC\xA0\xE4\xBC\x9F\xE5\xBC\xBA", "+86 138 0013 8000"}));
  EXPECT_EQ(grid.RowCells(3), (Cells{"", "0176 5550199"}));
  EXPECT_EQ(grid.RowCells(4), (Cells{"Deniz Kaya", "(030) 5550105", "Dee"}));
  EXPECT_EQ(ImportedPairs(grid), (Pairs{"|01765550199", "   |8613800138000", "Anna Berg|491715550101",
                                        "Deniz Kaya|0305550105", "J rgen M ller|01725550103"}));

  ASSERT_EQ(ReadVCardGrid(TestData("apple-30-contacts.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 4u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"John Doe", "+1 (555) 1234567", "Johnny", "(555) 7654321 ext. 12"}));
  EXPECT_EQ(grid.RowCells(2), (Cells{"Mary Ann O'Neil", "5550142", "Mo", "5550143"}));
  EXPECT_EQ(ImportedPairs(grid),
            (Pairs{"|15550109999", "Acme Plumbing|5551234567", "John Doe|15551234567", "Mary Ann O'Neil|5550142"}));

  ASSERT_EQ(ReadVCardGrid(TestData("thunderbird-40-contacts.vcf"), grid), VCardReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 3u);
  EXPECT_EQ(grid.RowCells(1), (Cells{"Kai M\xC3\xBCller", "+49305550177;ext=102", "", "+491715550178"}));
  EXPECT_EQ(grid.RowCells(2), (Cells{"", "+15550100", "Front desk"}));
  EXPECT_EQ(ImportedPairs(grid), (Pairs{"|15550100", "Kai M ller|49305550177P102", "Min Lee|821055501234"}));
}

TEST(VCardImport, FoldedValuesAreJoinedWhateverTheirLength) {
  // A photo folded over many lines in the 3.0 way, a quoted-printable name with soft line
  // breaks in the 2.1 way, and the cards after them.
  std::string photo = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:";
  for (int i = 0; i < 2000; ++i) {
    photo += std::string(74, 'A') + "\r\n ";
  }
  photo += "AA==\r\nTEL:555-0001\r\nEND:VCARD\r\n";
  const std::string qp =
      "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=QUOTED-PRINTABLE:Anna=\r\n-=\r\nLena=\r\n=20Berg\r\n"
      "TEL;HOME:555-0002\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Tab\r\n\tFolded\r\nTEL:555-\r\n 0003\r\nEND:VCARD\r\n";
  const CImportGrid grid = ParseVCardText(photo + qp);
  ASSERT_EQ(grid.RowCount(), 3u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Photo", "5550001"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"Anna-Lena Berg", "5550002"}));
  EXPECT_EQ(grid.RowCells(2), (Cells{"Tab\tFolded", "555 0003"}));
  EXPECT_EQ(grid.RowLine(1), 2007u);
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
