#include "phonebook/CsvFormat.h"
#include "phonebook/ImportJob.h"
#include "phonebook/PhonebookFile.h"

#include "PhonebookTestFiles.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using Cells = std::vector<std::string>;

Cells RowOf(const CImportGrid& grid, std::size_t row) {
  Cells cells;
  for (std::size_t column = 0; column < grid.ColumnCount(); ++column) {
    cells.push_back(grid.Cell(row, column));
  }
  return cells;
}

CPhonebookList Import(const CImportGrid& grid, int nameColumn, int numberColumn, ImportOutcome* outcome = nullptr) {
  CPhonebookList list;
  const auto lists = ChooseColumns(grid, nameColumn, numberColumn);
  EXPECT_TRUE(lists.has_value());
  const ImportOutcome result = ImportEntries(list, *lists, true);
  if (outcome != nullptr) {
    *outcome = result;
  }
  SortAndNumber(list);
  return list;
}

TEST(CsvSplit, KeepsTheRulesForUnquotedTextEmptyFieldsAndUnevenLines) {
  const CImportGrid grid = ParseCsvText("\"Smith\",\"555-1234\"\r\nSmith,,555\r\n,lead\r\ntrail,\r\n\r\na,b,c,d\r\n");
  ASSERT_EQ(grid.RowCount(), 6u);
  ASSERT_EQ(grid.ColumnCount(), 4u);
  EXPECT_EQ(RowOf(grid, 0), (Cells{"Smith", "555-1234", "", ""}));
  EXPECT_EQ(RowOf(grid, 1), (Cells{"Smith", " ", "555", ""}));
  EXPECT_EQ(RowOf(grid, 2), (Cells{" ", "lead", "", ""}));
  EXPECT_EQ(RowOf(grid, 3), (Cells{"trail", "", "", ""}));
  EXPECT_EQ(RowOf(grid, 4), (Cells{"", "", "", ""}));
  EXPECT_EQ(RowOf(grid, 5), (Cells{"a", "b", "c", "d"}));
  EXPECT_EQ(grid.RowLine(5), 6u);
}

TEST(CsvSplit, ReadsQuotedFieldsAsCsvDoes) {
  const CImportGrid grid = ParseCsvText(
      "\"Smith, John\",\"555-1234\",x\n"
      "\"Say \"\"Hi\"\"\",12\n"
      "\"two\nlines\",34,\"\"\n"
      "plain \"quote\" inside,56\n"
      "\"unclosed,78\n"
      "after,90\n");
  ASSERT_EQ(grid.RowCount(), 6u);
  EXPECT_EQ(RowOf(grid, 0), (Cells{"Smith, John", "555-1234", "x"}));
  EXPECT_EQ(RowOf(grid, 1), (Cells{"Say \"Hi\"", "12", ""}));
  EXPECT_EQ(RowOf(grid, 2), (Cells{"two\nlines", "34", ""}));
  EXPECT_EQ(RowOf(grid, 3), (Cells{"plain \"quote\" inside", "56", ""}));
  // A quote that never closes ends with its line instead of swallowing the file.
  EXPECT_EQ(RowOf(grid, 4), (Cells{"unclosed,78", "", ""}));
  EXPECT_EQ(RowOf(grid, 5), (Cells{"after", "90", ""}));
  EXPECT_EQ(grid.RowLine(3), 5u);
}

TEST(CsvSplit, RealExportsFromAddressBooksAndSpreadsheets) {
  CImportGrid grid;
  ASSERT_EQ(ReadCsvGrid(TestData("contacts-header-quoted.csv"), grid), CsvReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 5u);
  EXPECT_EQ(grid.Cell(0, 0), "Name");  // the byte-order mark is gone
  EXPECT_EQ(grid.Cell(1, 0), "Smith, John");
  EXPECT_EQ(grid.Cell(1, 4), "+1 (555) 123-4567");
  EXPECT_EQ(grid.Cell(2, 0), "O'Brien, Mary \"Molly\"");
  EXPECT_EQ(grid.Cell(3, 5), "Line one\nline two, still the note");
  EXPECT_EQ(grid.Cell(4, 0), "No Number");

  ImportOutcome outcome;
  const CPhonebookList list = Import(grid, 1, 5, &outcome);
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.Row(0).name, "O'Brien, Mary \"M");
  EXPECT_EQ(list.Row(0).number, "555-9876");
  EXPECT_EQ(list.Row(1).name, "Smith, John");
  EXPECT_EQ(list.Row(1).number, "1-555-123-4567");
  EXPECT_EQ(list.Row(2).name, "Zo   ngstr m");
  // The header row and the row without a number are skipped and counted for message 753.
  EXPECT_EQ(outcome.invalidRows, (std::vector<std::size_t>{1, 5}));
  EXPECT_EQ(outcome.MessageNumber(), 753);

  ASSERT_EQ(ReadCsvGrid(TestData("semicolon-separated.csv"), grid), CsvReadStatus::Ok);
  ASSERT_EQ(grid.ColumnCount(), 3u);
  EXPECT_EQ(grid.Cell(1, 2), "Berg, Sohn & Co");
  EXPECT_EQ(grid.Cell(2, 0), "M\xC3\xBCller; Hans");
  const CPhonebookList semicolons = Import(grid, 1, 2);
  ASSERT_EQ(semicolons.Count(), 3u);
  EXPECT_EQ(semicolons.Row(0).name, "Anna Berg");
  EXPECT_EQ(semicolons.Row(0).number, "0-171-234-5678");

  ASSERT_EQ(ReadCsvGrid(TestData("uneven.csv"), grid), CsvReadStatus::Ok);
  EXPECT_EQ(grid.RowCount(), 6u);
  EXPECT_EQ(grid.ColumnCount(), 5u);
  EXPECT_EQ(RowOf(grid, 5), (Cells{"Delta", "555", "", "", ""}));
}

TEST(CsvSplit, ContactsExportWithJoinedNumbersExtensionsAndAHeading) {
  CImportGrid grid;
  ASSERT_EQ(ReadCsvGrid(TestData("google-contacts.csv"), grid), CsvReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 6u);
  ASSERT_EQ(grid.Cell(0, 32), "Phone 1 - Value");

  CPhonebookList list;
  const ImportOutcome outcome = ImportEntries(list, *ChooseColumns(grid, 1, 33), false);
  ASSERT_EQ(list.Count(), 4u);
  SortAndNumber(list);
  // No entry for the heading, one number per joined cell, extensions after a pause.
  EXPECT_EQ(list.Row(0).name, "Anna Berg");
  EXPECT_EQ(list.Row(0).number, "491715550101");
  EXPECT_EQ(list.Row(1).name, "Bob Stone");
  EXPECT_EQ(list.Row(1).number, "5551234567P4410");
  EXPECT_EQ(list.Row(2).name, "Carla Diaz");
  EXPECT_EQ(list.Row(2).number, "5551234568P12");
  EXPECT_EQ(list.Row(3).name, "Dana White");
  EXPECT_EQ(list.Row(3).number, "01765550110");
  EXPECT_EQ(outcome.invalidRows, (std::vector<std::size_t>{1, 5}));
  EXPECT_EQ(outcome.joinedRows, (std::vector<std::size_t>{2, 6}));
}

TEST(CsvSplit, ChoosesTheSeparatorTheFileUses) {
  EXPECT_EQ(ParseCsvText("Berg, Anna;0171 1\nChen;0172 2\n").RowCells(0), (Cells{"Berg, Anna", "0171 1"}));
  EXPECT_EQ(ParseCsvText("Name,Notes,Phone\nA,x; y; z,1\nB,;,2\n").RowCells(1), (Cells{"A", "x; y; z", "1"}));
  EXPECT_EQ(ParseCsvText("Name\tPhone\nM\u00fcller; Hans\t089\n").RowCells(1), (Cells{"M\u00fcller; Hans", "089"}));
  EXPECT_EQ(ParseCsvText("Only;one\n").RowCells(0), (Cells{"Only", "one"}));
  EXPECT_EQ(ParseCsvText("a;b\n\nc,d\n").RowCells(2), (Cells{"c", "d"}));
}

TEST(CsvSplit, UnicodeTextAndAnsiExports) {
  CImportGrid grid;
  ASSERT_EQ(ReadCsvGrid(TestData("unicode-text-utf16.csv"), grid), CsvReadStatus::Ok);
  ASSERT_EQ(grid.RowCount(), 3u);
  ASSERT_EQ(grid.ColumnCount(), 2u);
  EXPECT_EQ(grid.Cell(1, 0),
            "Ren\xC3\xA9"
            "e Dubois");
  EXPECT_EQ(grid.Cell(2, 0), "Li, Wei");
  const CPhonebookList unicode = Import(grid, 1, 2);
  ASSERT_EQ(unicode.Count(), 2u);
  EXPECT_EQ(unicode.Row(1).name, "Ren e Dubois");
  EXPECT_EQ(unicode.Row(1).number, "061-234-5678");

  ASSERT_EQ(ReadCsvGrid(TestData("ansi-latin1.csv"), grid), CsvReadStatus::Ok);
  EXPECT_EQ(grid.Cell(1, 1), "Mu\xC3\xB1oz");
  const CPhonebookList ansi = Import(grid, 1, 3);
  ASSERT_EQ(ansi.Count(), 2u);
  EXPECT_EQ(ansi.Row(1).name, "S ren");
  EXPECT_EQ(ansi.Row(1).number, "070-123-4567");
}

TEST(CsvSplit, UnreadableOrEmptyFilesAreMessage732) {
  CScratchFolder folder;
  CImportGrid grid;
  EXPECT_EQ(ReadCsvGrid(folder / "missing.csv", grid), CsvReadStatus::NotOpened);
  WriteBytes(folder / "empty.csv", "");
  EXPECT_EQ(ReadCsvGrid(folder / "empty.csv", grid), CsvReadStatus::NotOpened);
  WriteBytes(folder / "bom.csv", "\xEF\xBB\xBF");
  EXPECT_EQ(ReadCsvGrid(folder / "bom.csv", grid), CsvReadStatus::NotOpened);
  EXPECT_EQ(static_cast<int>(CsvReadStatus::NotOpened), 732);
}

TEST(ImportJob, ColumnChoiceAndMergeRules) {
  const CImportGrid grid = ParseCsvText("Ann,555-1234\nBob,5551234\nCid,Phone\nDan,12\n");
  EXPECT_FALSE(ChooseColumns(grid, 2, 2).has_value());
  EXPECT_FALSE(ChooseColumns(grid, 1, 0).has_value());

  CPhonebookList list;
  list.Append("Existing", "12");
  const auto lists = ChooseColumns(grid, 1, 2);
  const ImportOutcome outcome = ImportEntries(list, *lists, true);
  EXPECT_EQ(outcome.added, 1u);
  EXPECT_EQ(outcome.overwritten, 2u);
  EXPECT_EQ(outcome.invalidRows, (std::vector<std::size_t>{3}));
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Row(0).name, "Dan");
  EXPECT_EQ(list.Row(1).name, "Bob");
  EXPECT_EQ(list.Row(1).number, "555-1234");

  const CPhonebookList nameless = Import(grid, 0, 2);
  EXPECT_EQ(nameless.Row(0).name, "");

  std::atomic<bool> cancel{true};
  CPhonebookList untouched;
  EXPECT_TRUE(ImportEntries(untouched, *lists, true, &cancel).cancelled);
  EXPECT_TRUE(untouched.Empty());
}

TEST(CsvExport, RoundTripReproducesTheList) {
  CScratchFolder folder;
  CPhonebookList list;
  for (const auto& [name, number] :
       std::vector<std::pair<std::string, std::string>>{{"Smith, John", "555-1234"},
                                                        {"Say \"Hi\", \"Bye\"", "12"},
                                                        {"", "*#"},
                                                        {"a,b,c,d,e,f,g,h", "1-555-123-4567"},
                                                        {"\",\"", "12P3"},
                                                        {"Zed", "01234567890123456789012345678901"}}) {
    list.Append(name, number);
  }
  SortAndNumber(list);
  ASSERT_TRUE(WriteCsvFile(folder / "out.csv", list));

  CImportGrid grid;
  ASSERT_EQ(ReadCsvGrid(folder / "out.csv", grid), CsvReadStatus::Ok);
  EXPECT_EQ(grid.ColumnCount(), 2u);
  ImportOutcome outcome;
  const CPhonebookList back = Import(grid, 1, 2, &outcome);
  EXPECT_TRUE(outcome.invalidRows.empty());
  EXPECT_EQ(back.Rows(), list.Rows());

  // The .phb file of the imported list is byte for byte the original's.
  ASSERT_TRUE(WritePhonebookFile(folder / "a.phb", list));
  ASSERT_TRUE(WritePhonebookFile(folder / "b.phb", back));
  EXPECT_EQ(ReadBytes(folder / "a.phb"), ReadBytes(folder / "b.phb"));
}

}  // namespace
