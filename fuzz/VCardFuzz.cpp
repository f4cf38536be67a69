// vCard import (2.1, 3.0 and 4.0): line unfolding, quoted-printable and escaped values,
// character sets, and the import of the name and number columns it yields.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "PhonebookCheck.h"
#include "phonebook/VCardFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const CImportGrid grid = ParseVCardText(text);
  fuzzcheck::ImportColumns(grid);
  return 0;
}
