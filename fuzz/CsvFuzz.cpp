// CSV import: text decoding (UTF-8, UTF-16 with a byte-order mark, Latin-1), the separator
// detection and field splitting, and the import of the chosen columns.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "PhonebookCheck.h"
#include "phonebook/CsvFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const CImportGrid grid = ParseCsvText(bytes);
  for (std::size_t row = 0; row < grid.RowCount(); ++row) {
    for (std::size_t column = 0; column < grid.ColumnCount(); ++column) {
      grid.Cell(row, column);
    }
  }
  fuzzcheck::ImportColumns(grid);
  return 0;
}
