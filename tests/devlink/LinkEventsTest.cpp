#include "devlink/LinkEvents.h"
#include "devlink/ReceivedItemList.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

TEST(LinkEvents, EarlierListedEventWinsAndOthersStaySet) {
  CLinkEvents events;
  events.Set(LinkEvent::InDone);
  events.Set(LinkEvent::Failed);
  EXPECT_EQ(events.WaitAny(LinkWorker::Engine, {LinkEvent::Complete, LinkEvent::Failed, LinkEvent::InDone}, 0ms),
            LinkEvent::Failed);
  EXPECT_FALSE(events.IsSet(LinkEvent::Failed));  // auto-reset
  EXPECT_TRUE(events.IsSet(LinkEvent::InDone));
  EXPECT_EQ(events.WaitAny(LinkWorker::Engine, {LinkEvent::Complete, LinkEvent::InDone}, 0ms), LinkEvent::InDone);
  EXPECT_FALSE(events.WaitAny(LinkWorker::Engine, {LinkEvent::Complete, LinkEvent::InDone}, 5ms).has_value());
}

TEST(LinkEvents, TerminateReachesOnlyTheAddressedWorker) {
  CLinkEvents events;
  events.Terminate(LinkWorker::Sequencer);
  EXPECT_FALSE(events.WaitAny(LinkWorker::VendorRequest, {LinkEvent::TerminateWorkers}, 5ms).has_value());
  EXPECT_FALSE(events.SleepOrTerminate(LinkWorker::EventPoll, 1ms));
  // Not consumed: the worker sees it on every wait until it is cleared.
  EXPECT_EQ(events.WaitAny(LinkWorker::Sequencer, {LinkEvent::TerminateWorkers}, 0ms), LinkEvent::TerminateWorkers);
  EXPECT_TRUE(events.SleepOrTerminate(LinkWorker::Sequencer, 1s));
  events.ClearTerminate(LinkWorker::Sequencer);
  EXPECT_FALSE(events.IsTerminating(LinkWorker::Sequencer));
}

TEST(LinkEvents, WaiterOnAnotherThreadWakesOnce) {
  CLinkEvents events;
  std::optional<LinkEvent> seen;
  std::thread waiter([&] { seen = events.WaitAny(LinkWorker::VendorRequest, {LinkEvent::SendOut}); });
  events.Set(LinkEvent::SendOut);
  waiter.join();
  EXPECT_EQ(seen, LinkEvent::SendOut);
  EXPECT_FALSE(events.IsSet(LinkEvent::SendOut));
}

TEST(ReceivedItemList, RecordsAreCopiesFreedOnReleaseOnly) {
  CReceivedItemList list;
  std::vector<std::uint8_t> bytes{1, 2, 3};
  ReceivedItem* first = list.Add(bytes);
  bytes[0] = 9;
  EXPECT_EQ(first->length, 3u);
  EXPECT_EQ(first->data[0], 1);
  ReceivedItem* empty = list.Add({});
  EXPECT_EQ(empty->length, 0u);
  EXPECT_EQ(list.Capacity(), CReceivedItemList::kGrowth);

  ReceivedItem stranger;
  EXPECT_FALSE(list.Release(&stranger));
  EXPECT_TRUE(list.Release(first));
  EXPECT_FALSE(list.Release(first));  // already gone
  EXPECT_EQ(list.Size(), 1u);
  EXPECT_TRUE(list.Release(empty));
  EXPECT_EQ(list.Capacity(), 0u);  // all node storage freed when empty
}

TEST(ReceivedItemList, GrowsTenAtATime) {
  CReceivedItemList list;
  for (int i = 0; i < 11; ++i) {
    list.Add({static_cast<std::uint8_t>(i)});
  }
  EXPECT_EQ(list.Capacity(), 2 * CReceivedItemList::kGrowth);
  list.Clear();
  EXPECT_EQ(list.Size(), 0u);
}
