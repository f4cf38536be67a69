// Requests and sessions of the link against the handset emulator.
#include "LinkFixture.h"

#include <dlfcn.h>

using RequestTest = LinkFixture;

TEST_F(RequestTest, StartsAndReadsTheDeviceInformation) {
  CreateLink();
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
  EXPECT_EQ(vendor & 0xFFFF, UDFP_SIM_VENDOR_ID);
  EXPECT_EQ(product & 0xFFFF, UDFP_SIM_PRODUCT_ID);
  EXPECT_EQ(Run(LinkCode::kStartLink, {}).wParam, LinkCode::kStartLink);

  std::vector<std::vector<std::uint8_t>> objects;
  const WindowMessage done = Receive(UDFP_SIM_KIND_DEVICE_INFO, 0, objects);
  EXPECT_EQ(done.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(done.wParam, LinkCode::kRead);
  ASSERT_EQ(objects.size(), 1u);
  std::uint8_t expected[16] = {};
  sim.Exports().GetDeviceInfo(expected);
  EXPECT_EQ(objects[0], std::vector<std::uint8_t>(expected, expected + 16));
  EXPECT_EQ(sim.State().sessionOpen, 0);
  EXPECT_EQ(link->HeldItemCount(), 0u);
}

TEST_F(RequestTest, SessionBytesWrapTheOperation) {
  Connect();
  sim.Add(UDFP_SIM_KIND_PHONEBOOK, std::vector<std::uint8_t>(36, 'a'));
  sim.ResetCounters();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg3 = 255;
  const WindowMessage done = Run(LinkCode::kDelete, params);
  EXPECT_EQ(done.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(done.wParam, LinkCode::kDelete);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_PHONEBOOK), 0);
  const UdfpSimCounters counters = sim.Counters();
  EXPECT_EQ(counters.vendorRequestsOut, 3u);  // [1], delete [kind, 255], [0]
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(RequestTest, RemainingSizeCompletesWithItsReplyNotTheClose) {
  Connect();
  sim.SetFreeKilobytes(300);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_MELODY;
  params.arg1 = 0;
  const WindowMessage done = Run(LinkCode::kRemainSize, params);
  EXPECT_EQ(done.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(Bytes(done), (std::vector<std::uint8_t>{0x01, 0x2C}));  // 300 big-endian
  EXPECT_EQ(done.lParam, 2);
  EXPECT_EQ(sim.State().sessionOpen, 0);

  // The payload is the window's own copy: later requests do not change it.
  const auto payload = done.payload;
  sim.SetFreeKilobytes(5);
  EXPECT_EQ(Bytes(Run(LinkCode::kRemainSize, params)), (std::vector<std::uint8_t>{0x00, 0x05}));
  EXPECT_EQ(*payload, (std::vector<std::uint8_t>{0x01, 0x2C}));
}

TEST_F(RequestTest, ReadCountOnlyClosesTheSessionAndReturnsTheCount) {
  Connect();
  for (int i = 0; i < 3; ++i) {
    sim.Add(UDFP_SIM_KIND_PHONEBOOK, std::vector<std::uint8_t>(36, static_cast<std::uint8_t>(i)));
  }
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg1 = 1;
  std::vector<WindowMessage> before;
  const WindowMessage done = Run(LinkCode::kReadCount, params, &before);
  EXPECT_EQ(done.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(Bytes(done), std::vector<std::uint8_t>{3});
  EXPECT_TRUE(before.empty());
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(RequestTest, StatusByteRequests) {
  Connect();
  sim.ResetCounters();
  RequestParams skip;
  skip.kind = 3;
  skip.arg1 = 1;  // completes at once without USB traffic
  const WindowMessage skipped = Run(LinkCode::kStatusByte, skip);
  EXPECT_EQ(skipped.message, LinkMessage::kRequestComplete);
  EXPECT_TRUE(Bytes(skipped).empty());
  EXPECT_EQ(sim.Counters().vendorRequests, 0u);

  sim.SetStatusByte(5, 0x5A);
  RequestParams read;
  read.kind = 5;
  const WindowMessage status = Run(LinkCode::kStatusByte, read);
  EXPECT_EQ(status.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(Bytes(status), std::vector<std::uint8_t>{0x5A});
  EXPECT_EQ(sim.Counters().lastIndex, 5u);
}

TEST_F(RequestTest, KeyOperationAndApplicationMode) {
  Connect();
  RequestParams params;
  params.kind = 0;
  EXPECT_EQ(Run(LinkCode::kKeyOperation, params).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.State().utilityState, 1u);
  EXPECT_NE(link->ChangeApplicationMode(2), 0);
  EXPECT_EQ(sim.State().applicationMode, 3u);
  EXPECT_EQ(link->ChangeApplicationMode(4), 0);
  EXPECT_EQ(sim.State().applicationMode, 3u);
}

TEST_F(RequestTest, RefusedReplyFailsOnlyAfterTheSessionIsClosed) {
  Connect();
  RequestParams params;
  params.kind = 0x55;  // a kind the handset does not know
  params.arg3 = 1;
  const WindowMessage failed = Run(LinkCode::kDelete, params);
  EXPECT_EQ(failed.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(failed.wParam, LinkCode::kDelete);
  EXPECT_EQ(Bytes(failed), std::vector<std::uint8_t>{UDFP_SIM_REFUSE_UNKNOWN_KIND});
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(RequestTest, SingleTimeOutEndsTheRequestAfterTheClose) {
  SetSetting("RequestTimeOut", 400);
  Connect();
  sim.ResetCounters();
  sim.Silence(1);  // the session byte [1] goes unanswered
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg3 = 255;
  const WindowMessage outcome = Run(LinkCode::kDelete, params);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestNoResponse);
  EXPECT_EQ(outcome.wParam, LinkCode::kDelete);
  EXPECT_EQ(outcome.lParam, 0);
  EXPECT_EQ(sim.Counters().vendorRequestsOut, 2u);  // [1] unanswered, then [0]
  EXPECT_EQ(sim.State().sessionOpen, 0);
  // The link is usable again.
  EXPECT_EQ(Run(LinkCode::kDelete, params).message, LinkMessage::kRequestComplete);
}

TEST_F(RequestTest, RetryCountThreeSendsTheRequestTwice) {
  SetSetting("RequestTimeOut", 400);
  SetSetting("RequestRetryCount", 3);
  Connect();
  sim.ResetCounters();
  sim.Silence(2);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  const WindowMessage outcome = Run(LinkCode::kReadCount, params);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestNoResponse);
  EXPECT_EQ(sim.Counters().vendorRequestsOut, 3u);  // [1] twice, then [0]
}

TEST_F(RequestTest, RetriedRequestSucceedsWhenTheHandsetAnswersTheSecondTime) {
  SetSetting("RequestTimeOut", 400);
  SetSetting("RequestRetryCount", 3);
  Connect();
  sim.Silence(1);
  EXPECT_EQ(ReadPhonebookCount().message, LinkMessage::kRequestComplete);
}

TEST_F(RequestTest, FailingVendorRequestsAndTransferRetries) {
  SetSetting("TransCommandRetryCount", 2);
  Connect();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg1 = 1;
  sim.FailVendorRequests(1);  // one failed try is absorbed by the retries
  EXPECT_EQ(Run(LinkCode::kReadCount, params).message, LinkMessage::kRequestComplete);
  sim.FailVendorRequests(2);  // every try of the session byte fails
  const WindowMessage failed = Run(LinkCode::kReadCount, params);
  EXPECT_EQ(failed.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(failed.wParam, LinkCode::kReadCount);
  EXPECT_EQ(Run(LinkCode::kReadCount, params).message, LinkMessage::kRequestComplete);
}

TEST_F(RequestTest, NoTransferTriesMeansNoCallAndTheRequestEndsByTimeOut) {
  SetSetting("TransCommandRetryCount", 0);
  SetSetting("RequestTimeOut", 100);
  Connect();
  sim.ResetCounters();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  const WindowMessage outcome = Run(LinkCode::kReadCount, params);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestNoResponse);
  EXPECT_EQ(sim.Counters().vendorRequests, 0u);
}

TEST_F(RequestTest, CodesThatCannotBeSentFailInsteadOfHanging) {
  Connect();
  const WindowMessage outcome = Run(0xE76, {});
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(outcome.wParam, 0xE76u);
}

TEST_F(RequestTest, RequestBeforeTheLinkStartsFailsAtOnce) {
  CreateLink();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  EXPECT_EQ(Run(LinkCode::kReadCount, params).message, LinkMessage::kRequestFailed);
}

TEST_F(RequestTest, SecondPostWhileBusyIsRefused) {
  SetSetting("RequestTimeOut", 400);
  Connect();
  sim.Silence(1);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, params));
  EXPECT_FALSE(link->PostRequest(LinkCode::kDelete, params));
  EXPECT_EQ(AwaitOutcome().wParam, LinkCode::kReadCount);
  EXPECT_FALSE(requester.Take(100ms).has_value());
}

TEST_F(RequestTest, MissingLibraryFailsOpeningAndStarting) {
  setenv("ORVANE_DRIVER_LIBRARY", "no-such-driver.so", 1);
  CreateLink();
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  EXPECT_FALSE(link->GetDeviceInfo(vendor, product));
  EXPECT_FALSE(link->DriverLibraryError().empty());
  EXPECT_EQ(Run(LinkCode::kStartLink, {}).message, LinkMessage::kRequestFailed);
}

TEST_F(RequestTest, DriverLibraryNameComesFromTheSettings) {
  unsetenv("ORVANE_DRIVER_LIBRARY");
  settings.WriteString(kProductKey + "Communicate", "DriverLibrary", SimHandset::LibraryPath());
  CreateLink();
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  EXPECT_TRUE(link->GetDeviceInfo(vendor, product));
  EXPECT_EQ(vendor & 0xFFFF, UDFP_SIM_VENDOR_ID);
}

TEST_F(RequestTest, NoHandsetMeansNoDevice) {
  sim.Unplug();
  CreateLink();
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  EXPECT_FALSE(link->GetDeviceInfo(vendor, product));
  EXPECT_FALSE(link->IsDeviceOpen());
}
