#pragma once

#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookList.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The two contact files the Outlook export library writes into the temporary folder: one
// contact per line, fields in double quotes separated by commas (a double quote inside a
// field written twice). "pst.tmp" (personal folders, mode 10) has 55 fields per line,
// "pab.tmp" (address book, mode 11) 22.
enum class OutlookSource : int {
  PersonalFolders = 10,
  AddressBook = 11,
};

inline constexpr std::string_view kPersonalFoldersFile = "pst.tmp";
inline constexpr std::string_view kAddressBookFile = "pab.tmp";

struct OutlookReadResult {
  bool ok = false;
  bool opened = false;
  // The line (1-based) whose field count was wrong; 0 when none was.
  std::size_t badLine = 0;
  std::size_t badFieldCount = 0;
};

// The fields of each contact line; a quoted field may continue over line ends.
struct OutlookRecord {
  std::size_t line = 0;  // 1-based line where the record starts
  std::vector<std::string> fields;
};
std::vector<OutlookRecord> SplitOutlookRecords(std::string_view text);

// Collects (name, number in display form) for every valid number of every contact whose
// number is not yet in the Computer list. Stops at the first line with the wrong field
// count (what came before stays collected) and when the cancel flag is set. Empty lines
// are passed over.
OutlookReadResult ReadOutlookTempText(std::string_view text, OutlookSource source, const CPhonebookList& computer,
                                      bool freeEdit, std::vector<PhonebookEntry>& collected,
                                      const std::atomic<bool>* cancel = nullptr);
OutlookReadResult ReadOutlookTempFile(const std::filesystem::path& path, OutlookSource source,
                                      const CPhonebookList& computer, bool freeEdit,
                                      std::vector<PhonebookEntry>& collected,
                                      const std::atomic<bool>* cancel = nullptr);

// What the Outlook import job gathered from the two files.
struct OutlookCollection {
  std::vector<PhonebookEntry> collected;
  OutlookReadResult personalFolders;
  OutlookReadResult addressBook;
  // Message 768: neither export wrote its file, or no written file could be read to its
  // end and none gave a contact before its bad line. A file that stops at a bad line
  // contributes the contacts before it, and the import goes on with them.
  bool failed = false;
};

// Reads "pst.tmp" and "pab.tmp" from the folder, each only when its export reported that
// it wrote the file, personal folders first.
OutlookCollection ReadOutlookExports(const std::filesystem::path& folder, bool personalFoldersWritten,
                                     bool addressBookWritten, const CPhonebookList& computer, bool freeEdit,
                                     const std::atomic<bool>* cancel = nullptr);
