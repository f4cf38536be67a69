// phonebook_view_bench: a 10,000-entry phonebook in the window's list view.
//   OpenAndFirstPaint  read the .phb file, sort and number it, show it through the list
//                      model in a table view and paint the view once
//   Refresh            the list changed (a sort after an edit): the model is refreshed and
//                      the view painted again
//   Search             the Search button with a 16-character text that only its first
//                      letter matches (the longest search), the row selected, scrolled to
//                      and painted
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookList.h"
#include "phonebook/PhonebookListModel.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::string MakePhonebookFile(const QTemporaryDir& dir, int count) {
  CPhonebookList list;
  for (int i = 0; i < count; ++i) {
    list.Append("Name " + std::to_string((i * 7919) % count), ToDisplayNumber(std::to_string(301000000 + i), true));
  }
  const std::string path = dir.filePath(QStringLiteral("large.phb")).toStdString();
  WritePhonebookFile(path, list);
  return path;
}

// The view as the phonebook window sets it up: rows selected whole, no grid, fixed rows.
std::unique_ptr<QTableView> MakeView(CPhonebookListModel& model) {
  auto view = std::make_unique<QTableView>();
  view->setModel(&model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(20);
  view->setShowGrid(false);
  view->horizontalHeader()->setStretchLastSection(true);
  view->resize(345, 300);
  return view;
}

void BM_OpenAndFirstPaint(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string path = MakePhonebookFile(dir, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CPhonebookList list;
    if (ReadPhonebookFile(path, list, false, true) != PhonebookReadStatus::Ok) {
      state.SkipWithError("the phonebook file was not read");
      break;
    }
    CPhonebookListModel model(list);
    auto view = MakeView(model);
    benchmark::DoNotOptimize(view->grab());
  }
}
BENCHMARK(BM_OpenAndFirstPaint)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Refresh(benchmark::State& state) {
  QTemporaryDir dir;
  CPhonebookList list;
  ReadPhonebookFile(MakePhonebookFile(dir, static_cast<int>(state.range(0))), list, false, true);
  CPhonebookListModel model(list);
  auto view = MakeView(model);
  view->grab();
  for (auto _ : state) {
    SortAndNumber(list);
    model.Refresh();
    benchmark::DoNotOptimize(view->grab());
  }
}
BENCHMARK(BM_Refresh)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Search(benchmark::State& state) {
  QTemporaryDir dir;
  CPhonebookList list;
  ReadPhonebookFile(MakePhonebookFile(dir, static_cast<int>(state.range(0))), list, false, true);
  CPhonebookListModel model(list);
  auto view = MakeView(model);
  view->grab();
  for (auto _ : state) {
    const int row = SearchByName(list, "Nzzzzzzzzzzzzzzz");
    view->clearSelection();
    view->selectRow(row);
    view->scrollTo(model.index(row, 0));
    benchmark::DoNotOptimize(view->grab());
  }
}
BENCHMARK(BM_Search)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
