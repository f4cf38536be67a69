// Time of a 261 120-byte send and receive, of one session round trip and of stopping the link
// during a request, through the device link over the handset emulator, with the link's
// default settings (event poll every 32 ms, response time-out 20 s).
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
#include <thread>
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
  CDeviceLink& Link() { return *m_link; }
  CMessageQueue& Window() { return m_window; }

  // Posts a read count whose session byte the handset never answers, and returns once that
  // byte has gone out: the request then waits for its response time-out (20 s by default).
  void PostUnansweredRequest() {
    reinterpret_cast<int32_t (*)(uint32_t)>(dlsym(m_sim, "UdfpSimSilenceNextRequests"))(1);
    const std::uint32_t before = Counters().vendorRequestsOut;
    RequestParams params;
    params.kind = UDFP_SIM_KIND_RAW;
    params.notifyWindow = m_window.Handle();
    if (!m_link->PostRequest(LinkCode::kReadCount, params)) {
      throw std::runtime_error("request refused");
    }
    while (Counters().vendorRequestsOut == before) {
      std::this_thread::yield();
    }
  }

  // Opens and starts the link again after a stop.
  void Restart() {
    m_window.Drain();
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!m_link->GetDeviceInfo(vendor, product) ||
        Run(LinkCode::kStartLink, {}).message != LinkMessage::kRequestComplete) {
      throw std::runtime_error("the emulated handset did not start again");
    }
  }

  UdfpSimCounters Counters() {
    UdfpSimCounters counters{};
    reinterpret_cast<int32_t (*)(UdfpSimCounters*)>(dlsym(m_sim, "UdfpSimGetCounters"))(&counters);
    return counters;
  }
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

// StopLink on the calling thread while a request waits for an answer that never comes: it
// lets the request run into its response time-out first (default settings).
void BM_StopLinkDuringUnansweredRequest(benchmark::State& state) {
  Bench& bench = Bench::Instance();
  for (auto _ : state) {
    state.PauseTiming();
    bench.PostUnansweredRequest();
    state.ResumeTiming();
    bench.Link().StopLink();
    state.PauseTiming();
    bench.Restart();
    state.ResumeTiming();
  }
}

// RequestStop in the same situation: the time the calling thread is held (the measured
// time) and, as a counter, the time until the link reports that it has stopped.
void BM_RequestStopDuringUnansweredRequest(benchmark::State& state) {
  constexpr std::uint32_t kStopped = WM_APP + 0x1F0;
  Bench& bench = Bench::Instance();
  double stoppedMs = 0;
  for (auto _ : state) {
    bench.PostUnansweredRequest();
    const auto start = std::chrono::steady_clock::now();
    if (!bench.Link().RequestStop(bench.Window().Handle(), kStopped)) {
      state.SkipWithError("stop refused");
    }
    const auto returned = std::chrono::steady_clock::now();
    if (!bench.Window().TakeMessage(kStopped, 60s)) {
      state.SkipWithError("no stop message");
    }
    const auto stopped = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(returned - start).count());
    stoppedMs += std::chrono::duration<double, std::milli>(stopped - start).count();
    bench.Restart();
  }
  state.counters["stopped_ms"] = benchmark::Counter(stoppedMs, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_StopLinkDuringUnansweredRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_RequestStopDuringUnansweredRequest)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Send261120)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Receive261120)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SessionRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_RemainingSizeRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

BENCHMARK_MAIN();
