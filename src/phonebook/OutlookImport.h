#pragma once

#include "phonebook/OutlookLibrary.h"
#include "phonebook/OutlookTempFile.h"
#include "phonebook/PhonebookList.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

// What one Outlook import gathered: the two export statuses, the contacts read from the
// files they wrote, and what the library counted.
struct OutlookImportResult {
  std::uint16_t personalFoldersStatus = COutlookLibrary::kNotLoaded;
  std::uint16_t addressBookStatus = COutlookLibrary::kNotLoaded;
  OutlookCollection collection;
  std::uint32_t written = 0;  // contact lines of the personal-folders file
  std::uint32_t skipped = 0;  // items the library could not read
  bool noTempFolder = false;  // the private folder could not be made
  bool cancelled = false;

  // Message 768: no folder for the files, both exports failed, or nothing written could be
  // read. A cancelled import is no failure: it ends without a message.
  bool Failed() const { return !cancelled && (noTempFolder || collection.failed); }
};

// The import job: asks the library (data file and password already given to it) for the
// personal-folders file (mode 10) and the address-book file (mode 11), written into a
// private folder made for this import under tempParent, reads them against the Computer
// list and removes the folder and the files before returning. Checks `cancel` between the
// steps; the caller that sets it also calls COutlookLibrary::Cancel to stop a running
// export.
OutlookImportResult RunOutlookImport(const COutlookLibrary& library, const std::string& programFolder,
                                     const CPhonebookList& computer, bool freeEdit, const std::atomic<bool>& cancel,
                                     const std::filesystem::path& tempParent);
