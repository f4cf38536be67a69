#include "MelodyTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>

#include "melody/MelodyThreadState.h"
#include "melody/WaveFile.h"

namespace fs = std::filesystem;

namespace MelodyTest {

void TempDirTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "melody-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  m_dir = pattern;
  ::setenv("TMPDIR", m_dir.c_str(), 1);
  MelodyThreadState().SetCancelRequest(false);
}

void TempDirTest::TearDown() {
  MelodyThreadState().SetCancelRequest(false);
  ::unsetenv("TMPDIR");
  std::error_code ec;
  fs::remove_all(m_dir, ec);
}

std::vector<std::string> TempDirTest::OtherFiles(const std::vector<std::string>& known) const {
  std::vector<std::string> others;
  for (const auto& entry : fs::directory_iterator(m_dir)) {
    const std::string name = entry.path().filename().string();
    bool listed = false;
    for (const auto& k : known) {
      listed = listed || k == name;
    }
    if (!listed) {
      others.push_back(name);
    }
  }
  return others;
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

void Put16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Append(std::vector<std::uint8_t>& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  Put32(bytes, bytes.size() - 4, value);
}

std::vector<std::uint8_t> WaveBytes(const Format& format, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes;
  Append(bytes, "RIFF");
  Append32(bytes, static_cast<std::uint32_t>(36 + data.size()));
  Append(bytes, "WAVEfmt ");
  Append32(bytes, 16);
  const std::uint16_t align = static_cast<std::uint16_t>(format.channels * format.bits / 8);
  bytes.resize(bytes.size() + 16);
  Put16(bytes, 20, 1);
  Put16(bytes, 22, format.channels);
  Put32(bytes, 24, format.rate);
  Put32(bytes, 28, format.rate * align);
  Put16(bytes, 32, align);
  Put16(bytes, 34, format.bits);
  Append(bytes, "data");
  Append32(bytes, static_cast<std::uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

std::vector<std::uint8_t> TaggedWaveBytes(const Format& format, std::uint16_t tag, std::uint16_t subFormat,
                                          const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes = WaveBytes(format, data);
  Put16(bytes, 20, tag);
  if (tag != 0xFFFE) {
    return bytes;
  }
  std::vector<std::uint8_t> extension(24, 0);
  Put16(extension, 0, 22);           // extension size
  Put16(extension, 2, format.bits);  // valid bits
  Put32(extension, 4, format.channels == 2 ? 3 : 4);
  Put16(extension, 8, subFormat);
  const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::copy(std::begin(tail), std::end(tail), extension.begin() + 10);
  bytes.insert(bytes.begin() + 36, extension.begin(), extension.end());
  Put32(bytes, 16, 40);
  Put32(bytes, 4, static_cast<std::uint32_t>(bytes.size() - 8));
  return bytes;
}

std::vector<std::uint8_t> Samples16(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> data(samples.size() * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    data[2 * i] = static_cast<std::uint8_t>(samples[i]);
    data[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(samples[i]) >> 8);
  }
  return data;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWave(const std::string& path, const Format& format, const std::vector<std::uint8_t>& data) {
  WriteBytes(path, WaveBytes(format, data));
}

std::vector<std::int16_t> ReadSamples16(const std::string& path, Format* format) {
  CWaveFile file;
  file.OpenR(path);
  file.ReadHeader();
  std::uint32_t size = 0;
  file.SeekData(&size);
  std::vector<std::int16_t> samples(size / 2);
  std::vector<std::uint8_t> bytes(size);
  EXPECT_EQ(file.Read(bytes.data(), size), size);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  if (format != nullptr) {
    format->channels = file.m_wChannels;
    format->bits = file.m_wBitsPerSample;
    format->rate = file.m_dwSamplesPerSec;
  }
  return samples;
}

std::vector<double> Sine(double frequency, double amplitude, std::uint32_t rate, std::size_t count) {
  std::vector<double> x(count);
  for (std::size_t i = 0; i < count; ++i) {
    x[i] = amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
  }
  return x;
}

double ToneAmplitude(const std::vector<double>& x, double frequency, std::uint32_t rate) {
  double s = 0.0;
  double c = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double w = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
    s += x[i] * std::sin(w);
    c += x[i] * std::cos(w);
  }
  return 2.0 * std::hypot(s, c) / static_cast<double>(x.size());
}

double Rms(const std::vector<double>& x) {
  double sum = 0.0;
  for (double v : x) {
    sum += v * v;
  }
  return x.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(x.size()));
}

}  // namespace MelodyTest
