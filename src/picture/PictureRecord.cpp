#include "picture/PictureRecord.h"

#include <algorithm>

#include "picture/ColorQuantizer.h"
#include "picture/ImageTransform.h"
#include "picture/PictureName.h"
#include "picture/Rgb565.h"

namespace {

void StoreIndices(std::vector<std::uint8_t>& record, std::size_t offset, const std::vector<std::uint8_t>& indices) {
  std::copy(indices.begin(), indices.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

CRgbImage DecodeIndices(const std::uint8_t* data, PictureSize size, const std::vector<Rgb>& palette) {
  CRgbImage image(size.width, size.height);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      image.SetPixel(x, y, palette[data[static_cast<std::size_t>(y) * size.width + x]]);
    }
  }
  return image;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> CPictureRecord::Encode(PictureKind kind, const std::string& name,
                                                                const CRgbImage& preview, EncodeError* error) {
  const auto fail = [error](EncodeError e) -> std::optional<std::vector<std::uint8_t>> {
    if (error != nullptr) {
      *error = e;
    }
    return std::nullopt;
  };
  if (!CPictureName::IsValid(name)) {
    return fail(EncodeError::BadName);
  }
  const PictureSize size = TargetSize(kind);
  if (preview.Width() != size.width || preview.Height() != size.height) {
    return fail(EncodeError::WrongImageSize);
  }
  std::vector<std::uint8_t> record(RecordSize(kind), 0);
  std::copy(name.begin(), name.end(), record.begin() + kRecordNameOffset);

  const std::vector<Rgb> palette = CColorQuantizer::BuildPalette(preview);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const std::uint16_t entry = ToRgb565(palette[i]);
    record[kRecordPaletteOffset + 2 * i] = static_cast<std::uint8_t>(entry & 0xFF);
    record[kRecordPaletteOffset + 2 * i + 1] = static_cast<std::uint8_t>(entry >> 8);
  }
  const CRgbImage thumbnail = CImageTransform::Resize(preview, kThumbnailSize.width, kThumbnailSize.height);
  StoreIndices(record, kRecordThumbnailOffset,
               CColorQuantizer::Map(thumbnail, palette, CColorQuantizer::Dither::Diffused));
  StoreIndices(record, kRecordPictureOffset, CColorQuantizer::Map(preview, palette, CColorQuantizer::Dither::Diffused));
  if (error != nullptr) {
    *error = EncodeError::None;
  }
  return record;
}

std::optional<CPictureRecord::Decoded> CPictureRecord::Decode(const std::uint8_t* data, std::size_t size) {
  const std::optional<PictureKind> kind = KindOfRecordSize(size);
  if (!kind || data == nullptr) {
    return std::nullopt;
  }
  Decoded decoded;
  decoded.kind = *kind;
  decoded.name = CPictureName::FromHandsetBytes(data + kRecordNameOffset, kRecordNameSize);
  decoded.palette.resize(kRecordPaletteEntries);
  for (std::size_t i = 0; i < kRecordPaletteEntries; ++i) {
    const std::uint16_t entry =
        static_cast<std::uint16_t>(data[kRecordPaletteOffset + 2 * i] | (data[kRecordPaletteOffset + 2 * i + 1] << 8));
    decoded.palette[i] = FromRgb565(entry);
  }
  decoded.thumbnail = DecodeIndices(data + kRecordThumbnailOffset, kThumbnailSize, decoded.palette);
  decoded.picture = DecodeIndices(data + kRecordPictureOffset, TargetSize(*kind), decoded.palette);
  return decoded;
}
