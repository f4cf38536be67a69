#include "melody/MelodyWorkFolder.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

CMelodyWorkFolder::CMelodyWorkFolder(const std::filesystem::path& parent) {
  const std::filesystem::path base = parent.empty() ? CPaths::TempDir() : parent;
  std::string pattern = (base / "orvane-melody-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkdtemp creates the folder with mode 0700 under a fresh name, or fails.
  if (::mkdtemp(name.data()) != nullptr) {
    m_dir = name.data();
  }
}

CMelodyWorkFolder::~CMelodyWorkFolder() {
  Remove();
}

std::string CMelodyWorkFolder::Path(const std::string& name) const {
  return m_dir.empty() ? std::string() : (m_dir / name).string();
}

void CMelodyWorkFolder::RemoveFile(const std::string& name) const {
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove(m_dir / name, ec);
  }
}

void CMelodyWorkFolder::Remove() {
  if (m_dir.empty()) {
    return;
  }
  std::error_code ec;
  std::filesystem::remove_all(m_dir, ec);
  m_dir.clear();
}
