// The emulated handset's protocol seen from the host: sessions, replies, blocks.
#include <gtest/gtest.h>

#include <numeric>

#include "SimHost.h"

namespace {

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.Start()); }
  void TearDown() override { m_host.Stop(); }
  CSimHost m_host;
};

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed = 7) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 8));
  }
  return bytes;
}

TEST_F(ProtocolTest, IdentifiesItselfAndAnswersTheSessionByte) {
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_NE(UdfpGetDeviceInfo(m_host.Device(), &vendor, &product), 0);
  EXPECT_EQ(vendor, 0x3A7Eu);
  EXPECT_EQ(product, 0x1276u);
  EXPECT_EQ(UdfpOpen(), UDFP_INVALID_HANDLE) << "a second open of a claimed handset must fail";

  EXPECT_EQ(m_host.Session(true), 0);
  UdfpSimState state{};
  UdfpSimGetState(&state);
  EXPECT_EQ(state.sessionOpen, 1);
  EXPECT_EQ(m_host.Session(false), 0);
  UdfpSimGetState(&state);
  EXPECT_EQ(state.sessionOpen, 0);
}

TEST_F(ProtocolTest, ObjectsOfBlockBoundarySizesRoundTripByteExact) {
  for (std::size_t size : {std::size_t{1}, std::size_t{1020}, std::size_t{1021}, std::size_t{261120}}) {
    UdfpSimStoreClear(UDFP_SIM_KIND_RAW);
    const auto bytes = Pattern(size, static_cast<std::uint8_t>(size));
    EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_RAW, bytes), UDFP_SIM_ACK_ACCEPTED) << size;
    const auto back = m_host.ReadObject(UDFP_SIM_KIND_RAW, 1);
    ASSERT_TRUE(back.has_value()) << size;
    EXPECT_EQ(*back, bytes) << size;
  }
}

}  // namespace
