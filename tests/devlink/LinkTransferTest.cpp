// Block transfers of the link against the handset emulator: send, receive, receive-all,
// cancel and refusals.
#include "LinkFixture.h"

using TransferTest = LinkFixture;

TEST_F(TransferTest, ObjectsOfEverySizeRoundTripByteExact) {
  Connect();
  for (const std::size_t size : {std::size_t{1}, std::size_t{1020}, std::size_t{1021}, std::size_t{261120}}) {
    SCOPED_TRACE(size);
    ASSERT_EQ(sim.Exports().StoreClear(UDFP_SIM_KIND_RAW), 1);
    const auto object = Pattern(size, static_cast<std::uint32_t>(size));
    sim.ResetCounters();
    const WindowMessage sent = Send(UDFP_SIM_KIND_RAW, object);
    ASSERT_EQ(sent.message, LinkMessage::kRequestComplete);
    EXPECT_EQ(sent.wParam, LinkCode::kWriteStart);
    EXPECT_EQ(sim.Counters().blocksWritten, (size + 1019) / 1020);
    ASSERT_EQ(sim.Count(UDFP_SIM_KIND_RAW), 1);
    EXPECT_EQ(sim.Item(UDFP_SIM_KIND_RAW, 0), object);

    std::vector<std::vector<std::uint8_t>> objects;
    const WindowMessage received = Receive(UDFP_SIM_KIND_RAW, 1, objects);
    ASSERT_EQ(received.message, LinkMessage::kRequestComplete);
    EXPECT_EQ(received.wParam, LinkCode::kRead);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_TRUE(objects[0] == object);
    EXPECT_EQ(sim.State().sessionOpen, 0);
  }
  EXPECT_EQ(link->HeldItemCount(), 0u);
}

TEST_F(TransferTest, ObjectOverTheBlockNumbersIsRefusedBeforeAnythingIsSent) {
  Connect();
  sim.ResetCounters();
  const auto object = Pattern(261121);
  const WindowMessage outcome = Send(UDFP_SIM_KIND_RAW, object);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(outcome.wParam, LinkCode::kWriteStart);
  EXPECT_EQ(sim.Counters().vendorRequests, 0u);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_RAW), 0);
  // Nothing was left half done: the next send works.
  EXPECT_EQ(Send(UDFP_SIM_KIND_RAW, Pattern(10)).message, LinkMessage::kRequestComplete);
}

TEST_F(TransferTest, ProgressOfAMelodyCountsPayloadBytes) {
  Connect();
  auto melody = Pattern(3000);
  std::fill_n(melody.begin(), 32, 'M');
  std::vector<WindowMessage> before;
  ASSERT_EQ(Send(UDFP_SIM_KIND_MELODY, melody, &before).message, LinkMessage::kRequestComplete);
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> progress;
  for (const WindowMessage& message : before) {
    if (message.message == LinkMessage::kProgress) {
      progress.emplace_back(message.wParam, message.lParam);
    }
  }
  const std::vector<std::pair<std::uintptr_t, std::intptr_t>> expected{{1020, 3000}, {2040, 3000}, {3000, 3000}};
  EXPECT_EQ(progress, expected);
}

TEST_F(TransferTest, ReceiveAllWithCountsZeroOneAndFifty) {
  Connect();
  for (const int count : {0, 1, 50}) {
    SCOPED_TRACE(count);
    sim.Exports().StoreClear(UDFP_SIM_KIND_PHONEBOOK);
    std::vector<std::vector<std::uint8_t>> stored;
    for (int i = 0; i < count; ++i) {
      stored.push_back(Pattern(36, static_cast<std::uint32_t>(i + 1)));
      ASSERT_NE(sim.Add(UDFP_SIM_KIND_PHONEBOOK, stored.back()), 0);
    }
    RequestParams params;
    params.kind = UDFP_SIM_KIND_PHONEBOOK;
    std::vector<WindowMessage> before;
    const WindowMessage done = Run(LinkCode::kReadCount, params, &before);
    ASSERT_EQ(done.message, LinkMessage::kRequestComplete);
    EXPECT_EQ(done.wParam, LinkCode::kReadCount);
    std::vector<std::vector<std::uint8_t>> received;
    std::uintptr_t expectedItem = 1;
    for (const WindowMessage& message : before) {
      if (message.message == LinkMessage::kProgress) {
        EXPECT_EQ(message.wParam, expectedItem);
        EXPECT_EQ(message.lParam, count);
      } else if (message.message == LinkMessage::kItemReceived) {
        EXPECT_EQ(message.wParam, LinkCode::kReadCount);
        received.push_back(Bytes(message));
        ++expectedItem;
      }
    }
    EXPECT_EQ(received, stored);
    EXPECT_EQ(sim.State().sessionOpen, 0);
  }
}

TEST_F(TransferTest, RefusedBlockReachesTheWindowWithBitSevenSet) {
  Connect();
  sim.RefuseNextBlock(UDFP_SIM_REFUSE_MEMORY_FULL);
  const WindowMessage outcome = Send(UDFP_SIM_KIND_RAW, Pattern(5000));
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(outcome.wParam, LinkCode::kWriteStart);
  const auto bytes = Bytes(outcome);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes[0], 0x90);
  EXPECT_EQ(sim.State().sessionOpen, 0);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_RAW), 0);
}

TEST_F(TransferTest, MemoryFullRefusesTheFirstBlock) {
  Connect();
  sim.SetFreeKilobytes(1);
  const WindowMessage outcome = Send(UDFP_SIM_KIND_RAW, Pattern(4000));
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  ASSERT_FALSE(Bytes(outcome).empty());
  EXPECT_EQ(Bytes(outcome)[0], 0x90);
}

TEST_F(TransferTest, RefusedReadBlockAndBadItem) {
  Connect();
  sim.Add(UDFP_SIM_KIND_RAW, Pattern(3000));
  sim.RefuseNextBlock(0x21);
  std::vector<std::vector<std::uint8_t>> objects;
  const WindowMessage refused = Receive(UDFP_SIM_KIND_RAW, 1, objects);
  EXPECT_EQ(refused.message, LinkMessage::kRequestFailed);
  ASSERT_FALSE(Bytes(refused).empty());
  EXPECT_EQ(Bytes(refused)[0], 0xA1);
  EXPECT_TRUE(objects.empty());

  const WindowMessage missing = Receive(UDFP_SIM_KIND_RAW, 9, objects);
  EXPECT_EQ(missing.message, LinkMessage::kRequestFailed);
  EXPECT_TRUE(objects.empty());
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(TransferTest, FailedPipeTransfersFailTheSend) {
  SetSetting("TransCommandRetryCount", 2);
  Connect();
  sim.FailPipeTransfers(1);
  const WindowMessage outcome = Send(UDFP_SIM_KIND_RAW, Pattern(100));
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_EQ(sim.State().sessionOpen, 0);
  // Transfers that move nothing are tried again.
  sim.StallPipeTransfers(1);
  EXPECT_EQ(Send(UDFP_SIM_KIND_RAW, Pattern(100)).message, LinkMessage::kRequestComplete);
}

TEST_F(TransferTest, CancelBeforeTheLastBlockSendsWriteStop) {
  Connect();
  sim.ResponseDelay(2);  // each block takes a little while, so the cancel lands mid-transfer
  const auto melody = Pattern(40 * 1020);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_MELODY;
  params.data = melody.data();
  params.dataSize = static_cast<std::uint32_t>(melody.size());
  params.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kWriteStart, params));
  ASSERT_TRUE(requester.TakeMessage(LinkMessage::kProgress, kWait).has_value());
  link->CancelTransfer();
  const WindowMessage outcome = AwaitOutcome();
  EXPECT_EQ(outcome.message, LinkMessage::kRequestComplete);
  EXPECT_LT(sim.Counters().blocksWritten, 40u);
  EXPECT_EQ(sim.Counters().lastOperation, LinkCode::kWriteStop);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_MELODY), 0);  // the handset dropped the partial object
  EXPECT_EQ(sim.State().sessionOpen, 0);
}

TEST_F(TransferTest, CancelRightAfterPostingIsNotLost) {
  // The window cancels as soon as the user asks, which may be before the link's thread has
  // taken up the request: that cancel must still stop it, or the handset stores the object
  // while the window reports the send as cancelled.
  Connect();
  sim.ResponseDelay(2);
  const auto melody = Pattern(40 * 1020);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_MELODY;
  params.data = melody.data();
  params.dataSize = static_cast<std::uint32_t>(melody.size());
  params.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kWriteStart, params));
  link->CancelTransfer();
  const WindowMessage outcome = AwaitOutcome();
  EXPECT_EQ(outcome.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_MELODY), 0);
  EXPECT_EQ(sim.State().sessionOpen, 0);
  // The next request starts afresh: the earlier cancel does not reach it.
  EXPECT_EQ(Send(UDFP_SIM_KIND_MELODY, Pattern(3000)).message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_MELODY), 1);
}

TEST_F(TransferTest, CancelAfterTheLastBlockClosesWithoutStop) {
  Connect();
  const auto melody = Pattern(1000);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_MELODY;
  params.data = melody.data();
  params.dataSize = static_cast<std::uint32_t>(melody.size());
  sim.ResetCounters();
  sim.ResponseDelay(50);  // the acknowledgement of the only block comes late
  params.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kWriteStart, params));
  ASSERT_TRUE(requester.TakeMessage(LinkMessage::kProgress, kWait).has_value());
  link->CancelTransfer();
  const WindowMessage outcome = AwaitOutcome();
  EXPECT_EQ(outcome.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.Count(UDFP_SIM_KIND_MELODY), 1);
  EXPECT_EQ(sim.Counters().vendorRequestsOut, 3u);  // [1], write start, [0]: no write stop
}

TEST_F(TransferTest, CancelOfAReceiveAllStopsAfterTheCurrentItem) {
  Connect();
  for (int i = 0; i < 20; ++i) {
    sim.Add(UDFP_SIM_KIND_RAW, Pattern(5000, static_cast<std::uint32_t>(i)));
  }
  sim.ResponseDelay(2);
  RequestParams params;
  params.kind = UDFP_SIM_KIND_RAW;
  params.notifyWindow = requester.Handle();
  ASSERT_TRUE(link->PostRequest(LinkCode::kReadCount, params));
  ASSERT_TRUE(requester.TakeMessage(LinkMessage::kItemReceived, kWait).has_value() ||
              (ADD_FAILURE() << "no item", false));
  link->CancelTransfer();
  std::vector<WindowMessage> before;
  const WindowMessage outcome = AwaitOutcome(&before);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestComplete);
  EXPECT_EQ(outcome.wParam, LinkCode::kReadCount);
  EXPECT_EQ(sim.State().sessionOpen, 0);
  EXPECT_LT(before.size(), 38u);  // stopped well before the 20th item
  for (const WindowMessage& message : requester.Drain()) {
    EXPECT_NE(message.message, LinkMessage::kItemReceived);
  }
}

TEST_F(TransferTest, AFailureTheHandsetDidNotCauseCarriesNoEarlierReply) {
  Connect();
  const auto object = Pattern(3000);
  sim.RefuseNextBlock(UDFP_SIM_REFUSE_MEMORY_FULL);
  WindowMessage outcome = Send(UDFP_SIM_KIND_RAW, object);
  ASSERT_EQ(outcome.message, LinkMessage::kRequestFailed);
  ASSERT_EQ(Bytes(outcome), (std::vector<std::uint8_t>{0x90, 0, 0, 0}));

  // Too large to send: refused by the link, so no refusal byte of the handset goes with it.
  const std::vector<std::uint8_t> oversize(UDFP_SIM_MAX_OBJECT_SIZE + 1, 0x5A);
  outcome = Send(UDFP_SIM_KIND_RAW, oversize);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_TRUE(Bytes(outcome).empty()) << "an earlier refusal would read as \"memory full\"";

  sim.RefuseNextBlock(UDFP_SIM_REFUSE_MEMORY_FULL);
  ASSERT_EQ(Bytes(Send(UDFP_SIM_KIND_RAW, object))[0], 0x90);
  // Every try of every vendor request fails: nothing was answered.
  SetSetting("TransCommandRetryCount", 2);
  sim.FailVendorRequests(100);
  outcome = Send(UDFP_SIM_KIND_RAW, object);
  EXPECT_EQ(outcome.message, LinkMessage::kRequestFailed);
  EXPECT_TRUE(Bytes(outcome).empty());
}

TEST_F(TransferTest, TheTryCountHoldsForTheWholeRequest) {
  SetSetting("TransCommandRetryCount", 5);
  Connect();
  sim.ResponseDelay(2);
  const auto object = Pattern(30 * 1020);
  ASSERT_TRUE(StartRawWrite(object, 1));
  // A change made during the transfer applies from the next request on.
  SetSetting("TransCommandRetryCount", 1);
  sim.StallPipeTransfers(2);
  EXPECT_EQ(AwaitOutcome().message, LinkMessage::kRequestComplete);
  EXPECT_EQ(sim.Counters().objectsStored, 1u);

  sim.ResponseDelay(0);
  sim.StallPipeTransfers(1);
  EXPECT_EQ(Send(UDFP_SIM_KIND_RAW, Pattern(100)).message, LinkMessage::kRequestFailed);
}
