/*
 * The driver-interface ABI between the device link and a handset driver library.
 *
 * A driver library is a shared object loaded at run time by file name; the device link
 * looks up every export below by name immediately before it uses it, so a library may
 * leave exports out (the operation that needs one then fails).
 *
 * Handles: device and pipe handles are 32-bit values; UDFP_INVALID_HANDLE (all bits set)
 * means "none". Results: an int32_t result is non-zero for success unless stated.
 * Threads: every export may be called from any thread; calls on different pipes or on the
 * control channel may run at the same time. No call blocks longer than
 * UDFP_MAX_BLOCKING_MS; a pipe transfer that moves nothing in that time fails.
 * Byte order: multi-byte numbers inside vendor-request payloads and block headers are
 * big-endian; the 8-byte event record is little-endian.
 */
#ifndef ORVANE_UDFP_H
#define ORVANE_UDFP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define UDFP_API __declspec(dllexport)
#else
#define UDFP_API __attribute__((visibility("default")))
#endif

#define UDFP_INVALID_HANDLE 0xFFFFFFFFu
#define UDFP_MAX_BLOCKING_MS 5000u

/* Pipe numbers for UdfpOpenPipe (on interface 2). */
#define UDFP_PIPE_OUT 5u /* host to device */
#define UDFP_PIPE_IN 4u  /* device to host */

/* Vendor request types. */
#define UDFP_REQTYPE_OUT 0x43u /* host to device, vendor, recipient other */
#define UDFP_REQTYPE_IN 0xC3u  /* device to host, vendor, recipient other */

/* Size of the event record delivered by UdfpGetEventStatus. */
#define UDFP_EVENT_RECORD_SIZE 8u

/* Opens the first attached handset. Returns a device handle, UDFP_INVALID_HANDLE when none. */
UDFP_API uint32_t UdfpOpen(void);
/* Starts the library's event polling of the device; called with (device, 0, 1). */
UDFP_API int32_t UdfpStartPolling(uint32_t device, uint32_t reserved, uint32_t enable);
UDFP_API int32_t UdfpStopPolling(uint32_t device);
/* Closes the device; the handle is then invalid. */
UDFP_API int32_t UdfpClose(uint32_t device);
/* Switches the handset's application mode 1..4; the result is passed on to the caller. */
UDFP_API int32_t UdfpChangeApplicationMode(uint32_t device, uint32_t mode);
/*
 * One vendor request on the control channel. For a device-to-host request type (bit 7 set)
 * the buffer receives `length` bytes; otherwise `length` bytes of the buffer are sent.
 */
UDFP_API int32_t UdfpVendorRequest(uint32_t device, uint8_t requestType, uint8_t request, uint16_t value,
                                   uint16_t index, uint16_t length, uint8_t* buffer);
/*
 * Takes the next pending event record, if any, without waiting. *count is 1 on entry; on a
 * successful return it is 1 when a record was written to `record` (recordSize bytes,
 * UDFP_EVENT_RECORD_SIZE) and 0 when no event is pending.
 */
UDFP_API int32_t UdfpGetEventStatus(uint32_t device, uint8_t* record, uint32_t recordSize, uint32_t* count);
/* Opens a bulk pipe: interfaceNumber 2, pipe UDFP_PIPE_OUT or UDFP_PIPE_IN. */
UDFP_API uint32_t UdfpOpenPipe(uint32_t device, uint32_t interfaceNumber, uint32_t pipe);
/* Bulk transfers; *transferred receives the bytes moved (0 counts as a failed try). */
UDFP_API int32_t UdfpWriteData(uint32_t pipe, const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                               uint32_t reserved);
UDFP_API int32_t UdfpReadData(uint32_t pipe, uint8_t* buffer, uint32_t capacity, uint32_t* transferred,
                              uint32_t reserved);
/* Closes a pipe; a value of 0 or UDFP_INVALID_HANDLE is accepted and ignored. */
UDFP_API int32_t UdfpClosePipe(uint32_t pipe);
/* The driver's status byte; bits 0 and 1 set mean a fault. */
UDFP_API int32_t UdfpGetDriverStatus(uint32_t device, uint8_t* status);
UDFP_API int32_t UdfpResetDriverStatus(uint32_t device);
/* USB vendor and product identifiers of the open device (low 16 bits significant). Fails
 * once the device is gone: a handset plugged in again is a new device, reached only through
 * a new UdfpOpen. */
UDFP_API int32_t UdfpGetDeviceInfo(uint32_t device, uint32_t* vendorId, uint32_t* productId);
/* Called once before the library is unloaded: ends the library's threads. */
UDFP_API int32_t UdfpTerminateDLL(void);

/*
 * Hotplug: the library calls `callback` from a thread of its own when a matching handset
 * arrives (arrived = 1) or is removed (arrived = 0), with its USB identifiers. Registering
 * a null callback stops the calls; when UdfpRegisterHotplug returns after that, no call is
 * running or will start. Returns 0 when the library cannot watch for hotplug.
 */
typedef void (*UdfpHotplugCallback)(void* context, int32_t arrived, uint32_t vendorId, uint32_t productId);
UDFP_API int32_t UdfpRegisterHotplug(UdfpHotplugCallback callback, void* context);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_UDFP_H */
