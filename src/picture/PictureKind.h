#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The two kinds of handset picture and what follows from the kind.
enum class PictureKind : std::uint32_t { Wallpaper = 0, PictureId = 1 };

struct PictureSize {
  int width;
  int height;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

inline constexpr PictureSize kWallpaperSize{128, 110};
inline constexpr PictureSize kPictureIdSize{48, 54};
inline constexpr PictureSize kThumbnailSize{32, 32};

// The record is a 32-byte name, a 512-byte palette, a 32 x 32 thumbnail, then the picture.
inline constexpr std::size_t kRecordNameOffset = 0;
inline constexpr std::size_t kRecordNameSize = 32;
inline constexpr std::size_t kRecordPaletteOffset = 32;
inline constexpr std::size_t kRecordPaletteEntries = 256;
inline constexpr std::size_t kRecordThumbnailOffset = 544;
inline constexpr std::size_t kRecordPictureOffset = 1568;

inline constexpr PictureSize TargetSize(PictureKind kind) {
  return kind == PictureKind::Wallpaper ? kWallpaperSize : kPictureIdSize;
}

// 15648 bytes for a wallpaper, 4160 for a picture ID.
inline constexpr std::size_t RecordSize(PictureKind kind) {
  const PictureSize s = TargetSize(kind);
  return kRecordPictureOffset + static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height);
}

// The kind whose record has this total size; nothing for any other size.
inline constexpr std::optional<PictureKind> KindOfRecordSize(std::size_t size) {
  if (size == RecordSize(PictureKind::Wallpaper)) {
    return PictureKind::Wallpaper;
  }
  if (size == RecordSize(PictureKind::PictureId)) {
    return PictureKind::PictureId;
  }
  return std::nullopt;
}

// Request parameters that depend on the kind: the data kind of send, receive and erase,
// the data kind of the list request, and the first argument of a send.
inline constexpr std::uint32_t TransferDataKind(PictureKind kind) {
  return kind == PictureKind::Wallpaper ? 0 : 16;
}
inline constexpr std::uint32_t ListDataKind(PictureKind kind) {
  return kind == PictureKind::Wallpaper ? 1 : 17;
}
inline constexpr std::uint32_t SendArgument1(PictureKind kind) {
  return kind == PictureKind::Wallpaper ? 1 : 2;
}
inline constexpr std::uint32_t kSendArgument2 = 1;
