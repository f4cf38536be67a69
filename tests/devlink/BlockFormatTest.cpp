#include "devlink/BlockFormat.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

std::vector<std::uint8_t> Object(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

std::uint32_t Length(const std::vector<std::uint8_t>& block) {
  return static_cast<std::uint32_t>(((block[2] & 0x7F) << 8) | block[3]);
}

}  // namespace

TEST(BlockFormat, ObjectOfOneBlockIsMarkedLastWithItsLength) {
  const auto object = Object(1020);
  bool last = false;
  const auto block = CBlockFormat::BuildBlock(object.data(), 1020, 0, last);
  EXPECT_TRUE(last);
  ASSERT_EQ(block.size(), 1024u);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[1], 0);
  EXPECT_EQ(block[2], 0x80 | 0x03);  // 1020 = 0x3FC, last bit set
  EXPECT_EQ(block[3], 0xFC);
  EXPECT_TRUE(std::equal(object.begin(), object.end(), block.begin() + 4));
  EXPECT_EQ(CBlockFormat::BlockCount(1020), 1u);
}

TEST(BlockFormat, ObjectOneByteOverABlockTakesTwoBlocks) {
  const auto object = Object(1021);
  bool last = true;
  const auto first = CBlockFormat::BuildBlock(object.data(), 1021, 0, last);
  EXPECT_FALSE(last);
  EXPECT_EQ(Length(first), 1020u);
  EXPECT_EQ(first[2] & 0x80, 0);
  const auto second = CBlockFormat::BuildBlock(object.data(), 1021, 1, last);
  EXPECT_TRUE(last);
  EXPECT_EQ(second[1], 1);
  EXPECT_EQ(Length(second), 1u);
  EXPECT_EQ(second[4], object[1020]);
  EXPECT_EQ(CBlockFormat::BlockCount(1021), 2u);
}

TEST(BlockFormat, EmptyObjectIsOneEmptyLastBlock) {
  bool last = false;
  const auto block = CBlockFormat::BuildBlock(nullptr, 0, 0, last);
  EXPECT_TRUE(last);
  EXPECT_EQ(block, (std::vector<std::uint8_t>{0, 0, 0x80, 0}));
}

TEST(BlockFormat, LargestObjectUsesEveryBlockNumberOnce) {
  const auto object = Object(CBlockFormat::kMaxObjectSize);
  EXPECT_EQ(CBlockFormat::BlockCount(CBlockFormat::kMaxObjectSize), 256u);
  EXPECT_TRUE(CBlockFormat::FitsBlockNumbers(261120));
  EXPECT_FALSE(CBlockFormat::FitsBlockNumbers(261121));
  bool last = false;
  const auto final = CBlockFormat::BuildBlock(object.data(), CBlockFormat::kMaxObjectSize, 255, last);
  EXPECT_TRUE(last);
  EXPECT_EQ(final[1], 255);
  EXPECT_EQ(Length(final), 1020u);
  EXPECT_EQ(final.back(), object.back());
}

TEST(BlockFormat, ReadRequestAndRefusalMarking) {
  EXPECT_EQ(CBlockFormat::BuildReadRequest(7), (std::array<std::uint8_t, 4>{1, 7, 0, 0}));
  const std::uint8_t ack[] = {0x10, 3, 0, 0};
  EXPECT_EQ(CBlockFormat::MarkRefusal(ack, 4), (std::vector<std::uint8_t>{0x90, 3, 0, 0}));
  EXPECT_EQ(CBlockFormat::MarkRefusal(nullptr, 0), (std::vector<std::uint8_t>{0x80}));
  const std::uint8_t accepted[] = {2, 0, 0, 0};
  EXPECT_TRUE(CBlockFormat::IsAccepted(accepted, 4));
  EXPECT_FALSE(CBlockFormat::IsAccepted(ack, 4));
  EXPECT_FALSE(CBlockFormat::IsDataBlock(accepted, 3));  // shorter than a header
}
