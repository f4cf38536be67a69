#pragma once

#include <cstdint>
#include <vector>

#include "picture/RgbImage.h"

// Reduces 24-bit images to the handset's 256-colour palette.
//
// Every palette colour is one the handset can show exactly: it survives the trip to the
// 16-bit palette entry and back unchanged, so a decoded picture shows precisely the
// colours chosen here. The palette is optimised for the squared RGB error of the image
// (median cut, then k-means whose centres are snapped to the 16-bit lattice after every
// update), and mapping gives every pixel an index directly: no pixel ever depends on a
// lookup of its colour.
class CColorQuantizer {
 public:
  static constexpr int kMaxColors = 256;

  enum class Dither {
    None,      // each pixel takes its nearest palette colour
    Diffused,  // small errors diffused to neighbours: smooth areas gain in-between shades
  };

  // The palette for the image: at most 256 distinct colours, each exact in 16 bits.
  // An empty image gives an empty palette.
  static std::vector<Rgb> BuildPalette(const CRgbImage& image);

  // The palette index of every pixel, rows from the top; empty when the image is empty or
  // the palette is empty or holds more than 256 colours.
  static std::vector<std::uint8_t> Map(const CRgbImage& image, const std::vector<Rgb>& palette, Dither dither);

  // The image that indices and palette stand for.
  static CRgbImage Render(int width, int height, const std::vector<std::uint8_t>& indices,
                          const std::vector<Rgb>& palette);
};
