#include "picture/ColorQuantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <unordered_set>

#include "picture/Rgb565.h"

namespace {

constexpr int kMaxKMeansRounds = 24;

// One distinct colour of the image with the number of pixels that have it.
struct WeightedColor {
  float c[3];
  float weight;
};

std::uint32_t Key(Rgb c) {
  return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}
Rgb FromKey(std::uint32_t k) {
  return Rgb{static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)};
}

std::vector<WeightedColor> DistinctColors(const CRgbImage& image) {
  std::vector<std::uint32_t> keys;
  keys.reserve(image.PixelCount());
  const auto& bytes = image.Bytes();
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    keys.push_back(Key(Rgb{bytes[i], bytes[i + 1], bytes[i + 2]}));
  }
  std::sort(keys.begin(), keys.end());
  std::vector<WeightedColor> colors;
  for (std::size_t i = 0; i < keys.size();) {
    std::size_t j = i;
    while (j < keys.size() && keys[j] == keys[i]) {
      ++j;
    }
    const Rgb c = FromKey(keys[i]);
    colors.push_back(WeightedColor{{float(c.r), float(c.g), float(c.b)}, float(j - i)});
    i = j;
  }
  return colors;
}

// The levels the handset can show on one channel, ascending.
template <int N>
struct ChannelLevels {
  std::array<std::uint8_t, N> level{};
  constexpr ChannelLevels() {
    for (int i = 0; i < N; ++i) {
      level[i] = N == 32 ? Level5(unsigned(i)) : Level6(unsigned(i));
    }
  }
  std::uint8_t Nearest(float v) const {
    const auto it = std::lower_bound(level.begin(), level.end(), v, [](std::uint8_t l, float x) { return l < x; });
    if (it == level.begin()) {
      return *it;
    }
    if (it == level.end()) {
      return level.back();
    }
    const std::uint8_t above = *it;
    const std::uint8_t below = *(it - 1);
    return (v - below) <= (above - v) ? below : above;
  }
};

constexpr ChannelLevels<32> kLevels5;
constexpr ChannelLevels<64> kLevels6;

// The exact handset colour nearest to (r, g, b); the lattice is a product of the three
// channel level sets, so the nearest point is found channel by channel.
Rgb Snap(const float c[3]) {
  return Rgb{kLevels5.Nearest(c[0]), kLevels6.Nearest(c[1]), kLevels5.Nearest(c[2])};
}

float Distance(const float a[3], Rgb b) {
  const float dr = a[0] - b.r;
  const float dg = a[1] - b.g;
  const float db = a[2] - b.b;
  return dr * dr + dg * dg + db * db;
}

// Nearest palette colour by exhaustive search, pruned along the palette's principal
// axis: entries sorted by their projection on a unit axis are at least as far from a
// colour as their projections are, so the scan stops once that gap alone is too big.
class CNearestSearch {
 public:
  explicit CNearestSearch(const std::vector<Rgb>& palette) {
    ChooseAxis(palette);
    std::vector<int> order(palette.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<float> proj(palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i) {
      proj[i] = Project(palette[i].r, palette[i].g, palette[i].b);
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) { return proj[a] < proj[b]; });
    for (int i : order) {
      m_entries.push_back(Entry{proj[i], {float(palette[i].r), float(palette[i].g), float(palette[i].b)}, i});
    }
  }

  int Find(const float c[3]) const {
    const float p = Project(c[0], c[1], c[2]);
    const auto start =
        std::lower_bound(m_entries.begin(), m_entries.end(), p, [](const Entry& e, float x) { return e.proj < x; }) -
        m_entries.begin();
    float best = std::numeric_limits<float>::max();
    int bestIndex = 0;
    const int n = static_cast<int>(m_entries.size());
    for (int i = static_cast<int>(start); i < n; ++i) {
      const float gap = m_entries[i].proj - p;
      if (gap * gap >= best) {
        break;
      }
      Consider(m_entries[i], c, best, bestIndex);
    }
    for (int i = static_cast<int>(start) - 1; i >= 0; --i) {
      const float gap = p - m_entries[i].proj;
      if (gap * gap >= best) {
        break;
      }
      Consider(m_entries[i], c, best, bestIndex);
    }
    return bestIndex;
  }

 private:
  struct Entry {
    float proj;
    float c[3];
    int index;
  };

  static void Consider(const Entry& e, const float c[3], float& best, int& bestIndex) {
    const float dr = c[0] - e.c[0];
    const float dg = c[1] - e.c[1];
    const float db = c[2] - e.c[2];
    const float d = dr * dr + dg * dg + db * db;
    // Ties go to the lower palette index so the result does not depend on the scan order.
    if (d < best || (d == best && e.index < bestIndex)) {
      best = d;
      bestIndex = e.index;
    }
  }

  float Project(float r, float g, float b) const { return r * m_axis[0] + g * m_axis[1] + b * m_axis[2]; }

  // The direction of the largest spread of the palette (power iteration on its covariance).
  void ChooseAxis(const std::vector<Rgb>& palette) {
    double mean[3] = {0, 0, 0};
    for (const Rgb& c : palette) {
      mean[0] += c.r;
      mean[1] += c.g;
      mean[2] += c.b;
    }
    for (double& m : mean) {
      m /= std::max<std::size_t>(palette.size(), 1);
    }
    double cov[3][3] = {};
    for (const Rgb& c : palette) {
      const double d[3] = {c.r - mean[0], c.g - mean[1], c.b - mean[2]};
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
          cov[i][j] += d[i] * d[j];
        }
      }
    }
    double v[3] = {0.577, 0.577, 0.577};
    for (int round = 0; round < 16; ++round) {
      double next[3];
      for (int i = 0; i < 3; ++i) {
        next[i] = cov[i][0] * v[0] + cov[i][1] * v[1] + cov[i][2] * v[2];
      }
      const double len = std::sqrt(next[0] * next[0] + next[1] * next[1] + next[2] * next[2]);
      if (len < 1e-9) {
        break;
      }
      for (int i = 0; i < 3; ++i) {
        v[i] = next[i] / len;
      }
    }
    for (int i = 0; i < 3; ++i) {
      m_axis[i] = static_cast<float>(v[i]);
    }
  }

  float m_axis[3] = {0.577f, 0.577f, 0.577f};
  std::vector<Entry> m_entries;
};

// A box of the median cut: a run of the distinct colours with its squared error.
struct Box {
  std::size_t begin;
  std::size_t end;
  double error;
  int axis;
};

void Measure(const std::vector<WeightedColor>& colors, Box& box) {
  double w = 0;
  double sum[3] = {0, 0, 0};
  double sq[3] = {0, 0, 0};
  for (std::size_t i = box.begin; i < box.end; ++i) {
    const WeightedColor& c = colors[i];
    w += c.weight;
    for (int k = 0; k < 3; ++k) {
      sum[k] += c.weight * c.c[k];
      sq[k] += c.weight * c.c[k] * c.c[k];
    }
  }
  box.error = 0;
  double widest = -1;
  for (int k = 0; k < 3; ++k) {
    const double e = w > 0 ? sq[k] - sum[k] * sum[k] / w : 0;
    box.error += e;
    if (e > widest) {
      widest = e;
      box.axis = k;
    }
  }
}

// Splits the box along its widest axis where the two halves' squared error is smallest.
std::size_t BestSplit(std::vector<WeightedColor>& colors, const Box& box) {
  const int k = box.axis;
  std::sort(colors.begin() + static_cast<std::ptrdiff_t>(box.begin),
            colors.begin() + static_cast<std::ptrdiff_t>(box.end),
            [k](const WeightedColor& a, const WeightedColor& b) { return a.c[k] < b.c[k]; });
  double totalW = 0, totalS = 0, totalQ = 0;
  for (std::size_t i = box.begin; i < box.end; ++i) {
    totalW += colors[i].weight;
    totalS += colors[i].weight * colors[i].c[k];
    totalQ += colors[i].weight * colors[i].c[k] * colors[i].c[k];
  }
  double w = 0, s = 0, q = 0;
  double best = std::numeric_limits<double>::max();
  std::size_t split = box.begin + 1;
  for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
    w += colors[i].weight;
    s += colors[i].weight * colors[i].c[k];
    q += colors[i].weight * colors[i].c[k] * colors[i].c[k];
    if (colors[i].c[k] == colors[i + 1].c[k]) {
      continue;
    }
    const double rw = totalW - w;
    const double e = (q - s * s / w) + ((totalQ - q) - (totalS - s) * (totalS - s) / rw);
    if (e < best) {
      best = e;
      split = i + 1;
    }
  }
  return split;
}

std::vector<Rgb> MedianCut(std::vector<WeightedColor> colors, int count) {
  std::vector<Box> boxes{Box{0, colors.size(), 0, 0}};
  Measure(colors, boxes[0]);
  while (static_cast<int>(boxes.size()) < count) {
    const auto widest =
        std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.error < b.error; });
    if (widest->error <= 0 || widest->end - widest->begin < 2) {
      break;
    }
    Box low = *widest;
    const std::size_t split = BestSplit(colors, low);
    Box high{split, low.end, 0, 0};
    low.end = split;
    Measure(colors, low);
    Measure(colors, high);
    *widest = low;
    boxes.push_back(high);
  }
  std::vector<Rgb> centres;
  for (const Box& box : boxes) {
    double w = 0;
    double sum[3] = {0, 0, 0};
    for (std::size_t i = box.begin; i < box.end; ++i) {
      w += colors[i].weight;
      for (int k = 0; k < 3; ++k) {
        sum[k] += colors[i].weight * colors[i].c[k];
      }
    }
    const float mean[3] = {float(sum[0] / w), float(sum[1] / w), float(sum[2] / w)};
    centres.push_back(Snap(mean));
  }
  return centres;
}

// Lloyd rounds with every centre snapped to the handset lattice. The snapped mean is the
// best lattice colour for a cluster, so the error never grows through an update; centres
// that collapse onto another or lose all their colours restart at the worst-served colours.
std::vector<Rgb> RefineKMeans(const std::vector<WeightedColor>& colors, std::vector<Rgb> centres) {
  std::vector<int> assignment(colors.size(), -1);
  std::vector<Rgb> best = centres;
  double bestError = std::numeric_limits<double>::max();
  for (int round = 0; round < kMaxKMeansRounds; ++round) {
    const CNearestSearch search(centres);
    std::vector<std::array<double, 4>> sums(centres.size(), {0, 0, 0, 0});
    std::vector<float> cost(colors.size());
    double error = 0;
    bool changed = false;
    for (std::size_t i = 0; i < colors.size(); ++i) {
      const int n = search.Find(colors[i].c);
      changed = changed || n != assignment[i];
      assignment[i] = n;
      cost[i] = colors[i].weight * Distance(colors[i].c, centres[n]);
      error += cost[i];
      for (int k = 0; k < 3; ++k) {
        sums[n][k] += colors[i].weight * colors[i].c[k];
      }
      sums[n][3] += colors[i].weight;
    }
    if (error < bestError) {
      bestError = error;
      best = centres;
    }
    if (!changed) {
      break;
    }
    std::unordered_set<std::uint32_t> taken;
    std::vector<std::size_t> restart;
    for (std::size_t n = 0; n < centres.size(); ++n) {
      if (sums[n][3] > 0) {
        const float mean[3] = {float(sums[n][0] / sums[n][3]), float(sums[n][1] / sums[n][3]),
                               float(sums[n][2] / sums[n][3])};
        centres[n] = Snap(mean);
      }
      if (sums[n][3] <= 0 || !taken.insert(Key(centres[n])).second) {
        restart.push_back(n);
      }
    }
    if (!restart.empty()) {
      std::vector<std::size_t> worst(colors.size());
      std::iota(worst.begin(), worst.end(), 0);
      std::sort(worst.begin(), worst.end(), [&](std::size_t a, std::size_t b) { return cost[a] > cost[b]; });
      std::size_t next = 0;
      for (std::size_t n : restart) {
        while (next < worst.size() && !taken.insert(Key(Snap(colors[worst[next]].c))).second) {
          ++next;
        }
        if (next == worst.size()) {
          break;
        }
        centres[n] = Snap(colors[worst[next]].c);
        ++next;
      }
    }
  }
  // Drop duplicates that may remain when there were fewer colours than centres.
  std::unordered_set<std::uint32_t> seen;
  std::vector<Rgb> distinct;
  for (const Rgb& c : best) {
    if (seen.insert(Key(c)).second) {
      distinct.push_back(c);
    }
  }
  return distinct;
}

}  // namespace

std::vector<Rgb> CColorQuantizer::BuildPalette(const CRgbImage& image) {
  if (image.IsEmpty()) {
    return {};
  }
  const std::vector<WeightedColor> colors = DistinctColors(image);
  // When the handset colours nearest to the image's own colours are few enough, they are
  // the best palette there is.
  std::vector<std::uint32_t> snapped;
  for (const WeightedColor& c : colors) {
    snapped.push_back(Key(Snap(c.c)));
  }
  std::sort(snapped.begin(), snapped.end());
  snapped.erase(std::unique(snapped.begin(), snapped.end()), snapped.end());
  if (snapped.size() <= static_cast<std::size_t>(kMaxColors)) {
    std::vector<Rgb> palette;
    for (std::uint32_t k : snapped) {
      palette.push_back(FromKey(k));
    }
    return palette;
  }
  return RefineKMeans(colors, MedianCut(colors, kMaxColors));
}

namespace {

std::vector<std::uint8_t> MapNearest(const CRgbImage& image, const CNearestSearch& search) {
  std::vector<std::uint8_t> indices(image.PixelCount());
  const auto& bytes = image.Bytes();
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const float c[3] = {float(bytes[3 * i]), float(bytes[3 * i + 1]), float(bytes[3 * i + 2])};
    indices[i] = static_cast<std::uint8_t>(search.Find(c));
  }
  return indices;
}

// Floyd-Steinberg in serpentine order, passing on half of each pixel's error and at most
// 4 levels per channel. Small errors are those of smooth areas, where the palette lacks the
// in-between shades and nearest colours would leave flat patches and contours; large errors
// are those of edges and textures, where spreading them only scatters noise. Measured on
// photographs, this keeps the plain error close to nearest-colour mapping while the
// picture seen at a distance (blurred) comes out clearly closer to the original.
std::vector<std::uint8_t> MapDiffused(const CRgbImage& image, const std::vector<Rgb>& palette,
                                      const CNearestSearch& search) {
  constexpr float kStrength = 0.5f;
  constexpr float kLimit = 4.0f;
  const int w = image.Width();
  const int h = image.Height();
  std::vector<std::uint8_t> indices(image.PixelCount());
  std::vector<float> current(static_cast<std::size_t>(w + 2) * 3, 0.0f);
  std::vector<float> next(current.size(), 0.0f);
  for (int y = 0; y < h; ++y) {
    const bool forward = (y % 2) == 0;
    const int step = forward ? 1 : -1;
    const std::uint8_t* row = image.Row(y);
    for (int i = 0; i < w; ++i) {
      const int x = forward ? i : w - 1 - i;
      const std::size_t e = static_cast<std::size_t>(x + 1) * 3;
      float c[3];
      for (int k = 0; k < 3; ++k) {
        c[k] = std::clamp(row[3 * x + k] + current[e + k], 0.0f, 255.0f);
      }
      const int n = search.Find(c);
      indices[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(n);
      const std::uint8_t chosen[3] = {palette[n].r, palette[n].g, palette[n].b};
      for (int k = 0; k < 3; ++k) {
        const float err = std::clamp((c[k] - chosen[k]) * kStrength, -kLimit, kLimit);
        const std::size_t ahead = e + static_cast<std::size_t>(3 * step) + k;
        const std::size_t behind = e - static_cast<std::size_t>(3 * step) + k;
        current[ahead] += err * (7.0f / 16.0f);
        next[behind] += err * (3.0f / 16.0f);
        next[e + k] += err * (5.0f / 16.0f);
        next[ahead] += err * (1.0f / 16.0f);
      }
    }
    std::swap(current, next);
    std::fill(next.begin(), next.end(), 0.0f);
  }
  return indices;
}

}  // namespace

std::vector<std::uint8_t> CColorQuantizer::Map(const CRgbImage& image, const std::vector<Rgb>& palette, Dither dither) {
  if (image.IsEmpty() || palette.empty() || palette.size() > static_cast<std::size_t>(kMaxColors)) {
    return {};
  }
  const CNearestSearch search(palette);
  return dither == Dither::Diffused ? MapDiffused(image, palette, search) : MapNearest(image, search);
}

CRgbImage CColorQuantizer::Render(int width, int height, const std::vector<std::uint8_t>& indices,
                                  const std::vector<Rgb>& palette) {
  CRgbImage image(width, height);
  for (std::size_t i = 0; i < indices.size() && i < image.PixelCount(); ++i) {
    const Rgb c = indices[i] < palette.size() ? palette[indices[i]] : kWhite;
    image.Bytes()[3 * i] = c.r;
    image.Bytes()[3 * i + 1] = c.g;
    image.Bytes()[3 * i + 2] = c.b;
  }
  return image;
}
