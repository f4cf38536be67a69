// Writes a large synthetic camera photo as a JPEG (quality 90) for the open benchmark, so no
// big file needs to be kept: smooth gradients with fine texture, which compress about as a
// real photograph does.
//
// Usage: picture_make_photo OUT.jpg WIDTH HEIGHT
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QImage Photo(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  std::uint32_t state = 12345;
  for (int y = 0; y < height; ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int grain = static_cast<int>(state >> 29);
      line[3 * x] = static_cast<uchar>((x * 255 / width + grain) & 0xFF);
      line[3 * x + 1] = static_cast<uchar>(((x + y) * 255 / (width + height) + grain) & 0xFF);
      line[3 * x + 2] = static_cast<uchar>((255 - y * 255 / height + grain) & 0xFF);
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: picture_make_photo OUT.jpg WIDTH HEIGHT\n", stderr);
    return 2;
  }
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  if (width <= 0 || height <= 0) {
    std::fputs("picture_make_photo: WIDTH and HEIGHT must be positive\n", stderr);
    return 2;
  }
  QImageWriter writer(QString::fromLocal8Bit(argv[1]), "jpeg");
  writer.setQuality(90);
  if (!writer.write(Photo(width, height))) {
    std::fprintf(stderr, "picture_make_photo: %s\n", writer.errorString().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
