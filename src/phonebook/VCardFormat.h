#pragma once

#include "phonebook/ImportGrid.h"
#include "phonebook/PhonebookEntry.h"

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Export: one vCard 2.1 file per entry, named after the entry; lines end with CR LF and
// the text ends right after END:VCARD.
// Import: the FN (or N), NICKNAME and TEL lines of a card fill fixed columns of its grid row.

enum class VCardReadStatus : int {
  Ok = 0,
  NoEntries = 1,    // no FN, NICKNAME or TEL line: the import ends without a message
  NotOpened = 732,  // unreadable or empty file
};

// Year, month, day, hour, minute and second in decimal without leading zeros or separators.
std::string VCardTimeStamp(const std::tm& time);
std::string VCardText(std::string_view name, std::string_view storedNumber, std::string_view timeStamp);
// The file name without extension: the name with / : * " ? < > turned into "_"; for a
// name that is empty, only blanks or starts with ".", the number with each star turned
// into "_". The result never starts with "." and is never blank.
std::string VCardBaseName(std::string_view name, std::string_view storedNumber);
// base.vcf in the folder, or base(n).vcf with the first n = 1, 2, ... that is free.
std::filesystem::path FreeVCardPath(const std::filesystem::path& folder, const std::string& base);

struct VCardExportResult {
  std::vector<std::filesystem::path> written;
  // Empty on success; otherwise the file that could not be written (message 767). Files
  // written before it stay.
  std::filesystem::path failed;

  bool Ok() const { return failed.empty(); }
};

// Writes one file per entry (numbers in display or stored form), in order.
VCardExportResult ExportVCards(const std::filesystem::path& folder, const std::vector<PhonebookEntry>& entries,
                               const std::tm& now);

// Reads vCard text into the grid: one row per card that has an FN, NICKNAME or TEL line,
// in fixed columns whatever the order of its lines: 1 the name, 2 the first number, 3 the
// nickname, 4 onward the further numbers (empty cells at the end of a row left off). Folded lines are joined,
// quoted-printable values decoded, Latin-1 values (by CHARSET, or because they are not UTF-8) and UTF-16 files turned
// into UTF-8, and version 3.0 escapes undone; hyphens are removed from TEL values. A card without FN takes its name
// from its N line; a TEL value given as a tel: address loses its "tel:".
CImportGrid ParseVCardText(std::string_view text);
VCardReadStatus ReadVCardGrid(const std::filesystem::path& path, CImportGrid& grid);
