#include <gtest/gtest.h>

#include <QImage>
#include <QLoggingCategory>
#include <QString>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "picture/ImageFile.h"
#include "picture/TestImages.h"

namespace {

// A camera-sized picture made quickly: the left half red, the right half blue.
QImage HalvesPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      const bool left = x < width / 2;
      line[3 * x] = left ? 220 : 20;
      line[3 * x + 1] = 30;
      line[3 * x + 2] = left ? 20 : 220;
    }
  }
  return image;
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

std::string Be32(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
  return Be32(static_cast<std::uint32_t>(data.size())) + type + data + Be32(Crc32(type + data));
}

// A PNG of a few dozen bytes declaring width x height RGB pixels.
std::string PngDeclaring(std::uint32_t width, std::uint32_t height) {
  const std::string header = Be32(width) + Be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
  const std::string noData("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
  return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) + PngChunk("IDAT", noData) +
         PngChunk("IEND", "");
}

std::vector<std::string> g_logged;
void Record(QtMsgType, const QMessageLogContext&, const QString& text) {
  g_logged.push_back(text.toStdString());
}

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

// Camera photos beyond Qt's default allocation limit (128 MiB, about 33 million pixels)
// open, reduced to the working size with their aspect ratio; absurd declared sizes do not.
TEST_F(ImageFileTest, LargePicturesOpenReducedAndAbsurdSizesAreRefused) {
  ASSERT_TRUE(HalvesPicture(8200, 4200).save(QString::fromStdString(Path("camera.jpg")), "jpeg", 80));
  std::string error;
  const auto photo = CImageFile::Load(Path("camera.jpg"), &error);
  ASSERT_TRUE(photo) << error;
  EXPECT_EQ(photo->Width(), CImageFile::kMaxWorkingSide);
  EXPECT_EQ(photo->Height(), 2098);  // 4200 * 4096 / 8200
  const Rgb left = photo->Pixel(100, 1000);
  const Rgb right = photo->Pixel(4000, 1000);
  EXPECT_GT(left.r, 180);
  EXPECT_LT(left.b, 60);
  EXPECT_GT(right.b, 180);
  EXPECT_LT(right.r, 60);

  // A tall panorama keeps its shape too, through the PNG decoder.
  ASSERT_TRUE(HalvesPicture(90, 5000).save(QString::fromStdString(Path("tall.png"))));
  const auto tall = CImageFile::Load(Path("tall.png"), &error);
  ASSERT_TRUE(tall) << error;
  EXPECT_EQ(tall->Width(), 74);  // 90 * 4096 / 5000
  EXPECT_EQ(tall->Height(), CImageFile::kMaxWorkingSide);
  // At the working size and below, nothing is reduced.
  ASSERT_TRUE(HalvesPicture(4096, 10).save(QString::fromStdString(Path("edge.png"))));
  EXPECT_EQ(CImageFile::Load(Path("edge.png"))->Width(), 4096);

  // A few bytes declaring 30000 x 30000 pixels: refused before any decoding is tried.
  { std::ofstream(Path("bomb.png"), std::ios::binary) << PngDeclaring(30000, 30000); }
  error.clear();
  EXPECT_FALSE(CImageFile::Load(Path("bomb.png"), &error));
  EXPECT_NE(error.find("declares 30000 x 30000 pixels"), std::string::npos) << error;
}

// A JPEG cut off part-way decodes to a picture with a grey rest; the decoder only warns.
TEST_F(ImageFileTest, CutOffImageDataIsRefused) {
  ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(300, 200), Path("whole.jpg"), CImageFile::Format::Jpeg));
  ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(300, 200), Path("whole.png"), CImageFile::Format::Png));
  ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(301, 200), Path("whole.bmp"), CImageFile::Format::Bmp));
  for (const std::string name : {"whole.jpg", "whole.png", "whole.bmp"}) {
    std::ifstream in(Path(name), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(Path("cut-" + name), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::string error;
    EXPECT_FALSE(CImageFile::Load(Path("cut-" + name), &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_TRUE(CImageFile::Load(Path(name), &error)) << name << ": " << error;
  }
  std::string error;
  CImageFile::Load(Path("cut-whole.jpg"), &error);
  EXPECT_NE(error.find("the image data ends before the picture does"), std::string::npos) << error;
  EXPECT_NE(error.find("premature end"), std::string::npos) << error;
  // The BMP reader would leave the missing rows blank: 54 header bytes and 200 rows of
  // 301 * 3 bytes padded to 904.
  CImageFile::Load(Path("cut-whole.bmp"), &error);
  EXPECT_NE(error.find("its picture needs 180854"), std::string::npos) << error;
}

// The decoder warnings are watched without changing what the program sees of them: shown
// to the installed handler as before when their category is on, kept quiet when it is off,
// and the program's own handler and rules back in place afterwards.
TEST_F(ImageFileTest, DecoderWarningsReachTheProgramAsBefore) {
  ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(300, 200), Path("whole.jpg"), CImageFile::Format::Jpeg));
  {
    std::ifstream in(Path("whole.jpg"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(Path("cut.jpg"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  }
  g_logged.clear();
  const QtMessageHandler before = qInstallMessageHandler(Record);
  EXPECT_FALSE(CImageFile::Load(Path("cut.jpg")));
  ASSERT_EQ(g_logged.size(), 1u);
  EXPECT_NE(g_logged[0].find("premature end"), std::string::npos) << g_logged[0];

  QLoggingCategory::setFilterRules("qt.gui.imageio*=false");
  g_logged.clear();
  std::string error;
  EXPECT_FALSE(CImageFile::Load(Path("cut.jpg"), &error));
  EXPECT_NE(error.find("premature end"), std::string::npos) << error;
  EXPECT_TRUE(g_logged.empty());
  QLoggingCategory category("qt.gui.imageio.jpeg");
  EXPECT_FALSE(category.isWarningEnabled());
  QLoggingCategory::setFilterRules(QString());

  EXPECT_EQ(qInstallMessageHandler(before), Record);
}

}  // namespace
