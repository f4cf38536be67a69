// orvane-cli picture, run as a user runs it: exit status, messages and output files.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "picture/ImageFile.h"
#include "picture/PictureRecord.h"
#include "picture/TestImages.h"

namespace {

struct Outcome {
  int status = -1;
  std::string stderrText;
};

class PictureCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("orvane-picture-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    ASSERT_TRUE(CImageFile::Save(SyntheticPhoto(200, 150), Path("photo.png"), CImageFile::Format::Png));
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  Outcome Run(const std::string& arguments) const {
    const std::string errFile = Path("stderr.txt");
    const std::string command =
        std::string("'") + ORVANE_OUTPUT_DIR + "/orvane-cli' picture " + arguments + " >/dev/null 2>'" + errFile + "'";
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    outcome.stderrText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return outcome;
  }

  std::filesystem::path m_dir;
};

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
  Outcome o = Run("encode --kind wallpaper --name ' lead'" + io);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.stderrText.find("The specified file name could not be used."), std::string::npos) << o.stderrText;
  o = Run("encode --kind wallpaper --name 1234567890123456" + io);
  EXPECT_EQ(o.status, 1);
  o = Run("encode --kind wallpaper --name ok --brightness 1001" + io);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.stderrText.find("--brightness"), std::string::npos) << o.stderrText;
  EXPECT_EQ(Run("encode --kind wallpaper --name ok --scale 11" + io).status, 2);
  EXPECT_EQ(Run("encode --kind wallpaper --name ok --rotate 45" + io).status, 2);
  EXPECT_EQ(Run("encode --kind banner --name ok" + io).status, 2);
  EXPECT_EQ(Run("encode --name ok" + io).status, 2);
  EXPECT_EQ(Run("encode --kind wallpaper --name ok --frame 3" + io).status, 2);
  o = Run("encode --kind wallpaper --name ok '" + Path("missing.jpg") + "' '" + Path("out.rec") + "'");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.stderrText.find("missing.jpg"), std::string::npos) << o.stderrText;
  EXPECT_FALSE(std::filesystem::exists(Path("out.rec")));
  // Exactly one line on standard error for a failure.
  EXPECT_EQ(std::count(o.stderrText.begin(), o.stderrText.end(), '\n'), 1);

  // A record of the wrong size is refused without producing an image.
  { std::ofstream(Path("short.rec"), std::ios::binary) << std::string(15647, '\0'); }
  o = Run("decode '" + Path("short.rec") + "' '" + Path("x.png") + "'");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.stderrText.find("15647"), std::string::npos) << o.stderrText;
  EXPECT_FALSE(std::filesystem::exists(Path("x.png")));
  EXPECT_EQ(Run("decode '" + Path("short.rec") + "' '" + Path("x.gif") + "'").status, 2);

  EXPECT_EQ(Run("--help").status, 0);
  EXPECT_EQ(Run("encode --help").status, 0);
  EXPECT_EQ(Run("decode --help").status, 0);
  EXPECT_EQ(Run("frobnicate").status, 2);
}

}  // namespace
