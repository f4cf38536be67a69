#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "MelodyTestSupport.h"

using namespace MelodyTest;

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public TempDirTest {
 protected:
  CliRun Cli(const std::string& args) {
    const std::string command =
        std::string(ORVANE_OUTPUT_DIR) + "/orvane-cli " + args + " >" + Path("stdout.txt") + " 2>" + Path("stderr.txt");
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(Path("stdout.txt"));
    run.err = Slurp(Path("stderr.txt"));
    std::filesystem::remove(Path("stdout.txt"));
    std::filesystem::remove(Path("stderr.txt"));
    return run;
  }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) {
      n += c == '\n' ? 1 : 0;
    }
    return n;
  }
};

}  // namespace

TEST_F(CliTest, WaveInfoAndConvert) {
  std::vector<std::uint8_t> data(44100 / 5 * 2);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i % 2 == 0 ? 128 + (i / 2) % 50 : 128);
  }
  WriteWave(Path("st8.wav"), {2, 8, 44100}, data);
  CliRun r = Cli("wave info " + Path("st8.wav"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("sample rate: 44100 Hz"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("channels: 2"), std::string::npos);

  r = Cli("wave convert --right " + Path("st8.wav") + " " + Path("out.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  Format format;
  const auto samples = ReadSamples16(Path("out.wav"), &format);
  EXPECT_EQ(format.rate, 16000u);
  EXPECT_EQ(format.channels, 1);
  EXPECT_NEAR(static_cast<double>(samples.size()), 44100 / 5 * 16000.0 / 44100, 6.0);

  WriteBytes(Path("broken.wav"), {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'W', 'A'});
  r = Cli("wave info " + Path("broken.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.err), 1);
  EXPECT_NE(r.err.find("broken.wav"), std::string::npos);

  WriteWave(Path("fast.wav"), {1, 16, 96000}, std::vector<std::uint8_t>(200));
  r = Cli("wave convert " + Path("fast.wav") + " " + Path("never.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("96000 Hz"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("never.wav")));

  auto alaw = WaveBytes({1, 8, 8000}, std::vector<std::uint8_t>(100, 0xD5));
  Put16(alaw, 20, 6);
  WriteBytes(Path("alaw.wav"), alaw);
  r = Cli("wave convert " + Path("alaw.wav") + " " + Path("never.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("format tag 6"), std::string::npos) << r.err;

  EXPECT_EQ(Cli("wave").status, 2);
  EXPECT_EQ(Cli("wave convert onlyone.wav").status, 2);
  EXPECT_EQ(Cli("wave --help").status, 0);
  EXPECT_EQ(Cli("wave convert --help").status, 0);
}

TEST_F(CliTest, MelodyEncodeAndDecode) {
  WriteWave(Path("short.wav"), {1, 16, 16000}, Samples16(std::vector<std::int16_t>(100, 2000)));
  CliRun r = Cli("melody encode " + Path("short.wav") + " " + Path("short.gc"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(Path("short.gc")).size(), 90u);

  r = Cli("melody decode " + Path("short.gc") + " " + Path("back.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  Format format;
  EXPECT_EQ(ReadSamples16(Path("back.wav"), &format).size(), 320u);
  EXPECT_EQ(format.rate, 16000u);

  // Files in other formats are converted before encoding.
  WriteWave(Path("cd.wav"), {2, 16, 44100}, std::vector<std::uint8_t>(44100 / 10 * 4, 0));
  r = Cli("melody encode " + Path("cd.wav") + " " + Path("cd.gc"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(Path("cd.gc")).size(), 50u * 9);

  r = Cli("melody encode " + Path("short.wav") + " " + Path("nodir/x.gc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.err), 1);
  EXPECT_EQ(Cli("melody decode " + Path("missing.gc") + " " + Path("x.wav")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));
  EXPECT_EQ(Cli("melody").status, 2);
  EXPECT_EQ(Cli("melody encode --help").status, 0);
}
