// Time of a 261 120-byte send and receive and of one session round trip through the device
// link over the handset emulator, with the link's default settings (event poll every 32 ms).
#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "devlink/BlockFormat.h"
#include "devlink/DeviceLink.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/MessageQueue.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <udfp_sim.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string kSimPath = std::string(ORVANE_OUTPUT_DIR) + "/udfp-sim.so";

// The emulator and a started link, shared by every benchmark of the run.
class Bench {
 public:
  static Bench& Instance() {
    static Bench bench;
    return bench;
  }

  WindowMessage Run(std::uint16_t code, RequestParams params) {
    params.notifyWindow = m_window.Handle();
    if (!m_link->PostRequest(code, params)) {
      throw std::runtime_error("request refused");
    }
    for (;;) {
      auto message = m_window.Take(60s);
      if (!message) {
        throw std::runtime_error("no outcome");
      }
      if (message->message == LinkMessage::kItemReceived) {
        auto* item = reinterpret_cast<const ReceivedItem*>(message->lParam);
        m_lastItem = item->length;
        m_link->ReleaseReceivedItem(item);
      } else if (message->message >= LinkMessage::kRequestComplete && message->message <= LinkMessage::kRequestFailed) {
        return *message;
      }
    }
  }

  void ClearRawStore() { m_storeClear(UDFP_SIM_KIND_RAW); }
  std::uint32_t LastItem() const { return m_lastItem; }

 private:
  Bench() : m_settings(std::make_unique<CMemorySettingsBackend>()), m_status(&m_settings) {
    setenv("ORVANE_DRIVER_LIBRARY", kSimPath.c_str(), 1);
    m_sim = dlopen(kSimPath.c_str(), RTLD_NOW);
    if (m_sim == nullptr) {
      throw std::runtime_error("cannot load " + kSimPath);
    }
    reinterpret_cast<int32_t (*)()>(dlsym(m_sim, "UdfpSimReset"))();
    reinterpret_cast<int32_t (*)()>(dlsym(m_sim, "UdfpSimPlug"))();
    m_storeClear = reinterpret_cast<int32_t (*)(uint32_t)>(dlsym(m_sim, "UdfpSimStoreClear"));
    m_link = std::make_unique<CDeviceLink>(&m_settings, &m_status);
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!m_link->GetDeviceInfo(vendor, product) ||
        Run(LinkCode::kStartLink, {}).message != LinkMessage::kRequestComplete) {
      throw std::runtime_error("the emulated handset did not start");
    }
  }

  void* m_sim = nullptr;
  int32_t (*m_storeClear)(uint32_t) = nullptr;
  CSettingsStore m_settings;
  CAppStatus m_status;
  CMessageQueue m_window;
  std::unique_ptr<CDeviceLink> m_link;
  std::uint32_t m_lastItem = 0;
};

std::vector<std::uint8_t> LargestObject() {
  std::vector<std::uint8_t> object(CBlockFormat::kMaxObjectSize);
  for (std::size_t i = 0; i < object.size(); ++i) {
    object[i] = static_cast<std::uint8_t>(i * 31 + 7);
  }
  return object;
}

void Check(benchmark::State& state, const WindowMessage& outcome) {
  if (outcome.message != LinkMessage::kRequestComplete) {
    state.SkipWithError("request did not complete");
  }
}

void BM_Send261120(benchmark::State& state) {
  Bench& bench = Bench::Instance();
  const auto object = LargestObject();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_RAW;
  params.data = object.data();
  params.dataSize = static_cast<std::uint32_t>(object.size());
  for (auto _ : state) {
    state.PauseTiming();
    bench.ClearRawStore();
    state.ResumeTiming();
    Check(state, bench.Run(LinkCode::kWriteStart, params));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * params.dataSize);
}

void BM_Receive261120(benchmark::State& state) {
  Bench& bench = Bench::Instance();
  const auto object = LargestObject();
  bench.ClearRawStore();
  RequestParams send;
  send.kind = UDFP_SIM_KIND_RAW;
  send.data = object.data();
  send.dataSize = static_cast<std::uint32_t>(object.size());
  Check(state, bench.Run(LinkCode::kWriteStart, send));
  RequestParams read;
  read.kind = UDFP_SIM_KIND_RAW;
  read.arg3 = 1;
  for (auto _ : state) {
    Check(state, bench.Run(LinkCode::kRead, read));
    if (bench.LastItem() != object.size()) {
      state.SkipWithError("object of the wrong size received");
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * send.dataSize);
}

// Session byte [1], its reply, session byte [0], its reply.
void BM_SessionRoundTrip(benchmark::State& state) {
  Bench& bench = Bench::Instance();
  for (auto _ : state) {
    Check(state, bench.Run(LinkCode::kSession, {}));
  }
}

// A whole request with an operation: [1], remaining size, [0].
void BM_RemainingSizeRequest(benchmark::State& state) {
  Bench& bench = Bench::Instance();
  RequestParams params;
  params.kind = UDFP_SIM_KIND_RAW;
  for (auto _ : state) {
    Check(state, bench.Run(LinkCode::kRemainSize, params));
  }
}

}  // namespace

BENCHMARK(BM_Send261120)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Receive261120)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SessionRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_RemainingSizeRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

BENCHMARK_MAIN();
