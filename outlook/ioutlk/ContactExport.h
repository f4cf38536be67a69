#pragma once

#include "ioutlk/PffFile.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

// Collects the contact lines (55 fields each) of an open personal-folders file (.pst,
// .ost): every contact item (IPM.Contact and the classes derived from it) of every folder,
// except the Deleted Items folder and the folders under it; distribution lists and other
// items are left out. An item that cannot be read is skipped and counted; a folder that
// cannot be read is passed over with what lies under it.
class CContactExport {
 public:
  enum class Status { Ok, NoFolders, Cancelled };

  CContactExport(const CPffFile& file, const std::atomic<bool>& cancel);

  // Appends the lines to `lines`.
  Status Run(std::string& lines);
  std::uint32_t Written() const { return m_written; }
  std::uint32_t Skipped() const { return m_skipped; }

 private:
  bool Cancelled() const { return m_cancel.load(); }
  void WalkFolder(libpff_item_t* folder, int depth, std::string& lines);
  void WalkMessages(libpff_item_t* folder, std::string& lines);
  void ExportItem(libpff_item_t* item, std::string& lines);

  const CPffFile& m_file;
  const std::atomic<bool>& m_cancel;
  std::optional<std::uint32_t> m_wastebasket;
  std::set<std::uint32_t> m_seenFolders;
  std::set<std::uint32_t> m_seenItems;
  std::uint32_t m_written = 0;
  std::uint32_t m_skipped = 0;
};
