// Image files opened in the picture window (BMP, JPEG, PNG, TIFF through Qt's readers, with
// the program's own size limits), the window's tone, scale and rotation operations, the
// cut of the handset frame and the record made of it, decoded again.
#include <QImageReader>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "picture/ImageEditor.h"
#include "picture/ImageFile.h"
#include "picture/PictureRecord.h"

namespace {

// Files that declare more pixels than this but fewer than the program's limit are opened
// by design with up to a gigabyte of memory; they are left out so the run stays within its
// memory limit. Files that declare more than the limit must be refused.
constexpr long long kLargestFuzzedPixels = 4'000'000;

long long DeclaredPixels(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  const QSize size = reader.size();
  return size.isValid() ? static_cast<long long>(size.width()) * size.height() : 0;
}

void Edit(CImageEditor& editor, std::uint8_t how) {
  editor.SetContrast(how % 7 - 3);
  editor.SetBrightness(how % 5 - 2);
  editor.SetRed(how % 3 - 1);
  if ((how & 0x10) != 0) {
    editor.ScaleUp();
  }
  if ((how & 0x20) != 0) {
    editor.ScaleDown();
  }
  if ((how & 0x40) != 0) {
    editor.SetRotation(how * 37);
  }
  if ((how & 0x80) != 0) {
    editor.RotateRight();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  const long long declared = DeclaredPixels(input.Path());
  if (declared > kLargestFuzzedPixels && declared <= CImageFile::kMaxDeclaredPixels) {
    return 0;
  }
  std::optional<CRgbImage> image = CImageFile::Load(input.Path());
  if (image && declared > CImageFile::kMaxDeclaredPixels) {
    fuzzcheck::Fail("an image declaring more pixels than the limit was opened");
  }
  if (!image) {
    return 0;
  }
  if (image->Width() > CImageFile::kMaxWorkingSide || image->Height() > CImageFile::kMaxWorkingSide) {
    fuzzcheck::Fail("a loaded image is larger than the working limit");
  }
  CImageEditor editor;
  editor.SetImage(*image);
  Edit(editor, size > 0 ? data[size - 1] : 0);
  for (const PictureKind kind : {PictureKind::Wallpaper, PictureKind::PictureId}) {
    const CRgbImage preview = editor.SendPreview({0, 0}, TargetSize(kind));
    const auto record = CPictureRecord::Encode(kind, "Fuzz", preview);
    if (record && !CPictureRecord::Decode(*record)) {
      fuzzcheck::Fail("a record made by the picture window does not decode");
    }
  }
  return 0;
}
