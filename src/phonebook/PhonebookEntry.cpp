#include "phonebook/PhonebookEntry.h"

#include "phonebook/NumberText.h"
#include "platform/Utf8.h"

namespace {

constexpr std::string_view kNumberCharacters = "0123456789#*PF";

bool IsNumberCharacter(char c) {
  return kNumberCharacters.find(c) != std::string_view::npos;
}

bool IsDialCharacter(char c) {
  return (c >= '0' && c <= '9') || c == '*' || c == '#';
}

char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Group sizes of the display form, by the length of the stored number.
std::string_view GroupsForLength(std::size_t length) {
  switch (length) {
    case 7:
      return "34";
    case 8:
      return "134";
    case 9:
      return "234";
    case 10:
      return "334";
    case 11:
      return "1334";
    default:
      return {};
  }
}

}  // namespace

bool IsNameCharacter(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 0x20 && code <= 0x7E && c != '@' && c != '`';
}

std::string NormaliseName(std::string_view name) {
  const std::string text(name);
  std::string result;
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size() && count < kMaxNameLength; ++count) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    result += (length == 1 && IsNameCharacter(text[pos])) ? text[pos] : ' ';
    pos += length;
  }
  return result;
}

std::string CleanNumber(std::string_view number) {
  std::string result;
  for (char c : MarkExtensions(number)) {
    if (IsNumberCharacter(c)) {
      result += c;
      if (result.size() == kMaxNumberLength) {
        break;
      }
    }
  }
  return result;
}

bool IsValidNumber(std::string_view number) {
  if (number.empty() || number.size() > kMaxNumberLength) {
    return false;
  }
  bool hasDial = false;
  for (char c : number) {
    if (!IsNumberCharacter(c)) {
      return false;
    }
    hasDial = hasDial || IsDialCharacter(c);
  }
  return hasDial;
}

std::optional<PhonebookEntry> ValidateEntry(std::string_view name, std::string_view number) {
  if (LooksLikeText(MarkExtensions(number))) {
    return std::nullopt;
  }
  PhonebookEntry entry;
  entry.number = CleanNumber(number);
  if (!IsValidNumber(entry.number)) {
    return std::nullopt;
  }
  entry.name = NormaliseName(name);
  return entry;
}

std::string ToDisplayNumber(std::string_view storedNumber, bool freeEdit) {
  const std::string_view groups = freeEdit ? GroupsForLength(storedNumber.size()) : std::string_view{};
  if (groups.empty()) {
    return std::string(storedNumber);
  }
  std::string result;
  std::size_t pos = 0;
  for (char group : groups) {
    if (pos > 0) {
      result += '-';
    }
    const auto size = static_cast<std::size_t>(group - '0');
    result.append(storedNumber.substr(pos, size));
    pos += size;
  }
  return result;
}

std::string StoredNumber(std::string_view displayNumber) {
  std::string result;
  for (char c : displayNumber) {
    if (c != '-') {
      result += c;
    }
  }
  return result;
}

bool SameNumber(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (true) {
    while (i < a.size() && a[i] == '-') {
      ++i;
    }
    while (j < b.size() && b[j] == '-') {
      ++j;
    }
    if (i == a.size() || j == b.size()) {
      return i == a.size() && j == b.size();
    }
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[j])) {
      return false;
    }
    ++i;
    ++j;
  }
}

int HandsetCapacity(std::uint32_t entrySetting) {
  return static_cast<int>(entrySetting & 0xFFu);
}

bool EvaluateFreeEdit(std::uint32_t modelField35, std::uint32_t modelField40) {
  return modelField35 == 0 && modelField40 == 0;
}
