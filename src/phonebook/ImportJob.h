#pragma once

#include "phonebook/HandsetRecord.h"
#include "phonebook/ImportGrid.h"
#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookList.h"

#include <atomic>
#include <cstddef>
#include <vector>

// What an import from chosen columns did to the Computer list.
struct ImportOutcome {
  std::size_t added = 0;
  std::size_t overwritten = 0;
  // Data rows (1-based) whose number column held no valid number.
  std::vector<std::size_t> invalidRows;
  // Data rows (1-based) whose number cell joined several numbers with ":::" (address-book
  // exports do): the first of them was taken.
  std::vector<std::size_t> joinedRows;
  bool cancelled = false;

  // 753 when some row was skipped, 0 otherwise.
  int MessageNumber() const { return invalidRows.empty() ? 0 : 753; }
};

// Adds each valid (name, number) pair of the lists to the list in display form,
// overwriting the row of the same number. Of a number cell that joins several numbers
// with ":::" only the first is taken. Reads the cancel flag (when given) before each
// row; runs on any thread, touching only what it is given.
ImportOutcome ImportEntries(CPhonebookList& list, const ImportLists& lists, bool freeEdit,
                            const std::atomic<bool>* cancel = nullptr);

// Adds the callers whose numbers are not yet in the list, in display form; answers how
// many rows were added.
std::size_t MergeCallers(CPhonebookList& list, const std::vector<CallerIdEntry>& callers, bool freeEdit);

// Appends the collected entries (numbers in display form) whose numbers are not yet in the
// list; the first of several entries with one number wins. Answers how many were added.
std::size_t MergeCollected(CPhonebookList& list, const std::vector<PhonebookEntry>& collected,
                           const std::atomic<bool>* cancel = nullptr);
