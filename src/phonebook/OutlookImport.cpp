#include "phonebook/OutlookImport.h"

#include "phonebook/PrivateTempFolder.h"

OutlookImportResult RunOutlookImport(const COutlookLibrary& library, const std::string& programFolder,
                                     const CPhonebookList& computer, bool freeEdit, const std::atomic<bool>& cancel,
                                     const std::filesystem::path& tempParent) {
  OutlookImportResult result;
  CPrivateTempFolder folder(tempParent);
  if (!folder.Made()) {
    result.noTempFolder = true;
    return result;
  }
  const std::filesystem::path pst = folder.Path() / kPersonalFoldersFile;
  const std::filesystem::path pab = folder.Path() / kAddressBookFile;
  result.personalFoldersStatus =
      library.Transfer(static_cast<std::int32_t>(OutlookSource::PersonalFolders), programFolder, pst.string());
  library.LastCounts(result.written, result.skipped);
  if (!cancel.load()) {
    result.addressBookStatus =
        library.Transfer(static_cast<std::int32_t>(OutlookSource::AddressBook), programFolder, pab.string());
  }
  const bool pstWritten = result.personalFoldersStatus == COutlookLibrary::kOk && !cancel.load();
  const bool pabWritten = result.addressBookStatus == COutlookLibrary::kOk && !cancel.load();
  result.collection = ReadOutlookExports(folder.Path(), pstWritten, pabWritten, computer, freeEdit, &cancel);
  result.cancelled = cancel.load() || result.personalFoldersStatus == COutlookLibrary::kCancelled;
  folder.Remove();
  return result;
}
