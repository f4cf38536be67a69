#pragma once

#include "phonebook/PhonebookList.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>

// The rows of one phonebook list (Computer or Handset) as a table model: "No.", "Name" and
// "Phone No.". The list itself stays the window's: after changing it the window calls
// Refresh, so a view never holds a copy of its own and a large list costs no widget per cell.
class CPhonebookListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 3;

  explicit CPhonebookListModel(const CPhonebookList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  void SetColumnTitles(const std::array<QString, kColumns>& titles);
  // The list changed (rows added, removed, sorted or renumbered): views show it again.
  void Refresh();

 private:
  const CPhonebookList& m_list;
  std::array<QString, kColumns> m_titles;
};
