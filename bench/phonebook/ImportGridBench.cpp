// Time to show a 10,000-row CSV file in the column-choice grid: reading it into the core's
// grid, handing the grid to the model, and the grid's first paint.
#include "phonebook/CsvFormat.h"
#include "phonebook/ImportGridModel.h"
#include "phonebook/MSFlexGrid.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTableView>

namespace {

std::string ContactsCsv(int count) {
  std::string text = "Name,Company,Phone,Mobile\r\n";
  for (int i = 0; i < count; ++i) {
    text += "\"Family " + std::to_string(i) + ", Given\",Vorlandix," + std::to_string(301000000 + i) + ",0" +
            std::to_string(701000000 + i) + "\r\n";
  }
  return text;
}

// The grid model over an already parsed grid.
void BM_GridModel(benchmark::State& state) {
  const CImportGrid grid = ParseCsvText(ContactsCsv(static_cast<int>(state.range(0))));
  CImportGridModel model;
  for (auto _ : state) {
    model.SetGrid(grid);
    benchmark::DoNotOptimize(model.rowCount());
  }
}
BENCHMARK(BM_GridModel)->Arg(10000)->Unit(benchmark::kMillisecond);

// From the file's text to a painted grid: parse, model, layout and first paint.
void BM_GridOpenAndFirstPaint(benchmark::State& state) {
  const std::string text = ContactsCsv(static_cast<int>(state.range(0)));
  CMSFlexGrid grid;
  grid.resize(460, 240);
  grid.show();
  QImage image(grid.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    grid.SetGrid(ParseCsvText(text));
    QPainter painter(&image);
    grid.render(&painter);
  }
}
BENCHMARK(BM_GridOpenAndFirstPaint)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Scrolling to the last row and painting it.
void BM_GridScrollToEnd(benchmark::State& state) {
  CMSFlexGrid grid;
  grid.resize(460, 240);
  grid.show();
  grid.SetGrid(ParseCsvText(ContactsCsv(static_cast<int>(state.range(0)))));
  QImage image(grid.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    grid.View()->scrollToBottom();
    QPainter painter(&image);
    grid.render(&painter);
    grid.View()->scrollToTop();
  }
}
BENCHMARK(BM_GridScrollToEnd)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
