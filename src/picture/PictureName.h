#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Names of pictures on the handset: 1 to 15 characters of the handset's character set,
// not starting with a blank. Text is UTF-8; the handset set is a subset of ASCII, so a
// valid name is also its own byte string in the record.
class CPictureName {
 public:
  static constexpr std::size_t kMaxLength = 15;

  // The text shown when a name is refused.
  static constexpr const char* kRefusedText =
      "The specified file name could not be used. (You used too many characters or invalid characters.)";

  static bool IsHandsetCharacter(char32_t c);
  // True when the name can be sent: 1 to 15 characters, no leading blank, handset
  // characters only.
  static bool IsValid(const std::string& name);
  // The name proposed for a file: its base name (after the last folder separator, before
  // the last dot) with every character outside the handset set replaced by a blank, cut
  // to the 15 characters the name box holds.
  static std::string ProposedFromPath(const std::string& path);
  // A name as the handset stores it: up to maxLength bytes, ending at the first zero byte;
  // bytes outside the handset character set show as blanks.
  static std::string FromHandsetBytes(const std::uint8_t* data, std::size_t maxLength);
};
