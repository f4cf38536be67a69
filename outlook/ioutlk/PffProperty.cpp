#include "ioutlk/PffProperty.h"

#include "ioutlk/PffError.h"

#include <memory>

namespace {

struct RecordSetFree {
  void operator()(libpff_record_set_t* set) const {
    CPffError error;
    libpff_record_set_free(&set, &error);
  }
};

struct RecordEntryFree {
  void operator()(libpff_record_entry_t* entry) const {
    CPffError error;
    libpff_record_entry_free(&entry, &error);
  }
};

using RecordEntry = std::unique_ptr<libpff_record_entry_t, RecordEntryFree>;

// The entry of a property; null with `read` telling whether it is missing or unreadable.
RecordEntry FindEntry(libpff_item_t* item, std::uint32_t tag, PffRead& read) {
  read = PffRead::Unreadable;
  libpff_record_set_t* rawSet = nullptr;
  CPffError setError;
  if (libpff_item_get_record_set_by_index(item, 0, &rawSet, &setError) != 1 || rawSet == nullptr) {
    return nullptr;
  }
  const std::unique_ptr<libpff_record_set_t, RecordSetFree> set(rawSet);
  libpff_record_entry_t* entry = nullptr;
  CPffError entryError;
  const int found = libpff_record_set_get_entry_by_type(set.get(), tag, 0, &entry,
                                                        LIBPFF_ENTRY_VALUE_FLAG_MATCH_ANY_VALUE_TYPE, &entryError);
  if (found == 0) {
    read = PffRead::Missing;
  }
  return found == 1 ? RecordEntry(entry) : nullptr;
}

}  // namespace

PffRead ReadPffText(libpff_item_t* item, std::uint32_t tag, std::string& text, std::size_t maxBytes) {
  PffRead read = PffRead::Unreadable;
  const RecordEntry entry = FindEntry(item, tag, read);
  if (!entry) {
    return read;
  }
  std::size_t size = 0;
  CPffError error;
  if (libpff_record_entry_get_data_as_utf8_string_size(entry.get(), &size, &error) != 1 || size > maxBytes) {
    return PffRead::Unreadable;
  }
  if (size <= 1) {
    text.clear();
    return PffRead::Found;
  }
  // The size counts the closing zero byte.
  std::vector<std::uint8_t> buffer(size, 0);
  if (libpff_record_entry_get_data_as_utf8_string(entry.get(), buffer.data(), buffer.size(), &error) != 1) {
    return PffRead::Unreadable;
  }
  buffer.back() = 0;
  text.assign(reinterpret_cast<const char*>(buffer.data()));
  return PffRead::Found;
}

PffRead ReadPffUint32(libpff_item_t* item, std::uint32_t tag, std::uint32_t& value) {
  PffRead read = PffRead::Unreadable;
  const RecordEntry entry = FindEntry(item, tag, read);
  if (!entry) {
    return read;
  }
  CPffError error;
  return libpff_record_entry_get_data_as_32bit_integer(entry.get(), &value, &error) == 1 ? PffRead::Found
                                                                                         : PffRead::Unreadable;
}

PffRead ReadPffBytes(libpff_item_t* item, std::uint32_t tag, std::vector<std::uint8_t>& bytes, std::size_t maxBytes) {
  PffRead read = PffRead::Unreadable;
  const RecordEntry entry = FindEntry(item, tag, read);
  if (!entry) {
    return read;
  }
  std::size_t size = 0;
  CPffError error;
  if (libpff_record_entry_get_data_size(entry.get(), &size, &error) != 1 || size > maxBytes) {
    return PffRead::Unreadable;
  }
  bytes.assign(size, 0);
  if (size > 0 && libpff_record_entry_get_data(entry.get(), bytes.data(), bytes.size(), &error) != 1) {
    return PffRead::Unreadable;
  }
  return PffRead::Found;
}
