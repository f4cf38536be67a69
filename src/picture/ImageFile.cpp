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
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "picture/DecoderMessages.h"
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

// Lays every pixel on white by its opacity. Opaque pictures (every JPEG) are copied
// straight from Qt's 32-bit pixels, without a converted copy of a possibly large image.
CRgbImage FromQImage(const QImage& source) {
  const bool opaque = !source.hasAlphaChannel() && source.format() == QImage::Format_RGB32;
  const QImage argb = opaque ? source : source.convertToFormat(QImage::Format_ARGB32);
  CRgbImage image(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    std::uint8_t* out = image.Row(y);
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb p = line[x];
      const int a = opaque ? 255 : qAlpha(p);
      const auto over = [a](int v) { return static_cast<std::uint8_t>((v * a + 255 * (255 - a) + 127) / 255); };
      out[3 * x] = over(qRed(p));
      out[3 * x + 1] = over(qGreen(p));
      out[3 * x + 2] = over(qBlue(p));
    }
  }
  return image;
}

// The declared size reduced, aspect ratio kept, to a longest side of kMaxWorkingSide.
QSize WorkingSize(QSize declared) {
  const int longest = std::max(declared.width(), declared.height());
  if (longest <= CImageFile::kMaxWorkingSide) {
    return declared;
  }
  const double factor = double(CImageFile::kMaxWorkingSide) / longest;
  return QSize(std::max(1, static_cast<int>(std::lround(declared.width() * factor))),
               std::max(1, static_cast<int>(std::lround(declared.height() * factor))));
}

// Qt refuses to allocate an image above its limit (128 MiB unless set). Decoders that
// cannot reduce while decoding need the whole declared picture, which the pixel limit
// has already bounded: 32 bits a pixel.
int AllocationLimitMiB(QSize declared) {
  constexpr long long kMiB = 1024 * 1024;
  const long long whole = static_cast<long long>(declared.width()) * declared.height() * 4;
  return static_cast<int>(std::max<long long>(QImageReader::allocationLimit(), whole / kMiB + 1));
}

// Checks the declared size and asks for a reduced decode where the picture is large.
bool Prepare(QImageReader& reader, std::string* error) {
  const QSize declared = reader.size();
  if (!declared.isValid()) {
    return true;  // the reader finds out for itself, within Qt's allocation limit
  }
  const long long pixels = static_cast<long long>(declared.width()) * declared.height();
  if (pixels > CImageFile::kMaxDeclaredPixels) {
    SetError(error, "the image declares " + std::to_string(declared.width()) + " x " +
                        std::to_string(declared.height()) + " pixels, more than the " +
                        std::to_string(CImageFile::kMaxDeclaredPixels / 1'000'000) + " million that are opened");
    return false;
  }
  reader.setAllocationLimit(AllocationLimitMiB(declared));
  const QSize working = WorkingSize(declared);
  if (working != declared) {
    reader.setScaledSize(working);
  }
  return true;
}

std::uint32_t Le(const std::string& bytes, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + static_cast<std::size_t>(i)]);
  }
  return value;
}

// Qt's BMP reader takes a file that ends early and leaves the missing rows blank. An
// uncompressed BMP's length follows from its headers: the pixel offset plus the rows, each
// padded to four bytes. Empty when the file is long enough or its length cannot be told.
std::string BmpShortfall(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(34, '\0');
  if (!in.read(head.data(), static_cast<std::streamsize>(head.size())) || Le(head, 14, 4) < 40) {
    return {};  // an old OS/2 header: leave it to the reader
  }
  const std::uint32_t compression = Le(head, 30, 4);
  if (compression != 0 && compression != 3) {
    return {};  // run-length coded: its length is not known in advance
  }
  const auto width = static_cast<std::int32_t>(Le(head, 18, 4));
  const auto height = static_cast<std::int32_t>(Le(head, 22, 4));
  const std::uint64_t stride = (std::uint64_t(std::abs(std::int64_t(width))) * Le(head, 28, 2) + 31) / 32 * 4;
  const std::uint64_t needed = Le(head, 10, 4) + stride * std::uint64_t(std::abs(std::int64_t(height)));
  in.seekg(0, std::ios::end);
  const auto length = static_cast<std::uint64_t>(std::max<std::streamoff>(0, in.tellg()));
  if (length >= needed) {
    return {};
  }
  return "the file holds " + std::to_string(length) + " bytes, its picture needs " + std::to_string(needed);
}

}  // namespace

std::optional<CRgbImage> CImageFile::Load(const std::string& path, std::string* error) {
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(true);
  if (!Prepare(reader, error)) {
    return std::nullopt;
  }
  const QByteArray format = reader.format();  // empty once read
  QImage image;
  std::string cutOff;
  {
    const CDecoderMessages messages;
    image = reader.read();
    cutOff = messages.PrematureEnd();
  }
  if (image.isNull()) {
    SetError(error, reader.errorString().toStdString());
    return std::nullopt;
  }
  // The JPEG decoder fills the missing part of a cut-off file with grey and only warns;
  // the BMP decoder does not even warn.
  if (cutOff.empty() && format == "bmp") {
    cutOff = BmpShortfall(path);
  }
  if (!cutOff.empty()) {
    SetError(error, "the image data ends before the picture does (" + cutOff + ")");
    return std::nullopt;
  }
  return FromQImage(image);
}

std::optional<std::string> CImageFile::Encode(const CRgbImage& image, Format format, std::string* error) {
  if (image.IsEmpty()) {
    SetError(error, "there is no image to save");
    return std::nullopt;
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
    return std::nullopt;
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool CImageFile::Save(const CRgbImage& image, const std::string& path, Format format, std::string* error) {
  const std::optional<std::string> bytes = Encode(image, format, error);
  if (!bytes) {
    return false;
  }
  if (!CAtomicFile::WriteWhole(path, *bytes)) {
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
