// melody_view_bench: how long the waveform view takes to redraw a 3-minute 16 kHz melody.
//   Redraw/zoom      rebuild the min/max columns from the file and render the picture
//   Scroll/zoom      one page of scrolling (rebuild and render)
//   CursorPaint      one cursor step painted from the cached picture
//   Open             open the file (one pass over it to build the block summary)
#include "melody/WaveView.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 16000;
constexpr std::uint32_t kFrames = kRate * 180;

void Put(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

// Three minutes of a gliding tone with noise, 16-bit mono.
std::string MakeMelody(const QTemporaryDir& dir) {
  const std::string path = dir.filePath(QStringLiteral("three-minutes.wav")).toStdString();
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  Put(out, 36 + kFrames * 2, 4);
  out.write("WAVEfmt ", 8);
  Put(out, 16, 4);
  Put(out, 1, 2);
  Put(out, 1, 2);
  Put(out, kRate, 4);
  Put(out, kRate * 2, 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  out.write("data", 4);
  Put(out, kFrames * 2, 4);
  std::uint32_t noise = 1;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double t = static_cast<double>(i) / kRate;
    const double v = 12000.0 * std::sin(2.0 * M_PI * (200.0 + t) * t) + static_cast<int>((noise >> 16) % 4001) - 2000;
    Put(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)), 2);
  }
  return path;
}

struct Fixture {
  QTemporaryDir dir;
  std::string file;
  std::unique_ptr<CWaveView> view;

  Fixture() : file(MakeMelody(dir)), view(std::make_unique<CWaveView>(nullptr, 9063)) {
    view->resize(331, 123 + view->ScrollBar()->sizeHint().height());
    view->Open(file);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void Redraw(benchmark::State& state) {
  CWaveView& view = *Shared().view;
  view.SetZoom(static_cast<double>(state.range(0)));
  view.ScrollToFrame(kFrames / 3.0);
  for (auto _ : state) {
    view.Render();
    benchmark::DoNotOptimize(view.Picture().constBits());
  }
  state.counters["zoom"] = view.Zoom();
}

void Scroll(benchmark::State& state) {
  CWaveView& view = *Shared().view;
  view.SetZoom(static_cast<double>(state.range(0)));
  QScrollBar* bar = view.ScrollBar();
  int direction = 1;
  for (auto _ : state) {
    if (bar->value() + bar->pageStep() > bar->maximum() || bar->value() - bar->pageStep() < 0) {
      direction = bar->value() == 0 ? 1 : -1;
    }
    bar->setValue(bar->value() + direction * bar->pageStep());
    benchmark::DoNotOptimize(view.Picture().constBits());
  }
}

void CursorPaint(benchmark::State& state) {
  CWaveView& view = *Shared().view;
  view.SetZoom(1);
  view.ShowPlayCursor(true);
  QImage target(view.size(), QImage::Format_RGB32);
  double frame = 0;
  for (auto _ : state) {
    frame += view.FramesPerColumn();
    if (frame >= kFrames) {
      frame = 0;
    }
    const int oldX = view.PlayCursorX();
    view.SetPlayCursor(frame);
    const int newX = view.PlayCursorX();
    const QRegion damaged = QRegion(oldX, 0, 1, view.height()) + QRegion(newX, 0, 1, view.height());
    view.render(&target, QPoint(), damaged, QWidget::DrawWindowBackground);
  }
}

void Open(benchmark::State& state) {
  Fixture& fixture = Shared();
  CWaveView view(nullptr, 9061);
  view.resize(fixture.view->size());
  for (auto _ : state) {
    view.Open(fixture.file);
  }
}

}  // namespace

BENCHMARK(Redraw)->Arg(1)->Arg(2)->Arg(5)->Arg(10)->Arg(20)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(Scroll)->Arg(2)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(CursorPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(Open)->Unit(benchmark::kMillisecond);

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
