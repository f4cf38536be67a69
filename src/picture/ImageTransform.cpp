#include "picture/ImageTransform.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Catmull-Rom: the cubic with a = -0.5, radius 2.
double CubicWeight(double x) {
  x = std::fabs(x);
  if (x < 1.0) {
    return (1.5 * x - 2.5) * x * x + 1.0;
  }
  if (x < 2.0) {
    return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
  }
  return 0.0;
}

// The source positions and weights that make up each output position along one axis.
struct Taps {
  int first = 0;
  std::vector<float> weights;
};

std::vector<Taps> BuildTaps(int inSize, int outSize) {
  const double scale = static_cast<double>(outSize) / inSize;
  const double stretch = scale < 1.0 ? 1.0 / scale : 1.0;
  const double radius = 2.0 * stretch;
  std::vector<Taps> taps(static_cast<std::size_t>(outSize));
  for (int o = 0; o < outSize; ++o) {
    const double centre = (o + 0.5) / scale - 0.5;
    const int left = static_cast<int>(std::ceil(centre - radius));
    const int right = static_cast<int>(std::floor(centre + radius));
    const int first = std::clamp(left, 0, inSize - 1);
    const int last = std::clamp(right, 0, inSize - 1);
    std::vector<double> w(static_cast<std::size_t>(last - first + 1), 0.0);
    double total = 0.0;
    for (int i = left; i <= right; ++i) {
      const double k = CubicWeight((i - centre) / stretch);
      w[static_cast<std::size_t>(std::clamp(i, 0, inSize - 1) - first)] += k;
      total += k;
    }
    taps[o].first = first;
    for (double v : w) {
      taps[o].weights.push_back(static_cast<float>(total != 0.0 ? v / total : 0.0));
    }
  }
  return taps;
}

std::uint8_t ToByte(float v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

std::optional<CRgbImage> CImageTransform::Rotate(const CRgbImage& image, int hundredthsOfDegree) {
  if (hundredthsOfDegree % 9000 != 0) {
    return std::nullopt;
  }
  const int turns = ((hundredthsOfDegree / 9000) % 4 + 4) % 4;
  if (turns == 0 || image.IsEmpty()) {
    return image;
  }
  const int w = image.Width();
  const int h = image.Height();
  CRgbImage out = turns == 2 ? CRgbImage(w, h) : CRgbImage(h, w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = image.Pixel(x, y);
      switch (turns) {
        case 1:  // clockwise: the left column becomes the top row
          out.SetPixel(h - 1 - y, x, c);
          break;
        case 2:
          out.SetPixel(w - 1 - x, h - 1 - y, c);
          break;
        default:  // anticlockwise
          out.SetPixel(y, w - 1 - x, c);
          break;
      }
    }
  }
  return out;
}

CRgbImage CImageTransform::Resize(const CRgbImage& image, int width, int height) {
  if (width < 1 || height < 1 || image.IsEmpty()) {
    return CRgbImage();
  }
  if (width == image.Width() && height == image.Height()) {
    return image;
  }
  const int inW = image.Width();
  const int inH = image.Height();
  const std::vector<Taps> across = BuildTaps(inW, width);
  const std::vector<Taps> down = BuildTaps(inH, height);

  // Horizontal pass into floats, then the vertical pass into bytes.
  std::vector<float> middle(static_cast<std::size_t>(width) * inH * 3);
  for (int y = 0; y < inH; ++y) {
    const std::uint8_t* row = image.Row(y);
    float* out = &middle[static_cast<std::size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x) {
      float acc[3] = {0, 0, 0};
      const Taps& t = across[x];
      for (std::size_t i = 0; i < t.weights.size(); ++i) {
        const std::uint8_t* p = row + (t.first + static_cast<int>(i)) * 3;
        acc[0] += t.weights[i] * p[0];
        acc[1] += t.weights[i] * p[1];
        acc[2] += t.weights[i] * p[2];
      }
      out[3 * x] = acc[0];
      out[3 * x + 1] = acc[1];
      out[3 * x + 2] = acc[2];
    }
  }
  CRgbImage result(width, height);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<float> acc(stride);
  for (int y = 0; y < height; ++y) {
    std::fill(acc.begin(), acc.end(), 0.0f);
    const Taps& t = down[y];
    for (std::size_t i = 0; i < t.weights.size(); ++i) {
      const float* src = &middle[static_cast<std::size_t>(t.first + static_cast<int>(i)) * stride];
      const float wgt = t.weights[i];
      for (std::size_t k = 0; k < stride; ++k) {
        acc[k] += wgt * src[k];
      }
    }
    std::uint8_t* out = result.Row(y);
    for (std::size_t k = 0; k < stride; ++k) {
      out[k] = ToByte(acc[k]);
    }
  }
  return result;
}

PictureSize CImageTransform::ScaledSize(int width, int height, float factor) {
  const auto scaled = [factor](int v) {
    return static_cast<int>(std::max(1.0, std::round(static_cast<double>(v) * static_cast<double>(factor))));
  };
  return PictureSize{scaled(width), scaled(height)};
}
