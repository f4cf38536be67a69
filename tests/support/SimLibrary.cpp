#include "support/SimLibrary.h"

#include <dlfcn.h>
#include <stdexcept>

std::string CSimLibrary::LibraryPath() {
  return std::string(ORVANE_OUTPUT_DIR) + "/udfp-sim.so";
}

CSimLibrary::CSimLibrary() : m_handle(::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (m_handle == nullptr) {
    throw std::runtime_error(std::string("cannot load the emulator: ") + ::dlerror());
  }
  Bind(Plug, "UdfpSimPlug");
  Bind(Unplug, "UdfpSimUnplug");
  Bind(IsPlugged, "UdfpSimIsPlugged");
  Bind(Reset, "UdfpSimReset");
  Bind(SetUsbIds, "UdfpSimSetUsbIds");
  Bind(SetDeviceInfo, "UdfpSimSetDeviceInfo");
  Bind(GetDeviceInfo, "UdfpSimGetDeviceInfo");
  Bind(SetModelField, "UdfpSimSetModelField");
  Bind(SetCapacity, "UdfpSimSetCapacity");
  Bind(GetCapacity, "UdfpSimGetCapacity");
  Bind(SetMemorySize, "UdfpSimSetMemorySize");
  Bind(SetFreeKilobytes, "UdfpSimSetFreeKilobytes");
  Bind(GetFreeBytes, "UdfpSimGetFreeBytes");
  Bind(StoreCount, "UdfpSimStoreCount");
  Bind(StoreAdd, "UdfpSimStoreAdd");
  Bind(StoreGet, "UdfpSimStoreGet");
  Bind(StoreClear, "UdfpSimStoreClear");
  Bind(StoreFill, "UdfpSimStoreFill");
  Bind(SilenceNextRequests, "UdfpSimSilenceNextRequests");
  Bind(RefuseNextBlock, "UdfpSimRefuseNextBlock");
  Bind(FailVendorRequests, "UdfpSimFailVendorRequests");
  Bind(FailPipeTransfers, "UdfpSimFailPipeTransfers");
  Bind(StallPipeTransfers, "UdfpSimStallPipeTransfers");
  Bind(RaiseDriverStatus, "UdfpSimRaiseDriverStatus");
  Bind(QueueEvent, "UdfpSimQueueEvent");
  Bind(UnplugAfterBlock, "UdfpSimUnplugAfterBlock");
  Bind(UnplugAfterObjects, "UdfpSimUnplugAfterObjects");
  Bind(SetResponseDelay, "UdfpSimSetResponseDelay");
  Bind(ClearFaults, "UdfpSimClearFaults");
  Bind(SetPlayDuration, "UdfpSimSetPlayDuration");
  Bind(EndPlay, "UdfpSimEndPlay");
  Bind(SetStatusByte, "UdfpSimSetStatusByte");
  Bind(GetState, "UdfpSimGetState");
  Bind(GetCounters, "UdfpSimGetCounters");
  Bind(ResetCounters, "UdfpSimResetCounters");
  Bind(SaveState, "UdfpSimSaveState");
  Bind(LoadState, "UdfpSimLoadState");
}

CSimLibrary::~CSimLibrary() {
  ::dlclose(m_handle);
}

void* CSimLibrary::Symbol(const char* name) const {
  void* symbol = ::dlsym(m_handle, name);
  if (symbol == nullptr) {
    throw std::runtime_error(std::string("emulator export missing: ") + name);
  }
  return symbol;
}

void CSimLibrary::Fresh() {
  Reset();
  ClearFaults();
  Plug();
}
