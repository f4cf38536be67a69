#include "phonebook/PrivateTempFolder.h"

#include <cstdlib>
#include <string>
#include <system_error>

CPrivateTempFolder::CPrivateTempFolder(const std::filesystem::path& parent) {
  // mkdtemp makes the folder with mode 0700 and fails rather than reuse an existing name.
  std::string pattern = (parent / "orvane-outlook-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) {
    m_path = pattern;
  }
}

CPrivateTempFolder::~CPrivateTempFolder() {
  Remove();
}

void CPrivateTempFolder::Remove() {
  if (!m_path.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    m_path.clear();
  }
}
