#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Writes a file so that it appears complete or not at all: the bytes go to a temporary
// file in the target's folder, and Commit flushes it and renames it over the target.
// A writer destroyed without a successful Commit removes its temporary file and leaves
// the target as it was.
class CAtomicFile {
 public:
  explicit CAtomicFile(std::filesystem::path target);
  ~CAtomicFile();
  CAtomicFile(const CAtomicFile&) = delete;
  CAtomicFile& operator=(const CAtomicFile&) = delete;

  // False when the temporary file could not be created (for example a read-only folder).
  bool IsOpen() const { return m_fd >= 0; }
  bool Write(const void* data, std::size_t size);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  // True when the target now holds exactly what was written.
  bool Commit();
  void Discard();

  const std::filesystem::path& Target() const { return m_target; }
  const std::filesystem::path& TemporaryPath() const { return m_temporary; }

  // Convenience: the whole content at once.
  static bool WriteWhole(const std::filesystem::path& target, std::string_view content);

 private:
  std::filesystem::path m_target;
  std::filesystem::path m_temporary;
  int m_fd = -1;
  bool m_failed = false;
};
