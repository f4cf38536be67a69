#include "platform/MessageQueue.h"
#include "platform/WindowRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

TEST(WindowRegistry, PostsInOrderWithOwnedPayload) {
  CMessageQueue window;
  auto bytes = std::make_shared<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2, 3});
  ASSERT_TRUE(PostMessage(window.Handle(), WM_APP + 0x64, 0xE75, 7, bytes));
  ASSERT_TRUE(PostMessage(window.Handle(), WM_APP + 0x65, 0xE7C, 0));
  bytes->push_back(4);  // the sender's later changes are its own business

  const auto first = window.Take(1s);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->message, WM_APP + 0x64u);
  EXPECT_EQ(first->wParam, 0xE75u);
  EXPECT_EQ(first->lParam, 7);
  ASSERT_TRUE(first->payload);
  const auto second = window.Take(1s);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->message, WM_APP + 0x65u);
  EXPECT_FALSE(second->payload);
}

TEST(WindowRegistry, DeadHandleDropsMessage) {
  WindowHandle handle = 0;
  {
    CMessageQueue window;
    handle = window.Handle();
    EXPECT_TRUE(IsWindow(handle));
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(PostMessage(handle, WM_APP, 0, 0));
  EXPECT_FALSE(PostMessage(0, WM_APP, 0, 0));
}

TEST(WindowRegistry, TakeMatchingLeavesOthersQueuedAndTimesOut) {
  CMessageQueue window;
  PostMessage(window.Handle(), 1, 0, 0);
  PostMessage(window.Handle(), 2, 0, 0);
  const auto two = window.TakeMessage(2, 100ms);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->message, 2u);
  EXPECT_EQ(window.Size(), 1u);
  EXPECT_FALSE(window.TakeMessage(3, 20ms));
  EXPECT_EQ(window.Drain().size(), 1u);
}

// Windows come and go while other threads post to them: no message reaches a dead target,
// nothing crashes, and every post to a live window arrives.
TEST(WindowRegistry, ConcurrentPostAndUnregister) {
  std::atomic<WindowHandle> current{0};
  std::atomic<bool> stop{false};
  std::thread poster([&] {
    while (!stop) {
      PostMessage(current.load(), WM_APP + 1, 0, 0);
    }
  });
  for (int i = 0; i < 200; ++i) {
    CMessageQueue window;
    current = window.Handle();
    ASSERT_TRUE(PostMessage(window.Handle(), WM_APP + 2, 0, 0));
    ASSERT_TRUE(window.TakeMessage(WM_APP + 2, 1s));
  }
  stop = true;
  poster.join();
}

TEST(WindowRegistry, WaitingThreadWakesOnPost) {
  CMessageQueue window;
  std::thread later([h = window.Handle()] {
    std::this_thread::sleep_for(20ms);
    PostMessage(h, 42, 1, 2);
  });
  const auto message = window.TakeMessage(42, 5s);
  later.join();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->lParam, 2);
}
