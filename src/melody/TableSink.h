#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "melody/MelodyException.h"
#include "melody/WaveFile.h"

// Collects bytes in a writer's table and writes the table out whenever it is full, so
// a stream of small appends costs one file write per table.
class CTableSink {
 public:
  explicit CTableSink(CWaveFile& file) : m_file(file), m_table(file.CreateBuffer(&m_capacity)) {}

  void Append(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
      const std::size_t n = count < m_capacity - m_fill ? count : m_capacity - m_fill;
      std::memcpy(m_table + m_fill, bytes, n);
      m_fill += n;
      bytes += n;
      count -= n;
      if (m_fill == m_capacity) {
        Flush();
      }
    }
  }

  // Room for count bytes written directly into the table; call Commit(count) afterwards.
  std::uint8_t* Reserve(std::size_t count) {
    if (m_capacity - m_fill < count) {
      Flush();
    }
    if (count > m_capacity) {
      throw CMelodyException(CMelodyException::kGeneral, "CTableSink::Reserve");
    }
    return m_table + m_fill;
  }
  void Commit(std::size_t count) { m_fill += count; }

  void Flush() {
    m_file.WriteTable(m_fill);
    m_total += m_fill;
    m_fill = 0;
  }

  // Writes what is left and patches the header sizes with the total.
  void Finish() {
    Flush();
    m_file.WriteFileAndDataSize(m_total);
  }

  std::uint64_t Total() const { return m_total + m_fill; }

 private:
  CWaveFile& m_file;
  std::size_t m_capacity = 0;
  std::uint8_t* m_table;
  std::size_t m_fill = 0;
  std::uint64_t m_total = 0;
};
