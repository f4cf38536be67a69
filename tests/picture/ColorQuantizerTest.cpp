#include <gtest/gtest.h>

#include <set>

#include "picture/ColorQuantizer.h"
#include "picture/Rgb565.h"
#include "picture/TestImages.h"

namespace {

std::uint32_t Key(Rgb c) {
  return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

int SquaredDistance(Rgb a, Rgb b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

TEST(ColorQuantizerTest, PaletteIsAtMost256DistinctExactColours) {
  const CRgbImage image = SyntheticPhoto(128, 110, 3);
  const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(image);
  EXPECT_GT(palette.size(), 200u);
  EXPECT_LE(palette.size(), 256u);
  std::set<std::uint32_t> distinct;
  for (const Rgb& c : palette) {
    EXPECT_TRUE(IsExact565(c)) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    distinct.insert(Key(c));
  }
  EXPECT_EQ(distinct.size(), palette.size());
}

TEST(ColorQuantizerTest, NearestMappingTakesTheNearestPaletteColour) {
  const CRgbImage image = SyntheticPhoto(64, 40, 5);
  const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(image);
  const std::vector<std::uint8_t> indices = CColorQuantizer::Map(image, palette, CColorQuantizer::Dither::None);
  ASSERT_EQ(indices.size(), image.PixelCount());
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const Rgb c = image.Pixel(x, y);
      const std::uint8_t chosen = indices[static_cast<std::size_t>(y) * image.Width() + x];
      ASSERT_LT(chosen, palette.size());
      int best = 1 << 30;
      for (const Rgb& p : palette) {
        best = std::min(best, SquaredDistance(c, p));
      }
      ASSERT_EQ(SquaredDistance(c, palette[chosen]), best) << "pixel " << x << "," << y;
    }
  }
}

TEST(ColorQuantizerTest, FewColoursAreKeptAsTheNearestHandsetColours) {
  // Colours between handset levels: each must come out as its nearest handset colour,
  // which is not always the one that simple truncation to 16 bits gives.
  CRgbImage image(10, 1);
  const Rgb colours[] = {{250, 250, 250}, {0, 0, 0},    {70, 30, 200},  {70, 30, 200}, {127, 130, 131},
                         {1, 2, 3},       {63, 64, 65}, {200, 100, 50}, {5, 250, 5},   {255, 0, 0}};
  for (int x = 0; x < 10; ++x) {
    image.SetPixel(x, 0, colours[x]);
  }
  const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(image);
  EXPECT_EQ(palette.size(), 8u);  // (1, 2, 3) has black as its nearest handset colour
  const auto indices = CColorQuantizer::Map(image, palette, CColorQuantizer::Dither::Diffused);
  const CRgbImage out = CColorQuantizer::Render(10, 1, indices, palette);
  for (int x = 0; x < 10; ++x) {
    const Rgb c = image.Pixel(x, 0);
    int best = 1 << 30;
    for (unsigned v = 0; v <= 0xFFFF; ++v) {
      best = std::min(best, SquaredDistance(c, FromRgb565(static_cast<std::uint16_t>(v))));
    }
    EXPECT_EQ(SquaredDistance(c, out.Pixel(x, 0)), best) << "pixel " << x;
  }
  // Truncation would give 255; the nearest handset level to 250 is 246.
  EXPECT_EQ(out.Pixel(0, 0).r, 246);
}

TEST(ColorQuantizerTest, QualityOnAPhotoLikeImage) {
  const CRgbImage image = SyntheticPhoto(128, 110, 9);
  const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(image);
  const CRgbImage nearest =
      CColorQuantizer::Render(128, 110, CColorQuantizer::Map(image, palette, CColorQuantizer::Dither::None), palette);
  const CRgbImage diffused = CColorQuantizer::Render(
      128, 110, CColorQuantizer::Map(image, palette, CColorQuantizer::Dither::Diffused), palette);
  CRgbImage straight = image;
  for (int y = 0; y < 110; ++y) {
    for (int x = 0; x < 128; ++x) {
      straight.SetPixel(x, y, Through565(image.Pixel(x, y)));
    }
  }
  // A picture spread evenly over a large part of the colour cube is the hard case for
  // 256 colours; these floors sit about 1 dB under what the quantiser reaches.
  EXPECT_GT(Psnr(image, nearest), 33.5);
  EXPECT_GT(Psnr(image, diffused), 32.0);
  EXPECT_GT(Psnr(image, straight), Psnr(image, nearest));
}

// Blurs one channel with a 5 x 5 box, as the eye averages neighbouring pixels.
std::vector<double> Smoothed(const CRgbImage& image) {
  std::vector<double> out;
  for (int y = 2; y < image.Height() - 2; ++y) {
    for (int x = 2; x < image.Width() - 2; ++x) {
      double sum = 0;
      for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
          sum += image.Pixel(x + dx, y + dy).g;
        }
      }
      out.push_back(sum / 25.0);
    }
  }
  return out;
}

TEST(ColorQuantizerTest, DiffusionFillsInShadesThePaletteLacks) {
  // A smooth grey ramp against a palette of five greys: nearest colours give five flat
  // bands; diffusion alternates neighbouring greys so that, seen blurred, the ramp returns.
  CRgbImage ramp(100, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 100; ++x) {
      const auto v = static_cast<std::uint8_t>(100 + x / 2);
      ramp.SetPixel(x, y, Rgb{v, v, v});
    }
  }
  std::vector<Rgb> greys;
  for (int v : {100, 113, 126, 139, 152}) {
    greys.push_back(Through565(Rgb{std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)}));
  }
  const auto error = [&](CColorQuantizer::Dither dither) {
    const CRgbImage out = CColorQuantizer::Render(100, 20, CColorQuantizer::Map(ramp, greys, dither), greys);
    const std::vector<double> a = Smoothed(ramp);
    const std::vector<double> b = Smoothed(out);
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      sum += (a[i] - b[i]) * (a[i] - b[i]);
    }
    return sum / double(a.size());
  };
  EXPECT_LT(error(CColorQuantizer::Dither::Diffused), 0.5 * error(CColorQuantizer::Dither::None));

  // Where every colour is in the palette there is no error to spread: the result is exact.
  CRgbImage bands(30, 10, greys[1]);
  for (int x = 10; x < 20; ++x) {
    for (int y = 0; y < 10; ++y) {
      bands.SetPixel(x, y, greys[3]);
    }
  }
  EXPECT_EQ(
      CColorQuantizer::Render(30, 10, CColorQuantizer::Map(bands, greys, CColorQuantizer::Dither::Diffused), greys),
      bands);
}

TEST(ColorQuantizerTest, DegenerateInputs) {
  EXPECT_TRUE(CColorQuantizer::BuildPalette(CRgbImage()).empty());
  const CRgbImage white(128, 110);
  const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(white);
  ASSERT_EQ(palette.size(), 1u);
  EXPECT_EQ(palette[0], kWhite);
  EXPECT_EQ(CColorQuantizer::Map(white, palette, CColorQuantizer::Dither::Diffused),
            std::vector<std::uint8_t>(white.PixelCount(), 0));
  EXPECT_TRUE(CColorQuantizer::Map(white, {}, CColorQuantizer::Dither::None).empty());
  EXPECT_TRUE(CColorQuantizer::Map(white, std::vector<Rgb>(257), CColorQuantizer::Dither::None).empty());
  // An image of thousands of distinct handset colours still gets 256 distinct exact colours.
  CRgbImage all(128, 128);
  for (int v = 0; v < 128 * 128; ++v) {
    all.SetPixel(v % 128, v / 128, FromRgb565(static_cast<std::uint16_t>(v * 4 + 1)));
  }
  const std::vector<Rgb> full = CColorQuantizer::BuildPalette(all);
  EXPECT_EQ(full.size(), 256u);
}

}  // namespace
