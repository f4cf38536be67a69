#include "ioutlk/ContactExport.h"

#include "ioutlk/ContactFields.h"
#include "ioutlk/PffContactProperties.h"
#include "ioutlk/PffError.h"

namespace {

// Folder trees of real files are a few levels deep; a damaged file may describe a loop.
constexpr int kDeepestFolder = 64;

std::optional<std::uint32_t> Identifier(libpff_item_t* item) {
  std::uint32_t id = 0;
  CPffError error;
  if (libpff_item_get_identifier(item, &id, &error) != 1) {
    return std::nullopt;
  }
  return id;
}

}  // namespace

CContactExport::CContactExport(const CPffFile& file, const std::atomic<bool>& cancel)
    : m_file(file), m_cancel(cancel) {}

CContactExport::Status CContactExport::Run(std::string& lines) {
  m_wastebasket = m_file.WastebasketId();
  const PffItem root = m_file.RootFolder();
  if (!root) {
    return Cancelled() ? Status::Cancelled : Status::NoFolders;
  }
  WalkFolder(root.get(), 0, lines);
  return Cancelled() ? Status::Cancelled : Status::Ok;
}

void CContactExport::WalkFolder(libpff_item_t* folder, int depth, std::string& lines) {
  const std::optional<std::uint32_t> id = Identifier(folder);
  if (Cancelled() || depth > kDeepestFolder || !id || (m_wastebasket && *id == *m_wastebasket) ||
      !m_seenFolders.insert(*id).second) {
    return;
  }
  WalkMessages(folder, lines);
  int count = 0;
  CPffError error;
  if (libpff_folder_get_number_of_sub_folders(folder, &count, &error) != 1) {
    return;
  }
  for (int i = 0; i < count && !Cancelled(); ++i) {
    libpff_item_t* sub = nullptr;
    CPffError subError;
    if (libpff_folder_get_sub_folder(folder, i, &sub, &subError) == 1 && sub != nullptr) {
      const PffItem owned(sub);
      WalkFolder(owned.get(), depth + 1, lines);
    }
  }
}

void CContactExport::WalkMessages(libpff_item_t* folder, std::string& lines) {
  int count = 0;
  CPffError error;
  if (libpff_folder_get_number_of_sub_messages(folder, &count, &error) != 1) {
    return;
  }
  for (int i = 0; i < count && !Cancelled(); ++i) {
    libpff_item_t* message = nullptr;
    CPffError messageError;
    if (libpff_folder_get_sub_message(folder, i, &message, &messageError) != 1 || message == nullptr) {
      ++m_skipped;
      continue;
    }
    const PffItem owned(message);
    ExportItem(owned.get(), lines);
  }
}

void CContactExport::ExportItem(libpff_item_t* item, std::string& lines) {
  std::uint8_t type = LIBPFF_ITEM_TYPE_UNDEFINED;
  CPffError error;
  if (libpff_item_get_type(item, &type, &error) != 1) {
    ++m_skipped;
    return;
  }
  const bool wanted = type == LIBPFF_ITEM_TYPE_CONTACT;
  const std::optional<std::uint32_t> id = Identifier(item);
  // A search folder lists items that also live in their own folder: each is written once.
  if (!wanted || (id && !m_seenItems.insert(*id).second)) {
    return;
  }
  const CPffContactProperties properties(item);
  const std::optional<std::vector<std::string>> fields = PersonalFoldersFields(properties);
  if (!fields) {
    ++m_skipped;
    return;
  }
  lines += ContactLine(*fields);
  ++m_written;
}
