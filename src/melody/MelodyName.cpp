#include "melody/MelodyName.h"

const std::string& CMelodyName::Characters() {
  static const std::string characters =
      "AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz &'(),./0123456789#*-"
      "!\"$%+-:;<=>?[\\]^_{|}~";
  return characters;
}

bool CMelodyName::IsNameCharacter(char c) {
  return c != '\0' && Characters().find(c) != std::string::npos;
}

bool CMelodyName::IsValid(const std::string& name) {
  if (name.empty() || name.size() > kMaxLength || name.front() == ' ') {
    return false;
  }
  for (const char c : name) {
    if (!IsNameCharacter(c)) {
      return false;
    }
  }
  return true;
}

std::string CMelodyName::ProposedFromPath(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    name.erase(dot);
  }
  // A byte of a multi-byte character is outside the set too: each becomes a blank.
  for (char& c : name) {
    if (!IsNameCharacter(c)) {
      c = ' ';
    }
  }
  return name;
}
