#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "picture/PictureKind.h"
#include "picture/RgbImage.h"

// The handset's picture record: a 32-byte name padded with zero bytes, 256 palette entries
// of 16 bits (little-endian), a 32 x 32 thumbnail and the picture, both as one palette
// index per pixel, rows from the top.
class CPictureRecord {
 public:
  enum class EncodeError {
    None,
    BadName,         // the name fails the handset name check
    WrongImageSize,  // the image is not the target size of the kind
  };

  // What a received record holds, decoded to 24 bits.
  struct Decoded {
    PictureKind kind = PictureKind::Wallpaper;
    std::string name;
    CRgbImage picture;
    CRgbImage thumbnail;
    std::vector<Rgb> palette;  // the 256 entries as the handset shows them
  };

  // Builds the record from the send preview, an image of exactly the kind's target size.
  // One palette, chosen for the picture, serves picture and thumbnail (reduced from the
  // 24-bit preview); both are mapped with the quantiser's limited error diffusion. Nothing
  // on failure, with the reason in error.
  static std::optional<std::vector<std::uint8_t>> Encode(PictureKind kind, const std::string& name,
                                                         const CRgbImage& preview, EncodeError* error = nullptr);

  // Decodes a record; nothing when its size is not the size of either kind. No byte is
  // read before the size has been checked.
  static std::optional<Decoded> Decode(const std::uint8_t* data, std::size_t size);
  static std::optional<Decoded> Decode(const std::vector<std::uint8_t>& record) {
    return Decode(record.data(), record.size());
  }
};
