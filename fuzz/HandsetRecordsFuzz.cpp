// Records and list entries as the handset sends them: phonebook records (36 bytes), caller
// records (32 bytes), melody list entries and melody records, picture list entries and the
// free-space reply. The input is a sequence of items, each a length byte then its bytes,
// as the device link hands them over one by one.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "PhonebookCheck.h"
#include "melody/MelodyRecord.h"
#include "phonebook/HandsetPhonebook.h"
#include "phonebook/HandsetRecord.h"
#include "picture/HandsetPictureList.h"

namespace {

std::vector<std::span<const std::uint8_t>> Items(const std::uint8_t* data, std::size_t size) {
  std::vector<std::span<const std::uint8_t>> items;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
    items.emplace_back(data + at + 1, length);
    at += 1 + length;
  }
  return items;
}

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

// A received record sent back unchanged decodes to the same entry. (A name byte outside the
// name set becomes a blank after the padding blanks are trimmed, so such a blank at the end
// is trimmed on the next receive: the name is compared without trailing blanks.)
void RequireRecordRoundTrip(const PhonebookEntry& entry) {
  const HandsetPhonebookRecord record = EncodeRecord(entry.name, entry.number, entry.attributes);
  const std::optional<PhonebookEntry> again = DecodeRecord(record.bytes);
  if (!again || again->number != entry.number || again->attributes != entry.attributes ||
      again->name != WithoutTrailingBlanks(entry.name)) {
    fuzzcheck::Fail("a decoded handset record does not encode back to itself");
  }
}

void Phonebook(const std::vector<std::span<const std::uint8_t>>& items) {
  for (const bool freeEdit : {false, true}) {
    std::vector<PhonebookEntry> received;
    std::vector<CallerIdEntry> callers;
    for (const auto item : items) {
      if (const auto entry = DecodeRecord(item)) {
        RequireRecordRoundTrip(*entry);
      }
      AddReceivedItem(received, received.size(), 500, item, freeEdit);
      if (auto caller = DecodeCallerRecord(item)) {
        callers.push_back(std::move(*caller));
      }
      DecodeDialCodes(item);
    }
    CPhonebookList handset;
    ShowReceivedEntries(received, handset);
    fuzzcheck::RequireValidRows(handset);
    BuildSendQueue(handset, received);
    CPhonebookList computer;
    MergeCallers(computer, callers, freeEdit);
    fuzzcheck::RequireValidRows(computer);
  }
}

void Melody(const std::vector<std::span<const std::uint8_t>>& items) {
  for (const auto item : items) {
    ParseMelodyListEntry(item.data(), item.size());
    MelodyRecordName(item.data(), item.size());
    const std::vector<std::uint8_t> frames = MelodyRecordFrames(item.data(), item.size());
    const std::string name = MelodyRecordName(item.data(), item.size());
    const std::vector<std::uint8_t> rebuilt = BuildMelodyRecord(name, frames.data(), frames.size());
    if (MelodyRecordFrames(rebuilt.data(), rebuilt.size()) != frames) {
      fuzzcheck::Fail("a melody record rebuilt from its parts has other frames");
    }
  }
}

void Pictures(const std::vector<std::span<const std::uint8_t>>& items) {
  CHandsetPictureList list;
  for (const auto item : items) {
    const PictureKind kind = item.empty() || item[0] % 2 == 0 ? PictureKind::Wallpaper : PictureKind::PictureId;
    list.AppendEntry(kind, item.data(), item.size());
    if (const auto free = CHandsetPictureList::ParseFreeSpaceReply(item.data(), item.size())) {
      list.SetFreeKilobytes(*free);
      list.SetFreeItems(*free);
    }
  }
  for (const CHandsetPictureList::Item& item : list.Items()) {
    const auto ref = CHandsetPictureList::FromItemData(item.itemData);
    if (!ref || CHandsetPictureList::ItemData(ref->kind, ref->number) != item.itemData) {
      fuzzcheck::Fail("a picture list entry's item data does not name it");
    }
  }
  list.HasRoomFor(RecordSize(PictureKind::Wallpaper));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto items = Items(data, size);
  Phonebook(items);
  Melody(items);
  Pictures(items);
  return 0;
}
