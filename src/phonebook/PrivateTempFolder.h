#pragma once

#include <filesystem>

// A folder of its own under the temporary folder, made for one job with mode 0700 and a
// name nobody can guess in advance, removed with what it holds when the object goes.
// Files inside it can have fixed names without being open to other users or to links
// planted in the shared temporary folder.
class CPrivateTempFolder {
 public:
  explicit CPrivateTempFolder(const std::filesystem::path& parent);
  ~CPrivateTempFolder();
  CPrivateTempFolder(const CPrivateTempFolder&) = delete;
  CPrivateTempFolder& operator=(const CPrivateTempFolder&) = delete;

  // False when the folder could not be made; Path() is then empty.
  bool Made() const { return !m_path.empty(); }
  const std::filesystem::path& Path() const { return m_path; }
  // Removes the folder now (the destructor then does nothing).
  void Remove();

 private:
  std::filesystem::path m_path;
};
