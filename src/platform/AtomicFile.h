#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Writes a file so that it appears complete or not at all: the bytes go to a temporary
// file beside the real target, and Commit flushes it to disk, renames it over the target
// and flushes the folder. A target given through symbolic links is resolved first, so the
// link stays a link and the file it names gets the new content. Targets that are not
// regular files (devices, FIFOs, folders) are refused. A writer destroyed without a
// successful Commit removes its temporary file and leaves the target as it was.
class CAtomicFile {
 public:
  explicit CAtomicFile(std::filesystem::path target);
  ~CAtomicFile();
  CAtomicFile(const CAtomicFile&) = delete;
  CAtomicFile& operator=(const CAtomicFile&) = delete;

  // False when the target was refused or the temporary file could not be created (for
  // example a read-only folder); FailureReason then says why.
  bool IsOpen() const { return m_fd >= 0; }
  const std::string& FailureReason() const { return m_reason; }
  bool Write(const void* data, std::size_t size);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  // True when the target now holds exactly what was written. Bytes may also be written
  // to TemporaryPath by other means (for example a writer that opens files by name).
  bool Commit();
  void Discard();

  const std::filesystem::path& Target() const { return m_target; }
  // The file that Commit replaces: the target with its symbolic links followed.
  const std::filesystem::path& RealTarget() const { return m_real; }
  const std::filesystem::path& TemporaryPath() const { return m_temporary; }

  // Convenience: the whole content at once.
  static bool WriteWhole(const std::filesystem::path& target, std::string_view content);

 private:
  bool Resolve();
  void CreateTemporary();

  std::filesystem::path m_target;
  std::filesystem::path m_real;
  std::filesystem::path m_temporary;
  std::string m_reason;
  int m_fd = -1;
  bool m_failed = false;
  // Mode and owner of an existing target, given to its replacement.
  bool m_hadTarget = false;
  std::uint32_t m_mode = 0;
  std::uint32_t m_uid = 0;
  std::uint32_t m_gid = 0;
};
