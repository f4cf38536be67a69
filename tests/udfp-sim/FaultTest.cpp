// Faults injected into the emulated handset and the attachment life cycle.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "SimHost.h"

namespace {

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.Start()); }
  void TearDown() override {
    UdfpRegisterHotplug(nullptr, nullptr);
    m_host.Stop();
  }
  CSimHost m_host;
};

// Collects hotplug calls for a test to wait on.
struct HotplugLog {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::tuple<int, std::uint32_t, std::uint32_t>> calls;

  static void Callback(void* context, std::int32_t arrived, std::uint32_t vendorId, std::uint32_t productId) {
    auto* log = static_cast<HotplugLog*>(context);
    std::lock_guard lock(log->mutex);
    log->calls.emplace_back(arrived, vendorId, productId);
    log->changed.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return calls.size() >= count; });
  }
};

// Waits up to five seconds for the emulator to reach a state.
template <typename Condition>
bool WaitForState(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    UdfpSimState state{};
    UdfpSimGetState(&state);
    if (condition(state)) {
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::yield();
  }
}

TEST_F(FaultTest, ASilencedRequestIsNeverAnsweredAndChangesNothing) {
  UdfpSimSilenceNextRequests(1);
  ASSERT_TRUE(m_host.Send(0xE95, {1}));
  EXPECT_FALSE(m_host.NextEvent(200).has_value());
  UdfpSimState state{};
  UdfpSimGetState(&state);
  EXPECT_EQ(state.sessionOpen, 1) << "the handset acted on the request, only its answer is lost";
  EXPECT_EQ(m_host.Session(false), 0) << "the next request is answered again";
}

TEST_F(FaultTest, FailedCallsAndStalledPipesEndAfterTheirCount) {
  UdfpSimFailVendorRequests(2);
  EXPECT_FALSE(m_host.Send(0xE95, {1}));
  EXPECT_FALSE(m_host.Send(0xE95, {1}));
  EXPECT_EQ(m_host.Session(true), 0);

  ASSERT_EQ(m_host.Request(0xE75, {UDFP_SIM_KIND_RAW, 0, 0, 4, 0, 0})->data, std::vector<std::uint8_t>{0});
  const std::uint8_t block[8] = {0, 0, 0x80, 4, 1, 2, 3, 4};
  const std::uint32_t out = UdfpOpenPipe(m_host.Device(), 2, UDFP_PIPE_OUT);
  std::uint32_t moved = 99;
  UdfpSimFailPipeTransfers(1);
  EXPECT_EQ(UdfpWriteData(out, block, sizeof block, &moved, 0), 0);
  EXPECT_EQ(moved, 0u);
  UdfpSimStallPipeTransfers(1);
  EXPECT_EQ(UdfpWriteData(out, block, sizeof block, &moved, 0), 1);
  EXPECT_EQ(moved, 0u) << "a stalled transfer succeeds without moving anything";
  EXPECT_EQ(UdfpWriteData(out, block, sizeof block, &moved, 0), 1);
  EXPECT_EQ(moved, sizeof block);
  UdfpClosePipe(out);

  const std::uint32_t in = UdfpOpenPipe(m_host.Device(), 2, UDFP_PIPE_IN);
  std::uint8_t ack[1024] = {};
  UdfpSimStallPipeTransfers(1);
  EXPECT_EQ(UdfpReadData(in, ack, sizeof ack, &moved, 0), 1);
  EXPECT_EQ(moved, 0u);
  EXPECT_EQ(UdfpReadData(in, ack, sizeof ack, &moved, 0), 1);
  EXPECT_EQ(moved, 4u);
  EXPECT_EQ(ack[0], UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(UdfpReadData(in, ack, sizeof ack, &moved, 0), 0) << "nothing more to read: fails, moves nothing";
  EXPECT_EQ(moved, 0u);
  UdfpClosePipe(in);
  m_host.Session(false);
}

TEST_F(FaultTest, ARefusedBlockCarriesTheInjectedCodeAndStoresNothing) {
  UdfpSimRefuseNextBlock(UDFP_SIM_REFUSE_MEMORY_FULL);
  std::vector<std::uint8_t> object(2000, 0x5A);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_RAW, object), UDFP_SIM_REFUSE_MEMORY_FULL);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 0);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_RAW, object), UDFP_SIM_ACK_ACCEPTED) << "only the next block";

  UdfpSimRefuseNextBlock(0x33);
  EXPECT_FALSE(m_host.ReadObject(UDFP_SIM_KIND_RAW, 1).has_value());
}

TEST_F(FaultTest, AnAnswerLeftUnreadIsNotTakenForTheNextOne) {
  ASSERT_EQ(m_host.Session(true), 0);
  ASSERT_EQ(m_host.Request(0xE75, {UDFP_SIM_KIND_RAW, 0, 0, 4, 0, 0})->data, std::vector<std::uint8_t>{0});
  const std::uint8_t block[8] = {0, 0, 0x80, 4, 1, 2, 3, 4};
  const std::uint32_t out = UdfpOpenPipe(m_host.Device(), 2, UDFP_PIPE_OUT);
  std::uint32_t moved = 0;
  ASSERT_EQ(UdfpWriteData(out, block, sizeof block, &moved, 0), 1);
  UdfpClosePipe(out);
  EXPECT_EQ(m_host.Session(false), 0) << "the host gave up without reading the acknowledgement";

  ASSERT_EQ(m_host.Session(true), 0);
  ASSERT_EQ(m_host.Request(0xE7C, {UDFP_SIM_KIND_RAW, 1})->data, std::vector<std::uint8_t>{0});
  const auto first = m_host.Exchange({1, 0, 0, 0});
  EXPECT_EQ(first, (std::vector<std::uint8_t>{2, 0, 0x80, 4, 1, 2, 3, 4}));
  m_host.Session(false);
}

TEST_F(FaultTest, DriverStatusAndQueuedEventsReachTheHost) {
  std::uint8_t status = 0xEE;
  ASSERT_EQ(UdfpGetDriverStatus(m_host.Device(), &status), 1);
  EXPECT_EQ(status, 0);
  UdfpSimRaiseDriverStatus(0x02);
  ASSERT_EQ(UdfpGetDriverStatus(m_host.Device(), &status), 1);
  EXPECT_EQ(status, 0x02);
  ASSERT_EQ(UdfpResetDriverStatus(m_host.Device()), 1);
  ASSERT_EQ(UdfpGetDriverStatus(m_host.Device(), &status), 1);
  EXPECT_EQ(status, 0);

  const std::uint8_t data[3] = {9, 8, 7};
  ASSERT_EQ(UdfpSimQueueEvent(UDFP_SIM_EVENT_MODEL_INFO_CHANGED, nullptr, 0), 1);
  ASSERT_EQ(UdfpSimQueueEvent(UDFP_SIM_EVENT_E93, data, sizeof data), 1);
  ASSERT_EQ(UdfpSimQueueEvent(0x0D80, nullptr, 0), 1);
  EXPECT_EQ(UdfpSimQueueEvent(0x10000, nullptr, 0), 0);
  auto first = m_host.NextEvent();
  auto second = m_host.NextEvent();
  auto third = m_host.NextEvent();
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(first->code, 0xE98);
  EXPECT_TRUE(first->data.empty());
  EXPECT_EQ(second->code, 0xE93);
  EXPECT_EQ(second->data, (std::vector<std::uint8_t>{9, 8, 7}));
  EXPECT_EQ(third->code, 0x0D80);

  // Without polling started the handset's events stay queued.
  UdfpStopPolling(m_host.Device());
  UdfpSimQueueEvent(0xE94, nullptr, 0);
  EXPECT_FALSE(m_host.NextEvent(50).has_value());
  UdfpStartPolling(m_host.Device(), 0, 1);
  EXPECT_EQ(m_host.NextEvent()->code, 0xE94);
}

TEST_F(FaultTest, UnplugAfterABlockEndsTheTransferAndKeepsNoPartialObject) {
  HotplugLog log;
  ASSERT_EQ(UdfpRegisterHotplug(&HotplugLog::Callback, &log), 1);
  UdfpSimUnplugAfterBlock(1);
  std::vector<std::uint8_t> object(3000, 0x11);
  EXPECT_NE(m_host.WriteObject(UDFP_SIM_KIND_RAW, object), UDFP_SIM_ACK_ACCEPTED);
  ASSERT_TRUE(log.WaitFor(1));
  EXPECT_EQ(log.calls[0], std::make_tuple(0, 0x3A7Eu, 0x1276u));
  EXPECT_EQ(UdfpSimIsPlugged(), 0);
  UdfpSimCounters counters{};
  UdfpSimGetCounters(&counters);
  EXPECT_EQ(counters.blocksWritten, 2u) << "block 1 was taken, its acknowledgement lost";

  // Every handle died with the handset; it no longer identifies a device.
  std::uint8_t status = 0;
  EXPECT_EQ(UdfpGetDriverStatus(m_host.Device(), &status), 0);
  std::uint32_t vendor = 1;
  std::uint32_t product = 1;
  EXPECT_EQ(UdfpGetDeviceInfo(m_host.Device(), &vendor, &product), 0);
  EXPECT_EQ(UdfpOpenPipe(m_host.Device(), 2, UDFP_PIPE_IN), UDFP_INVALID_HANDLE);
  EXPECT_EQ(UdfpOpen(), UDFP_INVALID_HANDLE);

  ASSERT_EQ(UdfpSimPlug(), 1);
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(std::get<0>(log.calls[1]), 1);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 0);
  const std::uint32_t device = UdfpOpen();
  ASSERT_NE(device, UDFP_INVALID_HANDLE);
  EXPECT_NE(device, m_host.Device()) << "a new attachment gives a new handle";
  EXPECT_EQ(UdfpGetDeviceInfo(m_host.Device(), &vendor, &product), 0) << "the old handle stays dead";
  ASSERT_EQ(UdfpGetDeviceInfo(device, &vendor, &product), 1);
  EXPECT_EQ(vendor, 0x3A7Eu);
  EXPECT_EQ(product, 0x1276u);
  UdfpSimState state{};
  UdfpSimGetState(&state);
  EXPECT_EQ(state.sessionOpen, 0) << "power was lost with the cable";
  UdfpClose(device);
}

// The cable pulled between two records of a send: the armed count runs over objects of
// the one kind only, the object that completes it is kept but never acknowledged, and the
// fault is spent once it has fired.
TEST_F(FaultTest, UnplugAfterObjectsOfAKindKeepsTheLastObjectUnacknowledged) {
  EXPECT_EQ(UdfpSimUnplugAfterObjects(UDFP_SIM_KIND_DEVICE_INFO, 1), 0) << "no store, nothing to count";
  ASSERT_EQ(UdfpSimUnplugAfterObjects(UDFP_SIM_KIND_PHONEBOOK, 2), 1);
  const std::vector<std::uint8_t> record(UDFP_SIM_PHONEBOOK_RECORD_SIZE, 0x31);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_RAW, std::vector<std::uint8_t>(100, 7)), UDFP_SIM_ACK_ACCEPTED)
      << "another kind does not count";
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, record), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(UdfpSimIsPlugged(), 1);
  EXPECT_NE(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, record), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(UdfpSimIsPlugged(), 0);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PHONEBOOK), 2) << "the second record was stored before the cable went";
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 1);

  ASSERT_EQ(UdfpSimPlug(), 1);
  ASSERT_TRUE(m_host.Reopen());
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, record), UDFP_SIM_ACK_ACCEPTED) << "spent after firing";
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, record), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(UdfpSimIsPlugged(), 1);

  // Disarming: a count of 0, and ClearFaults.
  ASSERT_EQ(UdfpSimUnplugAfterObjects(UDFP_SIM_KIND_PHONEBOOK, 1), 1);
  ASSERT_EQ(UdfpSimUnplugAfterObjects(UDFP_SIM_KIND_PHONEBOOK, 0), 1);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, record), UDFP_SIM_ACK_ACCEPTED);
  ASSERT_EQ(UdfpSimUnplugAfterObjects(UDFP_SIM_KIND_PHONEBOOK, 1), 1);
  UdfpSimClearFaults();
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, record), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(UdfpSimIsPlugged(), 1);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PHONEBOOK), 6);
}

// Deletes are counted when the handset handles them, outside a session not at all.
TEST_F(FaultTest, DeleteRequestsAreCounted) {
  UdfpSimStoreFill(UDFP_SIM_KIND_PHONEBOOK, 3);
  ASSERT_TRUE(m_host.Request(0xE81, {UDFP_SIM_KIND_PHONEBOOK, 255}).has_value());
  UdfpSimCounters counters{};
  UdfpSimGetCounters(&counters);
  EXPECT_EQ(counters.deleteRequests, 0u);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PHONEBOOK), 3);
  ASSERT_TRUE(m_host.Operation(0xE81, {UDFP_SIM_KIND_PHONEBOOK, 255}).has_value());
  UdfpSimGetCounters(&counters);
  EXPECT_EQ(counters.deleteRequests, 1u);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PHONEBOOK), 0);
  UdfpSimResetCounters();
  UdfpSimGetCounters(&counters);
  EXPECT_EQ(counters.deleteRequests, 0u);
}

TEST_F(FaultTest, AWaitingPipeReadEndsWhenTheHandsetIsUnplugged) {
  ASSERT_EQ(m_host.Session(true), 0);
  UdfpSimSetResponseDelay(UDFP_MAX_BLOCKING_MS);
  const std::uint8_t request[4] = {1, 0, 0, 0};
  const std::uint32_t out = UdfpOpenPipe(m_host.Device(), 2, UDFP_PIPE_OUT);
  std::uint32_t moved = 0;
  ASSERT_EQ(UdfpWriteData(out, request, sizeof request, &moved, 0), 1);
  const std::uint32_t in = UdfpOpenPipe(m_host.Device(), 2, UDFP_PIPE_IN);
  std::atomic<int> result{-1};
  std::thread reader([&] {
    std::uint8_t buffer[1024];
    std::uint32_t got = 0;
    result = UdfpReadData(in, buffer, sizeof buffer, &got, 0);
  });
  ASSERT_TRUE(WaitForState([](const UdfpSimState& state) { return state.pipeReadsWaiting == 1; }));
  UdfpSimUnplug();
  reader.join();
  EXPECT_EQ(result.load(), 0);
}

TEST_F(FaultTest, NoHotplugCallRunsAfterUnregistering) {
  HotplugLog log;
  ASSERT_EQ(UdfpRegisterHotplug(&HotplugLog::Callback, &log), 1);
  UdfpSimUnplug();
  UdfpSimPlug();
  ASSERT_TRUE(log.WaitFor(2));
  ASSERT_EQ(UdfpRegisterHotplug(nullptr, nullptr), 1);
  UdfpSimUnplug();
  UdfpSimPlug();
  // Both notices were handed out (to nobody) once none is pending.
  ASSERT_TRUE(WaitForState([](const UdfpSimState& state) { return state.hotplugPending == 0; }));
  std::lock_guard lock(log.mutex);
  EXPECT_EQ(log.calls.size(), 2u);
}

TEST_F(FaultTest, ResetGivesAFreshHandsetButKeepsTheAttachment) {
  UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, reinterpret_cast<const std::uint8_t*>("abc"), 3);
  UdfpSimSetCapacity(UDFP_SIM_KIND_MELODY, 3);
  UdfpSimSetUsbIds(0x1111, 0x2222);
  UdfpSimFailVendorRequests(5);
  ASSERT_EQ(UdfpSimReset(), 1);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 0);
  EXPECT_EQ(UdfpSimGetCapacity(UDFP_SIM_KIND_MELODY), 10);
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_EQ(UdfpGetDeviceInfo(m_host.Device(), &vendor, &product), 1);
  EXPECT_EQ(vendor, 0x3A7Eu);
  EXPECT_EQ(m_host.Session(true), 0) << "faults were cleared";
}

}  // namespace
