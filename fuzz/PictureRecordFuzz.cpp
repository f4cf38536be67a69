// Picture records received from the handset: name, RGB565 palette, thumbnail and picture
// indices. The first byte picks the kind; the rest, cut or padded with zeros to that kind's
// record size, is the record.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "picture/PictureName.h"
#include "picture/PictureRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    CPictureRecord::Decode(data, size);
    return 0;
  }
  const PictureKind kind = data[0] % 2 == 0 ? PictureKind::Wallpaper : PictureKind::PictureId;
  std::vector<std::uint8_t> record(data + 1, data + size);
  // A record of the wrong size is refused whole.
  if (CPictureRecord::Decode(record) && !KindOfRecordSize(record.size())) {
    fuzzcheck::Fail("a picture record of a wrong size was decoded");
  }
  record.resize(RecordSize(kind), 0);
  const auto decoded = CPictureRecord::Decode(record);
  if (!decoded || decoded->kind != kind || decoded->palette.size() != kRecordPaletteEntries) {
    fuzzcheck::Fail("a picture record of the right size was not decoded");
  }
  if (decoded->name.size() > kRecordNameSize || decoded->picture.Width() != TargetSize(kind).width ||
      decoded->picture.Height() != TargetSize(kind).height) {
    fuzzcheck::Fail("a decoded picture record has a longer name or another size than its kind");
  }
  return 0;
}
