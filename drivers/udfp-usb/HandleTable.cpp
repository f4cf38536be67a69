#include "HandleTable.h"

uint32_t CHandleTable::Add(std::shared_ptr<CHandleObject> object) {
  std::lock_guard lock(m_mutex);
  // Walk on from the last issued value so a just-closed handle is not handed out again at
  // once (a caller holding a stale copy then gets a refusal, not someone else's object).
  for (uint64_t tries = 0; tries < 0xFFFFFFFEull; ++tries) {
    uint32_t candidate = m_next;
    m_next = (m_next >= kInvalid - 1) ? 1 : m_next + 1;
    if (m_objects.find(candidate) == m_objects.end()) {
      m_objects.emplace(candidate, std::move(object));
      return candidate;
    }
  }
  return kInvalid;
}

void CHandleTable::RemoveIf(const std::function<bool(const CHandleObject&)>& predicate) {
  std::lock_guard lock(m_mutex);
  for (auto it = m_objects.begin(); it != m_objects.end();) {
    it = predicate(*it->second) ? m_objects.erase(it) : std::next(it);
  }
}

std::vector<std::shared_ptr<CHandleObject>> CHandleTable::TakeAll() {
  std::lock_guard lock(m_mutex);
  std::vector<std::shared_ptr<CHandleObject>> result;
  for (auto& entry : m_objects) {
    result.push_back(std::move(entry.second));
  }
  m_objects.clear();
  return result;
}
