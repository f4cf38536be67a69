#include "picture/ToneCurve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kContrastReach = 0.75;
constexpr double kBrightnessReach = 0.75;

std::uint8_t ToLevel(double v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

int CToneCurve::Clamp(int value) {
  return std::clamp(value, kMin, kMax);
}

CToneCurve::Table CToneCurve::Identity() {
  Table t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = static_cast<std::uint8_t>(i);
  }
  return t;
}

CToneCurve::Table CToneCurve::Contrast(int value) {
  const double c = Clamp(value) / 1000.0 * kContrastReach;
  const double slope = std::tan((1.0 + c) * std::numbers::pi / 4.0);
  Table t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = ToLevel((i - 127.5) * slope + 127.5);
  }
  return t;
}

CToneCurve::Table CToneCurve::Brightness(int value) {
  const double b = Clamp(value) / 1000.0 * kBrightnessReach;
  Table t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = ToLevel(b >= 0 ? i + (255 - i) * b : i * (1.0 + b));
  }
  return t;
}

CToneCurve::Table CToneCurve::Compose(const Table& first, const Table& second) {
  Table t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = second[first[i]];
  }
  return t;
}

void CToneCurve::Apply(CRgbImage& image, const Table& red, const Table& green, const Table& blue) {
  auto& bytes = image.Bytes();
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    bytes[i] = red[bytes[i]];
    bytes[i + 1] = green[bytes[i + 1]];
    bytes[i + 2] = blue[bytes[i + 2]];
  }
}
