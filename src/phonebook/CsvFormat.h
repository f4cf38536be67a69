#pragma once

#include "phonebook/ImportGrid.h"
#include "phonebook/PhonebookList.h"

#include <filesystem>
#include <string>
#include <string_view>

enum class CsvReadStatus : int {
  Ok = 0,
  NotOpened = 732,  // unreadable or empty file
};

// The export text: one phonebook entry line per row, no header.
std::string CsvText(const CPhonebookList& list);
// Writes the export; the target appears complete or not at all.
bool WriteCsvFile(const std::filesystem::path& path, const CPhonebookList& list);

// Reads CSV text into grid rows, one row per record. A field in double quotes may hold the
// separator, line ends and doubled quotes as text. An empty unquoted field reads as one
// blank, a separator at the end of a line adds no field, and an empty line gives a row of
// empty cells. Files whose first lines separate fields with semicolons (or tabs) and no
// commas are split at those. The text comes back as UTF-8: a byte-order mark is skipped,
// UTF-16 is converted and text that is not UTF-8 is read as Latin-1.
CImportGrid ParseCsvText(std::string_view text);
// Reads a CSV file into the grid; NotOpened for an unreadable or empty file.
CsvReadStatus ReadCsvGrid(const std::filesystem::path& path, CImportGrid& grid);
