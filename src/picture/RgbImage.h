#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One 24-bit colour.
struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};

// A 24-bit image held as rows of r, g, b bytes from the top, without padding.
// Every picture operation works on this type; an empty image has no pixels.
class CRgbImage {
 public:
  CRgbImage() = default;
  // A width by height image filled with one colour (white unless told).
  CRgbImage(int width, int height, Rgb fill = kWhite);

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
  std::size_t PixelCount() const { return static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height); }

  Rgb Pixel(int x, int y) const {
    const std::uint8_t* p = &m_bytes[Offset(x, y)];
    return Rgb{p[0], p[1], p[2]};
  }
  void SetPixel(int x, int y, Rgb c) {
    std::uint8_t* p = &m_bytes[Offset(x, y)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
  void Fill(Rgb c);

  std::uint8_t* Row(int y) { return &m_bytes[Offset(0, y)]; }
  const std::uint8_t* Row(int y) const { return &m_bytes[Offset(0, y)]; }
  std::vector<std::uint8_t>& Bytes() { return m_bytes; }
  const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

  friend bool operator==(const CRgbImage&, const CRgbImage&) = default;

 private:
  std::size_t Offset(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)) * 3;
  }

  int m_width = 0;
  int m_height = 0;
  std::vector<std::uint8_t> m_bytes;
};
