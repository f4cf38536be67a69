#include "phonebook/HandsetPhonebook.h"
#include "phonebook/HandsetRecord.h"

#include <gtest/gtest.h>

namespace {

TEST(HandsetPhonebook, ReceiveKeepsCapacityFirstOfANumberAndValidRecords) {
  const std::vector<HandsetPhonebookRecord> items = {
      EncodeRecord("Zed", "5551234", {1, 2, 3, 4}), EncodeRecord("Empty", "", {}),
      EncodeRecord("Again", "555-1234", {9, 9, 9, 9}), EncodeRecord("amy", "12", {}), EncodeRecord("Beyond", "99", {})};
  std::vector<PhonebookEntry> received;
  for (std::size_t i = 0; i < items.size(); ++i) {
    AddReceivedItem(received, i, 4, items[i].bytes, true);
  }
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].number, "555-1234");
  EXPECT_EQ(received[0].attributes, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_FALSE(AddReceivedItem(received, 0, 300 & 0xFF, std::span(items[0].bytes).first(20), true));

  CPhonebookList handset;
  handset.Append("Typed", "12");
  EXPECT_EQ(ShowReceivedEntries(received, handset), 1u);
  ASSERT_EQ(handset.Count(), 2u);
  EXPECT_EQ(handset.Row(0).name, "Typed");
  EXPECT_EQ(handset.Row(1).name, "Zed");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].name, "Zed");
}

TEST(HandsetPhonebook, SendQueueKeepsAttributesOfUnchangedNumbers) {
  const std::vector<PhonebookEntry> received = {{"Zed", "555-1234", {1, 2, 3, 4}}, {"Old", "777", {5, 5, 5, 5}}};
  CPhonebookList handset;
  handset.Append("Zed renamed", "555-1234");
  handset.Append("Old", "7777");  // number edited
  handset.Append("New", "1-555-123-4567");
  const std::vector<PhonebookEntry> queue = BuildSendQueue(handset, received);
  ASSERT_EQ(queue.size(), 3u);
  EXPECT_EQ(queue[0], (PhonebookEntry{"Zed renamed", "5551234", {1, 2, 3, 4}}));
  EXPECT_EQ(queue[1], (PhonebookEntry{"Old", "7777", {}}));
  EXPECT_EQ(queue[2].number, "15551234567");
  const auto record = EncodeRecord(queue[0].name, queue[0].number, queue[0].attributes);
  EXPECT_EQ(record.bytes[32], 1);
  EXPECT_EQ(record.bytes[35], 4);
}

// What the handset holds now comes before a restored cache in the table: of two entries
// with the same number the first gives the bytes, whatever form its number is in.
TEST(HandsetPhonebook, SendQueueTakesTheBytesOfTheFirstEntryOfANumber) {
  const std::vector<PhonebookEntry> received = {
      {"Now", "555-1234", {1, 1, 1, 1}}, {"Cached", "5551234", {2, 2, 2, 2}}, {"Other", "99", {3, 3, 3, 3}}};
  CPhonebookList handset;
  handset.Append("Other", "99");
  handset.Append("Now", "5551234");
  const std::vector<PhonebookEntry> queue = BuildSendQueue(handset, received);
  ASSERT_EQ(queue.size(), 2u);
  EXPECT_EQ(queue[0].attributes, (std::array<std::uint8_t, 4>{3, 3, 3, 3}));
  EXPECT_EQ(queue[1].attributes, (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
}

}  // namespace
