#include <gtest/gtest.h>

#include "melody/MelodyRecord.h"

TEST(MelodyRecordTest, NameFieldIsZeroFilledAndCutAtFifteen) {
  const std::uint8_t gc[3] = {1, 2, 3};
  const auto record = BuildMelodyRecord("ABCDEFGHIJKLMNO", gc, 3);
  ASSERT_EQ(record.size(), 35u);
  EXPECT_EQ(std::string(record.begin(), record.begin() + 15), "ABCDEFGHIJKLMNO");
  for (std::size_t i = 15; i < 32; ++i) {
    EXPECT_EQ(record[i], 0) << i;
  }
  EXPECT_EQ(MelodyRecordFrames(record.data(), record.size()), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(MelodyRecordName(record.data(), record.size()), "ABCDEFGHIJKLMNO");
  const auto longer = BuildMelodyRecord("ABCDEFGHIJKLMNOPQRS", nullptr, 0);
  EXPECT_EQ(MelodyRecordName(longer.data(), longer.size()), "ABCDEFGHIJKLMNO");
  EXPECT_TRUE(MelodyRecordFrames(longer.data(), longer.size()).empty());
}

TEST(MelodyRecordTest, ListEntriesSkipEmptySlotsAndUnprintableBytes) {
  const std::uint8_t shortData[2] = {3, 1};
  EXPECT_FALSE(ParseMelodyListEntry(shortData, 2).has_value());
  const std::uint8_t empty[5] = {4, 0, 'A', 'B', 0};
  EXPECT_FALSE(ParseMelodyListEntry(empty, 5).has_value());
  const std::uint8_t mixed[] = {7, 1, 'R', 0x07, 'i', 0xC3, 'n', 'g', 0, 'X'};
  const auto entry = ParseMelodyListEntry(mixed, sizeof mixed);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->slot, 7);
  EXPECT_EQ(entry->name, "Ring");
  EXPECT_EQ(entry->skipped, 2u);
  std::vector<std::uint8_t> longName = {1, 1};
  for (int i = 0; i < 20; ++i) {
    longName.push_back(static_cast<std::uint8_t>('a' + i));
  }
  EXPECT_EQ(ParseMelodyListEntry(longName.data(), longName.size())->name, "abcdefghijklmno");
  EXPECT_EQ(MelodyListLabel(1), "[1]");
  EXPECT_EQ(MelodyListLabel(12), "[12]");
}
