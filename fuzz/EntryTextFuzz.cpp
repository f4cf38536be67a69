// The text rules every phonebook reader shares: import text decoding and line splitting,
// name and number cleaning, joined numbers in one cell, and display and stored numbers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "PhonebookCheck.h"
#include "phonebook/NumberText.h"
#include "phonebook/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const bool latin1 : {false, true}) {
    const std::string text = DecodeImportText(bytes, latin1);
    if (!IsValidUtf8(text) && latin1) {
      fuzzcheck::Fail("decoded import text with the Latin-1 fallback is no UTF-8");
    }
    for (const std::string_view line : SplitLines(text)) {
      NormaliseName(line);
      CleanNumber(line);
      MarkExtensions(line);
      LooksLikeText(line);
      const JoinedNumbers joined = SplitJoinedNumbers(line);
      if (const auto entry = ValidateEntry(line, joined.first)) {
        for (const bool freeEdit : {false, true}) {
          const std::string display = ToDisplayNumber(entry->number, freeEdit);
          if (!SameNumber(StoredNumber(display), entry->number)) {
            fuzzcheck::Fail("a display number does not give back its stored number");
          }
        }
      }
    }
  }
  Latin1ToUtf8(bytes);
  SkipByteOrderMark(bytes);
  return 0;
}
