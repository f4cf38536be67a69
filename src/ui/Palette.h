#pragma once

#include <QColor>

// The colours of the program's skin, shared by the windows that paint themselves.
class CPalette {
 public:
  // The flat window background, Windows colour reference 0xF7CFAD = RGB(173, 207, 247).
  static QColor Background() { return QColor(173, 207, 247); }
  static QColor FromColorRef(unsigned colorRef) {
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
  }
  // Outlines and text drawn on the background.
  static QColor Ink() { return QColor(0x1F, 0x4E, 0x8C); }
};
