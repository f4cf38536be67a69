#pragma once

#include "phonebook/PhonebookEntry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The handset's storage of one phonebook entry: 16 name bytes (zero-filled, no terminator
// for a 16-character name), 32 four-bit dial codes (earlier character in the high bits,
// code 0 after the last one) and the four attribute bytes.
struct HandsetPhonebookRecord {
  static constexpr std::size_t kSize = 36;
  std::array<std::uint8_t, kSize> bytes{};
};

// One caller of the handset's caller list, as decoded from its record.
struct CallerIdEntry {
  std::string name;
  std::string number;
};

// Builds the record of an entry. Characters that have no dial code (hyphens of a display
// form, for example) are left out, and the number is cut to 32 codes so it never runs
// into the attribute bytes.
HandsetPhonebookRecord EncodeRecord(std::string_view name, std::string_view storedNumber,
                                    const std::array<std::uint8_t, 4>& attributes);
// Decodes a received phonebook item and repairs it like any entry from outside; nothing
// for an item shorter than a record or without a valid number.
std::optional<PhonebookEntry> DecodeRecord(std::span<const std::uint8_t> item);
// Decodes a received caller-list item (number from 20 codes at offset 6, name from offset
// 16); nothing for an item shorter than 32 bytes or with an empty number.
std::optional<CallerIdEntry> DecodeCallerRecord(std::span<const std::uint8_t> item);
// Decodes dial codes, high four bits first, up to the first code 0 or 15.
std::string DecodeDialCodes(std::span<const std::uint8_t> packed);
