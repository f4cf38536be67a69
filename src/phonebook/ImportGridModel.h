#pragma once

#include "phonebook/ImportGrid.h"

#include <QAbstractTableModel>

// The table of a file being imported (CSV or vCard) as a Qt model over the core's grid. The
// header row shows the column numbers 1, 2, ... and the row header the data row numbers, so
// the view draws only the cells on screen however many rows the file has.
class CImportGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CImportGridModel(QObject* parent = nullptr);

  // Takes a new grid and shows it from the top.
  void SetGrid(CImportGrid grid);
  const CImportGrid& Grid() const { return m_grid; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  CImportGrid m_grid;
};
