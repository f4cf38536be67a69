#pragma once

#include <udfp_sim.h>

#include <string>

// The handset emulator's control exports, typed from their declarations in udfp_sim.h and
// reached through dlopen of the same library file a device link loads, so the process
// holds one emulator. A missing export is an error at load time, not a crash later.
class CSimLibrary {
 public:
  static std::string LibraryPath();

  CSimLibrary();
  ~CSimLibrary();
  CSimLibrary(const CSimLibrary&) = delete;
  CSimLibrary& operator=(const CSimLibrary&) = delete;

  // A fresh, attached handset with empty stores and no faults.
  void Fresh();

  decltype(&::UdfpSimPlug) Plug = nullptr;
  decltype(&::UdfpSimUnplug) Unplug = nullptr;
  decltype(&::UdfpSimIsPlugged) IsPlugged = nullptr;
  decltype(&::UdfpSimReset) Reset = nullptr;
  decltype(&::UdfpSimSetUsbIds) SetUsbIds = nullptr;
  decltype(&::UdfpSimSetDeviceInfo) SetDeviceInfo = nullptr;
  decltype(&::UdfpSimGetDeviceInfo) GetDeviceInfo = nullptr;
  decltype(&::UdfpSimSetModelField) SetModelField = nullptr;
  decltype(&::UdfpSimSetCapacity) SetCapacity = nullptr;
  decltype(&::UdfpSimGetCapacity) GetCapacity = nullptr;
  decltype(&::UdfpSimSetMemorySize) SetMemorySize = nullptr;
  decltype(&::UdfpSimSetFreeKilobytes) SetFreeKilobytes = nullptr;
  decltype(&::UdfpSimGetFreeBytes) GetFreeBytes = nullptr;
  decltype(&::UdfpSimStoreCount) StoreCount = nullptr;
  decltype(&::UdfpSimStoreAdd) StoreAdd = nullptr;
  decltype(&::UdfpSimStoreGet) StoreGet = nullptr;
  decltype(&::UdfpSimStoreClear) StoreClear = nullptr;
  decltype(&::UdfpSimStoreFill) StoreFill = nullptr;
  decltype(&::UdfpSimSilenceNextRequests) SilenceNextRequests = nullptr;
  decltype(&::UdfpSimRefuseNextBlock) RefuseNextBlock = nullptr;
  decltype(&::UdfpSimFailVendorRequests) FailVendorRequests = nullptr;
  decltype(&::UdfpSimFailPipeTransfers) FailPipeTransfers = nullptr;
  decltype(&::UdfpSimStallPipeTransfers) StallPipeTransfers = nullptr;
  decltype(&::UdfpSimRaiseDriverStatus) RaiseDriverStatus = nullptr;
  decltype(&::UdfpSimQueueEvent) QueueEvent = nullptr;
  decltype(&::UdfpSimUnplugAfterBlock) UnplugAfterBlock = nullptr;
  decltype(&::UdfpSimUnplugAfterObjects) UnplugAfterObjects = nullptr;
  decltype(&::UdfpSimSetResponseDelay) SetResponseDelay = nullptr;
  decltype(&::UdfpSimClearFaults) ClearFaults = nullptr;
  decltype(&::UdfpSimSetPlayDuration) SetPlayDuration = nullptr;
  decltype(&::UdfpSimEndPlay) EndPlay = nullptr;
  decltype(&::UdfpSimSetStatusByte) SetStatusByte = nullptr;
  decltype(&::UdfpSimGetState) GetState = nullptr;
  decltype(&::UdfpSimGetCounters) GetCounters = nullptr;
  decltype(&::UdfpSimResetCounters) ResetCounters = nullptr;
  decltype(&::UdfpSimSaveState) SaveState = nullptr;
  decltype(&::UdfpSimLoadState) LoadState = nullptr;

 private:
  template <typename Function>
  void Bind(Function& function, const char* name) {
    function = reinterpret_cast<Function>(Symbol(name));
  }
  void* Symbol(const char* name) const;

  void* m_handle = nullptr;
};
