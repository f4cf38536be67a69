#pragma once

#include <optional>
#include <string>

#include "picture/RgbImage.h"

// Image files read and written through Qt's image plugins (BMP, JPEG, PNG, TIFF). Works
// without a display and without an application object.
class CImageFile {
 public:
  // The save formats in the order of the save dialog's filters.
  enum class Format { Bmp = 0, Jpeg = 1, Png = 2, Tiff = 3 };

  // Reads any image Qt can read, judged by content, turned upright as its orientation tag
  // says; transparent parts are laid on white. Nothing on failure, with the reader's
  // reason in error.
  static std::optional<CRgbImage> Load(const std::string& path, std::string* error = nullptr);

  // Writes the image with 24 bits per pixel. The file appears complete or not at all; on
  // failure the previous file is left as it was and error holds the reason.
  static bool Save(const CRgbImage& image, const std::string& path, Format format, std::string* error = nullptr);

  // The format an extension (any case: .bmp, .jpg, .jpeg, .png, .tif, .tiff) names.
  static std::optional<Format> FormatFromPath(const std::string& path);
};
