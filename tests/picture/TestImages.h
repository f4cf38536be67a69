#pragma once

#include <cmath>
#include <cstdint>

#include "picture/RgbImage.h"

// Synthetic pictures with the traits of photographs: smooth gradients, edges and fine texture.
inline CRgbImage SyntheticPhoto(int width, int height, unsigned seed = 1) {
  CRgbImage image(width, height);
  std::uint32_t state = seed * 2654435761u + 1;
  const auto noise = [&state]() {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 24) % 5) - 2;
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double fx = double(x) / width;
      const double fy = double(y) / height;
      int r = static_cast<int>(255 * fx);
      int g = static_cast<int>(128 + 100 * std::sin(6.0 * fy + 3.0 * fx));
      int b = static_cast<int>(255 * (1.0 - fy));
      if ((x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) < width * height / 16) {
        r = 230 + noise();
        g = 120 + noise();
        b = 40 + noise();
      }
      const auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
      image.SetPixel(x, y, Rgb{clamp(r + noise()), clamp(g + noise()), clamp(b + noise())});
    }
  }
  return image;
}

inline double Psnr(const CRgbImage& a, const CRgbImage& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.Bytes().size(); ++i) {
    const double d = double(a.Bytes()[i]) - double(b.Bytes()[i]);
    sum += d * d;
  }
  const double mse = sum / double(a.Bytes().size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}
