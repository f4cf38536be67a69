#include "phonebook/HandsetPhonebook.h"

#include "phonebook/HandsetRecord.h"

#include <string>
#include <unordered_map>

bool AddReceivedItem(std::vector<PhonebookEntry>& received, std::size_t itemsSoFar, int capacity,
                     std::span<const std::uint8_t> item, bool freeEdit) {
  if (capacity < 0 || itemsSoFar >= static_cast<std::size_t>(capacity)) {
    return false;
  }
  std::optional<PhonebookEntry> entry = DecodeRecord(item);
  if (!entry) {
    return false;
  }
  entry->number = ToDisplayNumber(entry->number, freeEdit);
  received.push_back(std::move(*entry));
  return true;
}

std::size_t ShowReceivedEntries(std::vector<PhonebookEntry>& received, CPhonebookList& handset) {
  CNumberIndex index(handset);
  std::vector<PhonebookEntry> kept;
  for (PhonebookEntry& entry : received) {
    if (index.Find(entry.number) >= 0) {
      continue;
    }
    index.AddOrOverwrite(handset, entry.name, entry.number);
    kept.push_back(std::move(entry));
  }
  const std::size_t added = kept.size();
  received = std::move(kept);
  SortAndNumber(handset);
  return added;
}

std::vector<PhonebookEntry> BuildSendQueue(const CPhonebookList& handset, const std::vector<PhonebookEntry>& received) {
  // Each received number once, in stored form, with the bytes of its first entry: one
  // look-up per row instead of a walk over the whole table.
  std::unordered_map<std::string, std::array<std::uint8_t, 4>> known;
  known.reserve(received.size());
  for (const PhonebookEntry& entry : received) {
    known.emplace(StoredNumber(entry.number), entry.attributes);
  }
  std::vector<PhonebookEntry> queue;
  queue.reserve(handset.Count());
  for (const PhonebookRow& row : handset.Rows()) {
    PhonebookEntry entry{row.name, StoredNumber(row.number), {}};
    if (const auto found = known.find(entry.number); found != known.end()) {
      entry.attributes = found->second;
    }
    queue.push_back(std::move(entry));
  }
  return queue;
}
