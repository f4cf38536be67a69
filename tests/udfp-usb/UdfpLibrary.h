#pragma once

#include <dlfcn.h>
#include <udfp.h>

#include <string>

// The USB driver library loaded by file name from the output folder, as the device link loads
// it, with every export looked up by name.
class CUdfpLibrary {
 public:
  CUdfpLibrary() {
    std::string path = std::string(ORVANE_OUTPUT_DIR) + "/udfp-usb.so";
    m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_module == nullptr) {
      m_error = dlerror();
      return;
    }
    Bind(Open, "UdfpOpen");
    Bind(StartPolling, "UdfpStartPolling");
    Bind(StopPolling, "UdfpStopPolling");
    Bind(Close, "UdfpClose");
    Bind(ChangeApplicationMode, "UdfpChangeApplicationMode");
    Bind(VendorRequest, "UdfpVendorRequest");
    Bind(GetEventStatus, "UdfpGetEventStatus");
    Bind(OpenPipe, "UdfpOpenPipe");
    Bind(WriteData, "UdfpWriteData");
    Bind(ReadData, "UdfpReadData");
    Bind(ClosePipe, "UdfpClosePipe");
    Bind(GetDriverStatus, "UdfpGetDriverStatus");
    Bind(ResetDriverStatus, "UdfpResetDriverStatus");
    Bind(GetDeviceInfo, "UdfpGetDeviceInfo");
    Bind(TerminateDLL, "UdfpTerminateDLL");
    Bind(RegisterHotplug, "UdfpRegisterHotplug");
  }
  ~CUdfpLibrary() {
    if (m_module != nullptr) {
      if (TerminateDLL != nullptr) {
        TerminateDLL();
      }
      dlclose(m_module);
    }
  }
  CUdfpLibrary(const CUdfpLibrary&) = delete;
  CUdfpLibrary& operator=(const CUdfpLibrary&) = delete;

  // Empty when the library loaded and every export was found; else what was missing.
  const std::string& Error() const { return m_error; }

  decltype(&::UdfpOpen) Open = nullptr;
  decltype(&::UdfpStartPolling) StartPolling = nullptr;
  decltype(&::UdfpStopPolling) StopPolling = nullptr;
  decltype(&::UdfpClose) Close = nullptr;
  decltype(&::UdfpChangeApplicationMode) ChangeApplicationMode = nullptr;
  decltype(&::UdfpVendorRequest) VendorRequest = nullptr;
  decltype(&::UdfpGetEventStatus) GetEventStatus = nullptr;
  decltype(&::UdfpOpenPipe) OpenPipe = nullptr;
  decltype(&::UdfpWriteData) WriteData = nullptr;
  decltype(&::UdfpReadData) ReadData = nullptr;
  decltype(&::UdfpClosePipe) ClosePipe = nullptr;
  decltype(&::UdfpGetDriverStatus) GetDriverStatus = nullptr;
  decltype(&::UdfpResetDriverStatus) ResetDriverStatus = nullptr;
  decltype(&::UdfpGetDeviceInfo) GetDeviceInfo = nullptr;
  decltype(&::UdfpTerminateDLL) TerminateDLL = nullptr;
  decltype(&::UdfpRegisterHotplug) RegisterHotplug = nullptr;

 private:
  template <class F>
  void Bind(F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(m_module, name));
    if (function == nullptr) {
      m_error += std::string(m_error.empty() ? "missing export: " : ", ") + name;
    }
  }

  void* m_module = nullptr;
  std::string m_error;
};
