#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The melody as it travels to and from the handset: a 32-byte name field (at most 15
// characters, zero-filled) followed by the ".gc" frames.
inline constexpr std::size_t kMelodyNameField = 32;
inline constexpr std::size_t kMelodyNameMaxChars = 15;

// Builds the record; the name is cut to 15 bytes.
std::vector<std::uint8_t> BuildMelodyRecord(const std::string& name, const std::uint8_t* gc, std::size_t gcSize);
// The ".gc" frames of a received record (empty when the record is not longer than its name).
std::vector<std::uint8_t> MelodyRecordFrames(const std::uint8_t* record, std::size_t size);
// The name field of a record, up to its first zero byte.
std::string MelodyRecordName(const std::uint8_t* record, std::size_t size);

// One entry of the handset's melody list.
struct MelodyListEntry {
  std::uint8_t slot = 0;
  std::string name;         // printable characters only, at most 15 shown
  std::size_t skipped = 0;  // bytes of the name field that were not printable
};

// Parses the reply data for one list entry; nothing for data of 2 bytes or less and for
// an empty slot.
std::optional<MelodyListEntry> ParseMelodyListEntry(const std::uint8_t* data, std::size_t size);
// The row label of the list, numbered from 1: "[1]", "[2]", ...
std::string MelodyListLabel(int row);
