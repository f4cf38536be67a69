#pragma once

#include <libpff.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct PffItemFree {
  void operator()(libpff_item_t* item) const;
};
// An item (folder, message, message store) handed out by libpff, freed with it.
using PffItem = std::unique_ptr<libpff_item_t, PffItemFree>;

// An Outlook data file opened read-only through libpff. Everything but SignalAbort runs on
// the thread that opened it; SignalAbort may come from any thread while another call reads.
class CPffFile {
 public:
  enum class Content { PersonalFolders, OfflineFolders, Unknown };

  CPffFile();
  ~CPffFile();
  CPffFile(const CPffFile&) = delete;
  CPffFile& operator=(const CPffFile&) = delete;

  // False when the file cannot be opened, libpff does not take it, or it is shorter than
  // its header says.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return m_open; }

  Content ContentType() const;
  // The checksum of the file's password; nullopt when the file has none.
  std::optional<std::uint32_t> PasswordChecksum() const;
  // The root of the folder tree; null when it cannot be read.
  PffItem RootFolder() const;
  // The identifier of the Deleted Items folder, from the message store's entry id of it.
  std::optional<std::uint32_t> WastebasketId() const;
  // Makes libpff give up the read in progress and every later one.
  void SignalAbort();

 private:
  PffItem MessageStore() const;
  bool IsCutShort(const std::string& path) const;

  libpff_file_t* m_file = nullptr;
  bool m_open = false;
  std::mutex m_abortLock;  // the file handle stays valid while an abort is signalled
};
