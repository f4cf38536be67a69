#include "phonebook/ImportJob.h"

#include "phonebook/NumberText.h"

#include <algorithm>

namespace {

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load();
}

}  // namespace

ImportOutcome ImportEntries(CPhonebookList& list, const ImportLists& lists, bool freeEdit,
                            const std::atomic<bool>* cancel) {
  ImportOutcome outcome;
  const std::size_t count = std::min(lists.names.size(), lists.numbers.size());
  CNumberIndex index(list);
  for (std::size_t i = 0; i < count; ++i) {
    if (Cancelled(cancel)) {
      outcome.cancelled = true;
      break;
    }
    const JoinedNumbers joined = SplitJoinedNumbers(lists.numbers[i]);
    const std::optional<PhonebookEntry> entry = ValidateEntry(lists.names[i], joined.first);
    if (!entry) {
      outcome.invalidRows.push_back(i + 1);
      continue;
    }
    if (joined.count > 1) {
      outcome.joinedRows.push_back(i + 1);
    }
    if (index.AddOrOverwrite(list, entry->name, ToDisplayNumber(entry->number, freeEdit))) {
      ++outcome.overwritten;
    } else {
      ++outcome.added;
    }
  }
  return outcome;
}

std::size_t MergeCallers(CPhonebookList& list, const std::vector<CallerIdEntry>& callers, bool freeEdit) {
  std::size_t added = 0;
  CNumberIndex index(list);
  for (const CallerIdEntry& caller : callers) {
    const std::optional<PhonebookEntry> entry = ValidateEntry(caller.name, caller.number);
    if (entry && index.Find(entry->number) < 0) {
      index.AddOrOverwrite(list, entry->name, ToDisplayNumber(entry->number, freeEdit));
      ++added;
    }
  }
  return added;
}

std::size_t MergeCollected(CPhonebookList& list, const std::vector<PhonebookEntry>& collected,
                           const std::atomic<bool>* cancel) {
  std::size_t added = 0;
  CNumberIndex index(list);
  for (const PhonebookEntry& entry : collected) {
    if (Cancelled(cancel)) {
      break;
    }
    if (index.Find(entry.number) < 0) {
      index.AddOrOverwrite(list, entry.name, entry.number);
      ++added;
    }
  }
  return added;
}
