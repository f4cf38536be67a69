// The C exports of the emulator: the driver interface and the control interface, both
// forwarding to the one emulated handset of the process.
#include "SimDevice.h"
#include "udfp.h"
#include "udfp_sim.h"

namespace {
CSimDevice& Device() {
  return CSimDevice::Instance();
}
}  // namespace

extern "C" {

UDFP_API uint32_t UdfpOpen(void) {
  return Device().Open();
}
UDFP_API int32_t UdfpStartPolling(uint32_t device, uint32_t /*reserved*/, uint32_t enable) {
  return Device().StartPolling(device, enable);
}
UDFP_API int32_t UdfpStopPolling(uint32_t device) {
  return Device().StopPolling(device);
}
UDFP_API int32_t UdfpClose(uint32_t device) {
  return Device().Close(device);
}
UDFP_API int32_t UdfpChangeApplicationMode(uint32_t device, uint32_t mode) {
  return Device().ChangeApplicationMode(device, mode);
}
UDFP_API int32_t UdfpVendorRequest(uint32_t device, uint8_t requestType, uint8_t request, uint16_t value,
                                   uint16_t index, uint16_t length, uint8_t* buffer) {
  return Device().VendorRequest(device, requestType, request, value, index, length, buffer);
}
UDFP_API int32_t UdfpGetEventStatus(uint32_t device, uint8_t* record, uint32_t recordSize, uint32_t* count) {
  return Device().GetEventStatus(device, record, recordSize, count);
}
UDFP_API uint32_t UdfpOpenPipe(uint32_t device, uint32_t interfaceNumber, uint32_t pipe) {
  return Device().OpenPipe(device, interfaceNumber, pipe);
}
UDFP_API int32_t UdfpWriteData(uint32_t pipe, const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                               uint32_t /*reserved*/) {
  return Device().WriteData(pipe, buffer, length, transferred);
}
UDFP_API int32_t UdfpReadData(uint32_t pipe, uint8_t* buffer, uint32_t capacity, uint32_t* transferred,
                              uint32_t /*reserved*/) {
  return Device().ReadData(pipe, buffer, capacity, transferred);
}
UDFP_API int32_t UdfpClosePipe(uint32_t pipe) {
  return Device().ClosePipe(pipe);
}
UDFP_API int32_t UdfpGetDriverStatus(uint32_t device, uint8_t* status) {
  return Device().GetDriverStatus(device, status);
}
UDFP_API int32_t UdfpResetDriverStatus(uint32_t device) {
  return Device().ResetDriverStatus(device);
}
UDFP_API int32_t UdfpGetDeviceInfo(uint32_t device, uint32_t* vendorId, uint32_t* productId) {
  return Device().GetDeviceInfo(device, vendorId, productId);
}
UDFP_API int32_t UdfpTerminateDLL(void) {
  return Device().Terminate();
}
UDFP_API int32_t UdfpRegisterHotplug(UdfpHotplugCallback callback, void* context) {
  return Device().RegisterHotplug(callback, context);
}

UDFP_API int32_t UdfpSimPlug(void) {
  return Device().Plug();
}
UDFP_API int32_t UdfpSimUnplug(void) {
  return Device().Unplug();
}
UDFP_API int32_t UdfpSimIsPlugged(void) {
  return Device().IsPlugged();
}
UDFP_API int32_t UdfpSimReset(void) {
  return Device().Reset();
}
UDFP_API int32_t UdfpSimSetUsbIds(uint32_t vendorId, uint32_t productId) {
  return Device().SetUsbIds(vendorId, productId);
}
UDFP_API int32_t UdfpSimSetDeviceInfo(const uint8_t* info16) {
  return Device().SetDeviceInfo(info16);
}
UDFP_API int32_t UdfpSimGetDeviceInfo(uint8_t* info16) {
  return Device().GetDeviceInfoBytes(info16);
}
UDFP_API int32_t UdfpSimSetModelField(uint32_t field, uint32_t value) {
  return Device().SetModelField(field, value);
}
UDFP_API int32_t UdfpSimSetCapacity(uint32_t kind, uint32_t items) {
  return Device().SetCapacity(kind, items);
}
UDFP_API int32_t UdfpSimGetCapacity(uint32_t kind) {
  return Device().GetCapacity(kind);
}
UDFP_API int32_t UdfpSimSetMemorySize(uint32_t bytes) {
  return Device().SetMemorySize(bytes);
}
UDFP_API int32_t UdfpSimSetFreeKilobytes(uint32_t kilobytes) {
  return Device().SetFreeKilobytes(kilobytes);
}
UDFP_API uint32_t UdfpSimGetFreeBytes(void) {
  return Device().GetFreeBytes();
}
UDFP_API int32_t UdfpSimStoreCount(uint32_t kind) {
  return Device().StoreCount(kind);
}
UDFP_API int32_t UdfpSimStoreAdd(uint32_t kind, const uint8_t* data, uint32_t length) {
  return Device().StoreAdd(kind, data, length);
}
UDFP_API int32_t UdfpSimStoreGet(uint32_t kind, uint32_t position, uint8_t* buffer, uint32_t capacity, uint32_t* length,
                                 uint32_t* itemNumber) {
  return Device().StoreGet(kind, position, buffer, capacity, length, itemNumber);
}
UDFP_API int32_t UdfpSimStoreClear(uint32_t kind) {
  return Device().StoreClear(kind);
}
UDFP_API int32_t UdfpSimStoreFill(uint32_t kind, uint32_t count) {
  return Device().StoreFill(kind, count);
}
UDFP_API int32_t UdfpSimSilenceNextRequests(uint32_t count) {
  return Device().SilenceNextRequests(count);
}
UDFP_API int32_t UdfpSimRefuseNextBlock(uint8_t code) {
  return Device().RefuseNextBlock(code);
}
UDFP_API int32_t UdfpSimFailVendorRequests(uint32_t count) {
  return Device().FailVendorRequests(count);
}
UDFP_API int32_t UdfpSimFailPipeTransfers(uint32_t count) {
  return Device().FailPipeTransfers(count);
}
UDFP_API int32_t UdfpSimStallPipeTransfers(uint32_t count) {
  return Device().StallPipeTransfers(count);
}
UDFP_API int32_t UdfpSimRaiseDriverStatus(uint8_t status) {
  return Device().RaiseDriverStatus(status);
}
UDFP_API int32_t UdfpSimQueueEvent(uint32_t code, const uint8_t* data, uint32_t length) {
  return Device().QueueEvent(code, data, length);
}
UDFP_API int32_t UdfpSimUnplugAfterBlock(uint32_t block) {
  return Device().UnplugAfterBlock(block);
}
UDFP_API int32_t UdfpSimUnplugAfterObjects(uint32_t kind, uint32_t count) {
  return Device().UnplugAfterObjects(kind, count);
}
UDFP_API int32_t UdfpSimSetResponseDelay(uint32_t milliseconds) {
  return Device().SetResponseDelay(milliseconds);
}
UDFP_API int32_t UdfpSimClearFaults(void) {
  return Device().ClearFaults();
}
UDFP_API int32_t UdfpSimSetPlayDuration(uint32_t milliseconds) {
  return Device().SetPlayDuration(milliseconds);
}
UDFP_API int32_t UdfpSimEndPlay(void) {
  return Device().EndPlay();
}
UDFP_API int32_t UdfpSimSetStatusByte(uint32_t index, uint8_t value) {
  return Device().SetStatusByte(index, value);
}
UDFP_API int32_t UdfpSimGetState(UdfpSimState* state) {
  return Device().GetState(state);
}
UDFP_API int32_t UdfpSimGetCounters(UdfpSimCounters* counters) {
  return Device().GetCounters(counters);
}
UDFP_API int32_t UdfpSimResetCounters(void) {
  return Device().ResetCounters();
}
UDFP_API int32_t UdfpSimSaveState(const char* path) {
  return Device().SaveState(path);
}
UDFP_API int32_t UdfpSimLoadState(const char* path) {
  return Device().LoadState(path);
}

}  // extern "C"
