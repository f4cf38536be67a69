// Many threads using the emulator at once, as the device link's workers and a test do.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "SimHost.h"

namespace {

TEST(ConcurrencyTest, HostWorkersControlsAndUnplugsRunTogether) {
  UdfpSimReset();
  UdfpSimPlug();
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;

  // A host that keeps storing and reading objects, reopening after every unplug.
  threads.emplace_back([&] {
    std::vector<std::uint8_t> object(2500, 0x42);
    for (int i = 0; i < 40 && !stop; ++i) {
      UdfpSimPlug();
      std::uint32_t device = UdfpOpen();
      if (device == UDFP_INVALID_HANDLE) {
        continue;
      }
      UdfpStartPolling(device, 0, 1);
      std::uint8_t byte = 1;
      if (UdfpVendorRequest(device, UDFP_REQTYPE_OUT, 3, 0xE95, 0, 1, &byte) != 0) {
        ++answered;
      }
      std::uint8_t record[8];
      std::uint32_t count = 1;
      UdfpGetEventStatus(device, record, sizeof record, &count);
      const std::uint32_t pipe = UdfpOpenPipe(device, 2, UDFP_PIPE_IN);
      std::uint32_t moved = 0;
      std::uint8_t buffer[1024];
      UdfpReadData(pipe, buffer, sizeof buffer, &moved, 0);
      UdfpClosePipe(pipe);
      UdfpClose(device);
    }
  });
  // Controls and inspection from other threads.
  threads.emplace_back([&] {
    for (int i = 0; i < 200 && !stop; ++i) {
      UdfpSimQueueEvent(0xE93, nullptr, 0);
      UdfpSimRaiseDriverStatus(static_cast<std::uint8_t>(i));
      UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, reinterpret_cast<const std::uint8_t*>("xyz"), 3);
      if (UdfpSimStoreCount(UDFP_SIM_KIND_RAW) > 100) {
        UdfpSimStoreClear(UDFP_SIM_KIND_RAW);
      }
      UdfpSimCounters counters{};
      UdfpSimGetCounters(&counters);
      UdfpSimState state{};
      UdfpSimGetState(&state);
    }
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 30 && !stop; ++i) {
      UdfpSimUnplug();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      UdfpSimPlug();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  for (auto& thread : threads) {
    thread.join();
  }
  UdfpSimPlug();
  EXPECT_GT(answered.load(), 0);
  // After the storm the handset still works from scratch.
  CSimHost again;
  ASSERT_TRUE(again.Start());
  EXPECT_EQ(again.Session(true), 0);
  again.Stop();
}

}  // namespace
