// WAVE files for the melody window tests, and the folder screenshots go to.
#pragma once

#include <QDir>
#include <QString>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace melodygui {

inline void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
  }
}

// A canonical PCM WAVE file (tag 1 unless given) with the given data bytes.
inline bool WriteWave(const std::string& path, std::uint16_t channels, std::uint16_t bits, std::uint32_t rate,
                      const std::vector<std::uint8_t>& data, std::uint16_t tag = 1) {
  std::vector<std::uint8_t> b;
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  Put32(b, static_cast<std::uint32_t>(36 + data.size()));
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, tag);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * align);
  Put16(b, align);
  Put16(b, bits);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(out);
}

inline std::vector<std::uint8_t> Bytes16(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> b;
  b.reserve(samples.size() * 2);
  for (const std::int16_t s : samples) {
    Put16(b, static_cast<std::uint16_t>(s));
  }
  return b;
}

// A sine of the given frequency and amplitude, 16-bit mono.
inline std::vector<std::int16_t> Tone(double frequency, double amplitude, std::uint32_t rate, std::size_t frames) {
  std::vector<std::int16_t> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    samples[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * frequency * i / rate)));
  }
  return samples;
}

inline QString ScreenshotDir() {
  const QString dir = QDir(QStringLiteral(ORVANE_OUTPUT_DIR)).absoluteFilePath(QStringLiteral("../screenshots"));
  QDir().mkpath(dir);
  return QDir::cleanPath(dir);
}

}  // namespace melodygui
