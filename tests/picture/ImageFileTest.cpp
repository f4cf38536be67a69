#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "picture/ImageFile.h"
#include "picture/TestImages.h"

namespace {

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("orvane-picture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override {
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(m_dir);
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  std::filesystem::path m_dir;
};

TEST_F(ImageFileTest, LosslessFormatsRoundTripExactly) {
  const CRgbImage image = SyntheticPhoto(37, 23);
  for (const auto& [name, format] :
       {std::pair{"a.bmp", CImageFile::Format::Bmp}, std::pair{"a.png", CImageFile::Format::Png},
        std::pair{"a.tif", CImageFile::Format::Tiff}}) {
    std::string error;
    ASSERT_TRUE(CImageFile::Save(image, Path(name), format, &error)) << name << ": " << error;
    const auto loaded = CImageFile::Load(Path(name), &error);
    ASSERT_TRUE(loaded) << name << ": " << error;
    EXPECT_EQ(*loaded, image) << name;
  }
  ASSERT_TRUE(CImageFile::Save(image, Path("a.jpg"), CImageFile::Format::Jpeg));
  const auto jpeg = CImageFile::Load(Path("a.jpg"));
  ASSERT_TRUE(jpeg);
  EXPECT_GT(Psnr(*jpeg, image), 24.0);
  // Files are recognised by content, not by name.
  std::filesystem::rename(Path("a.png"), Path("really-a-png.bmp"));
  EXPECT_TRUE(CImageFile::Load(Path("really-a-png.bmp")));
}

TEST_F(ImageFileTest, TransparencyIsLaidOnWhite) {
  QImage argb(2, 1, QImage::Format_ARGB32);
  argb.setPixel(0, 0, qRgba(0, 0, 0, 0));
  argb.setPixel(1, 0, qRgba(255, 0, 0, 128));
  ASSERT_TRUE(argb.save(QString::fromStdString(Path("t.png"))));
  const auto loaded = CImageFile::Load(Path("t.png"));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Pixel(0, 0), kWhite);
  EXPECT_EQ(loaded->Pixel(1, 0), (Rgb{255, 127, 127}));
}

TEST_F(ImageFileTest, FailuresAreReportedAndLeaveFilesAlone) {
  std::string error;
  EXPECT_FALSE(CImageFile::Load(Path("missing.png"), &error));
  EXPECT_FALSE(error.empty());
  {
    std::ofstream junk(Path("junk.png"), std::ios::binary);
    junk << "\x89PNG\r\n\x1a\n this is not really a png";
  }
  error.clear();
  EXPECT_FALSE(CImageFile::Load(Path("junk.png"), &error));
  EXPECT_FALSE(error.empty());

  const CRgbImage image(8, 8, Rgb{1, 2, 3});
  ASSERT_TRUE(CImageFile::Save(image, Path("keep.png"), CImageFile::Format::Png));
  EXPECT_FALSE(CImageFile::Save(CRgbImage(), Path("keep.png"), CImageFile::Format::Png, &error));
  EXPECT_FALSE(CImageFile::Save(image, Path("no-such-folder/x.png"), CImageFile::Format::Png, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(*CImageFile::Load(Path("keep.png")), image);

  EXPECT_EQ(CImageFile::FormatFromPath("/a/b.JPEG"), CImageFile::Format::Jpeg);
  EXPECT_EQ(CImageFile::FormatFromPath("x.Tif"), CImageFile::Format::Tiff);
  EXPECT_FALSE(CImageFile::FormatFromPath("/a.png/noext"));
  EXPECT_FALSE(CImageFile::FormatFromPath("x.gif"));
}

}  // namespace
