#include "phonebook/NumberText.h"

#include <array>

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsDialCharacter(char c) {
  return IsDigit(c) || c == '*' || c == '#';
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// What people put between the groups of a number.
bool IsGroupSeparator(char c) {
  return c == ' ' || c == '\t' || c == '-' || c == '.' || c == '(' || c == ')' || c == '/';
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() < lowerWord.size()) {
    return false;
  }
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    if (LowerAscii(text[i]) != lowerWord[i]) {
      return false;
    }
  }
  return true;
}

// The length of an extension word standing on its own at pos, 0 when there is none.
std::size_t ExtensionWordLength(std::string_view text, std::size_t pos) {
  if (pos > 0 && IsAsciiLetter(text[pos - 1])) {
    return 0;
  }
  constexpr std::array<std::string_view, 3> kWords = {"extension", "extn", "ext"};
  for (std::string_view word : kWords) {
    const std::size_t end = pos + word.size();
    if (StartsWithNoCase(text.substr(pos), word) && (end == text.size() || !IsAsciiLetter(text[end]))) {
      return word.size();
    }
  }
  return 0;
}

// True for an "x" with a digit on either side, group separators aside ("1234 x 56").
bool IsExtensionX(std::string_view text, std::size_t pos) {
  if (LowerAscii(text[pos]) != 'x') {
    return false;
  }
  std::size_t before = pos;
  while (before > 0 && IsGroupSeparator(text[before - 1])) {
    --before;
  }
  std::size_t after = pos + 1;
  while (after < text.size() && IsGroupSeparator(text[after])) {
    ++after;
  }
  return before > 0 && IsDigit(text[before - 1]) && after < text.size() && IsDigit(text[after]);
}

std::size_t MarkerLength(std::string_view text, std::size_t pos) {
  if (text[pos] == ',' || IsExtensionX(text, pos)) {
    return 1;
  }
  return ExtensionWordLength(text, pos);
}

// Length of the UTF-8 sequence at pos, and whether its character is a letter of another
// alphabet rather than a space, dash or mark of the U+0080..U+00BF, U+2000..U+206F and
// U+3000 ranges that address books put around numbers.
std::size_t ForeignCharacter(std::string_view text, std::size_t pos, bool& letter) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t valid = 1;
  while (valid < length && pos + valid < text.size() &&
         (static_cast<unsigned char>(text[pos + valid]) & 0xC0) == 0x80) {
    ++valid;
  }
  length = valid;
  const std::string_view sequence = text.substr(pos, length);
  const bool punctuation = sequence.starts_with("\xE2\x80") || sequence.starts_with("\xE2\x81") ||
                           sequence.starts_with("\xE3\x80\x80") || lead == 0xC2;
  letter = length > 1 && !punctuation;
  return length;
}

}  // namespace

std::string MarkExtensions(std::string_view number) {
  std::string result;
  bool seenDigit = false;
  std::size_t pendingPauses = 0;
  std::size_t pos = 0;
  while (pos < number.size()) {
    const std::size_t marker = seenDigit ? MarkerLength(number, pos) : 0;
    if (marker > 0) {
      ++pendingPauses;
      pos += marker;
      continue;
    }
    const char c = number[pos++];
    if (IsDialCharacter(c)) {
      result.append(pendingPauses, kPauseCharacter);
      pendingPauses = 0;
      seenDigit = seenDigit || IsDigit(c);
    }
    result += c;
  }
  return result;
}

bool LooksLikeText(std::string_view number) {
  std::size_t letters = 0;
  std::size_t digits = 0;
  std::size_t pos = 0;
  while (pos < number.size()) {
    const char c = number[pos];
    if (static_cast<unsigned char>(c) >= 0x80) {
      bool letter = false;
      pos += ForeignCharacter(number, pos, letter);
      letters += letter ? 1 : 0;
      continue;
    }
    digits += IsDigit(c) ? 1 : 0;
    letters += (IsAsciiLetter(c) && c != 'P' && c != 'F') ? 1 : 0;
    ++pos;
  }
  return letters > digits;
}

JoinedNumbers SplitJoinedNumbers(std::string_view cell) {
  constexpr std::string_view kJoint = ":::";
  JoinedNumbers joined;
  joined.first = cell;
  bool found = false;
  std::size_t start = 0;
  joined.count = 0;
  while (true) {
    const std::size_t joint = cell.find(kJoint, start);
    const std::string_view piece = cell.substr(start, joint == std::string_view::npos ? joint : joint - start);
    ++joined.count;
    if (!found && piece.find_first_of("0123456789") != std::string_view::npos) {
      joined.first = piece;
      found = true;
    }
    if (joint == std::string_view::npos) {
      return joined;
    }
    start = joint + kJoint.size();
  }
}
