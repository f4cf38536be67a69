#pragma once

#include "SimHandset.h"

#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// A link over the emulator with three windows: the requester, a utility registered under
// application index 3, the resident window (index 11) and the answering-machine window
// (index 6). Time-outs are short so failure paths take milliseconds.
class LinkFixture : public ::testing::Test {
 protected:
  static constexpr auto kWait = std::chrono::milliseconds(30000);

  LinkFixture() : settings(std::make_unique<CMemorySettingsBackend>()), status(&settings) {}

  void SetUp() override {
    setenv("ORVANE_DRIVER_LIBRARY", SimHandset::LibraryPath().c_str(), 1);
    sim.Fresh();
    SetSetting("RequestTimeOut", 2000);
    SetSetting("EventStatusCount", 1);
    SetSetting("DriverStatusCount", 10);
    status.Register(APP_PHONEBOOK, 1, utility.Handle());
    status.Register(APP_TAM, 1, tam.Handle());
    status.Register(APP_VERSION_INFO, 1, resident.Handle());
  }

  void TearDown() override {
    link.reset();
    sim.ClearFaults();
  }

  void SetSetting(const char* name, std::uint32_t value) {
    std::lock_guard lock(settings.RegistryMutex());  // the link reads settings on its threads
    settings.WriteDword(kProductKey + "Communicate", name, value);
  }

  // Waits until the emulator's counters satisfy `condition` (false after kWait).
  template <typename Condition>
  bool WaitForCounters(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!condition(sim.Counters())) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::yield();
    }
    return true;
  }

  template <typename Condition>
  bool WaitForState(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!condition(sim.State())) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::yield();
    }
    return true;
  }

  // Waits until the handset has received `count` more host-to-device requests than `base`.
  bool WaitForRequestsOut(const UdfpSimCounters& base, std::uint32_t count) {
    return WaitForCounters(
        [&](const UdfpSimCounters& now) { return now.vendorRequestsOut >= base.vendorRequestsOut + count; });
  }

  // Waits until the link's event poll has taken every queued event and asked again twice,
  // so each record it took has been classified and handed to the engine.
  bool WaitForEventsTaken() {
    if (!WaitForState([](const UdfpSimState& state) { return state.pendingEvents == 0; })) {
      return false;
    }
    const std::uint32_t polls = sim.Counters().eventPolls;
    return WaitForCounters([&](const UdfpSimCounters& now) { return now.eventPolls >= polls + 2; });
  }

  void CreateLink() { link = std::make_unique<CDeviceLink>(&settings, &status); }

  // Opens the handset and starts the link's workers, as the resident window does.
  void Connect() {
    CreateLink();
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    ASSERT_TRUE(link->GetDeviceInfo(vendor, product));
    const WindowMessage started = Run(LinkCode::kStartLink, {});
    ASSERT_EQ(started.message, LinkMessage::kRequestComplete);
  }

  static bool IsOutcome(const WindowMessage& message) {
    return message.message >= LinkMessage::kRequestComplete && message.message <= LinkMessage::kRequestFailed;
  }

  // Posts a request from the requester window and waits for its outcome; the messages that
  // came before it are left in `before`.
  WindowMessage Run(std::uint16_t code, RequestParams params, std::vector<WindowMessage>* before = nullptr) {
    params.notifyWindow = requester.Handle();
    EXPECT_TRUE(link->PostRequest(code, params));
    return AwaitOutcome(before);
  }

  WindowMessage AwaitOutcome(std::vector<WindowMessage>* before = nullptr) {
    for (;;) {
      std::optional<WindowMessage> message = requester.Take(kWait);
      if (!message) {
        ADD_FAILURE() << "no outcome message";
        return {};
      }
      if (IsOutcome(*message)) {
        return *message;
      }
      if (message->message == LinkMessage::kItemReceived) {
        // Take the object out so the link's record can be released at once.
        const auto* item = reinterpret_cast<const ReceivedItem*>(message->lParam);
        auto copy = std::make_shared<std::vector<std::uint8_t>>(item->data, item->data + item->length);
        EXPECT_TRUE(link->ReleaseReceivedItem(item));
        message->payload = copy;
      }
      if (before != nullptr) {
        before->push_back(*message);
      }
    }
  }

  static std::vector<std::uint8_t> Bytes(const WindowMessage& message) {
    return message.payload ? *message.payload : std::vector<std::uint8_t>{};
  }

  static std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed = 7) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed;
    for (auto& byte : bytes) {
      state = state * 1103515245u + 12345u;
      byte = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
  }

  WindowMessage Send(std::uint32_t kind, const std::vector<std::uint8_t>& object,
                     std::vector<WindowMessage>* before = nullptr) {
    RequestParams params;
    params.kind = kind;
    params.data = object.data();
    params.dataSize = static_cast<std::uint32_t>(object.size());
    return Run(LinkCode::kWriteStart, params, before);
  }

  // Posts a raw write of `object` (which must outlive the request) and waits until `blocks`
  // of its blocks reached the handset, so a test can act in the middle of the transfer.
  ::testing::AssertionResult StartRawWrite(const std::vector<std::uint8_t>& object, std::uint32_t blocks) {
    RequestParams params;
    params.kind = UDFP_SIM_KIND_RAW;
    params.data = object.data();
    params.dataSize = static_cast<std::uint32_t>(object.size());
    params.notifyWindow = requester.Handle();
    if (!link->PostRequest(LinkCode::kWriteStart, params)) {
      return ::testing::AssertionFailure() << "the link refused the write";
    }
    if (!WaitForCounters([blocks](const UdfpSimCounters& now) { return now.blocksWritten >= blocks; })) {
      return ::testing::AssertionFailure() << "fewer than " << blocks << " blocks arrived";
    }
    return ::testing::AssertionSuccess();
  }

  // The phonebook count: a short request that shows the link works.
  WindowMessage ReadPhonebookCount() {
    RequestParams count;
    count.kind = UDFP_SIM_KIND_PHONEBOOK;
    count.arg1 = 1;
    return Run(LinkCode::kReadCount, count);
  }

  // Receives item `item`; the received objects are returned in order.
  WindowMessage Receive(std::uint32_t kind, std::uint32_t item, std::vector<std::vector<std::uint8_t>>& objects) {
    RequestParams params;
    params.kind = kind;
    params.arg3 = item;
    std::vector<WindowMessage> before;
    WindowMessage outcome = Run(LinkCode::kRead, params, &before);
    for (const WindowMessage& message : before) {
      if (message.message == LinkMessage::kItemReceived) {
        objects.push_back(Bytes(message));
      }
    }
    return outcome;
  }

  SimHandset sim;
  CSettingsStore settings;
  CAppStatus status;
  CMessageQueue requester;
  CMessageQueue utility;
  CMessageQueue tam;
  CMessageQueue resident;
  std::unique_ptr<CDeviceLink> link;
};
