// Time to open a large camera photo: the file read and reduced to the working size, the
// picture window's image built from it, and a whole wallpaper record encoded from it (what
// "orvane-cli picture encode" does). bench/picture/run makes the photo with
// picture_make_photo and reports each benchmark's peak memory beside.
//
// Usage: picture_open_bench PHOTO [benchmark options]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "picture/ImageEditor.h"
#include "picture/ImageFile.h"
#include "picture/PictureRecord.h"

namespace {

std::string g_photo;

void BM_LoadPhoto(benchmark::State& state) {
  for (auto _ : state) {
    std::string error;
    const auto image = CImageFile::Load(g_photo, &error);
    if (!image) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.counters["width"] = image->Width();
    state.counters["height"] = image->Height();
  }
}
BENCHMARK(BM_LoadPhoto)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenInEditor(benchmark::State& state) {
  for (auto _ : state) {
    CImageEditor editor;
    std::string error;
    if (!editor.Load(g_photo, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(editor.Display().Bytes().data());
  }
}
BENCHMARK(BM_OpenInEditor)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EncodeWallpaper(benchmark::State& state) {
  for (auto _ : state) {
    CImageEditor editor;
    std::string error;
    if (!editor.Load(g_photo, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    const PictureSize target = TargetSize(PictureKind::Wallpaper);
    const auto record = CPictureRecord::Encode(PictureKind::Wallpaper, "Camera", editor.SendPreview({0, 0}, target));
    if (!record) {
      state.SkipWithError("the record could not be encoded");
      return;
    }
  }
}
BENCHMARK(BM_EncodeWallpaper)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fputs("usage: picture_open_bench PHOTO [benchmark options]\n", stderr);
    return 2;
  }
  g_photo = argv[1];
  argv[1] = argv[0];
  int rest = argc - 1;
  benchmark::Initialize(&rest, argv + 1);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
