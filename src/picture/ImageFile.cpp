#include "picture/ImageFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/AtomicFile.h"

namespace {

const char* FormatName(CImageFile::Format format) {
  switch (format) {
    case CImageFile::Format::Bmp:
      return "bmp";
    case CImageFile::Format::Jpeg:
      return "jpeg";
    case CImageFile::Format::Png:
      return "png";
    case CImageFile::Format::Tiff:
      return "tiff";
  }
  return "png";
}

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) {
    *error = text;
  }
}

// Lays every pixel on white by its opacity.
CRgbImage FromQImage(const QImage& source) {
  const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  CRgbImage image(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    std::uint8_t* out = image.Row(y);
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb p = line[x];
      const int a = qAlpha(p);
      const auto over = [a](int v) { return static_cast<std::uint8_t>((v * a + 255 * (255 - a) + 127) / 255); };
      out[3 * x] = over(qRed(p));
      out[3 * x + 1] = over(qGreen(p));
      out[3 * x + 2] = over(qBlue(p));
    }
  }
  return image;
}

}  // namespace

std::optional<CRgbImage> CImageFile::Load(const std::string& path, std::string* error) {
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(true);
  const QImage image = reader.read();
  if (image.isNull()) {
    SetError(error, reader.errorString().toStdString());
    return std::nullopt;
  }
  return FromQImage(image);
}

bool CImageFile::Save(const CRgbImage& image, const std::string& path, Format format, std::string* error) {
  if (image.IsEmpty()) {
    SetError(error, "there is no image to save");
    return false;
  }
  QImage qimage(image.Width(), image.Height(), QImage::Format_RGB888);
  for (int y = 0; y < image.Height(); ++y) {
    std::memcpy(qimage.scanLine(y), image.Row(y), static_cast<std::size_t>(image.Width()) * 3);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, FormatName(format));
  if (format == Format::Jpeg) {
    writer.setQuality(90);
  }
  if (!writer.write(qimage)) {
    SetError(error, writer.errorString().toStdString());
    return false;
  }
  if (!CAtomicFile::WriteWhole(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
    SetError(error, std::string("cannot write the file: ") + std::strerror(errno));
    return false;
  }
  return true;
}

std::optional<CImageFile::Format> CImageFile::FormatFromPath(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return std::nullopt;
  }
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == "bmp") {
    return Format::Bmp;
  }
  if (ext == "jpg" || ext == "jpeg") {
    return Format::Jpeg;
  }
  if (ext == "png") {
    return Format::Png;
  }
  if (ext == "tif" || ext == "tiff") {
    return Format::Tiff;
  }
  return std::nullopt;
}
