#include "picture/HandsetPictureList.h"

#include "picture/PictureName.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

constexpr std::uint32_t kWallpaperFlag = 0x100;
constexpr std::uint32_t kPictureIdFlag = 0x200;
constexpr std::size_t kMinEntrySize = 2;
constexpr std::size_t kMaxEntrySize = 34;
constexpr std::size_t kEntryNameOffset = 2;

}  // namespace

std::optional<CHandsetPictureList::ItemRef> CHandsetPictureList::FromItemData(std::uint32_t itemData) {
  const auto number = static_cast<std::uint8_t>(itemData & 0xFF);
  if ((itemData & kWallpaperFlag) != 0) {
    return ItemRef{PictureKind::Wallpaper, number};
  }
  if ((itemData & kPictureIdFlag) != 0) {
    return ItemRef{PictureKind::PictureId, number};
  }
  return std::nullopt;
}

std::uint32_t CHandsetPictureList::ItemData(PictureKind kind, std::uint8_t number) {
  return number + (kind == PictureKind::Wallpaper ? kWallpaperFlag : kPictureIdFlag);
}

std::optional<std::uint16_t> CHandsetPictureList::ParseFreeSpaceReply(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 2) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>((data[0] << 8) | data[1]);
}

void CHandsetPictureList::Clear() {
  m_items.clear();
  m_freeKilobytes.reset();
  m_freeItems.reset();
}

bool CHandsetPictureList::AppendEntry(PictureKind kind, const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kMinEntrySize || size > kMaxEntrySize) {
    return false;
  }
  const std::size_t nameBytes = std::min(size - kEntryNameOffset, CPictureName::kMaxLength);
  Item item;
  item.label = "[" + std::to_string(m_items.size() + 1) + "]";
  item.name = CPictureName::FromHandsetBytes(data + kEntryNameOffset, nameBytes);
  item.itemData = ItemData(kind, data[0]);
  m_items.push_back(std::move(item));
  return true;
}

bool CHandsetPictureList::HasRoomFor(std::size_t recordSize) const {
  if (!m_freeKilobytes || !m_freeItems || *m_freeItems == 0) {
    return false;
  }
  return recordSize <= static_cast<std::size_t>(*m_freeKilobytes) * 1024;
}
