// The USB driver library against a handset emulated at the usbfs level (runs under
// umockdev-wrapper): what each export puts on the bus and what it makes of the answers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "LibraryThreads.h"
#include "MockHandset.h"
#include "UdfpLibrary.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Waits up to five seconds for the condition; events cross libusb's threads first.
bool WaitFor(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class UdfpUsbHandset : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(library.Error(), "");
    device = library.Open();
    ASSERT_NE(device, UDFP_INVALID_HANDLE);
  }

  uint8_t Status() {
    uint8_t status = 0xEE;
    EXPECT_NE(library.GetDriverStatus(device, &status), 0);
    return status;
  }

  // Takes event records until `wanted` arrived or five seconds passed.
  std::vector<Bytes> TakeEvents(size_t wanted) {
    std::vector<Bytes> records;
    WaitFor([&] {
      uint8_t record[UDFP_EVENT_RECORD_SIZE] = {};
      uint32_t count = 1;
      if (library.GetEventStatus(device, record, sizeof record, &count) != 0 && count == 1) {
        records.emplace_back(record, record + sizeof record);
      }
      return records.size() >= wanted;
    });
    return records;
  }

  CMockHandset handset;
  CUdfpLibrary library;
  uint32_t device = UDFP_INVALID_HANDLE;
};

TEST_F(UdfpUsbHandset, OpensTheHandsetOnInterfaceTwoAndIdentifiesIt) {
  EXPECT_NE(device, 0u);
  EXPECT_EQ(handset.ClaimedInterfaces(), std::vector<unsigned>{2});
  uint32_t vendor = 0;
  uint32_t product = 0;
  ASSERT_NE(library.GetDeviceInfo(device, &vendor, &product), 0);
  EXPECT_EQ(vendor, 0x3A7Eu);
  EXPECT_EQ(product, 0x1276u);
  EXPECT_EQ(Status(), 0);

  // Device and pipe handles come from one number space and are not interchangeable.
  uint32_t pipe = library.OpenPipe(device, 2, UDFP_PIPE_IN);
  ASSERT_NE(pipe, UDFP_INVALID_HANDLE);
  EXPECT_NE(pipe, device);
  EXPECT_EQ(library.GetDeviceInfo(pipe, &vendor, &product), 0);
  EXPECT_EQ(library.Close(pipe), 0);
  uint8_t buffer[4];
  uint32_t transferred = 0;
  EXPECT_EQ(library.ReadData(device, buffer, sizeof buffer, &transferred, 0), 0);

  EXPECT_NE(library.Close(device), 0);
  EXPECT_EQ(library.GetDeviceInfo(device, &vendor, &product), 0);
  // The pipe went with its device, and the interface was given back.
  EXPECT_EQ(library.ReadData(pipe, buffer, sizeof buffer, &transferred, 0), 0);
  EXPECT_TRUE(WaitFor([&] { return handset.ReleasedInterfaces() == std::vector<unsigned>{2}; }));
}

TEST_F(UdfpUsbHandset, ClosingCancelsATransferInProgressAndFreesTheHandset) {
  uint32_t in = library.OpenPipe(device, 2, UDFP_PIPE_IN);
  ASSERT_NE(in, UDFP_INVALID_HANDLE);
  std::atomic<int32_t> result{-1};
  uint32_t transferred = 99;
  std::thread reader([&] {
    uint8_t buffer[1024];
    result = library.ReadData(in, buffer, sizeof buffer, &transferred, 0);
  });
  ASSERT_TRUE(WaitFor([&] { return handset.WaitingUrbs() == 1; }));
  EXPECT_NE(library.Close(device), 0);
  // The interface is given back by the time Close returns, not when the read would time out.
  EXPECT_EQ(handset.ReleasedInterfaces(), std::vector<unsigned>{2});
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(transferred, 0u);
  device = library.Open();
  EXPECT_NE(device, UDFP_INVALID_HANDLE);
  EXPECT_EQ(Status(), 0);
}

TEST_F(UdfpUsbHandset, VendorRequestsCarryTheirFieldsAndData) {
  uint8_t session[1] = {1};
  ASSERT_NE(library.VendorRequest(device, UDFP_REQTYPE_OUT, 3, 0xE95, 0, 1, session), 0);
  handset.SetControlReply({0xE9, 0x0E, 0x10, 0x00, 0x55});
  uint8_t reply[4] = {};
  ASSERT_NE(library.VendorRequest(device, UDFP_REQTYPE_IN, 0, 1, 0x0012, 4, reply), 0);
  EXPECT_EQ(Bytes(reply, reply + 4), (Bytes{0xE9, 0x0E, 0x10, 0x00}));

  auto controls = handset.Controls();
  ASSERT_EQ(controls.size(), 2u);
  EXPECT_EQ(controls[0].requestType, 0x43);
  EXPECT_EQ(controls[0].request, 3);
  EXPECT_EQ(controls[0].value, 0xE95);
  EXPECT_EQ(controls[0].index, 0);
  EXPECT_EQ(controls[0].data, Bytes{1});
  EXPECT_EQ(controls[1].requestType, 0xC3);
  EXPECT_EQ(controls[1].value, 1);
  EXPECT_EQ(controls[1].index, 0x12);

  // A reply shorter than asked for is a failure, and leaves no stale bytes behind.
  handset.SetControlReply({0x07, 0x08});
  uint8_t shortReply[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(library.VendorRequest(device, UDFP_REQTYPE_IN, 0, 0, 0, 4, shortReply), 0);
  EXPECT_EQ(Bytes(shortReply, shortReply + 4), (Bytes{0x07, 0x08, 0, 0}));

  // Standard and class requests, and a length without a buffer, never reach the bus.
  size_t sent = handset.Controls().size();
  EXPECT_EQ(library.VendorRequest(device, 0x00, 9, 1, 0, 0, nullptr), 0);
  EXPECT_EQ(library.VendorRequest(device, 0x23, 3, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(library.VendorRequest(device, UDFP_REQTYPE_OUT, 3, 0, 0, 4, nullptr), 0);
  EXPECT_EQ(handset.Controls().size(), sent);
  EXPECT_EQ(Status(), 0);
}

TEST_F(UdfpUsbHandset, ApplicationModeIsItsOwnVendorRequest) {
  EXPECT_NE(library.ChangeApplicationMode(device, 3), 0);
  EXPECT_EQ(library.ChangeApplicationMode(device, 0), 0);
  EXPECT_EQ(library.ChangeApplicationMode(device, 5), 0);
  auto controls = handset.Controls();
  ASSERT_EQ(controls.size(), 1u);
  EXPECT_EQ(controls[0].requestType, 0x43);
  EXPECT_EQ(controls[0].request, 4);
  EXPECT_EQ(controls[0].value, 3);
  EXPECT_TRUE(controls[0].data.empty());
}

TEST_F(UdfpUsbHandset, BulkPipesMoveBlocksBothWays) {
  EXPECT_EQ(library.OpenPipe(device, 1, UDFP_PIPE_OUT), UDFP_INVALID_HANDLE);
  EXPECT_EQ(library.OpenPipe(device, 2, 3), UDFP_INVALID_HANDLE);
  uint32_t out = library.OpenPipe(device, 2, UDFP_PIPE_OUT);
  uint32_t in = library.OpenPipe(device, 2, UDFP_PIPE_IN);
  ASSERT_NE(out, UDFP_INVALID_HANDLE);
  ASSERT_NE(in, UDFP_INVALID_HANDLE);

  Bytes block(1024);
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<uint8_t>(i * 7 + 3);
  }
  uint32_t transferred = 0;
  ASSERT_NE(library.WriteData(out, block.data(), static_cast<uint32_t>(block.size()), &transferred, 0), 0);
  EXPECT_EQ(transferred, 1024u);
  ASSERT_EQ(handset.BulkOut().size(), 1u);
  EXPECT_EQ(handset.BulkOut()[0], block);

  handset.QueueBulkIn({2, 0, 0, 0});
  uint8_t ack[4] = {};
  ASSERT_NE(library.ReadData(in, ack, sizeof ack, &transferred, 0), 0);
  EXPECT_EQ(transferred, 4u);
  EXPECT_EQ(ack[0], 2);

  // A short block fills only what came.
  Bytes answer(600, 0x5A);
  answer[0] = 2;
  handset.QueueBulkIn(answer);
  Bytes received(1024, 0);
  ASSERT_NE(library.ReadData(in, received.data(), 1024, &transferred, 0), 0);
  ASSERT_EQ(transferred, 600u);
  EXPECT_EQ(Bytes(received.begin(), received.begin() + 600), answer);

  // Directions are fixed by the pipe.
  EXPECT_EQ(library.WriteData(in, block.data(), 4, &transferred, 0), 0);
  EXPECT_EQ(library.ReadData(out, received.data(), 4, &transferred, 0), 0);
  EXPECT_EQ(library.WriteData(out, nullptr, 4, &transferred, 0), 0);
  EXPECT_EQ(handset.BulkOut().size(), 1u);

  EXPECT_NE(library.ClosePipe(out), 0);
  EXPECT_EQ(library.ClosePipe(out), 0);
  EXPECT_EQ(library.WriteData(out, block.data(), 4, &transferred, 0), 0);
  EXPECT_NE(library.ClosePipe(in), 0);
}

TEST_F(UdfpUsbHandset, StallsSetTheErrorBitUntilResetAndClearTheHalt) {
  uint32_t out = library.OpenPipe(device, 2, UDFP_PIPE_OUT);
  ASSERT_NE(out, UDFP_INVALID_HANDLE);
  uint8_t block[8] = {0, 0, 0x80, 4, 1, 2, 3, 4};
  uint32_t transferred = 77;
  handset.StallNextBulkOut();
  EXPECT_EQ(library.WriteData(out, block, sizeof block, &transferred, 0), 0);
  EXPECT_EQ(transferred, 0u);
  EXPECT_EQ(Status() & 0x01, 0x01);
  EXPECT_EQ(handset.ClearedHalts(), std::vector<unsigned>{0x05});

  EXPECT_NE(library.ResetDriverStatus(device), 0);
  EXPECT_EQ(Status(), 0);
  EXPECT_NE(library.WriteData(out, block, sizeof block, &transferred, 0), 0);
  EXPECT_EQ(transferred, 8u);
  EXPECT_EQ(Status(), 0);

  handset.StallNextControl();
  EXPECT_EQ(library.VendorRequest(device, UDFP_REQTYPE_OUT, 3, 0xE95, 0, 0, nullptr), 0);
  EXPECT_EQ(Status() & 0x01, 0x01);
}

TEST_F(UdfpUsbHandset, EventRecordsArriveInOrderAndNoneIsLost) {
  uint8_t record[UDFP_EVENT_RECORD_SIZE] = {};
  uint32_t count = 1;
  ASSERT_NE(library.GetEventStatus(device, record, sizeof record, &count), 0);
  EXPECT_EQ(count, 0u);  // not polling yet: nothing, and no waiting
  EXPECT_EQ(library.GetEventStatus(device, record, 4, &count), 0);

  ASSERT_NE(library.StartPolling(device, 0, 1), 0);
  // More records than the library queues: the rest wait in the handset, none is dropped.
  constexpr int kRecords = 150;
  for (int i = 0; i < kRecords; ++i) {
    handset.QueueEvent({0x96, 0x0E, static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i >> 8), 0xCC, 0xDD, 0xEE});
  }
  auto records = TakeEvents(kRecords);
  ASSERT_EQ(records.size(), static_cast<size_t>(kRecords));
  for (int i = 0; i < kRecords; ++i) {
    EXPECT_EQ(records[i],
              (Bytes{0x96, 0x0E, static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i >> 8), 0xCC, 0xDD, 0xEE}))
        << i;
  }
  count = 1;
  ASSERT_NE(library.GetEventStatus(device, record, sizeof record, &count), 0);
  EXPECT_EQ(count, 0u);

  // A short packet with code and length is padded; one without is no record.
  handset.QueueEvent({0x01, 0x02});
  handset.QueueEvent({0x93, 0x0E, 0x00, 0x00});
  records = TakeEvents(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], (Bytes{0x93, 0x0E, 0, 0, 0, 0, 0, 0}));
  EXPECT_NE(library.StopPolling(device), 0);
  EXPECT_EQ(Status(), 0);
}

TEST_F(UdfpUsbHandset, AStalledEventEndpointIsClearedAndPollingGoesOn) {
  ASSERT_NE(library.StartPolling(device, 0, 1), 0);
  handset.StallNextEvent();
  ASSERT_TRUE(WaitFor([&] { return (Status() & 0x01) != 0; }));
  EXPECT_TRUE(WaitFor([&] { return handset.ClearedHalts() == std::vector<unsigned>{0x83}; }));
  handset.QueueEvent({0x94, 0x0E, 0, 0, 0, 0, 0, 0});
  auto records = TakeEvents(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], (Bytes{0x94, 0x0E, 0, 0, 0, 0, 0, 0}));
}

struct HotplugLog {
  std::mutex mutex;
  std::vector<std::array<uint32_t, 3>> calls;
  std::atomic<bool> inCall{false};
  std::atomic<int> slowCalls{0};
};

void RecordHotplug(void* context, int32_t arrived, uint32_t vendor, uint32_t product) {
  auto* log = static_cast<HotplugLog*>(context);
  std::lock_guard lock(log->mutex);
  log->calls.push_back({static_cast<uint32_t>(arrived), vendor, product});
}

void SlowHotplug(void* context, int32_t, uint32_t, uint32_t) {
  auto* log = static_cast<HotplugLog*>(context);
  log->inCall = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ++log->slowCalls;
  log->inCall = false;
}

TEST_F(UdfpUsbHandset, UnplugMarksTheDeviceGoneAndIsReported) {
  HotplugLog log;
  ASSERT_NE(library.RegisterHotplug(&RecordHotplug, &log), 0);
  ASSERT_NE(library.StartPolling(device, 0, 1), 0);
  uint32_t in = library.OpenPipe(device, 2, UDFP_PIPE_IN);
  ASSERT_NE(in, UDFP_INVALID_HANDLE);

  handset.Unplug();
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(log.mutex);
    return !log.calls.empty();
  }));
  {
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.calls[0], (std::array<uint32_t, 3>{0, 0x3A7E, 0x1276}));
  }
  EXPECT_EQ(Status() & 0x02, 0x02);
  uint8_t record[UDFP_EVENT_RECORD_SIZE];
  uint32_t count = 1;
  EXPECT_EQ(library.GetEventStatus(device, record, sizeof record, &count), 0);
  EXPECT_EQ(count, 0u);
  uint8_t buffer[4];
  uint32_t transferred = 0;
  EXPECT_EQ(library.ReadData(in, buffer, sizeof buffer, &transferred, 0), 0);
  // Gone stays gone: a reset clears only the transfer-error bit.
  EXPECT_NE(library.ResetDriverStatus(device), 0);
  EXPECT_EQ(Status() & 0x02, 0x02);
  EXPECT_NE(library.Close(device), 0);

  handset.Plug();
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(log.mutex);
    return log.calls.size() >= 2;
  }));
  {
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.calls[1], (std::array<uint32_t, 3>{1, 0x3A7E, 0x1276}));
  }
  // The handset that came back can be opened afresh.
  device = library.Open();
  ASSERT_NE(device, UDFP_INVALID_HANDLE);
  EXPECT_EQ(Status(), 0);
}

TEST_F(UdfpUsbHandset, AnUnpluggedHandsetIsNotIdentifiedAndComesBackAsANewDevice) {
  uint32_t vendor = 0;
  uint32_t product = 0;
  ASSERT_NE(library.GetDeviceInfo(device, &vendor, &product), 0);
  handset.Unplug();
  // The removal reaches libusb on a thread of its own; from then on the old handle names
  // no handset, so a caller comparing identifiers sees the removal.
  EXPECT_TRUE(WaitFor([&] { return library.GetDeviceInfo(device, &vendor, &product) == 0; }));
  EXPECT_EQ(Status() & 0x02, 0x02);

  handset.Plug();
  uint32_t again = UDFP_INVALID_HANDLE;
  ASSERT_TRUE(WaitFor([&] {
    again = library.Open();
    return again != UDFP_INVALID_HANDLE;
  }));
  EXPECT_NE(again, device);
  EXPECT_EQ(library.GetDeviceInfo(device, &vendor, &product), 0) << "the old handle does not reach the new device";
  ASSERT_NE(library.GetDeviceInfo(again, &vendor, &product), 0);
  EXPECT_EQ(vendor, 0x3A7Eu);
  EXPECT_EQ(product, 0x1276u);
  EXPECT_NE(library.Close(device), 0);
  device = again;
  EXPECT_EQ(Status(), 0);
}

TEST_F(UdfpUsbHandset, ATransferWaitingWhenTheHandsetVanishesEndsAsGone) {
  uint32_t in = library.OpenPipe(device, 2, UDFP_PIPE_IN);
  ASSERT_NE(in, UDFP_INVALID_HANDLE);
  std::atomic<int32_t> result{-1};
  std::thread reader([&] {
    uint8_t block[1024];
    uint32_t moved = 0;
    result = library.ReadData(in, block, sizeof block, &moved, 0);
  });
  ASSERT_TRUE(WaitFor([&] { return handset.WaitingUrbs() == 1; }));
  // No hotplug news here: the transfer itself must find out (a time-out would not set bit 1).
  handset.Unplug(false);
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(Status() & 0x02, 0x02);
  uint8_t session[1] = {0};
  EXPECT_EQ(library.VendorRequest(device, UDFP_REQTYPE_OUT, 3, 0xE95, 0, 1, session), 0);
}

TEST_F(UdfpUsbHandset, NoHotplugCallRunsAfterItIsStopped) {
  HotplugLog log;
  ASSERT_NE(library.RegisterHotplug(&SlowHotplug, &log), 0);
  handset.Unplug();
  ASSERT_TRUE(WaitFor([&] { return log.inCall.load(); }));
  // Stopping waits for the call in progress to finish.
  EXPECT_NE(library.RegisterHotplug(nullptr, nullptr), 0);
  EXPECT_FALSE(log.inCall.load());
  EXPECT_EQ(log.slowCalls.load(), 1);
  handset.Plug();
  // The arrival would have been reported well within this time had the callback stayed.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(log.slowCalls.load(), 1);
}

struct SelfStopping {
  decltype(&::UdfpRegisterHotplug) registerHotplug;
  std::atomic<int> calls{0};
  std::atomic<int32_t> stopResult{-1};
};

void StopFromInside(void* context, int32_t, uint32_t, uint32_t) {
  auto* self = static_cast<SelfStopping*>(context);
  ++self->calls;
  self->stopResult = self->registerHotplug(nullptr, nullptr);
}

TEST_F(UdfpUsbHandset, TheCallbackCanStopItselfFromInside) {
  SelfStopping self{library.RegisterHotplug};
  ASSERT_NE(library.RegisterHotplug(&StopFromInside, &self), 0);
  handset.Unplug();
  ASSERT_TRUE(WaitFor([&] { return self.stopResult.load() != -1; }));
  EXPECT_NE(self.stopResult.load(), 0);
  handset.Plug();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(self.calls.load(), 1);
}

TEST_F(UdfpUsbHandset, ShutdownWithTheDeviceInUseEndsEveryThread) {
  ASSERT_NE(library.StartPolling(device, 0, 1), 0);
  ASSERT_NE(library.OpenPipe(device, 2, UDFP_PIPE_OUT), UDFP_INVALID_HANDLE);
  HotplugLog log;
  ASSERT_NE(library.RegisterHotplug(&RecordHotplug, &log), 0);
  EXPECT_TRUE(HasThreadNamed("udfp-usb-events"));
  EXPECT_NE(library.TerminateDLL(), 0);
  EXPECT_FALSE(LibraryThreadsRunning());
  EXPECT_EQ(handset.ReleasedInterfaces(), std::vector<unsigned>{2});
  uint32_t vendor = 0;
  uint32_t product = 0;
  EXPECT_EQ(library.GetDeviceInfo(device, &vendor, &product), 0);
}

TEST_F(UdfpUsbHandset, ASilentHandsetTimesOutWithoutAFault) {
  uint32_t in = library.OpenPipe(device, 2, UDFP_PIPE_IN);
  ASSERT_NE(in, UDFP_INVALID_HANDLE);
  uint8_t buffer[1024];
  uint32_t transferred = 99;
  EXPECT_EQ(library.ReadData(in, buffer, sizeof buffer, &transferred, 0), 0);
  EXPECT_EQ(transferred, 0u);
  EXPECT_EQ(Status(), 0);
  // The pipe still works afterwards.
  handset.QueueBulkIn({2, 1, 0, 0});
  EXPECT_NE(library.ReadData(in, buffer, 4, &transferred, 0), 0);
  EXPECT_EQ(transferred, 4u);
}

}  // namespace
