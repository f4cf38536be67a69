#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "MelodyTestSupport.h"
#include "support/CliRunner.h"

using namespace MelodyTest;

namespace {

using CliRun = CCliRunner::Outcome;

class CliTest : public TempDirTest {
 protected:
  static CliRun Cli(const std::string& args) { return CCliRunner::RunLine(args); }

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
  EXPECT_EQ(r.err,
            "orvane-cli: " + Path("broken.wav") + ": cannot be read or written, or is not a valid RIFF/WAVE file\n");

  WriteWave(Path("fast.wav"), {1, 16, 96000}, std::vector<std::uint8_t>(200));
  r = Cli("wave convert " + Path("fast.wav") + " " + Path("never.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvane-cli: " + Path("fast.wav") + ": unsupported audio format: 96000 Hz\n");
  EXPECT_FALSE(std::filesystem::exists(Path("never.wav")));

  auto alaw = WaveBytes({1, 8, 8000}, std::vector<std::uint8_t>(100, 0xD5));
  Put16(alaw, 20, 6);
  WriteBytes(Path("alaw.wav"), alaw);
  r = Cli("wave convert " + Path("alaw.wav") + " " + Path("never.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvane-cli: " + Path("alaw.wav") + ": unsupported audio format: format tag 6 (PCM required)\n");

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
  EXPECT_EQ(r.err, "orvane-cli: " + Path("nodir/x.gc") + ": cannot be written: No such file or directory\n");
  r = Cli("melody decode " + Path("missing.gc") + " " + Path("x.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvane-cli: " + Path("missing.gc") + ": No such file or directory\n");
  EXPECT_FALSE(std::filesystem::exists(Path("x.wav")));
  EXPECT_EQ(Cli("melody").status, 2);
  EXPECT_EQ(Cli("melody encode --help").status, 0);
}

namespace {

std::uint32_t Field32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes.size() < at + 4 ? 0
                               : static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                                            (bytes[at + 3] << 24));
}

// The header of a converted file, as any WAVE reader sees it: a 16-byte PCM "fmt " body.
void ExpectMelodyHeader(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  ASSERT_GE(bytes.size(), 44u) << name;
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF") << name;
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ") << name;
  EXPECT_EQ(Field32(bytes, 16), 16u) << name;
  EXPECT_EQ(bytes[20] | (bytes[21] << 8), 1) << name << ": format tag";
  EXPECT_EQ(bytes[22] | (bytes[23] << 8), 1) << name << ": channels";
  EXPECT_EQ(Field32(bytes, 24), 16000u) << name;
  EXPECT_EQ(Field32(bytes, 28), 32000u) << name << ": bytes per second";
  EXPECT_EQ(bytes[32] | (bytes[33] << 8), 2) << name;
  EXPECT_EQ(bytes[34] | (bytes[35] << 8), 16) << name;
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data") << name;
  EXPECT_EQ(Field32(bytes, 40), bytes.size() - 44) << name;
  EXPECT_EQ(Field32(bytes, 4), bytes.size() - 8) << name;
}

}  // namespace

TEST_F(CliTest, ConvertsExtensibleStreamedAndWideFiles) {
  std::vector<std::uint8_t> data(44100 / 10 * 4);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i * 37);
  }
  WriteBytes(Path("ext.wav"), TaggedWaveBytes({2, 16, 44100}, 0xFFFE, 1, data));
  CliRun r = Cli("wave convert " + Path("ext.wav") + " " + Path("ext16.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ExpectMelodyHeader(ReadBytes(Path("ext16.wav")), "extensible");

  // A writer streaming to a pipe leaves placeholder sizes: the file opens with a warning.
  auto streamed = WaveBytes({1, 16, 8000}, Samples16(std::vector<std::int16_t>(801, 1000)));
  Put32(streamed, 4, 0xFFFFFFFF);
  Put32(streamed, 40, 0xFFFFFFFF);
  WriteBytes(Path("streamed.wav"), streamed);
  r = Cli("wave convert " + Path("streamed.wav") + " " + Path("s16.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("streamed.wav: the data size (4294967295 bytes) does not match the file; using the 801 whole "
                       "frames present"),
            std::string::npos)
      << r.err;
  const auto s16 = ReadBytes(Path("s16.wav"));
  ExpectMelodyHeader(s16, "streamed");
  EXPECT_NEAR(static_cast<double>(s16.size() - 44) / 2, 1602, 4);
  r = Cli("wave info " + Path("streamed.wav"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("frames: 801"), std::string::npos) << r.out;

  std::vector<std::uint8_t> wide(48000 / 10 * 3 * 2, 0);
  WriteWave(Path("s24.wav"), {2, 24, 48000}, wide);
  r = Cli("wave convert " + Path("s24.wav") + " " + Path("n24.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("note: " + Path("s24.wav") + ": 24-bit integer samples narrowed to 16 bits"), std::string::npos)
      << r.err;
  ExpectMelodyHeader(ReadBytes(Path("n24.wav")), "24-bit");

  WriteBytes(Path("alaw.wav"), TaggedWaveBytes({1, 8, 8000}, 0xFFFE, 6, std::vector<std::uint8_t>(800, 0xD5)));
  r = Cli("wave convert " + Path("alaw.wav") + " " + Path("never.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvane-cli: " + Path("alaw.wav") +
                       ": unsupported audio format: extensible format with SubFormat tag 6 (PCM required)\n");
  r = Cli("melody encode " + Path("alaw.wav") + " " + Path("never.gc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("SubFormat tag 6 (PCM required)"), std::string::npos) << r.err;
  EXPECT_EQ(OtherFiles({"ext.wav", "ext16.wav", "streamed.wav", "s16.wav", "s24.wav", "n24.wav", "alaw.wav"}),
            std::vector<std::string>{});
}

TEST_F(CliTest, RefusesFifosAndDevicesWithoutBlocking) {
  WriteWave(Path("in.wav"), {1, 16, 16000}, Samples16(std::vector<std::int16_t>(100, 5)));
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  for (const std::string verb : {"wave convert", "melody encode"}) {
    const CliRun r = Cli(verb + " " + Path("pipe") + " " + Path("never.out"));
    EXPECT_EQ(r.status, 1) << verb;
    EXPECT_EQ(r.err,
              "orvane-cli: " + Path("pipe") + ": is not a regular file (FIFOs, devices and folders cannot be read)\n")
        << verb;
  }
  CliRun r = Cli("wave info " + Path("pipe"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;
  r = Cli("melody decode " + Path("pipe") + " " + Path("never.wav"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;

  // Outputs: a FIFO stays a FIFO, and the refusal points to "-".
  r = Cli("wave convert " + Path("in.wav") + " " + Path("pipe"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvane-cli: " + Path("pipe") +
                       ": cannot be written: is not a regular file (give - for standard output)\n");
  EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
  // A link to a pipe, as /dev/stdout is, stays as it is (the test keeps to its own folder:
  // a faulty writer running as root must not be able to replace a system device).
  std::filesystem::create_symlink("pipe", Path("stdout-link"));
  r = Cli("wave convert " + Path("in.wav") + " " + Path("stdout-link"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvane-cli: " + Path("stdout-link") +
                       ": cannot be written: is not a regular file (give - for standard output)\n");
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(Path("stdout-link"))));
  EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
  EXPECT_EQ(OtherFiles({"in.wav", "pipe", "stdout-link"}), std::vector<std::string>{});
}

TEST_F(CliTest, WritesThroughLinksAndToStandardOutput) {
  WriteWave(Path("in.wav"), {1, 16, 8000}, Samples16(std::vector<std::int16_t>(800, 300)));
  std::filesystem::create_directory(Path("real"));
  WriteBytes(Path("real/out.wav"), {'o', 'l', 'd'});
  std::filesystem::create_symlink("real/out.wav", Path("link.wav"));
  CliRun r = Cli("wave convert " + Path("in.wav") + " " + Path("link.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(Path("link.wav"))));
  ExpectMelodyHeader(ReadBytes(Path("real/out.wav")), "through a link");
  EXPECT_EQ(OtherFiles({"in.wav", "real", "link.wav"}), std::vector<std::string>{});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("real")), std::filesystem::directory_iterator()), 1);

  r = Cli("wave convert " + Path("in.wav") + " -");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::uint8_t> out(r.out.begin(), r.out.end());
  ExpectMelodyHeader(out, "standard output");
  EXPECT_EQ(out, ReadBytes(Path("real/out.wav")));
  r = Cli("melody encode " + Path("in.wav") + " -");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.size() % 45, 0u);
  EXPECT_FALSE(r.out.empty());
  EXPECT_EQ(OtherFiles({"in.wav", "real", "link.wav"}), std::vector<std::string>{});
}

TEST_F(CliTest, InterruptCancelsAndLeavesNothingBehind) {
  // Long enough that the conversion is still running when the signal arrives.
  WriteWave(Path("long.wav"), {1, 16, 11025}, std::vector<std::uint8_t>(11025 * 2 * 600, 7));
  std::filesystem::create_directory(Path("tmp"));
  for (const int number : {SIGINT, SIGTERM}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::setenv("TMPDIR", Path("tmp").c_str(), 1);
      std::freopen(Path("stderr.txt").c_str(), "w", stderr);
      const std::string tool = std::string(ORVANE_OUTPUT_DIR) + "/orvane-cli";
      ::execl(tool.c_str(), tool.c_str(), "wave", "convert", Path("long.wav").c_str(), Path("out.wav").c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // The working folder appears once the conversion has started.
    for (int i = 0; i < 2000 && std::filesystem::is_empty(Path("tmp")); ++i) {
      ::usleep(5000);
    }
    ASSERT_FALSE(std::filesystem::is_empty(Path("tmp")));
    ::kill(pid, number);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw)) << number;
    EXPECT_EQ(WEXITSTATUS(raw), 1) << number;
    EXPECT_EQ(Slurp(Path("stderr.txt")), "orvane-cli: " + Path("long.wav") + ": cancelled\n") << number;
    std::filesystem::remove(Path("stderr.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(Path("tmp"))) << number;
    EXPECT_EQ(OtherFiles({"long.wav", "tmp"}), std::vector<std::string>{}) << number;
  }
}
