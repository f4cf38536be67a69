#include <gtest/gtest.h>

#include <set>

#include "picture/ColorQuantizer.h"
#include "picture/ImageTransform.h"
#include "picture/PictureRecord.h"
#include "picture/Rgb565.h"
#include "picture/TestImages.h"

namespace {

std::uint16_t PaletteEntry(const std::vector<std::uint8_t>& record, std::size_t i) {
  return static_cast<std::uint16_t>(record[32 + 2 * i] | (record[32 + 2 * i + 1] << 8));
}

TEST(Rgb565Test, ConvertsBothWays) {
  EXPECT_EQ(ToRgb565(kWhite), 0xFFFF);
  EXPECT_EQ(FromRgb565(0xFFFF), kWhite);
  EXPECT_EQ(ToRgb565(Rgb{0, 0, 0}), 0x0000);
  EXPECT_EQ(FromRgb565(0x0000), (Rgb{0, 0, 0}));
  EXPECT_EQ(ToRgb565(Rgb{255, 0, 0}), 0xF800);
  EXPECT_EQ(ToRgb565(Rgb{0, 255, 0}), 0x07E0);
  EXPECT_EQ(ToRgb565(Rgb{0, 0, 255}), 0x001F);
  // r5 * 8 + (r5 & 7), g6 * 4 + (g6 & 3)
  EXPECT_EQ(FromRgb565(static_cast<std::uint16_t>((9 << 11) | (13 << 5) | 16)), (Rgb{73, 53, 128}));
}

TEST(Rgb565Test, EveryEntryDecodesToAColourThatEncodesBackToIt) {
  for (unsigned v = 0; v <= 0xFFFF; ++v) {
    const Rgb c = FromRgb565(static_cast<std::uint16_t>(v));
    ASSERT_EQ(ToRgb565(c), v);
    ASSERT_TRUE(IsExact565(c));
  }
}

TEST(PictureRecordTest, SizesAndLayout) {
  EXPECT_EQ(RecordSize(PictureKind::Wallpaper), 15648u);
  EXPECT_EQ(RecordSize(PictureKind::PictureId), 4160u);
  EXPECT_EQ(KindOfRecordSize(15648), PictureKind::Wallpaper);
  EXPECT_EQ(KindOfRecordSize(4160), PictureKind::PictureId);
  EXPECT_FALSE(KindOfRecordSize(15647));
  EXPECT_FALSE(KindOfRecordSize(0));

  // A picture whose left half is red and right half blue, with a white thumbnail-sized corner.
  CRgbImage preview(48, 54, Rgb{255, 0, 0});
  for (int y = 0; y < 54; ++y) {
    for (int x = 24; x < 48; ++x) {
      preview.SetPixel(x, y, Rgb{0, 0, 255});
    }
  }
  const auto record = CPictureRecord::Encode(PictureKind::PictureId, "Ab 1", preview);
  ASSERT_TRUE(record);
  ASSERT_EQ(record->size(), 4160u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->data()), 4), "Ab 1");
  for (std::size_t i = 4; i < 32; ++i) {
    EXPECT_EQ((*record)[i], 0) << "name padding at " << i;
  }
  // Two colours: palette entries 0xF800 and 0x001F in some order, little-endian; the rest zero.
  const std::set<std::uint16_t> used{PaletteEntry(*record, 0), PaletteEntry(*record, 1)};
  EXPECT_EQ(used, (std::set<std::uint16_t>{0xF800, 0x001F}));
  for (std::size_t i = 2; i < 256; ++i) {
    EXPECT_EQ(PaletteEntry(*record, i), 0);
  }
  const std::uint8_t red = PaletteEntry(*record, 0) == 0xF800 ? 0 : 1;
  // Thumbnail at 544: 32 x 32, left columns red, right columns blue.
  EXPECT_EQ((*record)[544], red);
  EXPECT_EQ((*record)[544 + 31], 1 - red);
  EXPECT_EQ((*record)[544 + 31 * 32], red);
  // Picture at 1568: 48 x 54, rows of 48.
  EXPECT_EQ((*record)[1568], red);
  EXPECT_EQ((*record)[1568 + 23], red);
  EXPECT_EQ((*record)[1568 + 24], 1 - red);
  EXPECT_EQ((*record)[1568 + 53 * 48 + 47], 1 - red);
}

TEST(PictureRecordTest, RefusesWrongSizesAndBadNames) {
  CPictureRecord::EncodeError error = CPictureRecord::EncodeError::None;
  EXPECT_FALSE(CPictureRecord::Encode(PictureKind::Wallpaper, "Name", CRgbImage(48, 54), &error));
  EXPECT_EQ(error, CPictureRecord::EncodeError::WrongImageSize);
  EXPECT_FALSE(CPictureRecord::Encode(PictureKind::Wallpaper, " Name", CRgbImage(128, 110), &error));
  EXPECT_EQ(error, CPictureRecord::EncodeError::BadName);
  EXPECT_FALSE(CPictureRecord::Encode(PictureKind::Wallpaper, "", CRgbImage(128, 110), &error));
  EXPECT_FALSE(CPictureRecord::Encode(PictureKind::Wallpaper, "0123456789abcdef", CRgbImage(128, 110), &error));
  EXPECT_TRUE(CPictureRecord::Encode(PictureKind::Wallpaper, "0123456789abcde", CRgbImage(128, 110), &error));
  EXPECT_EQ(error, CPictureRecord::EncodeError::None);

  // Decoding checks the size before reading: a null pointer with a wrong size is safe.
  EXPECT_FALSE(CPictureRecord::Decode(nullptr, 100));
  EXPECT_FALSE(CPictureRecord::Decode(std::vector<std::uint8_t>(15649, 0)));
  EXPECT_FALSE(CPictureRecord::Decode(std::vector<std::uint8_t>(4159, 0)));
  EXPECT_FALSE(CPictureRecord::Decode(std::vector<std::uint8_t>{}));
}

TEST(PictureRecordTest, DecodeOfEncodeIsExactlyTheQuantisedImage) {
  for (PictureKind kind : {PictureKind::Wallpaper, PictureKind::PictureId}) {
    const PictureSize size = TargetSize(kind);
    const CRgbImage preview = SyntheticPhoto(size.width, size.height, 7);
    const auto record = CPictureRecord::Encode(kind, "Photo-1", preview);
    ASSERT_TRUE(record);
    const auto decoded = CPictureRecord::Decode(*record);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->kind, kind);
    EXPECT_EQ(decoded->name, "Photo-1");

    const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(preview);
    const CRgbImage quantised = CColorQuantizer::Render(
        size.width, size.height, CColorQuantizer::Map(preview, palette, CColorQuantizer::Dither::Diffused), palette);
    EXPECT_EQ(decoded->picture, quantised);
    const CRgbImage thumbnail = CImageTransform::Resize(preview, 32, 32);
    EXPECT_EQ(decoded->thumbnail,
              CColorQuantizer::Render(
                  32, 32, CColorQuantizer::Map(thumbnail, palette, CColorQuantizer::Dither::Diffused), palette));
    // Every palette entry in use stands for the colour the quantiser chose.
    for (std::size_t i = 0; i < palette.size(); ++i) {
      EXPECT_EQ(decoded->palette[i], palette[i]);
    }
    EXPECT_GT(Psnr(preview, decoded->picture), 33.5);
  }
}

TEST(PictureRecordTest, DecodesAHandMadeRecord) {
  std::vector<std::uint8_t> record(4160, 0);
  const char name[] = "Hi there";
  std::copy(name, name + 8, record.begin());
  record[32 + 2 * 5] = 0xFF;  // entry 5 = 0xFFFF, white
  record[32 + 2 * 5 + 1] = 0xFF;
  record[32 + 2 * 7] = 0x1F;  // entry 7 = 0x001F, blue
  std::fill(record.begin() + 1568, record.end(), 5);
  record[1568 + 48 * 2 + 3] = 7;
  record[544 + 32 + 1] = 7;
  const auto decoded = CPictureRecord::Decode(record);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->kind, PictureKind::PictureId);
  EXPECT_EQ(decoded->name, "Hi there");
  EXPECT_EQ(decoded->picture.Width(), 48);
  EXPECT_EQ(decoded->picture.Height(), 54);
  EXPECT_EQ(decoded->picture.Pixel(0, 0), kWhite);
  EXPECT_EQ(decoded->picture.Pixel(3, 2), (Rgb{0, 0, 255}));
  EXPECT_EQ(decoded->thumbnail.Pixel(1, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(decoded->thumbnail.Pixel(0, 0), (Rgb{0, 0, 0}));
}

}  // namespace
