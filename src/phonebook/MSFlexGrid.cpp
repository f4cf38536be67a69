#include "phonebook/MSFlexGrid.h"

#include "phonebook/ImportGridModel.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int kRowHeight = 20;
constexpr int kColumnWidth = 110;
}  // namespace

CMSFlexGrid::CMSFlexGrid(QWidget* parent)
    : QWidget(parent), m_view(new QTableView(this)), m_model(new CImportGridModel(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_view);
  m_view->setModel(m_model);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_view->setSelectionBehavior(QAbstractItemView::SelectColumns);
  m_view->setSelectionMode(QAbstractItemView::SingleSelection);
  // Fixed sizes: the view never measures the cells of rows it does not show.
  m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_view->verticalHeader()->setDefaultSectionSize(kRowHeight);
  m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_view->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
  m_view->horizontalHeader()->setSectionsClickable(true);
  connect(m_view, &QAbstractItemView::clicked, this, &CMSFlexGrid::Click);
  connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    SetCol(column);
    emit Click();
  });
}

void CMSFlexGrid::SetGrid(CImportGrid grid) {
  m_model->SetGrid(std::move(grid));
  m_view->scrollToTop();
}

const CImportGrid& CMSFlexGrid::Grid() const {
  return m_model->Grid();
}

long CMSFlexGrid::Rows() const {
  return m_model->rowCount() + 1;
}

long CMSFlexGrid::Cols() const {
  return m_model->columnCount();
}

long CMSFlexGrid::Col() const {
  const QModelIndex current = m_view->currentIndex();
  return current.isValid() ? current.column() : -1;
}

void CMSFlexGrid::SetCol(long column) {
  if (column < 0 || column >= Cols() || m_model->rowCount() == 0) {
    return;
  }
  const int row = std::max(0, m_view->currentIndex().row());
  m_view->setCurrentIndex(m_model->index(row, static_cast<int>(column)));
  m_view->selectColumn(static_cast<int>(column));
}

std::string CMSFlexGrid::TextMatrix(long row, long column) const {
  if (row < 0 || column < 0 || row >= Rows() || column >= Cols()) {
    return {};
  }
  if (row == 0) {
    return std::to_string(column + 1);
  }
  return Grid().Cell(static_cast<std::size_t>(row - 1), static_cast<std::size_t>(column));
}
