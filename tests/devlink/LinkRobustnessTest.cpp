// The link when the handset vanishes or misbehaves: every request ends with exactly one
// outcome, StopLink and the destructor always return.
#include "LinkFixture.h"

#include <random>
#include <thread>

using RobustnessTest = LinkFixture;

TEST_F(RobustnessTest, UnplugDuringASendEndsTheRequestAndStopLinkReturns) {
  Connect();
  sim.UnplugAfterBlock(3);
  const WindowMessage outcome = Send(UDFP_SIM_KIND_RAW, Pattern(20 * 1020));
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(outcome.wParam, LinkCode::kWriteStart);
  link->StopLink();
  EXPECT_FALSE(link->IsDeviceOpen());
  EXPECT_FALSE(requester.Take(50ms).has_value());
}

TEST_F(RobustnessTest, UnplugDuringAReceiveDiscardsThePartialObject) {
  Connect();
  sim.Add(UDFP_SIM_KIND_RAW, Pattern(20 * 1020));
  sim.UnplugAfterBlock(5);
  std::vector<std::vector<std::uint8_t>> objects;
  const WindowMessage outcome = Receive(UDFP_SIM_KIND_RAW, 1, objects);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_TRUE(objects.empty());
  link->StopLink();
}

TEST_F(RobustnessTest, UnplugWhileWaitingForAReplyEndsByFailureOrTimeOut) {
  SetSetting("RequestTimeOut", 200);
  Connect();
  sim.Silence(1);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.notifyWindow = requester.Handle();
  const UdfpSimCounters base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, params));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));  // the silenced session byte went out
  sim.Unplug();
  // StopLink waits for the request to end, then stops everything.
  link->StopLink();
  const auto outcome = requester.Take(0ms);
  ASSERT_TRUE(outcome.has_value());
  EXPECT_TRUE(IsOutcome(*outcome));
  EXPECT_EQ(outcome->wParam, LinkCode::kReadCount);
  EXPECT_FALSE(requester.Take(50ms).has_value());
}

TEST_F(RobustnessTest, DestroyingTheLinkMidTransferWithTheHandsetGoneReturns) {
  Connect();
  sim.ResponseDelay(5);
  const auto object = Pattern(100 * 1020);
  ASSERT_TRUE(StartRawWrite(object, 2));
  sim.Unplug();
  link.reset();
  int outcomes = 0;
  for (const WindowMessage& message : requester.Drain()) {
    outcomes += IsOutcome(message) ? 1 : 0;
  }
  EXPECT_EQ(outcomes, 1);
}

TEST_F(RobustnessTest, StopLinkThenStartAgain) {
  Connect();
  link->StopLink();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg1 = 1;
  EXPECT_EQ(Run(LinkCode::kReadCount, params).message, LinkMessage::kRequestFailed);  // no workers
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
  ASSERT_EQ(Run(LinkCode::kStartLink, {}).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(Run(LinkCode::kReadCount, params).message, LinkMessage::kRequestComplete);
}

TEST_F(RobustnessTest, HotplugIsPostedToTheWatchingWindow) {
  CreateLink();
  constexpr std::uint32_t kDeviceChange = 0x0219;
  ASSERT_TRUE(link->WatchHotplug(resident.Handle(), kDeviceChange));
  sim.Unplug();
  const auto removal = resident.TakeMessage(kDeviceChange, kWait);
  ASSERT_TRUE(removal);
  EXPECT_EQ(removal->wParam, CDeviceLink::kDeviceRemoveComplete);
  EXPECT_EQ(removal->lParam, static_cast<std::intptr_t>((UDFP_SIM_VENDOR_ID << 16) | UDFP_SIM_PRODUCT_ID));
  sim.Plug();
  const auto arrival = resident.TakeMessage(kDeviceChange, kWait);
  ASSERT_TRUE(arrival);
  EXPECT_EQ(arrival->wParam, CDeviceLink::kDeviceArrival);
}

TEST_F(RobustnessTest, HundredRequestsUnderRandomFaultsEachEndOnce) {
  SetSetting("RequestTimeOut", 150);
  SetSetting("TransCommandRetryCount", 3);
  Connect();
  for (int i = 0; i < 4; ++i) {
    sim.Add(UDFP_SIM_KIND_RAW, Pattern(1500 + static_cast<std::size_t>(i) * 700, static_cast<std::uint32_t>(i)));
  }
  std::mt19937 random(20261208);
  const auto small = Pattern(700);
  const auto large = Pattern(5 * 1020 + 3);
  for (int request = 0; request < 100; ++request) {
    SCOPED_TRACE(request);
    sim.ClearFaults();
    switch (random() % 11) {
      case 0:
        sim.Silence(1 + random() % 2);
        break;
      case 1:
        sim.RefuseNextBlock(UDFP_SIM_REFUSE_MEMORY_FULL);
        break;
      case 2:
        sim.FailVendorRequests(1 + random() % 4);
        break;
      case 3:
        sim.FailPipeTransfers(1 + random() % 4);
        break;
      case 4:
        sim.StallPipeTransfers(1 + random() % 3);
        break;
      case 5:
        sim.QueueEvent(UDFP_SIM_EVENT_E93);
        break;
      case 6:
        sim.QueueEvent(UDFP_SIM_EVENT_MODEL_INFO_CHANGED);
        break;
      case 7:
        sim.QueueEvent(0x0E50, {1, 2, 3});
        break;
      case 8:
        sim.QueueEvent(UDFP_SIM_EVENT_REFUSE_E79);
        break;
      default:
        break;
    }
    RequestParams params;
    params.kind = UDFP_SIM_KIND_RAW;
    std::uint16_t code = 0;
    switch (random() % 5) {
      case 0:
        code = LinkCode::kWriteStart;
        params.data = (request % 2 == 0 ? small : large).data();
        params.dataSize = static_cast<std::uint32_t>((request % 2 == 0 ? small : large).size());
        break;
      case 1:
        code = LinkCode::kRead;
        params.arg3 = 1 + random() % 4;
        break;
      case 2:
        code = LinkCode::kReadCount;
        break;
      case 3:
        code = LinkCode::kRemainSize;
        break;
      default:
        code = LinkCode::kDelete;
        params.kind = UDFP_SIM_KIND_PHONEBOOK;
        params.arg3 = 255;
        break;
    }
    const WindowMessage outcome = Run(code, params);
    ASSERT_TRUE(IsOutcome(outcome));
    ASSERT_EQ(outcome.wParam, code);
    // Keep the store from filling up with what the sends left behind.
    while (sim.Count(UDFP_SIM_KIND_RAW) > 6) {
      RequestParams erase;
      erase.kind = UDFP_SIM_KIND_RAW;
      erase.arg3 = 6;
      sim.ClearFaults();
      ASSERT_TRUE(IsOutcome(Run(LinkCode::kDelete, erase)));
    }
  }
  sim.ClearFaults();
  std::this_thread::sleep_for(200ms);
  for (const WindowMessage& message : requester.Drain()) {
    EXPECT_FALSE(IsOutcome(message)) << "an outcome without its request: 0x" << std::hex << message.message;
  }
  EXPECT_EQ(link->HeldItemCount(), 0u);
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(RobustnessTest, AnUnpluggedHandsetIsNotReportedAndComesBackAsANewDevice) {
  Connect();
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  sim.Unplug();
  // The resident window asks on removal: the handset must not be reported any more.
  EXPECT_FALSE(link->GetDeviceInfo(vendor, product));
  EXPECT_EQ(vendor, 0u);
  EXPECT_FALSE(link->IsDeviceOpen()) << "a handle that reaches no handset is forgotten";
  sim.Plug();
  // On arrival the handset plugged in again is opened as a new device.
  ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
  EXPECT_EQ(vendor, UDFP_SIM_VENDOR_ID);
  EXPECT_EQ(product, UDFP_SIM_PRODUCT_ID);
  EXPECT_EQ(sim.Counters().opens, 2u);
  link->StopLink();
  ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
  ASSERT_EQ(Run(LinkCode::kStartLink, {}).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(ReadPhonebookCount().message, LinkMessage::kRequestComplete);
}

TEST_F(RobustnessTest, ClosingTheDeviceInsideASessionEndsEachRequestOnce) {
  SetSetting("RequestTimeOut", 300);
  Connect();
  auto melody = Pattern(2000);
  std::fill_n(melody.begin(), 32, 'M');
  ASSERT_EQ(Send(UDFP_SIM_KIND_MELODY, melody).message, LinkMessage::kRequestComplete);
  sim.SetPlayDuration(60000);
  RequestParams play;
  play.kind = UDFP_SIM_KIND_MELODY;
  play.arg3 = 1;
  ASSERT_EQ(Run(LinkCode::kPlayStart, play).message, LinkMessage::kRequestComplete);

  // The play session is open and the device goes: the stop cannot reach the handset, and
  // neither can the byte that would close the session.
  link->CloseDevice();
  play.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kPlayStop, play));
  auto outcome = requester.Take(5s);
  ASSERT_TRUE(outcome.has_value()) << "the request never ended";
  EXPECT_EQ(outcome->message, LinkMessage::kRequestFailed);
  EXPECT_EQ(outcome->wParam, LinkCode::kPlayStop);

  // A request waiting inside its session for a reply that never comes, the device closed.
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
  sim.Silence(2);
  RequestParams count;
  count.kind = UDFP_SIM_KIND_PHONEBOOK;
  count.notifyWindow = requester.Handle();
  const UdfpSimCounters base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, count));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));
  link->CloseDevice();
  outcome = requester.Take(5s);
  ASSERT_TRUE(outcome.has_value()) << "the request never ended";
  EXPECT_EQ(outcome->wParam, LinkCode::kReadCount);
  EXPECT_TRUE(IsOutcome(*outcome));
  EXPECT_FALSE(requester.Take(100ms).has_value());
  // Nothing keeps the link busy: it stops at once.
  EXPECT_TRUE(link->WaitIdle(0ms));
  link->SetIdle();
}

TEST_F(RobustnessTest, ClosingTheDeviceWhileRepliesArriveEndsEachRequestOnce) {
  SetSetting("RequestTimeOut", 200);  // a reply lost with the device ends by time-out
  Connect();
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  for (std::uint32_t round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
    RequestParams count;
    count.kind = UDFP_SIM_KIND_PHONEBOOK;
    count.arg1 = 1;
    count.notifyWindow = requester.Handle();
    // Close after the first, second or third reply was queued: the link may be reading it,
    // about to read it, or between two steps.
    const std::uint32_t replies = sim.Counters().requestsAnswered + 1 + round % 3;
    ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, count));
    WaitForCounters([&](const UdfpSimCounters& now) { return now.requestsAnswered >= replies; });
    link->CloseDevice();
    const auto outcome = requester.Take(5s);
    ASSERT_TRUE(outcome.has_value()) << "the request never ended";
    EXPECT_TRUE(IsOutcome(*outcome));
    EXPECT_EQ(outcome->wParam, LinkCode::kReadCount);
  }
  EXPECT_FALSE(requester.Take(100ms).has_value());
}

TEST_F(RobustnessTest, RequestStopCancelsTheRunningRequestAndReportsWhenStopped) {
  SetSetting("RequestTimeOut", 20000);  // the default: a stop must not wait for it
  Connect();
  constexpr std::uint32_t kStopped = WM_APP + 0x1F0;
  sim.Silence(1);
  RequestParams count;
  count.kind = UDFP_SIM_KIND_PHONEBOOK;
  count.notifyWindow = requester.Handle();
  const UdfpSimCounters base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, count));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));

  ASSERT_TRUE(link->RequestStop(resident.Handle(), kStopped));
  const auto outcome = requester.Take(5s);
  ASSERT_TRUE(outcome.has_value()) << "the request was not cancelled";
  EXPECT_EQ(outcome->message, LinkMessage::kRequestFailed);
  EXPECT_EQ(outcome->wParam, LinkCode::kReadCount);
  const auto stopped = resident.TakeMessage(kStopped, 5s);
  ASSERT_TRUE(stopped.has_value());
  EXPECT_EQ(stopped->wParam, 0u);
  EXPECT_TRUE(link->IsStopped());
  EXPECT_FALSE(link->IsDeviceOpen());
  EXPECT_FALSE(requester.Take(50ms).has_value());

  // The link starts again as after StopLink, and stops again without a request running.
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
  ASSERT_EQ(Run(LinkCode::kStartLink, {}).message, LinkMessage::kRequestComplete);
  EXPECT_FALSE(link->IsStopped());
  count.arg1 = 1;
  EXPECT_EQ(Run(LinkCode::kReadCount, count).message, LinkMessage::kRequestComplete);
  ASSERT_TRUE(link->RequestStop(resident.Handle(), kStopped));
  ASSERT_TRUE(resident.TakeMessage(kStopped, 5s).has_value());
  EXPECT_TRUE(link->IsStopped());
  EXPECT_TRUE(link->WaitIdle(0ms)) << "the idle gate is open after a stop";
  link->SetIdle();
}

TEST_F(RobustnessTest, RequestStopDuringATransferEndsItOnce) {
  Connect();
  sim.ResponseDelay(2);
  const auto object = Pattern(60 * 1020);
  ASSERT_TRUE(StartRawWrite(object, 2));
  ASSERT_TRUE(link->RequestStop());
  std::vector<WindowMessage> before;
  const WindowMessage outcome = AwaitOutcome(&before);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  // No completion message was asked for; the stop is seen by polling.
  WaitForCounters([&](const UdfpSimCounters&) { return link->IsStopped(); });
  EXPECT_TRUE(link->IsStopped());
  EXPECT_LT(sim.Counters().blocksWritten, 60u);
  EXPECT_FALSE(requester.TakeMatching([](const WindowMessage& m) { return IsOutcome(m); }, 50ms).has_value());
}
