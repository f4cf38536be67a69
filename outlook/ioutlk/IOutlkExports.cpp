// The C entry points of the contacts export library.
#include "IOutlk.h"

#include "ioutlk/ContactExport.h"
#include "ioutlk/PasswordChecksum.h"
#include "ioutlk/PffFile.h"
#include "platform/AtomicFile.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

namespace {

// What the caller set for the next calls; guarded by g_stateLock, which every entry point
// but ioutlkCancel holds for its whole run.
struct State {
  std::optional<std::string> source;
  std::string password;
  std::uint32_t written = 0;
  std::uint32_t skipped = 0;
};

std::mutex g_stateLock;
State g_state;
std::atomic<bool> g_cancel{false};

// The file being read, for ioutlkCancel; guarded by g_fileLock.
std::mutex g_fileLock;
CPffFile* g_reading = nullptr;

// Publishes the open file to ioutlkCancel for as long as it is read.
class CReadingFile {
 public:
  explicit CReadingFile(CPffFile& file) {
    std::lock_guard lock(g_fileLock);
    g_reading = &file;
    if (g_cancel.load()) {
      file.SignalAbort();
    }
  }
  ~CReadingFile() {
    std::lock_guard lock(g_fileLock);
    g_reading = nullptr;
  }
  CReadingFile(const CReadingFile&) = delete;
  CReadingFile& operator=(const CReadingFile&) = delete;
};

std::uint16_t ExportPersonalFolders(CPffFile& file, const char* outputPath) {
  const CPffFile::Content content = file.ContentType();
  if (content != CPffFile::Content::PersonalFolders && content != CPffFile::Content::OfflineFolders) {
    return IOUTLK_NO_SOURCE;
  }
  const std::optional<std::uint32_t> checksum = file.PasswordChecksum();
  if (checksum && !PasswordMatches(g_state.password, *checksum)) {
    return IOUTLK_WRONG_PASSWORD;
  }
  CContactExport exporter(file, g_cancel);
  std::string lines;
  const CContactExport::Status status = exporter.Run(lines);
  g_state.written = exporter.Written();
  g_state.skipped = exporter.Skipped();
  if (status == CContactExport::Status::Cancelled || g_cancel.load()) {
    return IOUTLK_CANCELLED;
  }
  if (status == CContactExport::Status::NoFolders) {
    return IOUTLK_NOT_OPENED;
  }
  return CAtomicFile::WriteWhole(outputPath, lines) ? IOUTLK_OK : IOUTLK_NOT_WRITTEN;
}

}  // namespace

extern "C" {

IOUTLK_EXPORT uint16_t appToIdbTran(int32_t mode, const char* /*folder*/, const char* outputPath) {
  std::lock_guard lock(g_stateLock);
  g_state.written = 0;
  g_state.skipped = 0;
  if ((mode != IOUTLK_MODE_PERSONAL_FOLDERS && mode != IOUTLK_MODE_ADDRESS_BOOK) || outputPath == nullptr ||
      *outputPath == '\0') {
    return IOUTLK_BAD_ARGUMENT;
  }
  if (g_cancel.load()) {
    return IOUTLK_CANCELLED;
  }
  // libpff reads personal-folders files only; it refuses the address-book format.
  if (!g_state.source || mode == IOUTLK_MODE_ADDRESS_BOOK) {
    return IOUTLK_NO_SOURCE;
  }
  CPffFile file;
  const CReadingFile reading(file);
  if (!file.Open(*g_state.source)) {
    return g_cancel.load() ? IOUTLK_CANCELLED : IOUTLK_NOT_OPENED;
  }
  return ExportPersonalFolders(file, outputPath);
}

IOUTLK_EXPORT int32_t ioutlkSetSourceFile(const char* path) {
  std::lock_guard lock(g_stateLock);
  g_state = State{};
  if (path != nullptr) {
    g_state.source = path;
  }
  g_cancel.store(false);
  return IOUTLK_OK;
}

IOUTLK_EXPORT int32_t ioutlkSetPassword(const char* password) {
  std::lock_guard lock(g_stateLock);
  g_state.password = password != nullptr ? password : "";
  return IOUTLK_OK;
}

IOUTLK_EXPORT int32_t ioutlkIsPasswordProtected(void) {
  std::lock_guard lock(g_stateLock);
  if (!g_state.source) {
    return -1;
  }
  CPffFile file;
  if (!file.Open(*g_state.source)) {
    return -1;
  }
  return file.PasswordChecksum() ? 1 : 0;
}

IOUTLK_EXPORT void ioutlkCancel(void) {
  g_cancel.store(true);
  std::lock_guard lock(g_fileLock);
  if (g_reading != nullptr) {
    g_reading->SignalAbort();
  }
}

IOUTLK_EXPORT void ioutlkGetLastCounts(uint32_t* written, uint32_t* skipped) {
  std::lock_guard lock(g_stateLock);
  if (written != nullptr) {
    *written = g_state.written;
  }
  if (skipped != nullptr) {
    *skipped = g_state.skipped;
  }
}

}  // extern "C"
