#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "picture/PictureKind.h"

// The pictures stored in the handset as the window lists them, and its free space.
class CHandsetPictureList {
 public:
  struct Item {
    std::string label;       // "[n]", n counting from 1 in list order
    std::string name;        // up to 15 characters
    std::uint32_t itemData;  // item number plus 0x100 (wallpaper) or 0x200 (picture ID)
  };

  // The kind and number that an item's data stands for; nothing when it has neither kind.
  struct ItemRef {
    PictureKind kind;
    std::uint8_t number;
  };
  static std::optional<ItemRef> FromItemData(std::uint32_t itemData);
  static std::uint32_t ItemData(PictureKind kind, std::uint8_t number);

  // The 16-bit big-endian number at the start of a free-space reply; nothing for a reply
  // shorter than two bytes.
  static std::optional<std::uint16_t> ParseFreeSpaceReply(const std::uint8_t* data, std::size_t size);

  void Clear();
  // Appends one entry of a list reply (2 to 34 bytes: the item number, one byte more, then
  // the name from byte 2). False, and nothing appended, for an entry of any other size.
  bool AppendEntry(PictureKind kind, const std::uint8_t* data, std::size_t size);
  const std::vector<Item>& Items() const { return m_items; }

  void SetFreeKilobytes(std::uint16_t value) { m_freeKilobytes = value; }
  void SetFreeItems(std::uint16_t value) { m_freeItems = value; }
  std::optional<std::uint16_t> FreeKilobytes() const { return m_freeKilobytes; }
  std::optional<std::uint16_t> FreeItems() const { return m_freeItems; }
  // False when the handset has no free item or fewer free bytes than the record needs;
  // also false while the free space has not been learned.
  bool HasRoomFor(std::size_t recordSize) const;

 private:
  std::vector<Item> m_items;
  std::optional<std::uint16_t> m_freeKilobytes;
  std::optional<std::uint16_t> m_freeItems;
};
