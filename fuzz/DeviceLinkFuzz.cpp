// The device link's reply and event parsing, against the handset emulator: the input is a
// script of handset behaviour (events and replies with any code and any data, stored
// objects of any size, refused, stalled or failing transfers, device information, status
// bytes, unplugging) interleaved with the requests the windows post. An event whose code is
// the awaited reply code is taken as the reply, so replies of any content reach the link.
// Every request must end with exactly one outcome message, and every received object must
// be handed back.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <udfp_sim.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/MessageQueue.h"

namespace {

using namespace std::chrono_literals;

// The emulator's control exports, bound once; the library stays loaded for the whole run,
// so the link's own load of it finds the same instance.
struct SimExports {
  void* handle = nullptr;
  int32_t (*reset)() = nullptr;
  int32_t (*plug)() = nullptr;
  int32_t (*unplug)() = nullptr;
  int32_t (*setDeviceInfo)(const uint8_t*) = nullptr;
  int32_t (*storeAdd)(uint32_t, const uint8_t*, uint32_t) = nullptr;
  int32_t (*silence)(uint32_t) = nullptr;
  int32_t (*refuseNextBlock)(uint8_t) = nullptr;
  int32_t (*failVendorRequests)(uint32_t) = nullptr;
  int32_t (*failPipeTransfers)(uint32_t) = nullptr;
  int32_t (*stallPipeTransfers)(uint32_t) = nullptr;
  int32_t (*raiseDriverStatus)(uint8_t) = nullptr;
  int32_t (*queueEvent)(uint32_t, const uint8_t*, uint32_t) = nullptr;
  int32_t (*unplugAfterBlock)(uint32_t) = nullptr;
  int32_t (*setStatusByte)(uint32_t, uint8_t) = nullptr;
  int32_t (*setFreeKilobytes)(uint32_t) = nullptr;
  int32_t (*setPlayDuration)(uint32_t) = nullptr;
};

template <typename Fn>
void Bind(void* handle, Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(dlsym(handle, name));
  if (fn == nullptr) {
    fuzzcheck::Fail(name);
  }
}

const SimExports& Sim() {
  static const SimExports* const sim = [] {
    auto* s = new SimExports;
    s->handle = dlopen(ORVANE_SIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (s->handle == nullptr) {
      fuzzcheck::Fail(dlerror());
    }
    Bind(s->handle, s->reset, "UdfpSimReset");
    Bind(s->handle, s->plug, "UdfpSimPlug");
    Bind(s->handle, s->unplug, "UdfpSimUnplug");
    Bind(s->handle, s->setDeviceInfo, "UdfpSimSetDeviceInfo");
    Bind(s->handle, s->storeAdd, "UdfpSimStoreAdd");
    Bind(s->handle, s->silence, "UdfpSimSilenceNextRequests");
    Bind(s->handle, s->refuseNextBlock, "UdfpSimRefuseNextBlock");
    Bind(s->handle, s->failVendorRequests, "UdfpSimFailVendorRequests");
    Bind(s->handle, s->failPipeTransfers, "UdfpSimFailPipeTransfers");
    Bind(s->handle, s->stallPipeTransfers, "UdfpSimStallPipeTransfers");
    Bind(s->handle, s->raiseDriverStatus, "UdfpSimRaiseDriverStatus");
    Bind(s->handle, s->queueEvent, "UdfpSimQueueEvent");
    Bind(s->handle, s->unplugAfterBlock, "UdfpSimUnplugAfterBlock");
    Bind(s->handle, s->setStatusByte, "UdfpSimSetStatusByte");
    Bind(s->handle, s->setFreeKilobytes, "UdfpSimSetFreeKilobytes");
    Bind(s->handle, s->setPlayDuration, "UdfpSimSetPlayDuration");
    setenv("ORVANE_DRIVER_LIBRARY", ORVANE_SIM_LIBRARY, 1);
    return s;
  }();
  return *sim;
}

constexpr std::uint16_t kEventCodes[] = {0x0E89, 0x0E93, 0x0E94, 0x0E98, 0x0D80, 0x0E79, 0x0E80, 0x0E53,
                                         0x0E72, 0x0E74, 0x0E76, 0x0E78, 0x0E7B, 0x0E7D, 0x0E7F, 0x0E82,
                                         0x0E84, 0x0E86, 0x0E88, 0x0E90, 0x0E92, 0x0E96, 0x0000, 0xFFFF};
constexpr std::uint16_t kRequestCodes[] = {LinkCode::kStatusByte, LinkCode::kModelInfo,  LinkCode::kUtilityMode,
                                           LinkCode::kWriteStart, LinkCode::kReadCount,  LinkCode::kRead,
                                           LinkCode::kDelete,     LinkCode::kRemainSize, LinkCode::kPlayStart,
                                           LinkCode::kPlayStop,   LinkCode::kSetDefault, LinkCode::kKeyOperation};
constexpr std::uint32_t kKinds[] = {0, 1, 4, 8, 15, 16, 17, 18, 19, UDFP_SIM_KIND_RAW, 3};

// The link and the windows it talks to, with short time-outs so failure paths take
// milliseconds.
class CLinkRun {
 public:
  CLinkRun() : m_settings(std::make_unique<CMemorySettingsBackend>()), m_status(&m_settings) {
    Setting("RequestTimeOut", 100);
    Setting("EventStatusCount", 1);
    Setting("DriverStatusCount", 10);
    Setting("RequestRetryCount", 1);
    Setting("TransCommandRetryCount", 2);
    m_status.Register(APP_PHONEBOOK, 1, m_utility.Handle());
    m_status.Register(APP_TAM, 1, m_tam.Handle());
    m_status.Register(APP_VERSION_INFO, 1, m_resident.Handle());
    m_link = std::make_unique<CDeviceLink>(&m_settings, &m_status);
  }

  bool Start() {
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    return m_link->GetDeviceInfo(vendor, product) && Run(LinkCode::kStartLink, {});
  }

  // Posts a request and takes messages until its outcome; false when the link was busy.
  bool Run(std::uint16_t code, RequestParams params) {
    params.notifyWindow = m_requester.Handle();
    if (!m_link->PostRequest(code, params)) {
      return false;
    }
    for (;;) {
      const std::optional<WindowMessage> message = m_requester.Take(20s);
      if (!message) {
        fuzzcheck::Fail("a request ended without an outcome message");
      }
      if (message->message == LinkMessage::kItemReceived) {
        const auto* item = reinterpret_cast<const ReceivedItem*>(message->lParam);
        if (item == nullptr || (item->length > 0 && item->data == nullptr)) {
          fuzzcheck::Fail("a received object without its bytes");
        }
        if (!m_link->ReleaseReceivedItem(item)) {
          fuzzcheck::Fail("the link does not know an object it handed over");
        }
        continue;
      }
      if (message->message >= LinkMessage::kRequestComplete && message->message <= LinkMessage::kRequestFailed) {
        return true;
      }
    }
  }

  void Cancel() { m_link->CancelTransfer(); }

  void Stop() {
    m_link.reset();
    m_utility.Drain();
    m_tam.Drain();
    m_resident.Drain();
    m_requester.Drain();
  }

 private:
  void Setting(const char* name, std::uint32_t value) {
    m_settings.WriteDword(kProductKey + "Communicate", name, value);
  }

  CSettingsStore m_settings;
  CAppStatus m_status;
  CMessageQueue m_requester;
  CMessageQueue m_utility;
  CMessageQueue m_tam;
  CMessageQueue m_resident;
  std::unique_ptr<CDeviceLink> m_link;
};

void HandsetFault(FuzzedDataProvider& in, const SimExports& sim) {
  switch (in.ConsumeIntegralInRange(0, 8)) {
    case 0:
      sim.refuseNextBlock(in.ConsumeIntegral<std::uint8_t>());
      break;
    case 1:
      sim.stallPipeTransfers(in.ConsumeIntegralInRange(1, 3));
      break;
    case 2:
      sim.failPipeTransfers(1);
      break;
    case 3:
      sim.failVendorRequests(1);
      break;
    case 4:
      sim.silence(1);
      break;
    case 5:
      sim.raiseDriverStatus(in.ConsumeIntegral<std::uint8_t>());
      break;
    case 6:
      sim.setStatusByte(in.ConsumeIntegralInRange(0, 7), in.ConsumeIntegral<std::uint8_t>());
      break;
    case 7:
      sim.unplugAfterBlock(in.ConsumeIntegralInRange(0, 2));
      break;
    default:
      sim.setFreeKilobytes(in.ConsumeIntegralInRange(0, 300));
      break;
  }
}

void QueueEvent(FuzzedDataProvider& in, const SimExports& sim) {
  const std::uint16_t code = in.ConsumeBool() ? in.PickValueInArray(kEventCodes) : in.ConsumeIntegral<std::uint16_t>();
  // Mostly short data, now and then more than a block.
  const std::size_t length = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 40) : in.ConsumeIntegralInRange(0, 1100);
  const std::vector<std::uint8_t> data = in.ConsumeBytes<std::uint8_t>(length);
  sim.queueEvent(code, data.empty() ? nullptr : data.data(), static_cast<std::uint32_t>(data.size()));
}

void StoreObject(FuzzedDataProvider& in, const SimExports& sim) {
  const std::uint32_t kind = in.PickValueInArray(kKinds);
  std::vector<std::uint8_t> data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
  // Sizes the handset takes for its record kinds, so such objects are stored at all.
  static constexpr std::size_t kSizes[] = {0, 36, 32, 48, 4160, 1100, 2050};
  data.resize(std::max(data.size(), in.PickValueInArray(kSizes)));
  sim.storeAdd(kind, data.data(), static_cast<std::uint32_t>(data.size()));
}

void Request(FuzzedDataProvider& in, CLinkRun& run, std::vector<std::uint8_t>& object) {
  RequestParams params;
  const std::uint16_t code = in.PickValueInArray(kRequestCodes);
  params.kind = in.PickValueInArray(kKinds);
  params.arg1 = in.ConsumeIntegralInRange(0, 3);
  params.arg2 = in.ConsumeIntegralInRange(0, 3);
  params.arg3 = in.ConsumeIntegralInRange(0, 300);
  if (code == LinkCode::kWriteStart) {
    object = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
    object.resize(std::max<std::size_t>(object.size(), in.ConsumeIntegralInRange(0, 3000)));
    params.data = object.data();
    params.dataSize = static_cast<std::uint32_t>(object.size());
  }
  run.Run(code, params);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const SimExports& sim = Sim();
  sim.reset();
  sim.plug();
  sim.setPlayDuration(20);
  FuzzedDataProvider in(data, size);
  CLinkRun run;
  if (!run.Start()) {
    fuzzcheck::Fail("the link does not start against a fresh emulator");
  }
  std::vector<std::uint8_t> object;
  for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
    switch (in.ConsumeIntegralInRange(0, 6)) {
      case 0:
        QueueEvent(in, sim);
        break;
      case 1:
        StoreObject(in, sim);
        break;
      case 2:
        HandsetFault(in, sim);
        break;
      case 3: {
        const std::vector<std::uint8_t> info = in.ConsumeBytes<std::uint8_t>(16);
        std::uint8_t info16[16] = {};
        std::copy(info.begin(), info.end(), info16);
        sim.setDeviceInfo(info16);
        break;
      }
      case 4:
        in.ConsumeBool() ? sim.unplug() : sim.plug();
        break;
      case 5:
        run.Cancel();
        break;
      default:
        Request(in, run, object);
        break;
    }
  }
  run.Stop();
  return 0;
}
