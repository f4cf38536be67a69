#pragma once

// Checks shared by the phonebook fuzz targets: whatever a reader accepted must be a valid
// entry, and must come back unchanged from the .phb file the program would write.

#include "FuzzCheck.h"
#include "phonebook/CsvFormat.h"
#include "phonebook/ImportGrid.h"
#include "phonebook/ImportJob.h"
#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookList.h"
#include "phonebook/VCardFormat.h"

namespace fuzzcheck {

// Every row of a list the readers filled is an entry the handset takes.
inline void RequireValidRows(const CPhonebookList& list) {
  for (const PhonebookRow& row : list.Rows()) {
    const std::optional<PhonebookEntry> entry = ValidateEntry(row.name, StoredNumber(row.number));
    if (!entry || entry->name != row.name) {
      Fail("a list row is no valid entry");
    }
  }
}

// Imports name column 1 and number column 2 of a grid as the import dialog does.
inline CPhonebookList ImportNameAndNumber(const CImportGrid& grid, bool freeEdit) {
  CPhonebookList list;
  if (const std::optional<ImportLists> lists = ChooseColumns(grid, 1, 2)) {
    ImportEntries(list, *lists, freeEdit);
  }
  SortAndNumber(list);
  return list;
}

// What the program writes of a list (.phb file, CSV file, one vCard per entry) reads back
// as the same list.
inline void RequireRoundTrip(const CPhonebookList& list, bool freeEdit) {
  if (list.Empty()) {
    return;
  }
  CPhonebookList again;
  const PhonebookReadStatus status = ReadPhonebookText(PhonebookText(list), again, false, freeEdit);
  if (status != PhonebookReadStatus::Ok || again.Rows() != list.Rows()) {
    Fail(".phb text of a list does not read back as the same list");
  }
  if (ImportNameAndNumber(ParseCsvText(CsvText(list)), freeEdit).Rows() != list.Rows()) {
    Fail("CSV text of a list does not import as the same list");
  }
  for (const PhonebookRow& row : list.Rows()) {
    const CPhonebookList card =
        ImportNameAndNumber(ParseVCardText(VCardText(row.name, StoredNumber(row.number), "2026129")), freeEdit);
    if (card.Count() != 1 || card.Row(0).name != row.name || card.Row(0).number != row.number) {
      Fail("the vCard of an entry does not import as the same entry");
    }
  }
}

// Imports the grid's columns as the import dialog offers them.
inline void ImportColumns(const CImportGrid& grid) {
  const int columns = static_cast<int>(grid.ColumnCount());
  for (int number = 1; number <= columns && number <= 3; ++number) {
    for (int name = 0; name <= columns && name <= 3; ++name) {
      const std::optional<ImportLists> lists = ChooseColumns(grid, name, number);
      if (!lists) {
        continue;
      }
      CPhonebookList list;
      ImportEntries(list, *lists, number % 2 == 0);
      SortAndNumber(list);
      RequireValidRows(list);
      RequireRoundTrip(list, number % 2 == 0);
    }
  }
}

}  // namespace fuzzcheck
