#pragma once

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <vector>

// An array-backed stack with a fixed capacity. Pushing onto a full stack first drops the
// oldest entry, so the stack always keeps the most recent pushes.
template <typename T>
class CBoundedStack {
 public:
  explicit CBoundedStack(std::size_t capacity) : m_capacity(capacity) { m_items.reserve(capacity); }

  void Push(T item) {
    if (m_capacity == 0) {
      return;
    }
    if (m_items.size() == m_capacity) {
      m_items.erase(m_items.begin());
    }
    m_items.push_back(std::move(item));
  }

  // Removes and returns the newest entry; the stack must not be empty.
  T Pop() {
    if (m_items.empty()) {
      throw std::out_of_range("CBoundedStack::Pop on an empty stack");
    }
    T item = std::move(m_items.back());
    m_items.pop_back();
    return item;
  }

  const T& Top() const { return m_items.back(); }
  bool Empty() const { return m_items.empty(); }
  std::size_t Size() const { return m_items.size(); }
  std::size_t Capacity() const { return m_capacity; }
  void Clear() { m_items.clear(); }
  // Oldest first.
  const T& operator[](std::size_t index) const { return m_items[index]; }

  // Removes every entry equal to item (used when an object on the stack goes away).
  void Remove(const T& item) { m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end()); }

 private:
  std::size_t m_capacity;
  std::vector<T> m_items;
};
