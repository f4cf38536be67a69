#pragma once

#include <udfp_sim.h>

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The handset emulator's control exports, reached through dlopen of the same library file
// the link loads (the process then holds one instance of it).
class SimHandset {
 public:
  static std::string LibraryPath() { return std::string(ORVANE_OUTPUT_DIR) + "/udfp-sim.so"; }

  SimHandset() : m_handle(dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (m_handle == nullptr) {
      throw std::runtime_error(std::string("cannot load the emulator: ") + dlerror());
    }
  }
  ~SimHandset() { dlclose(m_handle); }
  SimHandset(const SimHandset&) = delete;
  SimHandset& operator=(const SimHandset&) = delete;

  template <typename Function>
  Function Get(const char* name) const {
    void* symbol = dlsym(m_handle, name);
    if (symbol == nullptr) {
      throw std::runtime_error(std::string("emulator export missing: ") + name);
    }
    return reinterpret_cast<Function>(symbol);
  }

  void Fresh() {
    Get<int32_t (*)()>("UdfpSimReset")();
    Get<int32_t (*)()>("UdfpSimPlug")();
  }
  bool Plug() { return Get<int32_t (*)()>("UdfpSimPlug")() != 0; }
  bool Unplug() { return Get<int32_t (*)()>("UdfpSimUnplug")() != 0; }
  int32_t Count(uint32_t kind) { return Get<int32_t (*)(uint32_t)>("UdfpSimStoreCount")(kind); }
  int32_t Add(uint32_t kind, const std::vector<uint8_t>& bytes) {
    return Get<int32_t (*)(uint32_t, const uint8_t*, uint32_t)>("UdfpSimStoreAdd")(kind, bytes.data(),
                                                                                   static_cast<uint32_t>(bytes.size()));
  }
  std::vector<uint8_t> Item(uint32_t kind, uint32_t position) {
    auto get = Get<int32_t (*)(uint32_t, uint32_t, uint8_t*, uint32_t, uint32_t*, uint32_t*)>("UdfpSimStoreGet");
    uint32_t length = 0;
    get(kind, position, nullptr, 0, &length, nullptr);
    std::vector<uint8_t> bytes(length);
    get(kind, position, bytes.data(), length, &length, nullptr);
    return bytes;
  }
  void QueueEvent(uint32_t code, const std::vector<uint8_t>& data = {}) {
    Get<int32_t (*)(uint32_t, const uint8_t*, uint32_t)>("UdfpSimQueueEvent")(
        code, data.empty() ? nullptr : data.data(), static_cast<uint32_t>(data.size()));
  }
  void Silence(uint32_t count) { Get<int32_t (*)(uint32_t)>("UdfpSimSilenceNextRequests")(count); }
  void RefuseNextBlock(uint8_t code) { Get<int32_t (*)(uint8_t)>("UdfpSimRefuseNextBlock")(code); }
  void FailVendorRequests(uint32_t count) { Get<int32_t (*)(uint32_t)>("UdfpSimFailVendorRequests")(count); }
  void FailPipeTransfers(uint32_t count) { Get<int32_t (*)(uint32_t)>("UdfpSimFailPipeTransfers")(count); }
  void StallPipeTransfers(uint32_t count) { Get<int32_t (*)(uint32_t)>("UdfpSimStallPipeTransfers")(count); }
  void RaiseDriverStatus(uint8_t status) { Get<int32_t (*)(uint8_t)>("UdfpSimRaiseDriverStatus")(status); }
  void UnplugAfterBlock(uint32_t block) { Get<int32_t (*)(uint32_t)>("UdfpSimUnplugAfterBlock")(block); }
  void ResponseDelay(uint32_t ms) { Get<int32_t (*)(uint32_t)>("UdfpSimSetResponseDelay")(ms); }
  void ClearFaults() { Get<int32_t (*)()>("UdfpSimClearFaults")(); }
  void SetStatusByte(uint32_t index, uint8_t value) {
    Get<int32_t (*)(uint32_t, uint8_t)>("UdfpSimSetStatusByte")(index, value);
  }
  void SetFreeKilobytes(uint32_t kb) { Get<int32_t (*)(uint32_t)>("UdfpSimSetFreeKilobytes")(kb); }
  void SetPlayDuration(uint32_t ms) { Get<int32_t (*)(uint32_t)>("UdfpSimSetPlayDuration")(ms); }
  bool EndPlay() { return Get<int32_t (*)()>("UdfpSimEndPlay")() != 0; }
  UdfpSimState State() {
    UdfpSimState state{};
    Get<int32_t (*)(UdfpSimState*)>("UdfpSimGetState")(&state);
    return state;
  }
  UdfpSimCounters Counters() {
    UdfpSimCounters counters{};
    Get<int32_t (*)(UdfpSimCounters*)>("UdfpSimGetCounters")(&counters);
    return counters;
  }
  void ResetCounters() { Get<int32_t (*)()>("UdfpSimResetCounters")(); }

 private:
  void* m_handle;
};
