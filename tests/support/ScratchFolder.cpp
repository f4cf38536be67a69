#include "support/ScratchFolder.h"

#include <unistd.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

CScratchFolder::CScratchFolder(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a scratch folder from " + pattern);
  }
  m_path = pattern;
}

CScratchFolder::~CScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> CScratchFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CScratchFolder::Write(std::string_view name, std::string_view bytes) const {
  std::ofstream out(m_path / name, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + (m_path / name).string());
  }
}

std::string CScratchFolder::Read(std::string_view name) const {
  std::ifstream in(m_path / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
