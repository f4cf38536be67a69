#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Helpers of the melody tests: a private temporary folder per test (it becomes the
// process's temporary folder, so the conversion chain's working files land there),
// WAVE files built byte by byte, and signal measurements.
namespace MelodyTest {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  // Names in the folder other than the given ones.
  std::vector<std::string> OtherFiles(const std::vector<std::string>& known) const;

  std::filesystem::path m_dir;
};

struct Format {
  std::uint16_t channels = 1;
  std::uint16_t bits = 16;
  std::uint32_t rate = 16000;
};

// Canonical 44-byte header followed by the data bytes.
std::vector<std::uint8_t> WaveBytes(const Format& format, const std::vector<std::uint8_t>& data);
// The same with the given format tag; tag 0xFFFE writes the 40-byte extensible "fmt "
// chunk whose SubFormat is the standard GUID of subFormat.
std::vector<std::uint8_t> TaggedWaveBytes(const Format& format, std::uint16_t tag, std::uint16_t subFormat,
                                          const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> Samples16(const std::vector<std::int16_t>& samples);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteWave(const std::string& path, const Format& format, const std::vector<std::uint8_t>& data);
// Interleaved 16-bit samples of every channel.
std::vector<std::int16_t> ReadSamples16(const std::string& path, Format* format = nullptr);

std::vector<double> Sine(double frequency, double amplitude, std::uint32_t rate, std::size_t count);
// Amplitude of the component at frequency (least-squares fit of a sine and cosine).
double ToneAmplitude(const std::vector<double>& x, double frequency, std::uint32_t rate);
double Rms(const std::vector<double>& x);

// Little-endian field writers for hand-made headers.
void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
void Put16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void Append(std::vector<std::uint8_t>& bytes, const std::string& text);
void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t value);

}  // namespace MelodyTest
