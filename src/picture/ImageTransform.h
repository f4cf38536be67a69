#pragma once

#include <optional>

#include "picture/PictureKind.h"
#include "picture/RgbImage.h"

// Geometric operations on 24-bit images: rotation by quarter turns and resampling.
class CImageTransform {
 public:
  // Rotates by an angle in hundredths of a degree, positive clockwise. Only multiples of
  // 9000 are rotations the picture window makes; any other angle gives nothing. Quarter
  // turns leave no corner uncovered, so no fill colour is ever needed.
  static std::optional<CRgbImage> Rotate(const CRgbImage& image, int hundredthsOfDegree);

  // Resamples to width by height with a Catmull-Rom cubic: interpolating and sharp when
  // enlarging, stretched over the source pixels when reducing so that every source pixel
  // contributes and no detail aliases. Edges repeat the border pixels. A size below 1
  // gives an empty image.
  static CRgbImage Resize(const CRgbImage& image, int width, int height);

  // The size of an image of width by height times a scale factor, rounded, at least 1 by 1.
  static PictureSize ScaledSize(int width, int height, float factor);
};
