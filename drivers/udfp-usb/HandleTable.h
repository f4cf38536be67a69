#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "HandleObject.h"

// Thread-safe table of live handles. Handles are small integers starting at 1; 0 and all bits
// set are never issued, and a handle is not reused while it is live.
class CHandleTable {
 public:
  static constexpr uint32_t kInvalid = 0xFFFFFFFFu;

  // Issues a handle for the object; kInvalid when every value is in use.
  uint32_t Add(std::shared_ptr<CHandleObject> object);

  // The object of the handle when it is live and of type T, else null.
  template <class T>
  std::shared_ptr<T> Find(uint32_t handle) const {
    std::lock_guard lock(m_mutex);
    auto it = m_objects.find(handle);
    return it == m_objects.end() ? nullptr : std::dynamic_pointer_cast<T>(it->second);
  }

  // Removes the handle when it is live and of type T; returns the object, else null.
  template <class T>
  std::shared_ptr<T> Remove(uint32_t handle) {
    std::lock_guard lock(m_mutex);
    auto it = m_objects.find(handle);
    if (it == m_objects.end()) {
      return nullptr;
    }
    auto object = std::dynamic_pointer_cast<T>(it->second);
    if (object) {
      m_objects.erase(it);
    }
    return object;
  }

  // Removes every handle whose object satisfies the predicate.
  void RemoveIf(const std::function<bool(const CHandleObject&)>& predicate);

  // Every live object of type T (the table keeps them).
  template <class T>
  std::vector<std::shared_ptr<T>> All() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<T>> result;
    for (const auto& entry : m_objects) {
      if (auto object = std::dynamic_pointer_cast<T>(entry.second)) {
        result.push_back(std::move(object));
      }
    }
    return result;
  }

  // Empties the table and hands the objects to the caller.
  std::vector<std::shared_ptr<CHandleObject>> TakeAll();

 private:
  mutable std::mutex m_mutex;
  std::map<uint32_t, std::shared_ptr<CHandleObject>> m_objects;
  uint32_t m_next = 1;
};
