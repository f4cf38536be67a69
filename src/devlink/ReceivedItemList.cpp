#include "devlink/ReceivedItemList.h"

#include <algorithm>

CReceivedItemList::~CReceivedItemList() {
  Clear();
}

ReceivedItem* CReceivedItemList::Add(const std::vector<std::uint8_t>& bytes) {
  auto copy = std::make_unique<std::uint8_t[]>(bytes.empty() ? 1 : bytes.size());
  std::copy(bytes.begin(), bytes.end(), copy.get());
  auto item = std::make_unique<ReceivedItem>();
  item->length = static_cast<std::uint32_t>(bytes.size());
  std::lock_guard lock(m_mutex);
  if (m_items.size() == m_items.capacity()) {
    m_items.reserve(m_items.capacity() + kGrowth);
  }
  item->data = copy.release();
  m_items.push_back(item.get());
  return item.release();
}

bool CReceivedItemList::Release(const ReceivedItem* item) {
  std::lock_guard lock(m_mutex);
  const auto it = std::find(m_items.begin(), m_items.end(), item);
  if (it == m_items.end()) {
    return false;
  }
  Free(*it);
  m_items.erase(it);
  if (m_items.empty()) {
    std::vector<ReceivedItem*>().swap(m_items);
  }
  return true;
}

void CReceivedItemList::Clear() {
  std::lock_guard lock(m_mutex);
  for (ReceivedItem* item : m_items) {
    Free(item);
  }
  std::vector<ReceivedItem*>().swap(m_items);
}

std::size_t CReceivedItemList::Size() const {
  std::lock_guard lock(m_mutex);
  return m_items.size();
}

std::size_t CReceivedItemList::Capacity() const {
  std::lock_guard lock(m_mutex);
  return m_items.capacity();
}

void CReceivedItemList::Free(ReceivedItem* item) {
  delete[] item->data;
  delete item;
}
