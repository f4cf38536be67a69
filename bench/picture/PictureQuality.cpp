// Quality and speed meter of the handset picture encoding.
//
// For every photograph given: a 128 x 110 wallpaper crop (the photo reduced to cover the
// wallpaper, then cut from its centre, as a user would send it) and a native crop (128 x 110
// pixels cut from the photo's centre at full resolution). Each crop goes through the
// handset record and back, and the PSNR over RGB against the 24-bit crop is printed beside
// the same figure for other quantisers whose palettes are forced through the handset's
// 16-bit colours, and for the crop converted straight to 16-bit colour. Then the time to
// encode one wallpaper record.
//
// Usage: picture_quality WORK_DIR PHOTO...   (pngquant and ImageMagick's convert are used
// when found on PATH; WORK_DIR receives the crops and the tools' outputs)
#if ORVANE_HAVE_IMAGEQUANT
#include <libimagequant.h>
#endif

#include <QLoggingCategory>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "picture/ColorQuantizer.h"
#include "picture/ImageEditor.h"
#include "picture/ImageFile.h"
#include "picture/ImageTransform.h"
#include "picture/PictureRecord.h"
#include "picture/Rgb565.h"
#include "picture/TargetFrame.h"

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

std::string LoadAverage() {
  std::FILE* f = std::fopen("/proc/loadavg", "r");
  char text[64] = "unknown";
  if (f != nullptr) {
    if (std::fscanf(f, "%63s", text) != 1) {
      std::snprintf(text, sizeof text, "unknown");
    }
    std::fclose(f);
  }
  return text;
}

double Psnr(const CRgbImage& a, const CRgbImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) {
    return -1.0;
  }
  double sum = 0;
  for (std::size_t i = 0; i < a.Bytes().size(); ++i) {
    const double d = double(a.Bytes()[i]) - double(b.Bytes()[i]);
    sum += d * d;
  }
  const double mse = sum / double(a.Bytes().size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// A 3 x 3 binomial blur: roughly what the eye averages on a small handset screen, so
// that error diffusion's fine noise counts for what it looks like.
CRgbImage Blur(const CRgbImage& image) {
  CRgbImage out = image;
  const int w = image.Width();
  const int h = image.Height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int acc[3] = {0, 0, 0};
      int total = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int xx = std::clamp(x + dx, 0, w - 1);
          const int yy = std::clamp(y + dy, 0, h - 1);
          const int weight = (dx == 0 ? 2 : 1) * (dy == 0 ? 2 : 1);
          const Rgb c = image.Pixel(xx, yy);
          acc[0] += weight * c.r;
          acc[1] += weight * c.g;
          acc[2] += weight * c.b;
          total += weight;
        }
      }
      out.SetPixel(x, y,
                   Rgb{static_cast<std::uint8_t>((acc[0] + total / 2) / total),
                       static_cast<std::uint8_t>((acc[1] + total / 2) / total),
                       static_cast<std::uint8_t>((acc[2] + total / 2) / total)});
    }
  }
  return out;
}

CRgbImage Force565(CRgbImage image) {
  auto& bytes = image.Bytes();
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    const Rgb c = Through565(Rgb{bytes[i], bytes[i + 1], bytes[i + 2]});
    bytes[i] = c.r;
    bytes[i + 1] = c.g;
    bytes[i + 2] = c.b;
  }
  return image;
}

CRgbImage WallpaperCrop(const CRgbImage& photo) {
  const double scale = std::max(128.0 / photo.Width(), 110.0 / photo.Height());
  const int w = std::max(128, int(std::lround(photo.Width() * scale)));
  const int h = std::max(110, int(std::lround(photo.Height() * scale)));
  const CRgbImage reduced = CImageTransform::Resize(photo, w, h);
  return CTargetFrame::Cut(reduced, {(w - 128) / 2, (h - 110) / 2}, kWallpaperSize);
}

CRgbImage NativeCrop(const CRgbImage& photo) {
  return CTargetFrame::Cut(photo, {(photo.Width() - 128) / 2, (photo.Height() - 110) / 2}, kWallpaperSize);
}

CRgbImage ThroughRecord(const CRgbImage& crop) {
  const auto record = CPictureRecord::Encode(PictureKind::Wallpaper, "Bench", crop);
  return CPictureRecord::Decode(*record)->picture;
}

#if ORVANE_HAVE_IMAGEQUANT
// libimagequant's palette and mapping (dithered or not), palette forced to 16-bit colours.
std::optional<CRgbImage> Libimagequant(const CRgbImage& crop, float dither, bool ownMapping) {
  std::vector<unsigned char> rgba;
  for (std::size_t i = 0; i + 2 < crop.Bytes().size(); i += 3) {
    rgba.insert(rgba.end(), {crop.Bytes()[i], crop.Bytes()[i + 1], crop.Bytes()[i + 2], 255});
  }
  liq_attr* attr = liq_attr_create();
  liq_set_max_colors(attr, 256);
  liq_set_speed(attr, 1);
  liq_image* image = liq_image_create_rgba(attr, rgba.data(), crop.Width(), crop.Height(), 0);
  liq_result* result = nullptr;
  std::optional<CRgbImage> out;
  if (liq_image_quantize(image, attr, &result) == LIQ_OK) {
    liq_set_dithering_level(result, dither);
    std::vector<unsigned char> indices(crop.PixelCount());
    liq_write_remapped_image(result, image, indices.data(), indices.size());
    const liq_palette* palette = liq_get_palette(result);
    std::vector<Rgb> forced;
    for (unsigned i = 0; i < palette->count; ++i) {
      forced.push_back(Through565(Rgb{palette->entries[i].r, palette->entries[i].g, palette->entries[i].b}));
    }
    if (ownMapping) {
      indices = CColorQuantizer::Map(crop, forced, CColorQuantizer::Dither::None);
    }
    out = CColorQuantizer::Render(crop.Width(), crop.Height(), indices, forced);
    liq_result_destroy(result);
  }
  liq_image_destroy(image);
  liq_attr_destroy(attr);
  return out;
}
#endif

bool HaveTool(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Runs a quantising tool on the crop's PNG and reads its output with the palette forced.
std::optional<CRgbImage> External(const std::string& command, const std::string& output) {
  std::filesystem::remove(output);
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
    return std::nullopt;
  }
  std::optional<CRgbImage> image = CImageFile::Load(output);
  if (!image) {
    return std::nullopt;
  }
  return Force565(*image);
}

struct Column {
  std::string title;
  std::function<std::optional<CRgbImage>(const CRgbImage&, const std::string&)> run;
  std::vector<double> figures = {};
  std::vector<double> blurred = {};
};

double Mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) {
    s += x;
  }
  return v.empty() ? 0 : s / double(v.size());
}

void PrintTable(const char* title, std::vector<Column>& columns, const std::vector<std::string>& names, bool blurred) {
  std::printf("\n%s: %s\n", title,
              blurred ? "PSNR over RGB in dB after a 3 x 3 blur of both images (how it looks from a distance)"
                      : "PSNR over RGB in dB against the 24-bit crop");
  std::printf("%-16s", "photo");
  for (const Column& c : columns) {
    std::printf(" %14s", c.title.c_str());
  }
  std::printf("\n");
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::printf("%-16s", names[i].c_str());
    for (const Column& c : columns) {
      const std::vector<double>& figures = blurred ? c.blurred : c.figures;
      if (i < figures.size() && figures[i] >= 0) {
        std::printf(" %14.2f", figures[i]);
      } else {
        std::printf(" %14s", "n/a");
      }
    }
    std::printf("\n");
  }
  std::printf("%-16s", "mean");
  for (const Column& c : columns) {
    std::vector<double> valid;
    const std::vector<double>& figures = blurred ? c.blurred : c.figures;
    std::copy_if(figures.begin(), figures.end(), std::back_inserter(valid), [](double v) { return v >= 0; });
    std::printf(" %14.2f", Mean(valid));
  }
  std::printf("\n");
}

std::vector<Column> MakeColumns(const std::string& work) {
  std::vector<Column> columns;
  columns.push_back({"handset-record", [](const CRgbImage& c, const std::string&) { return ThroughRecord(c); }, {}});
  columns.push_back({"ours-nearest",
                     [](const CRgbImage& c, const std::string&) -> std::optional<CRgbImage> {
                       const auto palette = CColorQuantizer::BuildPalette(c);
                       return CColorQuantizer::Render(c.Width(), c.Height(),
                                                      CColorQuantizer::Map(c, palette, CColorQuantizer::Dither::None),
                                                      palette);
                     },
                     {}});
#if ORVANE_HAVE_IMAGEQUANT
  columns.push_back(
      {"liq+565", [](const CRgbImage& c, const std::string&) { return Libimagequant(c, 1.0f, false); }, {}});
  columns.push_back(
      {"liq-nodith+565", [](const CRgbImage& c, const std::string&) { return Libimagequant(c, 0.0f, false); }, {}});
  columns.push_back(
      {"liq-pal+ours", [](const CRgbImage& c, const std::string&) { return Libimagequant(c, 0.0f, true); }, {}});
#endif
  if (HaveTool("pngquant")) {
    columns.push_back({"pngquant+565",
                       [work](const CRgbImage&, const std::string& png) {
                         const std::string out = work + "/pngquant.png";
                         return External("pngquant 256 --force --output '" + out + "' '" + png + "'", out);
                       },
                       {}});
  }
  if (HaveTool("convert")) {
    columns.push_back({"im-dither+565",
                       [work](const CRgbImage&, const std::string& png) {
                         const std::string out = work + "/im-dither.png";
                         return External("convert '" + png + "' -colors 256 'PNG24:" + out + "'", out);
                       },
                       {}});
    columns.push_back({"im-nodith+565",
                       [work](const CRgbImage&, const std::string& png) {
                         const std::string out = work + "/im-nodither.png";
                         return External("convert '" + png + "' +dither -colors 256 'PNG24:" + out + "'", out);
                       },
                       {}});
  }
  columns.push_back({"straight-565", [](const CRgbImage& c, const std::string&) { return Force565(c); }, {}});
  return columns;
}

void Measure(std::vector<Column>& columns, const CRgbImage& crop, const std::string& png) {
  CImageFile::Save(crop, png, CImageFile::Format::Png);
  for (Column& c : columns) {
    const std::optional<CRgbImage> out = c.run(crop, png);
    c.figures.push_back(out ? Psnr(crop, *out) : -1.0);
    c.blurred.push_back(out ? Psnr(Blur(crop), Blur(*out)) : -1.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: picture_quality WORK_DIR PHOTO...\n");
    return 2;
  }
  // Decoders' warnings about colour profiles are not figures.
  QLoggingCategory::setFilterRules("qt.gui.imageio*=false");
  const std::string work = argv[1];
  std::filesystem::create_directories(work);
  std::vector<Column> wallpaper = MakeColumns(work);
  std::vector<Column> native = MakeColumns(work);
  std::vector<std::string> names;
  std::vector<CRgbImage> crops;
  for (int i = 2; i < argc; ++i) {
    std::string error;
    const std::optional<CRgbImage> photo = CImageFile::Load(argv[i], &error);
    if (!photo || photo->Width() < 128 || photo->Height() < 110) {
      std::fprintf(stderr, "%s: skipped (%s)\n", argv[i], photo ? "smaller than 128 x 110" : error.c_str());
      continue;
    }
    names.push_back(std::filesystem::path(argv[i]).stem().string());
    crops.push_back(WallpaperCrop(*photo));
    Measure(wallpaper, crops.back(), work + "/" + names.back() + "-wallpaper.png");
    Measure(native, NativeCrop(*photo), work + "/" + names.back() + "-native.png");
  }
  if (names.size() < 4) {
    std::fprintf(stderr, "picture_quality: fewer than four usable photographs\n");
    return 1;
  }
  PrintTable("Wallpaper crops (photo reduced to cover 128 x 110, centre cut)", wallpaper, names, false);
  PrintTable("Native crops (128 x 110 from the photo's centre)", native, names, false);
  PrintTable("Wallpaper crops", wallpaper, names, true);
  PrintTable("Native crops", native, names, true);

  // Wall time and the thread's own processor time: on a shared machine the first also
  // counts the time other processes held the processor.
  std::vector<double> wall;
  std::vector<double> cpu;
  for (const CRgbImage& crop : crops) {
    for (int run = 0; run < 15; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = ThreadCpuMs();
      const auto record = CPictureRecord::Encode(PictureKind::Wallpaper, "Bench", crop);
      cpu.push_back(ThreadCpuMs() - cpuStart);
      wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      if (!record) {
        return 1;
      }
    }
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  std::printf("\nEncoding one wallpaper record (palette, picture, thumbnail), %zu runs:\n", wall.size());
  std::printf("  processor time: median %.2f ms, max %.2f ms\n", cpu[cpu.size() / 2], cpu.back());
  std::printf("  wall time:      median %.2f ms, max %.2f ms (load average %s)\n", wall[wall.size() / 2], wall.back(),
              LoadAverage().c_str());

  // One adjustment of a 12-megapixel photo as the window renders it on every slider move
  // (tone curves, rotation, reduction to the displayed size).
  CImageEditor editor;
  editor.SetImage(CImageTransform::Resize(crops.front(), 4000, 3000));
  editor.SetScale(0.2f);
  std::vector<double> render;
  for (int run = 0; run < 5; ++run) {
    const double cpuStart = ThreadCpuMs();
    editor.SetContrast(100 + run);
    render.push_back(ThreadCpuMs() - cpuStart);
  }
  std::sort(render.begin(), render.end());
  std::vector<double> geometry;
  for (int run = 0; run < 3; ++run) {
    const double cpuStart = ThreadCpuMs();
    editor.RotateRight();
    geometry.push_back(ThreadCpuMs() - cpuStart);
  }
  std::sort(geometry.begin(), geometry.end());
  const double scaleStart = ThreadCpuMs();
  editor.ScaleDown();
  const double scaleStep = ThreadCpuMs() - scaleStart;
  std::printf("A 4000 x 3000 photo shown at scale 0.2, processor time per step (median):\n");
  std::printf("  tone slider step %.1f ms, rotation step %.0f ms, scale step %.0f ms\n", render[render.size() / 2],
              geometry[geometry.size() / 2], scaleStep);
  return 0;
}
