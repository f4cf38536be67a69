#include "devlink/RequestDescriptorTable.h"

#include <udfp.h>

namespace {

struct Filled {
  std::uint16_t code;
  std::uint16_t value;
  std::uint8_t rule;
};

using Rule = CRequestDescriptorTable::PayloadRule;

// Every request the link can send goes out as request 3 of type 0x43.
constexpr Filled kFilled[] = {
    {0xE71, 0xE71, Rule::kNoPayload},   {0xE73, 0xE73, Rule::kSessionByte}, {0xE75, 0xE95, Rule::kSessionByte},
    {0xE77, 0xE77, Rule::kKindAndOne},  {0xE7A, 0xE95, Rule::kSessionByte}, {0xE7C, 0xE95, Rule::kSessionByte},
    {0xE7E, 0xE7E, Rule::kKindAndArg3}, {0xE81, 0xE95, Rule::kSessionByte}, {0xE83, 0xE95, Rule::kSessionByte},
    {0xE85, 0xE95, Rule::kSessionByte}, {0xE87, 0xE95, Rule::kSessionByte}, {0xE8F, 0xE95, Rule::kSessionByte},
    {0xE91, 0xE91, Rule::kKindOnly},    {0xE95, 0xE95, Rule::kSessionByte},
};

constexpr std::uint8_t kVendorRequest = 3;

}  // namespace

CRequestDescriptorTable::Table CRequestDescriptorTable::Build() {
  Table table{};
  for (const Filled& entry : kFilled) {
    auto& raw = table[entry.code - kFirstCode];
    raw[0] = UDFP_REQTYPE_OUT;
    raw[1] = kVendorRequest;
    raw[2] = static_cast<std::uint8_t>(entry.value & 0xFF);
    raw[3] = static_cast<std::uint8_t>(entry.value >> 8);
    raw[4] = entry.rule;
    raw[5] = 0;
  }
  return table;
}

const CRequestDescriptorTable::Table& CRequestDescriptorTable::Entries() {
  static const Table table = Build();
  return table;
}

std::array<std::uint8_t, CRequestDescriptorTable::kEntrySize> CRequestDescriptorTable::RawEntry(std::uint32_t code) {
  if (code < kFirstCode || code >= kFirstCode + kEntryCount) {
    return {};
  }
  return Entries()[code - kFirstCode];
}

CRequestDescriptorTable::Descriptor CRequestDescriptorTable::Find(std::uint32_t code) {
  const auto raw = RawEntry(code);
  Descriptor descriptor;
  descriptor.requestType = raw[0];
  descriptor.request = raw[1];
  descriptor.value = static_cast<std::uint16_t>(raw[2] | (raw[3] << 8));
  descriptor.payloadRule = raw[4];
  return descriptor;
}
