#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A fresh private folder under the temporary folder for one test, removed with everything
// in it at the end.
class CScratchFolder {
 public:
  explicit CScratchFolder(std::string_view prefix = "orvane-test");
  ~CScratchFolder();
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::filesystem::path operator/(std::string_view name) const { return m_path / name; }
  // The path of a file in the folder, as text.
  std::string File(std::string_view name) const { return (m_path / name).string(); }

  // Names of the entries in the folder (hidden temporary files included), sorted.
  std::vector<std::string> Names() const;
  std::size_t FileCount() const { return Names().size(); }

  void Write(std::string_view name, std::string_view bytes) const;
  std::string Read(std::string_view name) const;

 private:
  std::filesystem::path m_path;
};
