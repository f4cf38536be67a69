#pragma once

#include <string>

// The name a melody is stored under in the handset: 1 to 15 characters of the handset's
// melody character set, not starting with a blank.
class CMelodyName {
 public:
  static constexpr std::size_t kMaxLength = 15;

  // The characters a melody name may hold.
  static const std::string& Characters();
  static bool IsNameCharacter(char c);
  static bool IsValid(const std::string& name);
  // The name proposed for an opened file: its file name without folder and extension, with
  // every character outside the set replaced by a blank. It is not shortened: a name
  // longer than 15 characters is refused when the melody is sent.
  static std::string ProposedFromPath(const std::string& path);
};
