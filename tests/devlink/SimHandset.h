#pragma once

#include "support/SimLibrary.h"

#include <udfp_sim.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The handset emulator as the device-link tests drive it: the typed control exports
// with the conversions the tests use most.
class SimHandset {
 public:
  static std::string LibraryPath() { return CSimLibrary::LibraryPath(); }

  // Every control export, typed.
  CSimLibrary& Exports() { return m_sim; }

  void Fresh() {
    m_sim.Reset();
    m_sim.Plug();
  }
  bool Plug() { return m_sim.Plug() != 0; }
  bool Unplug() { return m_sim.Unplug() != 0; }
  int32_t Count(uint32_t kind) { return m_sim.StoreCount(kind); }
  int32_t Add(uint32_t kind, const std::vector<uint8_t>& bytes) {
    return m_sim.StoreAdd(kind, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  std::vector<uint8_t> Item(uint32_t kind, uint32_t position) {
    auto get = m_sim.StoreGet;
    uint32_t length = 0;
    get(kind, position, nullptr, 0, &length, nullptr);
    std::vector<uint8_t> bytes(length);
    get(kind, position, bytes.data(), length, &length, nullptr);
    return bytes;
  }
  void QueueEvent(uint32_t code, const std::vector<uint8_t>& data = {}) {
    m_sim.QueueEvent(code, data.empty() ? nullptr : data.data(), static_cast<uint32_t>(data.size()));
  }
  void Silence(uint32_t count) { m_sim.SilenceNextRequests(count); }
  void RefuseNextBlock(uint8_t code) { m_sim.RefuseNextBlock(code); }
  void FailVendorRequests(uint32_t count) { m_sim.FailVendorRequests(count); }
  void FailPipeTransfers(uint32_t count) { m_sim.FailPipeTransfers(count); }
  void StallPipeTransfers(uint32_t count) { m_sim.StallPipeTransfers(count); }
  void RaiseDriverStatus(uint8_t status) { m_sim.RaiseDriverStatus(status); }
  void UnplugAfterBlock(uint32_t block) { m_sim.UnplugAfterBlock(block); }
  bool UnplugAfterObjects(uint32_t kind, uint32_t count) { return m_sim.UnplugAfterObjects(kind, count) != 0; }
  void ResponseDelay(uint32_t ms) { m_sim.SetResponseDelay(ms); }
  void ClearFaults() { m_sim.ClearFaults(); }
  void SetStatusByte(uint32_t index, uint8_t value) { m_sim.SetStatusByte(index, value); }
  void SetFreeKilobytes(uint32_t kb) { m_sim.SetFreeKilobytes(kb); }
  void SetPlayDuration(uint32_t ms) { m_sim.SetPlayDuration(ms); }
  bool EndPlay() { return m_sim.EndPlay() != 0; }
  UdfpSimState State() {
    UdfpSimState state{};
    m_sim.GetState(&state);
    return state;
  }
  UdfpSimCounters Counters() {
    UdfpSimCounters counters{};
    m_sim.GetCounters(&counters);
    return counters;
  }
  void ResetCounters() { m_sim.ResetCounters(); }

 private:
  CSimLibrary m_sim;
};
