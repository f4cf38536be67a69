#pragma once

// Checks shared by the phonebook fuzz targets: whatever a reader accepted must be a valid
// entry, and must come back unchanged from the .phb file the program would write.

#include "FuzzCheck.h"
#include "phonebook/ImportGrid.h"
#include "phonebook/ImportJob.h"
#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookList.h"

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

// The .phb text of the list reads back as the same list.
inline void RequireRoundTrip(const CPhonebookList& list, bool freeEdit) {
  CPhonebookList again;
  const PhonebookReadStatus status = ReadPhonebookText(PhonebookText(list), again, false, freeEdit);
  if (list.Empty()) {
    return;
  }
  if (status != PhonebookReadStatus::Ok || again.Rows() != list.Rows()) {
    Fail(".phb text of a list does not read back as the same list");
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
