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

  // Pictures that declare more pixels than this are refused before any decoding: a small
  // compressed file can declare a picture of gigabytes. The largest phone and camera
  // sensors (about 200 million pixels) still open.
  static constexpr long long kMaxDeclaredPixels = 200'000'000;
  // A picture with a longer side is decoded reduced to this longest side, aspect ratio
  // kept (at most 64 MiB as 32-bit pixels). The handset shows at most 128 x 110 pixels; this
  // leaves ample room to frame and enlarge. The JPEG decoder (and the PNG one for files that
  // are not interlaced) reduces while decoding, so a camera photo never exists at full size
  // in memory; other formats are decoded whole first, within the declared-pixel limit.
  static constexpr int kMaxWorkingSide = 4096;

  // Reads any image Qt can read, judged by content, turned upright as its orientation tag
  // says; transparent parts are laid on white; reduced to kMaxWorkingSide. Nothing on
  // failure, with the reason in error: the reader's, a declared size above
  // kMaxDeclaredPixels, or image data that ends before the picture does (a cut-off file).
  static std::optional<CRgbImage> Load(const std::string& path, std::string* error = nullptr);

  // The file content Save would write; nothing on failure, with the reason in error.
  static std::optional<std::string> Encode(const CRgbImage& image, Format format, std::string* error = nullptr);

  // Writes the image with 24 bits per pixel. The file appears complete or not at all; on
  // failure the previous file is left as it was and error holds the reason.
  static bool Save(const CRgbImage& image, const std::string& path, Format format, std::string* error = nullptr);

  // The format an extension (any case: .bmp, .jpg, .jpeg, .png, .tif, .tiff) names.
  static std::optional<Format> FormatFromPath(const std::string& path);
};
