#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The table the column-choice dialog shows for a CSV or vCard file: data rows of text
// cells, as wide as the widest row; shorter rows read as empty cells at their end.
// Columns are numbered from 1, as the dialog's header row shows them.
class CImportGrid {
 public:
  // line is the 1-based line of the file where the row starts (0 when unknown).
  void AddRow(std::vector<std::string> cells, std::size_t line = 0);

  std::size_t RowCount() const { return m_rows.size(); }
  std::size_t ColumnCount() const { return m_columns; }
  // The cell of a data row (0-based) and column (0-based); empty outside the row.
  const std::string& Cell(std::size_t row, std::size_t column) const;
  const std::vector<std::string>& RowCells(std::size_t row) const { return m_rows.at(row); }
  std::size_t RowLine(std::size_t row) const { return m_lines.at(row); }

 private:
  std::vector<std::vector<std::string>> m_rows;
  std::vector<std::size_t> m_lines;
  std::size_t m_columns = 0;
};

// The name and number texts of the chosen columns, one pair per data row.
struct ImportLists {
  std::vector<std::string> names;
  std::vector<std::string> numbers;
};

// Turns the chosen columns (1-based; a name column of 0 means "no names") into the two
// lists. Nothing when the number column is missing or both columns are the same, which
// the dialog answers with message 753.
std::optional<ImportLists> ChooseColumns(const CImportGrid& grid, int nameColumn, int numberColumn);
