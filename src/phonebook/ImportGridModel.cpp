#include "phonebook/ImportGridModel.h"

#include <limits>

namespace {

// A model counts rows in int: a grid beyond that shows its first rows only.
int Clamped(std::size_t count) {
  return count > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                           : static_cast<int>(count);
}

}  // namespace

CImportGridModel::CImportGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void CImportGridModel::SetGrid(CImportGrid grid) {
  beginResetModel();
  m_grid = std::move(grid);
  endResetModel();
}

int CImportGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Clamped(m_grid.RowCount());
}

int CImportGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Clamped(m_grid.ColumnCount());
}

QVariant CImportGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
    return {};
  }
  const std::string& cell =
      m_grid.Cell(static_cast<std::size_t>(index.row()), static_cast<std::size_t>(index.column()));
  return QString::fromStdString(cell);
}

QVariant CImportGridModel::headerData(int section, Qt::Orientation /*orientation*/, int role) const {
  if (role != Qt::DisplayRole || section < 0) {
    return {};
  }
  return QString::number(section + 1);
}
