#include "devlink/IndicationTable.h"

#include "platform/WindowMessage.h"

namespace {

constexpr CIndicationTable::Entry kEntries[CIndicationTable::kEntryCount] = {
    {0xE93, WM_APP + 0x68, CIndicationTable::kBroadcast},
    {0xE94, WM_APP + 0x69, CIndicationTable::kBroadcast},
    {0xE89, WM_APP + 0x6D, CIndicationTable::kCloseThenNotify},
    {0x0D80, WM_APP + 0x72, CIndicationTable::kTellResidentWindow},
    {0xE79, WM_APP + 0x66, CIndicationTable::kRefusePending},
    {0xE80, WM_APP + 0x66, CIndicationTable::kRefusePending},
    {0xE98, WM_APP + 0x73, CIndicationTable::kTellResidentWindow},
};

}  // namespace

const CIndicationTable::Entry* CIndicationTable::Entries() {
  return kEntries;
}

std::optional<CIndicationTable::Entry> CIndicationTable::Find(std::uint16_t code) {
  for (const Entry& entry : kEntries) {
    if (entry.code == code) {
      return entry;
    }
  }
  return std::nullopt;
}
