// Events of the handset: indications, the deferred model-information change, driver status
// and unsolicited events.
#include "LinkFixture.h"

#include <thread>

using EventTest = LinkFixture;

TEST_F(EventTest, BroadcastIndicationsReachOpenUtilitiesOnly) {
  CMessageQueue closedPicture;
  status.Register(APP_IMAGE, 0, closedPicture.Handle());
  Connect();
  sim.QueueEvent(UDFP_SIM_EVENT_E93);
  sim.QueueEvent(UDFP_SIM_EVENT_E94);
  const auto first = utility.Take(kWait);
  const auto second = utility.Take(kWait);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->message, LinkMessage::kIndication68);
  EXPECT_EQ(second->message, LinkMessage::kIndication69);
  EXPECT_EQ(first->wParam, 0u);
  EXPECT_EQ(first->lParam, 0);
  ASSERT_TRUE(WaitForEventsTaken());
  EXPECT_EQ(closedPicture.Size(), 0u);
  EXPECT_EQ(requester.Size(), 0u);
}

TEST_F(EventTest, BatteryLowAndModelChangeGoToTheResidentWindow) {
  Connect();
  sim.QueueEvent(UDFP_SIM_EVENT_BATTERY_LOW);
  const auto battery = resident.Take(kWait);
  ASSERT_TRUE(battery);
  EXPECT_EQ(battery->message, LinkMessage::kBatteryLow);
  sim.QueueEvent(UDFP_SIM_EVENT_MODEL_INFO_CHANGED, {1, 2, 3});
  const auto model = resident.Take(kWait);
  ASSERT_TRUE(model);
  EXPECT_EQ(model->message, LinkMessage::kModelInfoChange);
  ASSERT_TRUE(WaitForEventsTaken());
  EXPECT_EQ(resident.Size(), 0u);
}

TEST_F(EventTest, ModelChangeDuringATransferIsReportedAfterItsOutcome) {
  status.Register(APP_VERSION_INFO, 1, requester.Handle());  // one queue shows the order
  Connect();
  sim.ResponseDelay(2);
  const auto object = Pattern(30 * 1020);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_MELODY;
  params.data = object.data();
  params.dataSize = static_cast<std::uint32_t>(object.size());
  params.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kWriteStart, params));
  ASSERT_TRUE(requester.TakeMessage(LinkMessage::kProgress, kWait).has_value());
  sim.QueueEvent(UDFP_SIM_EVENT_MODEL_INFO_CHANGED);
  std::vector<WindowMessage> before;
  const WindowMessage outcome = AwaitOutcome(&before);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestComplete);
  for (const WindowMessage& message : before) {
    EXPECT_NE(message.message, LinkMessage::kModelInfoChange);
  }
  const auto after =
      requester.TakeMatching([](const WindowMessage& m) { return m.message != LinkMessage::kProgress; }, kWait);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->message, LinkMessage::kModelInfoChange);
  ASSERT_TRUE(WaitForEventsTaken());
  EXPECT_FALSE(requester.TakeMessage(LinkMessage::kModelInfoChange, 0ms).has_value());
}

TEST_F(EventTest, ModelChangeWithDataDuringARequestIsReportedNowAndAfter) {
  status.Register(APP_VERSION_INFO, 1, requester.Handle());
  Connect();
  sim.ResponseDelay(100);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg1 = 1;
  params.notifyWindow = requester.Handle();
  const UdfpSimCounters base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, params));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));  // the session byte is with the handset
  sim.QueueEvent(UDFP_SIM_EVENT_MODEL_INFO_CHANGED, {4, 5});
  std::vector<WindowMessage> before;
  EXPECT_EQ(AwaitOutcome(&before).message, LinkMessage::kRequestComplete);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0].message, LinkMessage::kModelInfoChange);
  const auto after = requester.Take(kWait);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->message, LinkMessage::kModelInfoChange);
}

TEST_F(EventTest, RefusalIndicationWithoutARequestChangesNothing) {
  Connect();
  sim.QueueEvent(UDFP_SIM_EVENT_REFUSE_E79);
  ASSERT_TRUE(WaitForEventsTaken());
  EXPECT_EQ(requester.Size() + utility.Size() + resident.Size() + tam.Size(), 0u);
  EXPECT_EQ(ReadPhonebookCount().message, LinkMessage::kRequestComplete);
}

TEST_F(EventTest, RefusalIndicationEndsTheWaitingRequest) {
  Connect();
  // Outside a session: refused at once.
  sim.Silence(1);
  RequestParams key;
  key.kind = 0;
  key.notifyWindow = requester.Handle();
  UdfpSimCounters base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kKeyOperation, key));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));
  sim.QueueEvent(UDFP_SIM_EVENT_REFUSE_E80);
  const WindowMessage refused = AwaitOutcome();
  EXPECT_EQ(refused.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(refused.wParam, LinkCode::kKeyOperation);
  EXPECT_EQ(Bytes(refused), std::vector<std::uint8_t>{0x83});

  // Inside a session: the session is closed first, then the refusal is reported.
  sim.Silence(1);
  RequestParams count;
  count.kind = UDFP_SIM_KIND_PHONEBOOK;
  count.notifyWindow = requester.Handle();
  base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, count));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));
  sim.QueueEvent(UDFP_SIM_EVENT_REFUSE_E79);
  const WindowMessage inSession = AwaitOutcome();
  EXPECT_EQ(inSession.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(inSession.wParam, LinkCode::kReadCount);
  EXPECT_EQ(Bytes(inSession), std::vector<std::uint8_t>{0x83});
  EXPECT_EQ(sim.State().sessionOpen, 0);
  EXPECT_FALSE(requester.Take(100ms).has_value());
}

TEST_F(EventTest, DriverStatusFaultIsResetAndReported) {
  Connect();
  sim.RaiseDriverStatus(0x02);
  const auto alarm = resident.TakeMessage(LinkMessage::kDriverStatus, kWait);
  ASSERT_TRUE(alarm);
  EXPECT_EQ(alarm->wParam, 2u);
  EXPECT_EQ(alarm->lParam, 0);
  EXPECT_EQ(sim.State().driverStatus, 0);
  // Three more polls of the driver status find nothing to report.
  const std::uint32_t reads = sim.Counters().driverStatusReads;
  ASSERT_TRUE(WaitForCounters([&](const UdfpSimCounters& now) { return now.driverStatusReads >= reads + 3; }));
  EXPECT_FALSE(resident.TakeMessage(LinkMessage::kDriverStatus, 0ms).has_value());
}

TEST_F(EventTest, UnsolicitedEventDataIsReadAndDropped) {
  Connect();
  sim.ResetCounters();
  sim.QueueEvent(0x0E44, {9, 8, 7, 6});
  sim.QueueEvent(0x0E45);  // no data: not even read
  ASSERT_TRUE(WaitForEventsTaken());
  EXPECT_EQ(sim.Counters().vendorRequestsIn, 1u);
  EXPECT_EQ(requester.Size() + utility.Size() + resident.Size() + tam.Size(), 0u);
  EXPECT_EQ(ReadPhonebookCount().message, LinkMessage::kRequestComplete);
}

TEST_F(EventTest, UnsolicitedDataDuringARequestDoesNotHideItsReply) {
  SetSetting("RequestTimeOut", 3000);
  Connect();
  sim.ResponseDelay(150);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_PHONEBOOK;
  params.arg1 = 1;
  params.notifyWindow = requester.Handle();
  const UdfpSimCounters base = sim.Counters();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, params));
  ASSERT_TRUE(WaitForRequestsOut(base, 1));  // the session byte waits for its delayed reply
  sim.QueueEvent(0x0E44, {1, 2, 3, 4, 5});
  const WindowMessage outcome = AwaitOutcome();
  EXPECT_EQ(outcome.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(Bytes(outcome), std::vector<std::uint8_t>{0});
}

TEST_F(EventTest, MelodyEndClosesThePlaySessionAndTellsTheAnsweringMachineWindow) {
  Connect();
  auto melody = Pattern(2000);
  std::fill_n(melody.begin(), 32, 'M');
  ASSERT_EQ(Send(UDFP_SIM_KIND_MELODY, melody).message, LinkMessage::kRequestComplete);
  sim.SetPlayDuration(60000);
  RequestParams play;
  play.kind = UDFP_SIM_KIND_MELODY;
  play.arg3 = 1;
  ASSERT_EQ(Run(LinkCode::kPlayStart, play).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.State().sessionOpen, 1);
  EXPECT_EQ(sim.State().playing, 1);
  ASSERT_TRUE(sim.EndPlay());
  const auto notice = tam.Take(kWait);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->message, LinkMessage::kRequestFailed);
  EXPECT_EQ(notice->wParam, 0u);
  EXPECT_EQ(sim.State().sessionOpen, 0);
  EXPECT_EQ(requester.Size(), 0u);

  // A play stop after that opens and closes a session of its own and completes.
  EXPECT_EQ(Run(LinkCode::kPlayStop, play).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(EventTest, PlayStopClosesThePlaySession) {
  Connect();
  auto melody = Pattern(2000);
  std::fill_n(melody.begin(), 32, 'M');
  ASSERT_EQ(Send(UDFP_SIM_KIND_MELODY, melody).message, LinkMessage::kRequestComplete);
  sim.SetPlayDuration(60000);
  RequestParams play;
  play.kind = UDFP_SIM_KIND_MELODY;
  play.arg3 = 1;
  ASSERT_EQ(Run(LinkCode::kPlayStart, play).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(Run(LinkCode::kPlayStop, play).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.State().sessionOpen, 0);
  EXPECT_EQ(sim.State().playing, 0);
  EXPECT_EQ(tam.Size(), 0u);
}

TEST_F(EventTest, AMelodyEndRacingTheNextRequestLeavesThatRequestAlone) {
  Connect();
  auto melody = Pattern(2000);
  std::fill_n(melody.begin(), 32, 'M');
  ASSERT_EQ(Send(UDFP_SIM_KIND_MELODY, melody).message, LinkMessage::kRequestComplete);
  sim.SetPlayDuration(60000);
  RequestParams play;
  play.kind = UDFP_SIM_KIND_MELODY;
  play.arg3 = 1;
  RequestParams key;
  key.kind = 1;
  key.notifyWindow = requester.Handle();
  int failed = 0;
  constexpr int kRounds = 30;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(Run(LinkCode::kPlayStart, play).message, LinkMessage::kRequestComplete);
    const std::uint32_t delivered = sim.Counters().eventsDelivered;
    ASSERT_TRUE(sim.EndPlay());
    if (round % 2 == 1) {
      // The link has taken the melody's end before the request is posted.
      ASSERT_TRUE(WaitForCounters([&](const UdfpSimCounters& now) { return now.eventsDelivered > delivered; }));
    }
    ASSERT_TRUE(link->PostRequest(LinkCode::kKeyOperation, key));
    const WindowMessage outcome = AwaitOutcome();
    EXPECT_EQ(outcome.wParam, LinkCode::kKeyOperation);
    failed += outcome.message == LinkMessage::kRequestComplete ? 0 : 1;
    // The melody's session is closed either way, and the window told once.
    const auto notice = tam.Take(kWait);
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->message, LinkMessage::kRequestFailed);
    EXPECT_EQ(notice->wParam, 0u);
    EXPECT_EQ(sim.State().sessionOpen, 0);
  }
  EXPECT_EQ(failed, 0) << failed << " of " << kRounds << " requests failed because of the melody's end";
  ASSERT_TRUE(WaitForEventsTaken());
  EXPECT_EQ(tam.Size(), 0u);
  EXPECT_EQ(requester.Size(), 0u);
}
