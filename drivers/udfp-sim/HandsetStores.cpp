#include "HandsetStores.h"

#include <algorithm>
#include <cstring>

#include "ModelFieldLayout.h"
#include "udfp_sim.h"

namespace {

constexpr std::uint32_t kDefaultMemorySize = 1024u * 1024u;
constexpr std::uint8_t kPhonebookCapacityByte = 12;
constexpr std::uint8_t kFirmwareRevisionByte = 15;
constexpr char kImageMagic[8] = {'O', 'R', 'V', 'S', 'I', 'M', '1', '\n'};

struct StoreDefault {
  std::uint32_t kind;
  std::uint32_t capacity;
};
constexpr StoreDefault kStoreDefaults[] = {
    {UDFP_SIM_KIND_PHONEBOOK, 50},  {UDFP_SIM_KIND_CALLER_LIST, 30}, {UDFP_SIM_KIND_WALLPAPER, 10},
    {UDFP_SIM_KIND_PICTURE_ID, 10}, {UDFP_SIM_KIND_MELODY, 10},      {UDFP_SIM_KIND_RAW, 255},
};

std::uint32_t FixedSize(std::uint32_t kind) {
  switch (kind) {
    case UDFP_SIM_KIND_PHONEBOOK:
      return UDFP_SIM_PHONEBOOK_RECORD_SIZE;
    case UDFP_SIM_KIND_WALLPAPER:
      return UDFP_SIM_WALLPAPER_RECORD_SIZE;
    case UDFP_SIM_KIND_PICTURE_ID:
      return UDFP_SIM_PICTURE_ID_RECORD_SIZE;
    default:
      return 0;
  }
}

// The store behind a list kind (wallpaper list -> wallpapers ...), or the kind itself.
std::uint32_t StoreOfList(std::uint32_t kind) {
  switch (kind) {
    case UDFP_SIM_KIND_WALLPAPER_LIST:
      return UDFP_SIM_KIND_WALLPAPER;
    case UDFP_SIM_KIND_PICTURE_ID_LIST:
      return UDFP_SIM_KIND_PICTURE_ID;
    case UDFP_SIM_KIND_MELODY_LIST:
      return UDFP_SIM_KIND_MELODY;
    default:
      return kind;
  }
}

bool IsListKind(std::uint32_t kind) {
  return StoreOfList(kind) != kind;
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

std::uint64_t Fnv1a(std::string_view bytes) {
  std::uint64_t hash = 1469598103934665603ull;
  for (char c : bytes) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// Sequential reader of a serialized image that fails softly on truncation.
class CImageReader {
 public:
  explicit CImageReader(std::string_view bytes) : m_bytes(bytes) {}
  bool U32(std::uint32_t& value) {
    if (m_bytes.size() - m_offset < 4) {
      return false;
    }
    value = 0;
    for (int i = 0; i < 4; ++i) {
      value = (value << 8) | static_cast<std::uint8_t>(m_bytes[m_offset++]);
    }
    return true;
  }
  bool Bytes(std::size_t count, std::vector<std::uint8_t>& out) {
    if (m_bytes.size() - m_offset < count) {
      return false;
    }
    out.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_offset),
               m_bytes.begin() + static_cast<std::ptrdiff_t>(m_offset + count));
    m_offset += count;
    return true;
  }
  bool AtEnd() const { return m_offset == m_bytes.size(); }

 private:
  std::string_view m_bytes;
  std::size_t m_offset = 0;
};

}  // namespace

CHandsetStores::CHandsetStores() {
  ResetToDefaults();
}

void CHandsetStores::ResetToDefaults() {
  m_stores.clear();
  for (const auto& def : kStoreDefaults) {
    m_stores.push_back(Store{def.kind, std::min(def.capacity, UDFP_SIM_MAX_CAPACITY), {}});
  }
  m_memorySize = kDefaultMemorySize;
  m_deviceInfo.fill(0);
  m_deviceInfo[kPhonebookCapacityByte] = 50;
  m_deviceInfo[kFirmwareRevisionByte] = 1;
}

bool CHandsetStores::IsStoreKind(std::uint32_t kind) {
  return std::any_of(std::begin(kStoreDefaults), std::end(kStoreDefaults),
                     [kind](const StoreDefault& def) { return def.kind == kind; });
}

bool CHandsetStores::IsWritableKind(std::uint32_t kind) {
  return IsStoreKind(kind) && kind != UDFP_SIM_KIND_CALLER_LIST;
}

std::uint8_t CHandsetStores::RefusalCode(Fit fit) {
  switch (fit) {
    case Fit::kOk:
      return UDFP_SIM_REPLY_OK;
    case Fit::kUnknownKind:
      return UDFP_SIM_REFUSE_UNKNOWN_KIND;
    case Fit::kWrongSize:
      return UDFP_SIM_REFUSE_WRONG_SIZE;
    case Fit::kMemoryFull:
      return UDFP_SIM_REFUSE_MEMORY_FULL;
  }
  return UDFP_SIM_REFUSE_UNKNOWN_KIND;
}

bool CHandsetStores::IsPositional(std::uint32_t kind) {
  return kind == UDFP_SIM_KIND_PHONEBOOK || kind == UDFP_SIM_KIND_CALLER_LIST || kind == UDFP_SIM_KIND_RAW;
}

bool CHandsetStores::UsesMemory(std::uint32_t kind) {
  return kind == UDFP_SIM_KIND_WALLPAPER || kind == UDFP_SIM_KIND_PICTURE_ID || kind == UDFP_SIM_KIND_MELODY ||
         kind == UDFP_SIM_KIND_RAW;
}

CHandsetStores::Store* CHandsetStores::Find(std::uint32_t kind) {
  for (auto& store : m_stores) {
    if (store.kind == kind) {
      return &store;
    }
  }
  return nullptr;
}

const CHandsetStores::Store* CHandsetStores::Find(std::uint32_t kind) const {
  return const_cast<CHandsetStores*>(this)->Find(kind);
}

CHandsetStores::Fit CHandsetStores::CheckWriteStart(std::uint32_t kind, std::uint32_t declaredSize) const {
  const Store* store = Find(kind);
  if (store == nullptr || !IsWritableKind(kind)) {
    return Fit::kUnknownKind;
  }
  const std::uint32_t fixed = FixedSize(kind);
  if (fixed != 0 && declaredSize != fixed) {
    return Fit::kWrongSize;
  }
  if (store->items.size() >= store->capacity) {
    return Fit::kMemoryFull;
  }
  // The size field holds only the low 16 bits, so it is a lower bound of the real size.
  if (UsesMemory(kind) && declaredSize > FreeBytes()) {
    return Fit::kMemoryFull;
  }
  return Fit::kOk;
}

CHandsetStores::Fit CHandsetStores::CheckGrowth(std::uint32_t kind, std::size_t sizeSoFar) const {
  if (Find(kind) == nullptr) {
    return Fit::kUnknownKind;
  }
  const std::uint32_t fixed = FixedSize(kind);
  if (sizeSoFar > UDFP_SIM_MAX_OBJECT_SIZE || (fixed != 0 && sizeSoFar > fixed)) {
    return Fit::kWrongSize;
  }
  if (UsesMemory(kind) && sizeSoFar > FreeBytes()) {
    return Fit::kMemoryFull;
  }
  return Fit::kOk;
}

CHandsetStores::Fit CHandsetStores::CheckComplete(std::uint32_t kind, std::size_t size,
                                                  std::uint32_t declaredSize) const {
  const Fit growth = CheckGrowth(kind, size);
  if (growth != Fit::kOk) {
    return growth;
  }
  if ((size & 0xFFFFu) != declaredSize || size == 0) {
    return Fit::kWrongSize;
  }
  const std::uint32_t fixed = FixedSize(kind);
  if (fixed != 0 && size != fixed) {
    return Fit::kWrongSize;
  }
  if (kind == UDFP_SIM_KIND_MELODY && size <= UDFP_SIM_MELODY_HEADER_SIZE) {
    return Fit::kWrongSize;
  }
  return Fit::kOk;
}

std::uint32_t CHandsetStores::LowestFreeNumber(const Store& store) {
  for (std::uint32_t number = 1;; ++number) {
    const bool used = std::any_of(store.items.begin(), store.items.end(),
                                  [number](const Item& item) { return item.number == number; });
    if (!used) {
      return number;
    }
  }
}

void CHandsetStores::Renumber(Store& store) {
  for (std::size_t i = 0; i < store.items.size(); ++i) {
    store.items[i].number = static_cast<std::uint32_t>(i + 1);
  }
}

std::uint32_t CHandsetStores::Add(std::uint32_t kind, std::span<const std::uint8_t> bytes) {
  Store* store = Find(kind);
  if (store == nullptr) {
    return 0;
  }
  if (kind == UDFP_SIM_KIND_CALLER_LIST) {
    if (bytes.size() < UDFP_SIM_CALLER_RECORD_MIN_SIZE || bytes.size() > 0xFFFF || store->capacity == 0) {
      return 0;
    }
    if (store->items.size() >= store->capacity) {
      store->items.erase(store->items.begin());
    }
    store->items.push_back(Item{0, {bytes.begin(), bytes.end()}});
    Renumber(*store);
    return store->items.back().number;
  }
  const auto declared = static_cast<std::uint32_t>(bytes.size() & 0xFFFFu);
  if (CheckWriteStart(kind, declared) != Fit::kOk || CheckComplete(kind, bytes.size(), declared) != Fit::kOk) {
    return 0;
  }
  Item item{0, {bytes.begin(), bytes.end()}};
  if (IsPositional(kind)) {
    store->items.push_back(std::move(item));
    Renumber(*store);
    return store->items.back().number;
  }
  item.number = LowestFreeNumber(*store);
  const std::uint32_t number = item.number;
  store->items.push_back(std::move(item));
  std::sort(store->items.begin(), store->items.end(), [](const Item& a, const Item& b) { return a.number < b.number; });
  return number;
}

bool CHandsetStores::Delete(std::uint32_t kind, std::uint32_t itemNumber) {
  Store* store = Find(kind);
  if (store == nullptr) {
    return false;
  }
  if (itemNumber == 255) {
    store->items.clear();
    return true;
  }
  auto it = std::find_if(store->items.begin(), store->items.end(),
                         [itemNumber](const Item& item) { return item.number == itemNumber; });
  if (it == store->items.end()) {
    return false;
  }
  store->items.erase(it);
  if (IsPositional(kind)) {
    Renumber(*store);
  }
  return true;
}

void CHandsetStores::Clear(std::uint32_t kind) {
  if (Store* store = Find(kind)) {
    store->items.clear();
  }
}

std::optional<std::uint32_t> CHandsetStores::ReadCount(std::uint32_t kind) const {
  if (kind == UDFP_SIM_KIND_MELODY_LIST) {
    return Find(UDFP_SIM_KIND_MELODY)->capacity;
  }
  if (kind == UDFP_SIM_KIND_DEVICE_INFO) {
    return 1;
  }
  const Store* store = Find(StoreOfList(kind));
  if (store == nullptr) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::min<std::size_t>(store->items.size(), UDFP_SIM_MAX_CAPACITY));
}

std::vector<std::uint8_t> CHandsetStores::ListEntry(std::uint32_t listKind, std::uint32_t itemNumber) const {
  const Store* store = Find(StoreOfList(listKind));
  std::vector<std::uint8_t> entry;
  if (listKind == UDFP_SIM_KIND_MELODY_LIST) {
    // One entry per slot; an empty slot answers only its number and a zero flag.
    if (itemNumber < 1 || itemNumber > store->capacity) {
      return entry;
    }
    const Item* melody = Melody(itemNumber);
    entry = {static_cast<std::uint8_t>(itemNumber), static_cast<std::uint8_t>(melody != nullptr ? 1 : 0)};
    if (melody != nullptr) {
      entry.insert(entry.end(), melody->bytes.begin(), melody->bytes.begin() + UDFP_SIM_MELODY_HEADER_SIZE);
    }
    return entry;
  }
  // Picture lists: entry n describes the n-th picture in item-number order.
  if (itemNumber < 1 || itemNumber > store->items.size()) {
    return entry;
  }
  const Item& item = store->items[itemNumber - 1];
  const std::uint8_t type = listKind == UDFP_SIM_KIND_WALLPAPER_LIST ? 1 : 2;
  entry = {static_cast<std::uint8_t>(item.number), type};
  entry.insert(entry.end(), item.bytes.begin(), item.bytes.begin() + 32);
  return entry;
}

std::optional<std::vector<std::uint8_t>> CHandsetStores::ReadObject(std::uint32_t kind,
                                                                    std::uint32_t itemNumber) const {
  if (kind == UDFP_SIM_KIND_DEVICE_INFO) {
    return std::vector<std::uint8_t>(m_deviceInfo.begin(), m_deviceInfo.end());
  }
  if (IsListKind(kind)) {
    auto entry = ListEntry(kind, itemNumber);
    if (entry.empty()) {
      return std::nullopt;
    }
    return entry;
  }
  const Store* store = Find(kind);
  if (store == nullptr) {
    return std::nullopt;
  }
  for (const auto& item : store->items) {
    if (item.number == itemNumber) {
      return item.bytes;
    }
  }
  return std::nullopt;
}

const std::vector<CHandsetStores::Item>* CHandsetStores::Items(std::uint32_t kind) const {
  const Store* store = Find(kind);
  return store != nullptr ? &store->items : nullptr;
}

const CHandsetStores::Item* CHandsetStores::Melody(std::uint32_t slot) const {
  for (const auto& item : Find(UDFP_SIM_KIND_MELODY)->items) {
    if (item.number == slot) {
      return &item;
    }
  }
  return nullptr;
}

std::uint32_t CHandsetStores::UsedBytes() const {
  std::uint64_t used = 0;
  for (const auto& store : m_stores) {
    if (UsesMemory(store.kind)) {
      for (const auto& item : store.items) {
        used += item.bytes.size();
      }
    }
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(used, 0xFFFFFFFFu));
}

std::uint32_t CHandsetStores::FreeBytes() const {
  const std::uint32_t used = UsedBytes();
  return used >= m_memorySize ? 0 : m_memorySize - used;
}

std::uint32_t CHandsetStores::FreeItems(std::uint32_t kind) const {
  const Store* store = Find(StoreOfList(kind));
  if (store == nullptr || store->items.size() >= store->capacity) {
    return 0;
  }
  return static_cast<std::uint32_t>(store->capacity - store->items.size());
}

std::optional<std::uint32_t> CHandsetStores::Capacity(std::uint32_t kind) const {
  const Store* store = Find(kind);
  if (store == nullptr) {
    return std::nullopt;
  }
  return store->capacity;
}

bool CHandsetStores::SetCapacity(std::uint32_t kind, std::uint32_t items) {
  Store* store = Find(kind);
  if (store == nullptr) {
    return false;
  }
  store->capacity = std::min(items, UDFP_SIM_MAX_CAPACITY);
  if (kind == UDFP_SIM_KIND_PHONEBOOK) {
    m_deviceInfo[kPhonebookCapacityByte] = static_cast<std::uint8_t>(store->capacity);
  }
  return true;
}

void CHandsetStores::SetDeviceInfo(const std::array<std::uint8_t, 16>& info) {
  m_deviceInfo = info;
  SetCapacity(UDFP_SIM_KIND_PHONEBOOK, info[kPhonebookCapacityByte]);
}

bool CHandsetStores::SetModelField(std::uint32_t field, std::uint32_t value) {
  if (field >= kDeviceInfoModelFields) {
    return false;
  }
  const ModelFieldPosition& pos = kModelFieldPositions[field];
  const std::uint32_t mask = (1u << pos.width) - 1u;
  if (value > mask) {
    return false;
  }
  auto& byte = m_deviceInfo[pos.byte];
  byte = static_cast<std::uint8_t>((byte & ~(mask << pos.lowBit)) | (value << pos.lowBit));
  return true;
}

std::string CHandsetStores::Serialize() const {
  std::string out(kImageMagic, sizeof kImageMagic);
  PutU32(out, m_memorySize);
  out.append(reinterpret_cast<const char*>(m_deviceInfo.data()), m_deviceInfo.size());
  PutU32(out, static_cast<std::uint32_t>(m_stores.size()));
  for (const auto& store : m_stores) {
    PutU32(out, store.kind);
    PutU32(out, store.capacity);
    PutU32(out, static_cast<std::uint32_t>(store.items.size()));
    for (const auto& item : store.items) {
      PutU32(out, item.number);
      PutU32(out, static_cast<std::uint32_t>(item.bytes.size()));
      out.append(reinterpret_cast<const char*>(item.bytes.data()), item.bytes.size());
    }
  }
  const std::uint64_t hash = Fnv1a(out);
  PutU32(out, static_cast<std::uint32_t>(hash >> 32));
  PutU32(out, static_cast<std::uint32_t>(hash));
  return out;
}

bool CHandsetStores::Deserialize(std::string_view image) {
  if (image.size() < sizeof kImageMagic + 8 || std::memcmp(image.data(), kImageMagic, sizeof kImageMagic) != 0) {
    return false;
  }
  const std::string_view body = image.substr(0, image.size() - 8);
  CImageReader trailer(image.substr(image.size() - 8));
  std::uint32_t high = 0;
  std::uint32_t low = 0;
  trailer.U32(high);
  trailer.U32(low);
  if (((static_cast<std::uint64_t>(high) << 32) | low) != Fnv1a(body)) {
    return false;
  }
  CImageReader reader(body.substr(sizeof kImageMagic));
  std::uint32_t memorySize = 0;
  std::vector<std::uint8_t> info;
  std::uint32_t storeCount = 0;
  if (!reader.U32(memorySize) || !reader.Bytes(16, info) || !reader.U32(storeCount) || storeCount != m_stores.size()) {
    return false;
  }
  std::vector<Store> stores;
  for (std::uint32_t s = 0; s < storeCount; ++s) {
    Store store;
    std::uint32_t itemCount = 0;
    if (!reader.U32(store.kind) || !reader.U32(store.capacity) || !reader.U32(itemCount) ||
        itemCount > UDFP_SIM_MAX_CAPACITY) {
      return false;
    }
    for (std::uint32_t i = 0; i < itemCount; ++i) {
      Item item;
      std::uint32_t size = 0;
      if (!reader.U32(item.number) || !reader.U32(size) || size > UDFP_SIM_MAX_OBJECT_SIZE ||
          !reader.Bytes(size, item.bytes)) {
        return false;
      }
      store.items.push_back(std::move(item));
    }
    stores.push_back(std::move(store));
  }
  if (!reader.AtEnd() || !IsValidImage(stores)) {
    return false;
  }
  m_stores = std::move(stores);
  m_memorySize = memorySize;
  std::copy(info.begin(), info.end(), m_deviceInfo.begin());
  return true;
}

// Every store once, every capacity in range, every item of a size its kind allows and
// numbered as its store numbers items.
bool CHandsetStores::IsValidImage(const std::vector<Store>& stores) const {
  for (const auto& def : kStoreDefaults) {
    const auto count =
        std::count_if(stores.begin(), stores.end(), [&def](const Store& s) { return s.kind == def.kind; });
    if (count != 1) {
      return false;
    }
  }
  for (const auto& store : stores) {
    if (store.capacity > UDFP_SIM_MAX_CAPACITY) {
      return false;
    }
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < store.items.size(); ++i) {
      const Item& item = store.items[i];
      const std::size_t size = item.bytes.size();
      const std::uint32_t fixed = FixedSize(store.kind);
      const bool sizeOk = store.kind == UDFP_SIM_KIND_CALLER_LIST ? size >= UDFP_SIM_CALLER_RECORD_MIN_SIZE
                          : store.kind == UDFP_SIM_KIND_MELODY    ? size > UDFP_SIM_MELODY_HEADER_SIZE
                          : fixed != 0                            ? size == fixed
                                                                  : size > 0;
      const bool numberOk = IsPositional(store.kind) ? item.number == i + 1 : item.number > previous;
      if (!sizeOk || !numberOk || item.number == 0 || item.number > 255) {
        return false;
      }
      previous = item.number;
    }
  }
  return true;
}
