#include "picture/RgbImage.h"

CRgbImage::CRgbImage(int width, int height, Rgb fill) {
  if (width > 0 && height > 0) {
    m_width = width;
    m_height = height;
    m_bytes.resize(PixelCount() * 3);
    Fill(fill);
  }
}

void CRgbImage::Fill(Rgb c) {
  for (std::size_t i = 0; i < m_bytes.size(); i += 3) {
    m_bytes[i] = c.r;
    m_bytes[i + 1] = c.g;
    m_bytes[i + 2] = c.b;
  }
}
