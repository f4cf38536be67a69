// The temporary files the Outlook export writes (pst.tmp and pab.tmp): records of quoted
// fields that may span lines, read with either layout, and the merge of what they yield.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "PhonebookCheck.h"
#include "phonebook/OutlookTempFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SplitOutlookRecords(text);
  for (const OutlookSource source : {OutlookSource::PersonalFolders, OutlookSource::AddressBook}) {
    const bool freeEdit = source == OutlookSource::AddressBook;
    CPhonebookList computer;
    computer.Append("Known", ToDisplayNumber("0123456789", freeEdit));
    std::vector<PhonebookEntry> collected;
    ReadOutlookTempText(text, source, computer, freeEdit, collected);
    CPhonebookList list = computer;
    MergeCollected(list, collected);
    SortAndNumber(list);
    fuzzcheck::RequireValidRows(list);
    fuzzcheck::RequireRoundTrip(list, freeEdit);
  }
  return 0;
}
