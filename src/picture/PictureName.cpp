#include "picture/PictureName.h"

#include <string_view>

#include "platform/Utf8.h"

namespace {

constexpr std::string_view kHandsetCharacters =
    "AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz &'(),./0123456789#*-"
    "!\"$%+-:;<=>?[\\]^_{|}~";

}  // namespace

bool CPictureName::IsHandsetCharacter(char32_t c) {
  return c != 0 && c < 0x80 && kHandsetCharacters.find(static_cast<char>(c)) != std::string_view::npos;
}

bool CPictureName::IsValid(const std::string& name) {
  if (name.empty() || name.size() > kMaxLength || name.front() == ' ') {
    return false;
  }
  for (char c : name) {
    // A byte of a multi-byte sequence is never a handset character, so the byte count is
    // the character count of every name that passes.
    if (!IsHandsetCharacter(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return true;
}

std::string CPictureName::ProposedFromPath(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.find_last_of('.');
  const std::size_t end = (dot == std::string::npos || dot < start) ? path.size() : dot;
  const std::string base = path.substr(start, end - start);
  std::string proposed;
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < base.size() && count < kMaxLength; ++count) {
    const std::size_t length = Utf8SequenceLength(base, pos);
    const bool keep = length == 1 && IsHandsetCharacter(static_cast<unsigned char>(base[pos]));
    proposed += keep ? base[pos] : ' ';
    pos += length;
  }
  return proposed;
}

std::string CPictureName::FromHandsetBytes(const std::uint8_t* data, std::size_t maxLength) {
  std::string name;
  for (std::size_t i = 0; i < maxLength && data[i] != 0; ++i) {
    name += IsHandsetCharacter(data[i]) ? static_cast<char>(data[i]) : ' ';
  }
  return name;
}
