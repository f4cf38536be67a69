// The .phb phonebook file, the send cache (the same lines with an attribute field) and
// entry lines pasted from the clipboard.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "PhonebookCheck.h"
#include "phonebook/PhonebookFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const bool freeEdit : {false, true}) {
    CPhonebookList list;
    list.Append("Existing", ToDisplayNumber("0123456", freeEdit));
    ReadPhonebookText(text, list, freeEdit, freeEdit);
    fuzzcheck::RequireValidRows(list);
    fuzzcheck::RequireRoundTrip(list, freeEdit);

    CPhonebookList pasted;
    PasteEntryLines(pasted, text, freeEdit);
    fuzzcheck::RequireValidRows(pasted);

    CPhonebookList handset;
    ReadSendCacheText(text, handset, freeEdit);
    fuzzcheck::RequireValidRows(handset);
  }
  SendCacheEntries(text);
  return 0;
}
