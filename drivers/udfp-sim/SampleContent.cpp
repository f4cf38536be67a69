#include "SampleContent.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "udfp_sim.h"

namespace {

// Packs dial digits as four-bit codes, two per byte, earlier digit in the high half;
// "0" has code 11, the other digits their value.
void PackDigits(const std::string& digits, std::uint8_t* out) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const std::uint8_t code = digits[i] == '0' ? 11 : static_cast<std::uint8_t>(digits[i] - '0');
    out[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? code << 4 : code);
  }
}

void PutName(std::uint8_t* out, std::size_t field, const char* prefix, std::uint32_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%s %02u", prefix, index);
  std::memcpy(out, name, std::min(std::strlen(name), field));
}

std::string Number(const char* prefix, std::uint32_t index) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%s%04u", prefix, index % 10000);
  return digits;
}

}  // namespace

std::vector<std::uint8_t> CSampleContent::Make(std::uint32_t kind, std::uint32_t index) {
  switch (kind) {
    case UDFP_SIM_KIND_PHONEBOOK:
      return Phonebook(index);
    case UDFP_SIM_KIND_CALLER_LIST:
      return Caller(index);
    case UDFP_SIM_KIND_WALLPAPER:
      return Picture(UDFP_SIM_WALLPAPER_RECORD_SIZE, "Wallpaper", index);
    case UDFP_SIM_KIND_PICTURE_ID:
      return Picture(UDFP_SIM_PICTURE_ID_RECORD_SIZE, "Photo", index);
    case UDFP_SIM_KIND_MELODY:
      return Melody(index);
    case UDFP_SIM_KIND_RAW:
      return Raw(index);
    default:
      return {};
  }
}

std::vector<std::uint8_t> CSampleContent::Phonebook(std::uint32_t index) {
  std::vector<std::uint8_t> record(UDFP_SIM_PHONEBOOK_RECORD_SIZE, 0);
  PutName(record.data(), 16, "Entry", index);
  PackDigits(Number("555", index), record.data() + 16);
  return record;
}

std::vector<std::uint8_t> CSampleContent::Caller(std::uint32_t index) {
  std::vector<std::uint8_t> record(UDFP_SIM_CALLER_RECORD_MIN_SIZE, 0);
  PackDigits(Number("0207", index), record.data() + 6);
  PutName(record.data() + 16, 16, "Caller", index);
  return record;
}

std::vector<std::uint8_t> CSampleContent::Picture(std::size_t size, const char* prefix, std::uint32_t index) {
  std::vector<std::uint8_t> record(size, 0);
  PutName(record.data(), 15, prefix, index);
  // A grey-scale palette of 256 16-bit entries, then a diagonal pattern of indices.
  for (std::uint32_t entry = 0; entry < 256; ++entry) {
    const std::uint32_t level = entry >> 3;
    const std::uint32_t rgb565 = (level << 11) | ((entry >> 2) << 5) | level;
    record[32 + entry * 2] = static_cast<std::uint8_t>(rgb565);
    record[33 + entry * 2] = static_cast<std::uint8_t>(rgb565 >> 8);
  }
  for (std::size_t i = 544; i < size; ++i) {
    record[i] = static_cast<std::uint8_t>(i + index * 16);
  }
  return record;
}

std::vector<std::uint8_t> CSampleContent::Melody(std::uint32_t index) {
  // A name and one second of codec frames (4 500 bytes: 500 frames of 9 bytes).
  std::vector<std::uint8_t> record(UDFP_SIM_MELODY_HEADER_SIZE + 4500, 0);
  PutName(record.data(), 15, "Melody", index);
  for (std::size_t i = UDFP_SIM_MELODY_HEADER_SIZE; i < record.size(); ++i) {
    record[i] = static_cast<std::uint8_t>((i * 7 + index) & 0xFF);
  }
  return record;
}

std::vector<std::uint8_t> CSampleContent::Raw(std::uint32_t index) {
  std::vector<std::uint8_t> bytes(100);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i ^ index);
  }
  return bytes;
}
