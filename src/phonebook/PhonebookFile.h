#pragma once

#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookList.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The ".phb" text file: the header line, then one line per entry: the name in double
// quotes (a double quote in it written twice), a comma and the number in stored form.
// Lines end with CR LF.
inline constexpr std::string_view kPhonebookHeader = "; Vorlandix Communications Co., Ltd. Phonebook MHS Version 1.00";
inline constexpr std::string_view kPhonebookCompanyText = "Vorlandix Communications Co., Ltd.";
inline constexpr std::string_view kPhonebookVersionText = "Version 1.00";
inline constexpr std::string_view kSendCacheName = "PBCache.phb";

// Outcome of reading a phonebook file; the failures carry the number of the message the
// window shows for them (an empty file shows none).
enum class PhonebookReadStatus : int {
  Ok = 0,
  Empty = 1,
  NotOpened = 732,
  WrongVersion = 794,
};

struct EntryLineFields {
  std::string name;
  std::string number;
};

// One entry line: double quote, name with doubled quotes, double quote, comma, number,
// CR LF.
std::string FormatEntryLine(std::string_view name, std::string_view storedNumber);
// The name and raw number text of an entry line (not yet validated). A line without any
// double quote has an empty name and the text after its first comma as number.
EntryLineFields ParseEntryLine(std::string_view line);
// Validates one entry line and adds it to the list, overwriting the row of the same
// number. In paste mode a line whose number and name equal a row's gets "(1)" at the end
// of its name (within 16 characters). Answers false when the line holds no valid entry.
bool MergeEntryLine(CPhonebookList& list, std::string_view line, bool freeEdit, bool pasteMode = false);

// The clipboard text of the given rows: each an entry line ended by a line feed.
std::string ClipboardText(const CPhonebookList& list, const std::vector<std::size_t>& rows);
// True for a line of the form "name",number (a quoted name, then a comma).
bool IsEntryLine(std::string_view line);
// Reads clipboard text line by line in paste mode, taking only entry lines; answers how
// many lines held an entry.
// The list is sorted and numbered after.
std::size_t PasteEntryLines(CPhonebookList& list, std::string_view text, bool freeEdit);

// Reads a phonebook file into the Computer list. Unless addMode is set, the list is
// emptied first; nothing changes on a failure. The list is sorted and numbered after.
PhonebookReadStatus ReadPhonebookFile(const std::filesystem::path& path, CPhonebookList& list, bool addMode,
                                      bool freeEdit);
PhonebookReadStatus ReadPhonebookText(std::string_view text, CPhonebookList& list, bool addMode, bool freeEdit);
// The text of a phonebook file for the list: empty for an empty list.
std::string PhonebookText(const CPhonebookList& list);
// Writes the list to a file; the old file stays untouched unless the new one is complete.
bool WritePhonebookFile(const std::filesystem::path& path, const CPhonebookList& list);

// The send cache: a copy of the handset's phonebook kept while a send runs, in the
// per-user data folder.
std::filesystem::path SendCachePath();
// Writes the received entries (numbers in display or stored form) as a phonebook file,
// each line with the entry's attribute bytes as a third field.
// Nothing is written for an empty table. When writing fails, an older cache is removed
// so that it is never offered as a copy of the current handset.
bool WriteSendCache(const std::filesystem::path& path, const std::vector<PhonebookEntry>& received);
// The entries of a send cache, numbers in stored form, each with the attribute bytes of its
// third field (eight hexadecimal digits; zero bytes when missing, as in older caches).
std::vector<PhonebookEntry> SendCacheEntries(std::string_view text);
std::optional<std::vector<PhonebookEntry>> ReadSendCacheEntries(const std::filesystem::path& path);
// Reads the cache into the Handset list, which is emptied first; false (and the list
// unchanged) when the cache cannot be opened.
bool ReadSendCache(const std::filesystem::path& path, CPhonebookList& handset, bool freeEdit);
void ReadSendCacheText(std::string_view text, CPhonebookList& handset, bool freeEdit);
// Deletes the cache if it exists; false only when it exists and could not be deleted.
bool RemoveSendCache(const std::filesystem::path& path);
