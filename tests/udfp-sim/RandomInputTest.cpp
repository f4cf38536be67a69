// Whatever a confused or hostile host sends, the handset neither crashes nor corrupts its
// stores, and it still answers afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "SimHost.h"

namespace {

TEST(RandomInputTest, ArbitraryRequestsAndBlocksLeaveAWorkingHandset) {
  CSimHost host;
  ASSERT_TRUE(host.Start());
  for (std::uint32_t kind : {UDFP_SIM_KIND_PHONEBOOK, UDFP_SIM_KIND_WALLPAPER, UDFP_SIM_KIND_MELODY}) {
    UdfpSimStoreFill(kind, 3);
  }
  std::mt19937 random(20261208);
  const std::uint16_t codes[] = {0xE95, 0xE73, 0xE71, 0xE75, 0xE77, 0xE7A, 0xE7C, 0xE7E,
                                 0xE81, 0xE83, 0xE85, 0xE87, 0xE8F, 0xE91, 0x1234};
  const std::uint8_t kinds[] = {0, 1, 4, 8, 15, 16, 17, 18, 19, 0x7E, 200};
  auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
  for (int step = 0; step < 1500; ++step) {
    if (random() % 3 == 0) {
      std::vector<std::uint8_t> block(random() % 1030);
      for (auto& b : block) {
        b = byte();
      }
      if (block.size() >= 4 && random() % 2 == 0) {
        block[0] = static_cast<std::uint8_t>(random() % 2);  // mostly well-tagged
        block[1] = static_cast<std::uint8_t>(random() % 4);
      }
      const std::uint32_t out = UdfpOpenPipe(host.Device(), 2, UDFP_PIPE_OUT);
      std::uint32_t moved = 0;
      UdfpWriteData(out, block.data(), static_cast<std::uint32_t>(block.size()), &moved, 0);
      UdfpClosePipe(out);
      if (random() % 2 == 0) {
        const std::uint32_t in = UdfpOpenPipe(host.Device(), 2, UDFP_PIPE_IN);
        std::uint8_t answer[1024];
        UdfpReadData(in, answer, static_cast<std::uint32_t>(random() % 1025), &moved, 0);
        UdfpClosePipe(in);
      }
      continue;
    }
    std::vector<std::uint8_t> payload(random() % 9);
    for (auto& b : payload) {
      b = byte();
    }
    if (!payload.empty()) {
      payload[0] = kinds[random() % std::size(kinds)];
    }
    host.Send(codes[random() % std::size(codes)], payload);
    if (random() % 4 == 0) {
      host.NextEvent(5);
    }
  }

  // The stores still form a consistent handset: they save and load back.
  const auto path = std::filesystem::temp_directory_path() / ("udfp-sim-random-" + std::to_string(::getpid()));
  ASSERT_EQ(UdfpSimSaveState(path.c_str()), 1);
  EXPECT_EQ(UdfpSimLoadState(path.c_str()), 1);
  std::filesystem::remove(path);

  // And the handset answers a clean host again.
  UdfpSimSetPlayDuration(1);
  host.Stop();
  UdfpSimPlug();
  CSimHost clean;
  ASSERT_TRUE(clean.Start());
  EXPECT_EQ(clean.Session(true), 0);
  EXPECT_EQ(clean.Session(false), 0);
  clean.Stop();
}

}  // namespace
