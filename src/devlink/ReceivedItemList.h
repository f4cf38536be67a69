#pragma once

#include "devlink/LinkTypes.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

// The received objects handed out to windows and not yet released. Node storage grows ten
// records at a time and is freed completely when the list becomes empty.
class CReceivedItemList {
 public:
  static constexpr std::size_t kGrowth = 10;

  CReceivedItemList() = default;
  ~CReceivedItemList();
  CReceivedItemList(const CReceivedItemList&) = delete;
  CReceivedItemList& operator=(const CReceivedItemList&) = delete;

  // Makes a record holding a private copy of the bytes and keeps it in the list.
  ReceivedItem* Add(const std::vector<std::uint8_t>& bytes);
  // Frees a record of the list and its bytes; false (and nothing freed) for any other pointer.
  bool Release(const ReceivedItem* item);
  void Clear();
  std::size_t Size() const;
  std::size_t Capacity() const;

 private:
  static void Free(ReceivedItem* item);

  mutable std::mutex m_mutex;
  std::vector<ReceivedItem*> m_items;
};
