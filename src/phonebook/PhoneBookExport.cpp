// CPhoneBookUtilityDlg: exporting the Computer list as a CSV file or as vCard files.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "framework/QtFileDialogs.h"
#include "phonebook/CsvFormat.h"
#include "phonebook/VCardFormat.h"
#include "ui/Message.h"

#include <ctime>
#include <filesystem>
#include <system_error>

namespace {
constexpr int kCsvFileText = 4057;
constexpr std::int32_t kMsgSaved = 765;
constexpr std::int32_t kMsgNotExported = 767;

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

// Every Computer row, in list order, as an entry line; the file appears complete or not at all.
void CPhoneBookUtilityDlg::ExportCsv() {
  if (m_computer.Empty() || Executing() != 0) {
    return;
  }
  QPointer<CPhoneBookUtilityDlg> self(this);
  SetExtcuting(kExporting);
  const std::string folder = m_path.empty() ? std::string() : std::filesystem::path(m_path).parent_path().string();
  const std::string path =
      BrowseForSave("csv", {}, CQtFileDialogs::kOverwritePrompt, String(kCsvFileText) + " (*.csv)", folder);
  if (!self) {
    return;
  }
  if (path.empty()) {
    SetExtcuting(0);
    return;
  }
  const bool written = WriteCsvFile(path, m_computer);
  SetExtcuting(0);
  ShowMsg(written ? kMsgSaved : kMsgNotExported, written ? MB_ICONINFORMATION : MB_ICONSTOP);
}

// One vCard file per entry in a chosen folder: the selected rows, or every row when none is
// selected. A file that cannot be written stops the export with 767; the files before it stay.
void CPhoneBookUtilityDlg::ExportVCards() {
  if (m_computer.Empty() || Executing() != 0) {
    return;
  }
  std::vector<std::size_t> rows = SelectedRows(Side::Computer);
  if (rows.empty()) {
    for (std::size_t row = 0; row < m_computer.Count(); ++row) {
      rows.push_back(row);
    }
  }
  std::vector<PhonebookEntry> entries;
  for (std::size_t row : rows) {
    entries.push_back({m_computer.Row(row).name, StoredNumber(m_computer.Row(row).number), {}});
  }
  QPointer<CPhoneBookUtilityDlg> self(this);
  SetExtcuting(kExporting);
  const std::string folder = BrowseForFolder(ExportStartFolder());
  if (!self) {
    return;
  }
  if (folder.empty()) {
    SetExtcuting(0);
    return;
  }
  const VCardExportResult result = ::ExportVCards(folder, entries, LocalNow());
  SetExtcuting(0);
  ShowMsg(result.Ok() ? kMsgSaved : kMsgNotExported, result.Ok() ? MB_ICONINFORMATION : MB_ICONSTOP);
}

// The folder the initial-folder rule names: itself when it is a folder, else the folder of
// the file it names.
std::string CPhoneBookUtilityDlg::ExportStartFolder() {
  const std::filesystem::path initial = GetInitialFolder({});
  std::error_code error;
  if (std::filesystem::is_directory(initial, error)) {
    return initial.string();
  }
  return initial.parent_path().string();
}
