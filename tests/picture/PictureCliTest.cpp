// orvane-cli picture, run as a user runs it: exit status, messages and output files.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "picture/ImageFile.h"
#include "picture/PictureRecord.h"
#include "picture/TestImages.h"
#include "support/CliRunner.h"
#include "support/ScratchFolder.h"

namespace {

struct Outcome {
  int status = -1;
  std::string stderrText;
};

class PictureCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_scratch = std::make_unique<CScratchFolder>("orvane-picture-cli");
    m_dir = m_scratch->Path();
    ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(200, 150), Path("photo.png"), CImageFile::Format::Png));
  }
  void TearDown() override { m_scratch.reset(); }

  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  static Outcome Run(const std::string& arguments) {
    const CCliRunner::Outcome run = CCliRunner::RunLine("picture " + arguments);
    return Outcome{run.status, run.err};
  }

  // A failure: the exit status, and exactly one line on standard error holding every part.
  static void ExpectFailure(const Outcome& o, int status, const std::vector<std::string>& parts) {
    EXPECT_EQ(o.status, status) << o.stderrText;
    EXPECT_EQ(std::count(o.stderrText.begin(), o.stderrText.end(), '\n'), 1) << o.stderrText;
    for (const std::string& part : parts) {
      EXPECT_NE(o.stderrText.find(part), std::string::npos) << "'" << part << "' missing in: " << o.stderrText;
    }
  }

  std::string FileText(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::unique_ptr<CScratchFolder> m_scratch;
  std::filesystem::path m_dir;
};

constexpr const char* kOpenFailed = "The file could not be opened.(732)";
constexpr const char* kSaveFailed = "The file could not be saved.(766)";

TEST_F(PictureCliTest, EncodeAndDecode) {
  const Outcome encode =
      Run("encode --kind wallpaper --name 'Sea view' --scale 0.8 --rotate 90 --contrast 200 "
          "--red -100 --frame 10,20 '" +
          Path("photo.png") + "' '" + Path("sea.rec") + "'");
  ASSERT_EQ(encode.status, 0) << encode.stderrText;
  EXPECT_EQ(encode.stderrText, "");
  EXPECT_EQ(std::filesystem::file_size(Path("sea.rec")), 15648u);

  const Outcome id = Run("encode --kind=picture-id --name=Me '" + Path("photo.png") + "' '" + Path("me.rec") + "'");
  ASSERT_EQ(id.status, 0) << id.stderrText;
  EXPECT_EQ(std::filesystem::file_size(Path("me.rec")), 4160u);

  const Outcome decode =
      Run("decode --thumbnail '" + Path("thumb.bmp") + "' '" + Path("sea.rec") + "' '" + Path("sea.png") + "'");
  ASSERT_EQ(decode.status, 0) << decode.stderrText;
  std::ifstream in(Path("sea.rec"), std::ios::binary);
  const std::vector<std::uint8_t> record((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto decoded = CPictureRecord::Decode(record);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->name, "Sea view");
  EXPECT_EQ(CImageFile::Load(Path("sea.png")), decoded->picture);
  EXPECT_EQ(CImageFile::Load(Path("thumb.bmp")), decoded->thumbnail);
}

TEST_F(PictureCliTest, ErrorsNameTheProblemAndWriteNothing) {
  const std::string io = " '" + Path("photo.png") + "' '" + Path("out.rec") + "'";
  ExpectFailure(Run("encode --kind wallpaper --name ' lead'" + io), 1,
                {"name ' lead'", "The specified file name could not be used."});
  ExpectFailure(Run("encode --kind wallpaper --name 1234567890123456" + io), 1,
                {"name '1234567890123456'", "The specified file name could not be used."});
  ExpectFailure(Run("encode --kind wallpaper --name ok --brightness 1001" + io), 2,
                {"picture encode:", "--brightness: 1001 is outside -1000..1000"});
  ExpectFailure(Run("encode --kind wallpaper --name ok --scale 11" + io), 2, {"--scale: 11 is outside 0.05..10"});
  ExpectFailure(Run("encode --kind wallpaper --name ok --rotate 45" + io), 2, {"--rotate: 45 is not a multiple of 90"});
  ExpectFailure(Run("encode --kind banner --name ok" + io), 2,
                {"--kind: 'banner' is neither wallpaper nor picture-id"});
  ExpectFailure(Run("encode --name ok" + io), 2, {"--kind is required"});
  ExpectFailure(Run("encode --kind wallpaper --name ok --frame 3" + io), 2, {"--frame: '3' is not X,Y"});
  ExpectFailure(Run("encode --kind wallpaper --name ok '" + Path("missing.jpg") + "' '" + Path("out.rec") + "'"), 1,
                {"missing.jpg", kOpenFailed});
  EXPECT_FALSE(std::filesystem::exists(Path("out.rec")));

  // A record of the wrong size is refused without producing an image.
  { std::ofstream(Path("short.rec"), std::ios::binary) << std::string(15647, '\0'); }
  ExpectFailure(Run("decode '" + Path("short.rec") + "' '" + Path("x.png") + "'"), 1,
                {"short.rec", "not a handset picture record (15647 bytes"});
  EXPECT_FALSE(std::filesystem::exists(Path("x.png")));
  ExpectFailure(Run("decode '" + Path("short.rec") + "' '" + Path("x.gif") + "'"), 2,
                {"the output's extension must be"});

  EXPECT_EQ(Run("--help").status, 0);
  EXPECT_EQ(Run("encode --help").status, 0);
  EXPECT_EQ(Run("decode --help").status, 0);
  const Outcome unknown = Run("frobnicate");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.stderrText.find("unknown verb 'frobnicate'"), std::string::npos) << unknown.stderrText;
}

// A camera photo above Qt's default allocation limit (about 33 million pixels) encodes; a
// cut-off JPEG, which the decoder would fill with grey, is refused.
TEST_F(PictureCliTest, EncodesLargePhotosAndRefusesCutOffOnes) {
  QImage photo(8200, 4200, QImage::Format_RGB888);
  photo.fill(QColor(200, 40, 30));
  ASSERT_TRUE(photo.save(QString::fromStdString(Path("camera.jpg")), "jpeg", 80));
  const Outcome encode =
      Run("encode --kind wallpaper --name Camera '" + Path("camera.jpg") + "' '" + Path("camera.rec") + "'");
  ASSERT_EQ(encode.status, 0) << encode.stderrText;
  EXPECT_EQ(encode.stderrText, "");
  std::ifstream in(Path("camera.rec"), std::ios::binary);
  const std::vector<std::uint8_t> record((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto decoded = CPictureRecord::Decode(record);
  ASSERT_TRUE(decoded);
  const Rgb corner = decoded->picture.Pixel(127, 109);
  EXPECT_NEAR(corner.r, 200, 12);
  EXPECT_NEAR(corner.g, 40, 12);

  ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(200, 150), Path("photo.jpg"), CImageFile::Format::Jpeg));
  const std::string whole = FileText("photo.jpg");
  { std::ofstream(Path("cut.jpg"), std::ios::binary) << whole.substr(0, whole.size() / 2); }
  ExpectFailure(Run("encode --kind wallpaper --name Cut '" + Path("cut.jpg") + "' '" + Path("cut.rec") + "'"), 1,
                {"cut.jpg", kOpenFailed, "the image data ends before the picture does"});
  EXPECT_FALSE(std::filesystem::exists(Path("cut.rec")));
}

// The picture and its thumbnail are written both or neither.
TEST_F(PictureCliTest, DecodeWritesPictureAndThumbnailTogether) {
  const std::string record = Path("sea.rec");
  ASSERT_EQ(Run("encode --kind picture-id --name Sea '" + Path("photo.png") + "' '" + record + "'").status, 0);

  // The thumbnail's folder does not exist: no picture either.
  ExpectFailure(Run("decode --thumbnail '" + Path("none/t.png") + "' '" + record + "' '" + Path("sea.png") + "'"), 1,
                {"none/t.png", kSaveFailed, "No such file or directory"});
  EXPECT_FALSE(std::filesystem::exists(Path("sea.png")));

  // The thumbnail's name is taken by a folder, found only when the files are put in place:
  // the picture written a moment before is taken back and the earlier file is there again.
  { std::ofstream(Path("sea.png"), std::ios::binary) << "earlier"; }
  std::filesystem::create_directory(Path("taken.png"));
  ExpectFailure(Run("decode --thumbnail '" + Path("taken.png") + "' '" + record + "' '" + Path("sea.png") + "'"), 1,
                {"taken.png", kSaveFailed});
  EXPECT_EQ(FileText("sea.png"), "earlier");
  // Nothing but the test's own files is left in the folder (no temporary or spare files).
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"photo.png", "sea.png", "sea.rec", "taken.png"}));

  // Both names free: both appear; the same file twice is refused.
  std::filesystem::remove(Path("taken.png"));
  const Outcome both = Run("decode --thumbnail '" + Path("t.bmp") + "' '" + record + "' '" + Path("sea.png") + "'");
  ASSERT_EQ(both.status, 0) << both.stderrText;
  EXPECT_EQ(CImageFile::Load(Path("t.bmp"))->Width(), 32);
  EXPECT_EQ(CImageFile::Load(Path("sea.png"))->Width(), 48);
  ExpectFailure(Run("decode --thumbnail '" + Path("sea.png") + "' '" + record + "' '" + Path("sea.png") + "'"), 2,
                {"OUT and THUMB must be different files"});
}

}  // namespace
