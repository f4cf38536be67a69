// The exported C functions: each forwards to the library's single CUsbDriver.
#include <udfp.h>

#include "UsbDriver.h"

extern "C" {

UDFP_API uint32_t UdfpOpen(void) {
  return CUsbDriver::Instance().Open();
}

UDFP_API int32_t UdfpStartPolling(uint32_t device, uint32_t /*reserved*/, uint32_t enable) {
  return CUsbDriver::Instance().StartPolling(device, enable);
}

UDFP_API int32_t UdfpStopPolling(uint32_t device) {
  return CUsbDriver::Instance().StopPolling(device);
}

UDFP_API int32_t UdfpClose(uint32_t device) {
  return CUsbDriver::Instance().Close(device);
}

UDFP_API int32_t UdfpChangeApplicationMode(uint32_t device, uint32_t mode) {
  return CUsbDriver::Instance().ChangeApplicationMode(device, mode);
}

UDFP_API int32_t UdfpVendorRequest(uint32_t device, uint8_t requestType, uint8_t request, uint16_t value,
                                   uint16_t index, uint16_t length, uint8_t* buffer) {
  return CUsbDriver::Instance().VendorRequest(device, requestType, request, value, index, length, buffer);
}

UDFP_API int32_t UdfpGetEventStatus(uint32_t device, uint8_t* record, uint32_t recordSize, uint32_t* count) {
  return CUsbDriver::Instance().GetEventStatus(device, record, recordSize, count);
}

UDFP_API uint32_t UdfpOpenPipe(uint32_t device, uint32_t interfaceNumber, uint32_t pipe) {
  return CUsbDriver::Instance().OpenPipe(device, interfaceNumber, pipe);
}

UDFP_API int32_t UdfpWriteData(uint32_t pipe, const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                               uint32_t /*reserved*/) {
  // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
  return CUsbDriver::Instance().Transfer(pipe, true, const_cast<uint8_t*>(buffer), length, transferred);
}

UDFP_API int32_t UdfpReadData(uint32_t pipe, uint8_t* buffer, uint32_t capacity, uint32_t* transferred,
                              uint32_t /*reserved*/) {
  return CUsbDriver::Instance().Transfer(pipe, false, buffer, capacity, transferred);
}

UDFP_API int32_t UdfpClosePipe(uint32_t pipe) {
  return CUsbDriver::Instance().ClosePipe(pipe);
}

UDFP_API int32_t UdfpGetDriverStatus(uint32_t device, uint8_t* status) {
  return CUsbDriver::Instance().GetDriverStatus(device, status);
}

UDFP_API int32_t UdfpResetDriverStatus(uint32_t device) {
  return CUsbDriver::Instance().ResetDriverStatus(device);
}

UDFP_API int32_t UdfpGetDeviceInfo(uint32_t device, uint32_t* vendorId, uint32_t* productId) {
  return CUsbDriver::Instance().GetDeviceInfo(device, vendorId, productId);
}

UDFP_API int32_t UdfpTerminateDLL(void) {
  return CUsbDriver::Instance().Terminate();
}

UDFP_API int32_t UdfpRegisterHotplug(UdfpHotplugCallback callback, void* context) {
  return CUsbDriver::Instance().RegisterHotplug(callback, context);
}

}  // extern "C"
