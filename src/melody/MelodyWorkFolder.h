#pragma once

#include <filesystem>
#include <string>

// The private folder of one melody window for its working files (the converted melody, the
// edited melody, removed parts kept for undo, encoded and received data). It is made with a
// name nobody can predict and mode 0700 inside the temporary folder, so no other user can
// read the files or plant a link under a working name that the window would then write
// through; it is removed with everything in it when the window closes.
class CMelodyWorkFolder {
 public:
  // Makes the folder inside `parent` (the temporary folder when empty). IsValid() tells
  // whether that worked.
  explicit CMelodyWorkFolder(const std::filesystem::path& parent = {});
  ~CMelodyWorkFolder();
  CMelodyWorkFolder(const CMelodyWorkFolder&) = delete;
  CMelodyWorkFolder& operator=(const CMelodyWorkFolder&) = delete;

  bool IsValid() const { return !m_dir.empty(); }
  const std::filesystem::path& Dir() const { return m_dir; }
  // The full name of a working file; empty when the folder could not be made.
  std::string Path(const std::string& name) const;
  // Deletes one working file; no error when it is not there.
  void RemoveFile(const std::string& name) const;
  // Removes the folder and its content; later calls do nothing.
  void Remove();

 private:
  std::filesystem::path m_dir;
};
