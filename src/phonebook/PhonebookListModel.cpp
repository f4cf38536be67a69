#include "phonebook/PhonebookListModel.h"

CPhonebookListModel::CPhonebookListModel(const CPhonebookList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list) {}

int CPhonebookListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_list.Count());
}

int CPhonebookListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant CPhonebookListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(m_list.Count())) {
    return {};
  }
  const PhonebookRow& row = m_list.Row(static_cast<std::size_t>(index.row()));
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case 0:
        return QString::fromStdString(row.no);
      case 1:
        return QString::fromStdString(row.name);
      case 2:
        return QString::fromStdString(row.number);
      default:
        return {};
    }
  }
  if (role == Qt::TextAlignmentRole && index.column() == 0) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

QVariant CPhonebookListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) {
    return {};
  }
  return m_titles[static_cast<std::size_t>(section)];
}

void CPhonebookListModel::SetColumnTitles(const std::array<QString, kColumns>& titles) {
  m_titles = titles;
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void CPhonebookListModel::Refresh() {
  beginResetModel();
  endResetModel();
}
