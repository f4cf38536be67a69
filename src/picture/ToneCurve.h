#pragma once

#include <array>
#include <cstdint>

#include "picture/RgbImage.h"

// The tone adjustments of the picture window as 256-entry curves. Every setting runs from
// -1000 to 1000 (values outside are clamped), 0 leaves every level as it is, and every
// curve is non-decreasing, so no adjustment ever swaps the order of two levels.
class CToneCurve {
 public:
  using Table = std::array<std::uint8_t, 256>;

  static constexpr int kMin = -1000;
  static constexpr int kMax = 1000;

  static int Clamp(int value);

  // Contrast stretches or flattens the levels around mid grey: the slope at mid grey runs
  // from about 1/5 at -1000 (a flat but readable picture) to about 5 at 1000 (strong,
  // still not a pure threshold).
  static Table Contrast(int value);
  // Brightness moves every level towards white (positive) or black (negative) by a share
  // of its distance, up to three quarters at the extremes, so detail is never clipped away.
  static Table Brightness(int value);
  // One colour plane: the brightness curve applied to that plane alone, so a positive
  // value adds that colour and a negative one takes it away (CImageEditor::RenderTones
  // says why not the contrast curve).
  static Table PlaneValue(int value) { return Brightness(value); }

  // The curve that applies first, then second.
  static Table Compose(const Table& first, const Table& second);
  static Table Identity();
  // Applies one curve per colour plane.
  static void Apply(CRgbImage& image, const Table& red, const Table& green, const Table& blue);
};
