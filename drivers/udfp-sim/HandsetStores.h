#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The handset's non-volatile memory: the item stores by data kind, their capacities, the
// memory shared by pictures and melodies, and the 16 bytes of device information. Not
// thread-safe; the emulated device guards it with its own lock.
class CHandsetStores {
 public:
  // Why a handset turns an object down; each maps to one refusal byte.
  enum class Fit { kOk, kUnknownKind, kWrongSize, kMemoryFull };

  struct Item {
    std::uint32_t number = 0;
    std::vector<std::uint8_t> bytes;
  };

  CHandsetStores();
  void ResetToDefaults();

  // Kinds that hold items (phonebook, caller list, wallpapers, picture IDs, melodies, test kind).
  static bool IsStoreKind(std::uint32_t kind);
  // Kinds the PC may write (every store kind except the caller list).
  static bool IsWritableKind(std::uint32_t kind);
  static std::uint8_t RefusalCode(Fit fit);

  // Checks of a write in progress: at the write start (size field = low 16 bits of the
  // size), while blocks arrive (bytes so far) and when the last block has arrived.
  Fit CheckWriteStart(std::uint32_t kind, std::uint32_t declaredSize) const;
  Fit CheckGrowth(std::uint32_t kind, std::size_t sizeSoFar) const;
  Fit CheckComplete(std::uint32_t kind, std::size_t size, std::uint32_t declaredSize) const;

  // Stores an object; returns its item number, 0 when it does not fit. The caller list
  // drops its oldest entry instead of refusing when full.
  std::uint32_t Add(std::uint32_t kind, std::span<const std::uint8_t> bytes);
  // Deletes item n (255 = all); false for an unknown kind or item.
  bool Delete(std::uint32_t kind, std::uint32_t itemNumber);
  void Clear(std::uint32_t kind);

  // The number the read-count request reports for a kind; nullopt for an unknown kind.
  std::optional<std::uint32_t> ReadCount(std::uint32_t kind) const;
  // The object the read request [kind, n] delivers; nullopt for an unknown kind or item.
  std::optional<std::vector<std::uint8_t>> ReadObject(std::uint32_t kind, std::uint32_t itemNumber) const;
  const std::vector<Item>* Items(std::uint32_t kind) const;
  // The melody item of a slot, null when the slot is empty.
  const Item* Melody(std::uint32_t slot) const;

  std::uint32_t FreeBytes() const;
  std::uint32_t FreeItems(std::uint32_t kind) const;
  std::uint32_t MemorySize() const { return m_memorySize; }
  void SetMemorySize(std::uint32_t bytes) { m_memorySize = bytes; }
  std::uint32_t UsedBytes() const;

  std::optional<std::uint32_t> Capacity(std::uint32_t kind) const;
  bool SetCapacity(std::uint32_t kind, std::uint32_t items);

  const std::array<std::uint8_t, 16>& DeviceInfo() const { return m_deviceInfo; }
  void SetDeviceInfo(const std::array<std::uint8_t, 16>& info);
  bool SetModelField(std::uint32_t field, std::uint32_t value);

  // A self-checking binary image of everything above, and its reverse. Deserialize
  // changes nothing and answers false unless the image is complete and consistent.
  std::string Serialize() const;
  bool Deserialize(std::string_view image);

 private:
  struct Store {
    std::uint32_t kind = 0;
    std::uint32_t capacity = 0;
    std::vector<Item> items;
  };

  Store* Find(std::uint32_t kind);
  const Store* Find(std::uint32_t kind) const;
  static bool IsPositional(std::uint32_t kind);
  static bool UsesMemory(std::uint32_t kind);
  static std::uint32_t LowestFreeNumber(const Store& store);
  static void Renumber(Store& store);
  bool IsValidImage(const std::vector<Store>& stores) const;
  std::vector<std::uint8_t> ListEntry(std::uint32_t listKind, std::uint32_t itemNumber) const;

  std::vector<Store> m_stores;
  std::uint32_t m_memorySize = 0;
  std::array<std::uint8_t, 16> m_deviceInfo{};
};
