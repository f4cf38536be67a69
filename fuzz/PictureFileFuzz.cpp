// Image files opened in the picture window (BMP, JPEG, PNG, TIFF through Qt's readers, with
// the program's own size limits), the window's tone, scale and rotation operations, the
// cut of the handset frame and the record made of it, decoded again.
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
  std::optional<CRgbImage> image = CImageFile::Load(input.Path());
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
