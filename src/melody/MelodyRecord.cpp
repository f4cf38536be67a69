#include "melody/MelodyRecord.h"

#include <algorithm>
#include <cstring>

std::vector<std::uint8_t> BuildMelodyRecord(const std::string& name, const std::uint8_t* gc, std::size_t gcSize) {
  std::vector<std::uint8_t> record(kMelodyNameField + gcSize, 0);
  const std::size_t n = std::min(name.size(), kMelodyNameMaxChars);
  std::memcpy(record.data(), name.data(), n);
  if (gcSize > 0) {
    std::memcpy(record.data() + kMelodyNameField, gc, gcSize);
  }
  return record;
}

std::vector<std::uint8_t> MelodyRecordFrames(const std::uint8_t* record, std::size_t size) {
  if (record == nullptr || size <= kMelodyNameField) {
    return {};
  }
  return std::vector<std::uint8_t>(record + kMelodyNameField, record + size);
}

std::string MelodyRecordName(const std::uint8_t* record, std::size_t size) {
  std::string name;
  for (std::size_t i = 0; record != nullptr && i < std::min(size, kMelodyNameField) && record[i] != 0; ++i) {
    name.push_back(static_cast<char>(record[i]));
  }
  return name;
}

std::optional<MelodyListEntry> ParseMelodyListEntry(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size <= 2 || data[1] == 0) {
    return std::nullopt;
  }
  MelodyListEntry entry;
  entry.slot = data[0];
  for (std::size_t i = 2; i < size && data[i] != 0; ++i) {
    if (data[i] >= 32 && data[i] <= 126) {
      if (entry.name.size() < kMelodyNameMaxChars) {
        entry.name.push_back(static_cast<char>(data[i]));
      }
    } else {
      ++entry.skipped;
    }
  }
  return entry;
}

std::string MelodyListLabel(int row) {
  return "[" + std::to_string(row) + "]";
}
