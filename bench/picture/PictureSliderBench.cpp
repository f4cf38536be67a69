// Time of one slider step of the picture window's contrast, brightness and colour dialogs on
// a 12-million-pixel photo: the displayed image rendered again, and the same step with the
// handset preview rebuilt (the framed part encoded as a wallpaper record and decoded), which
// is what the window does on every step.
//
// Usage: picture_slider_bench [benchmark options]
#include <benchmark/benchmark.h>

#include "picture/ImageEditor.h"
#include "picture/PictureRecord.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A photo-like picture: smooth gradients with some texture in every channel.
CRgbImage MakePhoto() {
  CRgbImage image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = image.Row(y);
    for (int x = 0; x < kWidth; ++x) {
      row[x * 3] = static_cast<std::uint8_t>((x * 255) / kWidth);
      row[x * 3 + 1] = static_cast<std::uint8_t>((y * 255) / kHeight);
      row[x * 3 + 2] = static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF);
    }
  }
  return image;
}

CImageEditor& Editor() {
  static CImageEditor editor = [] {
    CImageEditor made;
    made.SetImage(MakePhoto());
    return made;
  }();
  return editor;
}

void BM_ContrastStep(benchmark::State& state) {
  CImageEditor& editor = Editor();
  int value = 0;
  for (auto _ : state) {
    value = value >= 1000 ? -1000 : value + 1;
    editor.SetContrast(value);
    benchmark::DoNotOptimize(editor.Display().Bytes().data());
  }
  state.counters["pixels"] = static_cast<double>(editor.Display().PixelCount());
}
BENCHMARK(BM_ContrastStep)->Unit(benchmark::kMillisecond);

void BM_RedStep(benchmark::State& state) {
  CImageEditor& editor = Editor();
  int value = 0;
  for (auto _ : state) {
    value = value >= 1000 ? -1000 : value + 1;
    editor.SetRed(value);
    benchmark::DoNotOptimize(editor.Display().Bytes().data());
  }
}
BENCHMARK(BM_RedStep)->Unit(benchmark::kMillisecond);

void BM_BrightnessStepWithPreview(benchmark::State& state) {
  CImageEditor& editor = Editor();
  int value = 0;
  for (auto _ : state) {
    value = value >= 1000 ? -1000 : value + 1;
    editor.SetBrightness(value);
    const auto record =
        CPictureRecord::Encode(PictureKind::Wallpaper, "Preview", editor.SendPreview({100, 100}, kWallpaperSize));
    if (!record) {
      state.SkipWithError("the preview could not be encoded");
      return;
    }
    benchmark::DoNotOptimize(CPictureRecord::Decode(*record));
  }
}
BENCHMARK(BM_BrightnessStepWithPreview)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
