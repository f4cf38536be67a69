#include "phonebook/ImportGrid.h"

#include <algorithm>

void CImportGrid::AddRow(std::vector<std::string> cells, std::size_t line) {
  m_columns = std::max(m_columns, cells.size());
  m_rows.push_back(std::move(cells));
  m_lines.push_back(line);
}

const std::string& CImportGrid::Cell(std::size_t row, std::size_t column) const {
  static const std::string kEmpty;
  if (row >= m_rows.size() || column >= m_rows[row].size()) {
    return kEmpty;
  }
  return m_rows[row][column];
}

std::optional<ImportLists> ChooseColumns(const CImportGrid& grid, int nameColumn, int numberColumn) {
  if (numberColumn < 1 || nameColumn < 0 || nameColumn == numberColumn) {
    return std::nullopt;
  }
  ImportLists lists;
  for (std::size_t row = 0; row < grid.RowCount(); ++row) {
    lists.names.push_back(nameColumn == 0 ? std::string() : grid.Cell(row, static_cast<std::size_t>(nameColumn - 1)));
    lists.numbers.push_back(grid.Cell(row, static_cast<std::size_t>(numberColumn - 1)));
  }
  return lists;
}
