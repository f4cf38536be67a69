#include "ioutlk/PffFile.h"

#include "ioutlk/PffError.h"
#include "ioutlk/PffProperty.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace {

constexpr std::uint32_t kPasswordChecksumTag = 0x67FF;
constexpr std::uint32_t kWastebasketEntryIdTag = 0x35E3;
// An entry id: 4 flag bytes, the 16-byte store identifier, the 4-byte node identifier.
constexpr std::size_t kEntryIdSize = 24;
constexpr std::size_t kEntryIdNodeOffset = 20;

}  // namespace

void PffItemFree::operator()(libpff_item_t* item) const {
  CPffError error;
  libpff_item_free(&item, &error);
}

CPffFile::CPffFile() {
  CPffError error;
  if (libpff_file_initialize(&m_file, &error) != 1) {
    m_file = nullptr;
  }
}

CPffFile::~CPffFile() {
  Close();
  std::lock_guard lock(m_abortLock);
  if (m_file != nullptr) {
    CPffError error;
    libpff_file_free(&m_file, &error);
  }
}

bool CPffFile::Open(const std::string& path) {
  Close();
  if (m_file == nullptr) {
    return false;
  }
  CPffError error;
  m_open = libpff_file_open(m_file, path.c_str(), libpff_get_access_flags_read(), &error) == 1;
  if (m_open && IsCutShort(path)) {
    Close();
  }
  return m_open;
}

// libpff reads what it finds of a file cut short (an incomplete copy) and reports no
// error; the contacts beyond the cut would be missing without a word. The header states
// the whole file's size.
bool CPffFile::IsCutShort(const std::string& path) const {
  size64_t declared = 0;
  CPffError error;
  std::error_code ec;
  const std::uintmax_t actual = std::filesystem::file_size(path, ec);
  return ec || libpff_file_get_size(m_file, &declared, &error) != 1 || actual < declared;
}

void CPffFile::Close() {
  if (m_open) {
    CPffError error;
    libpff_file_close(m_file, &error);
    m_open = false;
  }
}

CPffFile::Content CPffFile::ContentType() const {
  std::uint8_t type = 0;
  CPffError error;
  if (!m_open || libpff_file_get_content_type(m_file, &type, &error) != 1) {
    return Content::Unknown;
  }
  switch (type) {
    case LIBPFF_FILE_CONTENT_TYPE_PST:
      return Content::PersonalFolders;
    case LIBPFF_FILE_CONTENT_TYPE_OST:
      return Content::OfflineFolders;
    default:
      return Content::Unknown;
  }
}

PffItem CPffFile::MessageStore() const {
  libpff_item_t* store = nullptr;
  CPffError error;
  if (!m_open || libpff_file_get_message_store(m_file, &store, &error) != 1) {
    return nullptr;
  }
  return PffItem(store);
}

std::optional<std::uint32_t> CPffFile::PasswordChecksum() const {
  const PffItem store = MessageStore();
  std::uint32_t checksum = 0;
  if (!store || ReadPffUint32(store.get(), kPasswordChecksumTag, checksum) != PffRead::Found || checksum == 0) {
    return std::nullopt;
  }
  return checksum;
}

PffItem CPffFile::RootFolder() const {
  libpff_item_t* root = nullptr;
  CPffError error;
  if (!m_open || libpff_file_get_root_folder(m_file, &root, &error) != 1) {
    return nullptr;
  }
  return PffItem(root);
}

std::optional<std::uint32_t> CPffFile::WastebasketId() const {
  const PffItem store = MessageStore();
  std::vector<std::uint8_t> entryId;
  if (!store || ReadPffBytes(store.get(), kWastebasketEntryIdTag, entryId, kEntryIdSize) != PffRead::Found ||
      entryId.size() != kEntryIdSize) {
    return std::nullopt;
  }
  std::uint32_t id = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    id |= static_cast<std::uint32_t>(entryId[kEntryIdNodeOffset + i]) << (8 * i);
  }
  return id;
}

void CPffFile::SignalAbort() {
  std::lock_guard lock(m_abortLock);
  if (m_file != nullptr) {
    CPffError error;
    libpff_file_signal_abort(m_file, &error);
  }
}
