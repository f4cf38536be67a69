// orvane-cli phonebook: show .phb files, import CSV and vCard files through chosen
// columns, export CSV and vCard files, and print the grid of a file to import.
#include "CliRegistry.h"
#include "SignalCancel.h"

#include "phonebook/CsvFormat.h"
#include "phonebook/ImportJob.h"
#include "phonebook/OutlookImport.h"
#include "phonebook/OutlookLibrary.h"
#include "phonebook/OutlookTempFile.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/VCardFormat.h"
#include "platform/Paths.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The English texts of the program's messages this area prints.
const std::map<int, const char*> kMessages = {
    {732, "The file could not be opened.(732)"},
    {753, "Data is inaccurate.(753)"},
    {765, "The file was saved."},
    {766, "The file could not be saved.(766)"},
    {767, "The data could not be exported.(767)"},
    {768, "Error in importing Outlook data.(768)"},
    {794, "The file could not be read because the version is different.(794)"},
    {795, "%s phonebook entries were imported."},
};

constexpr const char* kUsage =
    "Usage: orvane-cli phonebook VERB [options] ARGS\n"
    "\n"
    "Verbs:\n"
    "  show FILE.phb                      list the entries (No., Name, Phone No.)\n"
    "  import-csv FILE --name-col N --number-col M OUT.phb\n"
    "                                     import a CSV file through the chosen columns\n"
    "  import-vcard FILE --name-col N --number-col M OUT.phb\n"
    "                                     import a vCard file through the chosen columns\n"
    "  import-outlook FILE.pst OUT.phb    import the contacts of an Outlook data file\n"
    "                                     (.pst, .ost) through the contacts export library\n"
    "  import-outlook FOLDER OUT.phb      import the contact files pst.tmp and pab.tmp\n"
    "                                     that the Outlook export wrote into FOLDER\n"
    "  export-csv FILE.phb OUT.csv        export the entries as CSV\n"
    "  export-vcard FILE.phb DIR          export one vCard file per entry into DIR\n"
    "  grid FILE.csv|FILE.vcf             print the table the column choice shows\n"
    "\n"
    "Options:\n"
    "  --free-edit 0|1    number display form of show (default 1: hyphens by length)\n"
    "  --add              import into OUT.phb keeping its entries (add mode)\n"
    "  --password TEXT    password of a protected Outlook data file (\"-\": read a line\n"
    "                     from standard input)\n"
    "  --name-col 0       import without names\n"
    "Columns count from 1. Exit status: 0 done, 1 failed, 2 usage error.\n";

const char* MessageText(int number) {
  const auto found = kMessages.find(number);
  return found == kMessages.end() ? "There was an error." : found->second;
}

int Fail(const std::string& where, int message) {
  std::fprintf(stderr, "%s: %s\n", where.c_str(), MessageText(message));
  return kCliFailed;
}

int FailText(const std::string& where, const std::string& reason) {
  std::fprintf(stderr, "%s: %s\n", where.c_str(), reason.c_str());
  return kCliFailed;
}

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvane-cli phonebook: %s\n\n%s", problem.c_str(), kUsage);
  return kCliUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      return true;
    }
  }
  return false;
}

// The words of a verb, split into options and positional arguments.
struct Arguments {
  std::vector<std::string> positional;
  std::optional<int> nameColumn;
  std::optional<int> numberColumn;
  bool freeEdit = true;
  bool add = false;
  std::optional<std::string> password;
  std::string error;
};

std::optional<int> ParseCount(const std::string& text, int max) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int value = std::stoi(text);
  return value <= max ? std::optional<int>(value) : std::nullopt;
}

Arguments ParseArguments(const std::vector<std::string>& words) {
  Arguments args;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool hasValue = i + 1 < words.size();
    if (word == "--add") {
      args.add = true;
    } else if (word == "--password") {
      if (!hasValue) {
        args.error = "--password needs a text";
        return args;
      }
      args.password = words[++i];
    } else if (word == "--name-col" || word == "--number-col" || word == "--free-edit") {
      const std::optional<int> value =
          hasValue ? ParseCount(words[i + 1], word == "--free-edit" ? 1 : 99) : std::nullopt;
      if (!value) {
        args.error = word + " needs a number" + (word == "--free-edit" ? " (0 or 1)" : " from 0 to 99");
        return args;
      }
      ++i;
      if (word == "--name-col") {
        args.nameColumn = value;
      } else if (word == "--number-col") {
        args.numberColumn = value;
      } else {
        args.freeEdit = *value == 1;
      }
    } else if (word.starts_with("--")) {
      args.error = "unknown option " + word;
      return args;
    } else {
      args.positional.push_back(word);
    }
  }
  return args;
}

std::string LowerExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return ext;
}

// Reads a .phb file into a list; prints the failure and answers false.
bool LoadPhonebook(const std::string& path, CPhonebookList& list, bool addMode, bool freeEdit) {
  switch (ReadPhonebookFile(path, list, addMode, freeEdit)) {
    case PhonebookReadStatus::Ok:
      return true;
    case PhonebookReadStatus::Empty:
      FailText(path, "the file is empty");
      return false;
    case PhonebookReadStatus::NotOpened:
      Fail(path, 732);
      return false;
    case PhonebookReadStatus::WrongVersion:
      Fail(path + ":1", 794);
      return false;
  }
  return false;
}

// Reads the grid of a CSV or vCard file; prints the failure and answers false.
bool LoadGrid(const std::string& path, bool vcard, CImportGrid& grid) {
  if (vcard) {
    const VCardReadStatus status = ReadVCardGrid(path, grid);
    if (status == VCardReadStatus::NotOpened) {
      Fail(path, 732);
      return false;
    }
    if (status == VCardReadStatus::NoEntries) {
      FailText(path, "no FN, NICKNAME or TEL line");
      return false;
    }
    return true;
  }
  if (ReadCsvGrid(path, grid) != CsvReadStatus::Ok) {
    Fail(path, 732);
    return false;
  }
  return true;
}

std::string Printable(const std::string& cell) {
  std::string text = cell;
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return text;
}

int Show(const Arguments& args) {
  if (args.positional.size() != 1) {
    return Usage("show needs FILE.phb");
  }
  CPhonebookList list;
  if (!LoadPhonebook(args.positional[0], list, false, args.freeEdit)) {
    return kCliFailed;
  }
  std::printf("No.\tName\tPhone No.\n");
  for (const PhonebookRow& row : list.Rows()) {
    std::printf("%s\t%s\t%s\n", row.no.c_str(), row.name.c_str(), row.number.c_str());
  }
  return kCliOk;
}

int Grid(const Arguments& args) {
  if (args.positional.size() != 1) {
    return Usage("grid needs FILE.csv or FILE.vcf");
  }
  const std::string& path = args.positional[0];
  const std::string ext = LowerExtension(path);
  if (ext != ".csv" && ext != ".vcf") {
    return Usage("grid reads .csv and .vcf files");
  }
  CImportGrid grid;
  if (!LoadGrid(path, ext == ".vcf", grid)) {
    return kCliFailed;
  }
  for (std::size_t column = 0; column < grid.ColumnCount(); ++column) {
    std::printf("%s%zu", column == 0 ? "" : "\t", column + 1);
  }
  std::printf("\n");
  for (std::size_t row = 0; row < grid.RowCount(); ++row) {
    for (std::size_t column = 0; column < grid.ColumnCount(); ++column) {
      std::printf("%s%s", column == 0 ? "" : "\t", Printable(grid.Cell(row, column)).c_str());
    }
    std::printf("\n");
  }
  return kCliOk;
}

void ReportInvalidRows(const std::string& path, const CImportGrid& grid, const ImportOutcome& outcome) {
  std::string lines;
  for (std::size_t i = 0; i < outcome.invalidRows.size() && i < 10; ++i) {
    lines += (i == 0 ? "" : ", ") + std::to_string(grid.RowLine(outcome.invalidRows[i] - 1));
  }
  if (outcome.invalidRows.size() > 10) {
    lines += ", ...";
  }
  std::fprintf(stderr, "%s: skipped %zu row(s) without a valid number (line %s): %s\n", path.c_str(),
               outcome.invalidRows.size(), lines.c_str(), MessageText(753));
}

// Message 795, and how many number cells joined several numbers of which the first was taken.
void PrintImportSummary(std::size_t added, std::size_t joinedCells) {
  std::printf(MessageText(795), std::to_string(added).c_str());
  if (joinedCells > 0) {
    std::printf(" %zu number cell(s) held several numbers joined with \":::\": the first of each was imported.",
                joinedCells);
  }
  std::printf("\n");
}

int Import(const Arguments& args, bool vcard) {
  if (args.positional.size() != 2 || !args.numberColumn) {
    return Usage(std::string(vcard ? "import-vcard" : "import-csv") + " needs FILE, --number-col M and OUT.phb");
  }
  const std::string& source = args.positional[0];
  const std::string& target = args.positional[1];
  CImportGrid grid;
  if (!LoadGrid(source, vcard, grid)) {
    return kCliFailed;
  }
  const std::optional<ImportLists> lists = ChooseColumns(grid, args.nameColumn.value_or(0), *args.numberColumn);
  if (!lists) {
    return FailText(source, std::string("name and number columns are the same: ") + MessageText(753));
  }
  CPhonebookList list;
  std::error_code ec;
  if (args.add && fs::exists(target, ec) && !LoadPhonebook(target, list, false, true)) {
    return kCliFailed;
  }
  const std::size_t before = list.Count();
  const ImportOutcome outcome = ImportEntries(list, *lists, true);
  if (outcome.added + outcome.overwritten == 0) {
    return FailText(source, std::string("no row holds a valid number: ") + MessageText(753));
  }
  SortAndNumber(list);
  if (!WritePhonebookFile(target, list)) {
    return Fail(target, 766);
  }
  if (!outcome.invalidRows.empty()) {
    ReportInvalidRows(source, grid, outcome);
  }
  PrintImportSummary(list.Count() - before, outcome.joinedRows.size());
  return kCliOk;
}

// Names the line of a contact file that stopped its reading.
void ReportOutlookFile(const fs::path& path, std::size_t expected, const OutlookReadResult& result) {
  if (!result.opened) {
    std::fprintf(stderr, "%s: %s\n", path.string().c_str(), MessageText(732));
  } else if (!result.ok) {
    std::fprintf(stderr, "%s:%zu: %zu fields instead of %zu, the rest of the file is skipped\n", path.string().c_str(),
                 result.badLine, result.badFieldCount, expected);
  }
}

// Writes the collected contacts into the target, which stays untouched when none is new.
int MergeOutlookContacts(const std::string& source, const std::string& target, CPhonebookList& list,
                         const std::vector<PhonebookEntry>& collected) {
  const std::size_t added = MergeCollected(list, collected);
  if (added == 0) {
    return FailText(source, "nothing to import: no contact with a new valid number, " + target + " was not written");
  }
  SortAndNumber(list);
  if (!WritePhonebookFile(target, list)) {
    return Fail(target, 766);
  }
  PrintImportSummary(added, 0);
  return kCliOk;
}

// The contact files pst.tmp and pab.tmp that an export left in a folder.
int ImportOutlookFolder(const fs::path& folder, const std::string& target, CPhonebookList& list) {
  std::error_code ec;
  const bool pst = fs::exists(folder / kPersonalFoldersFile, ec);
  const bool pab = fs::exists(folder / kAddressBookFile, ec);
  const OutlookCollection collection = ReadOutlookExports(folder, pst, pab, list, true);
  if (pst) {
    ReportOutlookFile(folder / kPersonalFoldersFile, 55, collection.personalFolders);
  }
  if (pab) {
    ReportOutlookFile(folder / kAddressBookFile, 22, collection.addressBook);
  }
  if (collection.failed) {
    return Fail(folder.string(), 768);
  }
  return MergeOutlookContacts(folder.string(), target, list, collection.collected);
}

std::string ReadPasswordLine() {
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

// Names why an Outlook data file gave nothing.
int FailOutlookFile(const std::string& source, const std::string& reason) {
  return FailText(source, reason + ": " + MessageText(768));
}

// Runs the import job on a thread of its own while this thread watches for Ctrl+C (or
// SIGTERM): then the library is told to stop its export and the job to skip what follows,
// so that the job still ends normally and removes its private folder with the contact
// files. False when the import was interrupted.
bool RunInterruptibleOutlookImport(const COutlookLibrary& library, const CPhonebookList& list,
                                   OutlookImportResult& result) {
  std::atomic<bool> cancel{CSignalCancel::Requested()};
  std::atomic<bool> ended{false};
  if (!cancel) {
    std::thread job([&] {
      result = RunOutlookImport(library, CPaths::ExecutablePath().parent_path().string(), list, true, cancel,
                                CPaths::TempDir());
      ended = true;
    });
    while (!ended) {
      if (!cancel && CSignalCancel::Requested()) {
        cancel = true;
        library.Cancel();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    job.join();
  }
  return !cancel && !result.cancelled;
}

// An Outlook data file, read by the contacts export library.
int ImportOutlookDataFile(const std::string& source, const std::string& target, CPhonebookList& list,
                          const Arguments& args) {
  // Signals from here on only ask the import to stop (taken by a watcher thread, and
  // blocked in the job's thread, which inherits this thread's mask).
  const CSignalCancel signals;
  COutlookLibrary library;
  if (!library.Load()) {
    return FailOutlookFile(COutlookLibrary::DefaultPath().string(), "the contacts export library cannot be loaded");
  }
  library.SetSourceFile(source);
  const int protection = library.IsPasswordProtected();
  if (protection < 0) {
    return FailOutlookFile(source, "not an Outlook data file, or it cannot be read");
  }
  if (protection == 1) {
    if (!args.password) {
      return FailOutlookFile(source, "the file is protected by a password (--password)");
    }
    library.SetPassword(*args.password == "-" ? ReadPasswordLine() : *args.password);
  }
  OutlookImportResult result;
  if (!RunInterruptibleOutlookImport(library, list, result)) {
    return FailText(source, "cancelled");
  }
  if (result.personalFoldersStatus == COutlookLibrary::kWrongPassword) {
    return FailOutlookFile(source, "wrong password");
  }
  if (result.skipped > 0) {
    std::fprintf(stderr, "%s: skipped %u item(s) that could not be read\n", source.c_str(), result.skipped);
  }
  if (result.noTempFolder) {
    return FailOutlookFile(CPaths::TempDir().string(), "no private folder for the contact files");
  }
  if (result.Failed()) {
    return FailOutlookFile(source, "no contacts could be read");
  }
  return MergeOutlookContacts(source, target, list, result.collection.collected);
}

int ImportOutlook(const Arguments& args) {
  if (args.positional.size() != 2) {
    return Usage("import-outlook needs FILE.pst (or FOLDER) and OUT.phb");
  }
  const std::string& source = args.positional[0];
  const std::string& target = args.positional[1];
  std::error_code ec;
  CPhonebookList list;
  if (args.add && fs::exists(target, ec) && !LoadPhonebook(target, list, false, true)) {
    return kCliFailed;
  }
  if (fs::is_directory(source, ec)) {
    return ImportOutlookFolder(source, target, list);
  }
  return ImportOutlookDataFile(source, target, list, args);
}

int ExportCsv(const Arguments& args) {
  if (args.positional.size() != 2) {
    return Usage("export-csv needs FILE.phb and OUT.csv");
  }
  CPhonebookList list;
  if (!LoadPhonebook(args.positional[0], list, false, true)) {
    return kCliFailed;
  }
  if (!WriteCsvFile(args.positional[1], list)) {
    return Fail(args.positional[1], 767);
  }
  std::printf("%s\n", MessageText(765));
  return kCliOk;
}

int ExportVCard(const Arguments& args) {
  if (args.positional.size() != 2) {
    return Usage("export-vcard needs FILE.phb and DIR");
  }
  CPhonebookList list;
  if (!LoadPhonebook(args.positional[0], list, false, true)) {
    return kCliFailed;
  }
  const fs::path folder = args.positional[1];
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    return FailText(folder.string(), std::string("no such folder: ") + MessageText(767));
  }
  std::vector<PhonebookEntry> entries;
  for (const PhonebookRow& row : list.Rows()) {
    entries.push_back({row.name, StoredNumber(row.number), {}});
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const VCardExportResult result = ExportVCards(folder, entries, local);
  for (const fs::path& written : result.written) {
    std::printf("%s\n", written.string().c_str());
  }
  if (!result.Ok()) {
    return Fail(result.failed.string(), 767);
  }
  return kCliOk;
}

int RunPhonebook(const std::vector<std::string>& words) {
  if (words.empty()) {
    return Usage("a verb is needed");
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help" || WantsHelp(words)) {
    std::printf("%s", kUsage);
    return kCliOk;
  }
  const Arguments args = ParseArguments(words);
  if (!args.error.empty()) {
    return Usage(args.error);
  }
  const std::string& verb = words[0];
  if (verb == "show") {
    return Show(args);
  }
  if (verb == "grid") {
    return Grid(args);
  }
  if (verb == "import-csv" || verb == "import-vcard") {
    return Import(args, verb == "import-vcard");
  }
  if (verb == "import-outlook") {
    return ImportOutlook(args);
  }
  if (verb == "export-csv") {
    return ExportCsv(args);
  }
  if (verb == "export-vcard") {
    return ExportVCard(args);
  }
  return Usage("unknown verb " + verb);
}

const CCliArea kPhonebookArea("phonebook", "phonebook files, CSV, vCard and Outlook import, CSV and vCard export",
                              RunPhonebook);

}  // namespace
