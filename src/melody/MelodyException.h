#pragma once

#include <cstdint>
#include <string>

// The exception of the melody layer. Thrown by value, caught by reference.
// The where-text names the operation for diagnostics; it is never shown to the user.
class CMelodyException {
 public:
  static constexpr std::uint32_t kCancelled = 0;
  static constexpr std::uint32_t kGeneral = 1;
  static constexpr std::uint32_t kFile = 2;
  static constexpr std::uint32_t kUnsupportedFormat = 3;

  CMelodyException(std::uint32_t code, std::string where) : m_dwErrorCode(code), m_where(std::move(where)) {}

  std::uint32_t Code() const { return m_dwErrorCode; }
  const std::string& Where() const { return m_where; }

  std::uint32_t m_dwErrorCode;

 private:
  std::string m_where;
};
