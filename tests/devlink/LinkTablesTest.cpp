#include "devlink/IndicationTable.h"
#include "devlink/RequestDescriptorTable.h"
#include "devlink/RequestNames.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(RequestDescriptorTable, SessionOperationsGoOutAsSessionBytes) {
  for (std::uint16_t code : {0xE75, 0xE7A, 0xE7C, 0xE81, 0xE83, 0xE85, 0xE87, 0xE8F, 0xE95}) {
    const auto descriptor = CRequestDescriptorTable::Find(code);
    EXPECT_EQ(descriptor.requestType, 0x43) << std::hex << code;
    EXPECT_EQ(descriptor.request, 3);
    EXPECT_EQ(descriptor.value, 0xE95);
    EXPECT_EQ(descriptor.payloadRule, CRequestDescriptorTable::kSessionByte);
  }
}

TEST(RequestDescriptorTable, OtherEntriesAndEmptyOnes) {
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE71).payloadRule, CRequestDescriptorTable::kNoPayload);
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE73).value, 0xE73);
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE77).payloadRule, CRequestDescriptorTable::kKindAndOne);
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE7E).payloadRule, CRequestDescriptorTable::kKindAndArg3);
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE91).payloadRule, CRequestDescriptorTable::kKindOnly);
  // The value is stored little-endian in the raw 6-byte entry.
  EXPECT_EQ(CRequestDescriptorTable::RawEntry(0xE75), (std::array<std::uint8_t, 6>{0x43, 3, 0x95, 0x0E, 3, 0}));
  int filled = 0;
  for (std::uint32_t code = 0xE00; code <= 0xE96; ++code) {
    filled += CRequestDescriptorTable::Find(code).requestType != 0 ? 1 : 0;
  }
  EXPECT_EQ(filled, 14);
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE76).requestType, 0);
  EXPECT_EQ(CRequestDescriptorTable::Find(0xE97).requestType, 0);
  EXPECT_EQ(CRequestDescriptorTable::Find(1).requestType, 0);
}

TEST(RequestNames, NamedUnnamedAndOutOfRange) {
  EXPECT_STREQ(CRequestNames::Name(0xE75), "EVENT_UTILITY_WRITE_START_REQ");
  EXPECT_STREQ(CRequestNames::Name(0xE01), "EVENT_CONNECT_REQ");
  EXPECT_STREQ(CRequestNames::Name(0xE95), "EVENT_UTILITY_SESSION_REQ");
  EXPECT_STREQ(CRequestNames::Name(0xE96), "None");
  EXPECT_STREQ(CRequestNames::Name(0xE00), "None");
  EXPECT_STREQ(CRequestNames::Name(0xE97), "None");
  EXPECT_STREQ(CRequestNames::Name(2), "None");
  EXPECT_LT(std::strlen(CRequestNames::Name(0xE66)), CRequestNames::kEntrySize);
}

TEST(IndicationTable, ActionsOfEachIndication) {
  EXPECT_EQ(CIndicationTable::Find(0xE93)->action, CIndicationTable::kBroadcast);
  EXPECT_EQ(CIndicationTable::Find(0xE94)->message, 0x8069);
  EXPECT_EQ(CIndicationTable::Find(0xE89)->action, CIndicationTable::kCloseThenNotify);
  EXPECT_EQ(CIndicationTable::Find(0x0D80)->message, 0x8072);
  EXPECT_EQ(CIndicationTable::Find(0xE79)->action, CIndicationTable::kRefusePending);
  EXPECT_EQ(CIndicationTable::Find(0xE80)->message, 0x8066);
  EXPECT_EQ(CIndicationTable::Find(0xE98)->action, CIndicationTable::kTellResidentWindow);
  EXPECT_FALSE(CIndicationTable::Find(0xE96).has_value());
}
