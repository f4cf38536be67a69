#pragma once

#include "phonebook/ImportGrid.h"

#include <QWidget>
#include <string>

class CImportGridModel;
class QTableView;

// The grid of the column-choice dialog: row 0 holds the column numbers 1, 2, ... and rows 1
// and up the data. It answers the few questions the dialog asks of a grid (rows, columns,
// the current column, the text of a cell) and tells of clicks. Underneath, a table view
// over a model of the core's grid: no widget per cell, so a file of many thousand rows
// opens at once.
class CMSFlexGrid : public QWidget {
  Q_OBJECT

 public:
  explicit CMSFlexGrid(QWidget* parent = nullptr);

  void SetGrid(CImportGrid grid);
  const CImportGrid& Grid() const;

  // Rows including the number row 0; columns of the widest data row.
  long Rows() const;
  long Cols() const;
  // The current column (0-based); -1 before any cell or column was clicked.
  long Col() const;
  // Selects a column as a click on its header would.
  void SetCol(long column);
  // Row 0: the column number; rows 1 and up: the data; empty outside the grid.
  std::string TextMatrix(long row, long column) const;

  QTableView* View() const { return m_view; }

 signals:
  // A cell or a column header was clicked.
  void Click();

 private:
  QTableView* m_view;
  CImportGridModel* m_model;
};
