#pragma once

#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookList.h"

#include <cstdint>
#include <span>
#include <vector>

// The handset's phonebook as received (the received-entries table) and as it is sent:
// the data rules of a receive and of building a send, apart from the requests themselves.

// Decodes one received phonebook item and appends it, number in display form and with its
// attribute bytes, to the received table. Items beyond the capacity (counted in
// itemsSoFar, every item the receive delivered before this one) are ignored, as are short
// items and items without a valid number. Answers whether an entry was appended.
bool AddReceivedItem(std::vector<PhonebookEntry>& received, std::size_t itemsSoFar, int capacity,
                     std::span<const std::uint8_t> item, bool freeEdit);

// Shows a completed receive: entries whose number is already in the Handset list are
// dropped from the table, every other one is appended as a row. The list is sorted and
// numbered after. Answers how many rows were added.
std::size_t ShowReceivedEntries(std::vector<PhonebookEntry>& received, CPhonebookList& handset);

// The entries to write, in list order, numbers in stored form. An entry keeps the
// attribute bytes of the first received entry with exactly its number; a new or edited
// entry gets zero bytes.
std::vector<PhonebookEntry> BuildSendQueue(const CPhonebookList& handset, const std::vector<PhonebookEntry>& received);
