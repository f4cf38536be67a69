#include "phonebook/HandsetRecord.h"

#include <algorithm>

namespace {

constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kNumberOffset = 16;
constexpr std::size_t kNumberBytes = 16;
constexpr std::size_t kAttributeOffset = 32;
constexpr std::size_t kCallerNumberOffset = 6;
constexpr std::size_t kCallerNumberBytes = 10;
constexpr std::size_t kCallerNameOffset = 16;
constexpr std::size_t kCallerRecordSize = 32;

// Dial code of a number character; 0 for a character without one.
std::uint8_t DialCode(char c) {
  if (c >= '1' && c <= '9') {
    return static_cast<std::uint8_t>(c - '0');
  }
  switch (c) {
    case '*':
      return 10;
    case '0':
      return 11;
    case '#':
      return 12;
    case 'P':
    case 'p':
      return 13;
    case 'F':
    case 'f':
      return 14;
    default:
      return 0;
  }
}

// Character of a dial code 1..14.
char DialCharacter(std::uint8_t code) {
  static constexpr std::string_view kCharacters = "_123456789*0#PF";
  return kCharacters[code];
}

// Name bytes up to the first zero byte (at most 16), with trailing blanks removed.
std::string ReadNameField(std::span<const std::uint8_t> field) {
  std::string name;
  for (std::uint8_t byte : field.first(std::min(field.size(), kMaxNameLength))) {
    if (byte == 0) {
      break;
    }
    name += static_cast<char>(byte);
  }
  while (!name.empty() && name.back() == ' ') {
    name.pop_back();
  }
  return name;
}

}  // namespace

HandsetPhonebookRecord EncodeRecord(std::string_view name, std::string_view storedNumber,
                                    const std::array<std::uint8_t, 4>& attributes) {
  HandsetPhonebookRecord record;
  std::copy(attributes.begin(), attributes.end(), record.bytes.begin() + kAttributeOffset);
  const std::size_t nameBytes = std::min(name.size(), kMaxNameLength);
  std::copy_n(name.begin(), nameBytes, record.bytes.begin() + kNameOffset);
  std::size_t nibble = 0;
  for (char c : storedNumber) {
    const std::uint8_t code = DialCode(c);
    if (code == 0) {
      continue;
    }
    if (nibble == 2 * kNumberBytes) {
      break;
    }
    std::uint8_t& byte = record.bytes[kNumberOffset + nibble / 2];
    byte = static_cast<std::uint8_t>(byte | ((nibble % 2 == 0) ? (code << 4) : code));
    ++nibble;
  }
  return record;
}

std::string DecodeDialCodes(std::span<const std::uint8_t> packed) {
  std::string number;
  for (std::uint8_t byte : packed) {
    for (std::uint8_t code : {static_cast<std::uint8_t>(byte >> 4), static_cast<std::uint8_t>(byte & 0x0F)}) {
      if (code == 0 || code == 15) {
        return number;
      }
      number += DialCharacter(code);
    }
  }
  return number;
}

std::optional<PhonebookEntry> DecodeRecord(std::span<const std::uint8_t> item) {
  if (item.size() < HandsetPhonebookRecord::kSize) {
    return std::nullopt;
  }
  const std::string name = ReadNameField(item.subspan(kNameOffset, kMaxNameLength));
  const std::string number = DecodeDialCodes(item.subspan(kNumberOffset, kNumberBytes));
  std::optional<PhonebookEntry> entry = ValidateEntry(name, number);
  if (entry) {
    std::copy_n(item.begin() + kAttributeOffset, 4, entry->attributes.begin());
  }
  return entry;
}

std::optional<CallerIdEntry> DecodeCallerRecord(std::span<const std::uint8_t> item) {
  if (item.size() < kCallerRecordSize) {
    return std::nullopt;
  }
  CallerIdEntry caller;
  caller.number = DecodeDialCodes(item.subspan(kCallerNumberOffset, kCallerNumberBytes));
  if (caller.number.empty()) {
    return std::nullopt;
  }
  std::string name;
  for (std::uint8_t byte : item.subspan(kCallerNameOffset, kMaxNameLength)) {
    if (byte == 0) {
      break;
    }
    name += IsNameCharacter(static_cast<char>(byte)) ? static_cast<char>(byte) : ' ';
  }
  while (!name.empty() && name.back() == ' ') {
    name.pop_back();
  }
  caller.name = std::move(name);
  return caller;
}
