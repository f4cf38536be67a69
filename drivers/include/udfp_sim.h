/*
 * Control exports of the handset emulator (udfp-sim.so).
 *
 * udfp-sim.so is a driver-interface library with the ABI of udfp.h whose "device" is a
 * simulated handset firmware running on threads of the library. Tests and demos load it by
 * file name like any driver library; these extra exports let a test plug and unplug the
 * handset, fill and inspect its stores, change its identity and capacities, inject faults
 * and read counters. Every export may be called from any thread at any time.
 *
 * Results: int32_t results are 1 (or a count / item number) on success and 0 on failure
 * unless stated.
 *
 * ---------------------------------------------------------------------------------------
 * The emulated handset
 * ---------------------------------------------------------------------------------------
 * Start-up: a fresh handset is plugged in with the USB identifiers 0x3A7E / 0x1276, empty
 * stores and the default capacities below. Environment variables read when the library is
 * first used: ORVANE_SIM_STATE names a file that keeps the stores, capacities and device
 * information between runs (rewritten atomically after each change; a missing or damaged
 * file gives a fresh handset); ORVANE_SIM_PLUGGED=0 starts with the handset unplugged;
 * ORVANE_SIM_SAMPLES=1 gives a fresh handset (no usable state file) sample content: 5
 * phonebook entries, 3 callers, 2 wallpapers, 2 picture IDs and 2 melodies (UdfpSimStoreFill).
 *
 * Device access: one open handle at a time (UdfpOpen while a handle is open fails, as an
 * exclusively claimed interface does). Unplugging invalidates the device handle and every
 * pipe handle; calls with them fail at once (UdfpGetDeviceInfo included, as with a real
 * handset; after a plug the handset is reached only through a new UdfpOpen), and a pipe read waiting for data returns
 * failed. Events are delivered only after UdfpStartPolling(device, 0, 1); opening the
 * device discards events queued before. A pipe read with nothing to collect fails after
 * 100 ms; while the handset is still working on a block it waits 2 s plus the response
 * delay, at most 4.5 s. Every host-to-device request discards block answers the host left
 * unread.
 * UdfpRegisterHotplug reports later arrivals and removals only; a handset already present
 * when the callback is registered is not reported.
 *
 * Control channel: host-to-device requests use type 0x43 and request number 3; the value
 * is the request code. They are accepted at once (the call succeeds) and answered by the
 * firmware thread with an event whose code is the value + 1 and whose data is the reply
 * (usually one status byte, 0 = success, otherwise one of UDFP_SIM_REFUSE_*):
 *   0xE95 [1] / [0]  session open / close. A second open restarts the session; a close
 *                    ends any transfer or melody playback in progress. Reply 0xE96 [0].
 *   0xE73 [1] / [0]  utility mode on / off; same session flag as 0xE95. Reply 0xE74 [0].
 *   0xE71            model information: reply 0xE72 with the 16 bytes of device information.
 *   0xE91 [kind]     key operation: kind 0 start, 1 end (utility state byte 1 / 0).
 *                    Reply 0xE92 [0], unknown kind [UDFP_SIM_REFUSE_UNKNOWN_KIND].
 *   Operations, only inside an open session (else reply [UDFP_SIM_REFUSE_NO_SESSION]):
 *   0xE75 [kind, 0, size hi, size lo, arg1, arg2]  write start -> 0xE76. The size field holds
 *                    the low 16 bits of the object size. Refused with UDFP_SIM_REFUSE_UNKNOWN_KIND
 *                    for a kind the PC cannot write and UDFP_SIM_REFUSE_WRONG_SIZE when the size
 *                    cannot be right for the kind. Lack of room (no free item, or the size
 *                    already over the free memory) is reported by refusing block 0 with 0x10.
 *   0xE7A [kind]     read count -> 0xE7B [count]; [0xF0] for an unknown kind.
 *   0xE7C [kind, n]  read -> 0xE7D [0]; the object is then read in blocks through pipe 4.
 *                    Refused with UDFP_SIM_REFUSE_UNKNOWN_KIND or UDFP_SIM_REFUSE_BAD_ITEM.
 *   0xE81 [kind, n]  delete item n, 255 = all items of the kind -> 0xE82.
 *   0xE83 [kind, a]  remaining size -> 0xE84 [hi, lo], big-endian: a = 0 free kilobytes of the
 *                    memory shared by pictures, melodies and the test kind; a = 1 free item
 *                    count of the kind's store. Unknown kind or argument: [0, 0].
 *   0xE85 [18, slot] play start -> 0xE86 [0]; the melody plays for its length at 36 000
 *                    bits per second (or UdfpSimSetPlayDuration) and then the handset sends
 *                    indication 0xE89 without data.
 *   0xE87            play stop -> 0xE88 [0]; closing the session also stops playback.
 *   0xE8F [kind]     set default -> 0xE90 [0] for a known kind; no stored data changes.
 *   0xE77 [kind, 1]  write stop -> 0xE78 [0]: the partial object is discarded.
 *   0xE7E [kind, n]  read stop -> 0xE7F [0].
 * Device-to-host requests (type 0xC3, request 0) are answered at once in the call:
 *   value 0: the data of the event last taken by UdfpGetEventStatus (zero-filled past its end);
 *   value 1, index i, length 1: status byte i. Index 3 is the utility state byte (1 after a
 *            key-operation start, 0 after its end); other indices read what
 *            UdfpSimSetStatusByte stored (0 by default).
 * Any other request type, request number or value is stalled (the call fails).
 *
 * Blocks: host-to-device blocks are [0, n, length hi (bit 7 = last), length lo, payload];
 * every block but the last carries 1020 bytes. Each is answered on pipe 4 by the
 * acknowledgement [2, n, 0, item] (item = the stored item number on the last block, else 0) or
 * a refusal [code, n, 0, 0]: 0x10 memory full, UDFP_SIM_REFUSE_SEQUENCE for a block out of
 * order or without a write in progress, UDFP_SIM_REFUSE_WRONG_SIZE for a bad length, an
 * object over 256 blocks or a total that does not match the write start. A refusal ends the
 * write. Read requests [1, n, 0, 0] are answered with [2, n, length hi (bit 7 = last),
 * length lo, payload] or the refusal [UDFP_SIM_REFUSE_BAD_ITEM, n, 0, 0] past the end.
 *
 * Stores and item numbers (kind: content, read by item n, capacity default):
 *   4  phonebook: 36-byte records, n = position from 1, capacity 50 (mirrored in byte 12 of
 *      the device information).
 *   8  caller list: records of 32 bytes or more, n = position from 1, capacity 30; the PC
 *      cannot write it; a caller added beyond the capacity drops the oldest.
 *   0  wallpapers: 15 648-byte picture records, n = item number (lowest free from 1), 10.
 *   16 picture IDs: 4 160-byte picture records, n = item number, 10.
 *   18 melodies: records of more than 32 bytes, n = slot 1..capacity, 10 slots.
 *   1, 17 wallpaper / picture-ID lists (read count and read only): entry n is
 *      [item number, 1 or 2, the record's 32-byte name field] (34 bytes).
 *   19 melody list (read count and read only): one entry per slot, [slot, 1, 32-byte name
 *      field] for a used slot and [slot, 0] for an empty one.
 *   15 device information (read only): the 16 bytes; n is ignored.
 *   UDFP_SIM_KIND_RAW test kind: any bytes, 1 to 261 120 per item, n = position, 239 items.
 * Pictures, melodies and the test kind share one memory (default 1 MiB). Capacities are
 * clamped to 239 items so that a read-count reply never equals the failure value 0xF0.
 */
#ifndef ORVANE_UDFP_SIM_H
#define ORVANE_UDFP_SIM_H

#include "udfp.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Default USB identifiers of the emulated handset. */
#define UDFP_SIM_VENDOR_ID 0x3A7Eu
#define UDFP_SIM_PRODUCT_ID 0x1276u

/* Data kinds the handset knows. */
#define UDFP_SIM_KIND_WALLPAPER 0u
#define UDFP_SIM_KIND_WALLPAPER_LIST 1u
#define UDFP_SIM_KIND_PHONEBOOK 4u
#define UDFP_SIM_KIND_CALLER_LIST 8u
#define UDFP_SIM_KIND_DEVICE_INFO 15u
#define UDFP_SIM_KIND_PICTURE_ID 16u
#define UDFP_SIM_KIND_PICTURE_ID_LIST 17u
#define UDFP_SIM_KIND_MELODY 18u
#define UDFP_SIM_KIND_MELODY_LIST 19u
#define UDFP_SIM_KIND_RAW 0x7Eu /* test only: stores bytes as they come */

/* Record sizes the handset checks. */
#define UDFP_SIM_PHONEBOOK_RECORD_SIZE 36u
#define UDFP_SIM_CALLER_RECORD_MIN_SIZE 32u
#define UDFP_SIM_WALLPAPER_RECORD_SIZE 15648u
#define UDFP_SIM_PICTURE_ID_RECORD_SIZE 4160u
#define UDFP_SIM_MELODY_HEADER_SIZE 32u
#define UDFP_SIM_MAX_OBJECT_SIZE 261120u /* 256 blocks of 1020 bytes */
#define UDFP_SIM_MAX_CAPACITY 239u

/* First reply byte and acknowledgement byte 0 values. */
#define UDFP_SIM_REPLY_OK 0x00u
#define UDFP_SIM_ACK_ACCEPTED 0x02u
#define UDFP_SIM_REFUSE_NO_SESSION 0x01u
#define UDFP_SIM_REFUSE_UNKNOWN_KIND 0x03u
#define UDFP_SIM_REFUSE_BAD_ITEM 0x04u
#define UDFP_SIM_REFUSE_WRONG_SIZE 0x05u
#define UDFP_SIM_REFUSE_SEQUENCE 0x06u
#define UDFP_SIM_REFUSE_MEMORY_FULL 0x10u
#define UDFP_SIM_COUNT_FAILED 0xF0u

/* Events the handset sends on its own. */
#define UDFP_SIM_EVENT_PLAY_ENDED 0x0E89u
#define UDFP_SIM_EVENT_E93 0x0E93u
#define UDFP_SIM_EVENT_E94 0x0E94u
#define UDFP_SIM_EVENT_MODEL_INFO_CHANGED 0x0E98u
#define UDFP_SIM_EVENT_BATTERY_LOW 0x0D80u
#define UDFP_SIM_EVENT_REFUSE_E79 0x0E79u
#define UDFP_SIM_EVENT_REFUSE_E80 0x0E80u

#define UDFP_SIM_NEVER 0xFFFFFFFFu

/* ---- attachment -------------------------------------------------------------------- */

/* Attaches the handset (hotplug arrival). Returns 0 when it is already attached. */
UDFP_API int32_t UdfpSimPlug(void);
/* Detaches it: handles become invalid, waiting pipe reads fail, the session, any transfer,
 * playback and pending events are dropped (stores are kept); hotplug removal.
 * Returns 0 when it was not attached. */
UDFP_API int32_t UdfpSimUnplug(void);
UDFP_API int32_t UdfpSimIsPlugged(void);
/* A fresh handset: default identity, capacities and memory, empty stores, no faults, zero
 * counters, session closed, no events. The attach state and the hotplug callback stay. */
UDFP_API int32_t UdfpSimReset(void);

/* ---- identity ------------------------------------------------------------------------ */

UDFP_API int32_t UdfpSimSetUsbIds(uint32_t vendorId, uint32_t productId);
/* The 16 bytes of device information (reply to read kind 15 and to 0xE71). Setting them
 * also sets the phonebook capacity from byte 12 (clamped to UDFP_SIM_MAX_CAPACITY). */
UDFP_API int32_t UdfpSimSetDeviceInfo(const uint8_t* info16);
UDFP_API int32_t UdfpSimGetDeviceInfo(uint8_t* info16);
/* Writes model field 0..64 into the device information (bit positions of the model field
 * table); a value too wide for the field or an unknown field is refused. */
UDFP_API int32_t UdfpSimSetModelField(uint32_t field, uint32_t value);

/* ---- capacity and free space --------------------------------------------------------- */

/* Item capacity of a store kind (4, 8, 0, 16, 18, RAW); clamped to UDFP_SIM_MAX_CAPACITY.
 * Items already stored beyond a lowered capacity are kept. */
UDFP_API int32_t UdfpSimSetCapacity(uint32_t kind, uint32_t items);
/* Capacity of a store kind; -1 for a kind without a store. */
UDFP_API int32_t UdfpSimGetCapacity(uint32_t kind);
/* Size in bytes of the memory shared by pictures, melodies and the test kind. */
UDFP_API int32_t UdfpSimSetMemorySize(uint32_t bytes);
/* Sets the memory size so that exactly `kilobytes` * 1024 bytes are free now. */
UDFP_API int32_t UdfpSimSetFreeKilobytes(uint32_t kilobytes);
UDFP_API uint32_t UdfpSimGetFreeBytes(void);

/* ---- stores -------------------------------------------------------------------------- */

/* Number of items of a store kind; -1 for a kind without a store. */
UDFP_API int32_t UdfpSimStoreCount(uint32_t kind);
/* Adds an item as the handset would store it from a write (size rules and capacities
 * apply; the caller list drops its oldest entry when full). Returns the item number, or 0
 * when refused. */
UDFP_API int32_t UdfpSimStoreAdd(uint32_t kind, const uint8_t* data, uint32_t length);
/* Copies the item at `position` (0-based, in handset order) into `buffer`; *length receives
 * its full size even when the buffer is too small (then the result is 0 and nothing is
 * copied); *itemNumber (may be null) receives its item number. */
UDFP_API int32_t UdfpSimStoreGet(uint32_t kind, uint32_t position, uint8_t* buffer, uint32_t capacity, uint32_t* length,
                                 uint32_t* itemNumber);
/* Removes every item of the kind. */
UDFP_API int32_t UdfpSimStoreClear(uint32_t kind);
/* Adds `count` sample items of a store kind, each different and valid for the kind
 * (phonebook "Entry 01" 5550001, caller "Caller 01" 02070001, pictures with a grey palette,
 * one-second melodies, 100-byte test objects). Stops at the first one that does not fit;
 * returns the number added. */
UDFP_API int32_t UdfpSimStoreFill(uint32_t kind, uint32_t count);

/* ---- faults ---------------------------------------------------------------------------- */

/* The answers to the next `count` host-to-device vendor requests are lost: the handset
 * acts on each request but its reply event never comes (the host's response timer runs out). */
UDFP_API int32_t UdfpSimSilenceNextRequests(uint32_t count);
/* The next block (written or read) is refused with `code` as byte 0; the transfer ends. */
UDFP_API int32_t UdfpSimRefuseNextBlock(uint8_t code);
/* The next `count` UdfpVendorRequest calls fail (result 0, nothing reaches the handset). */
UDFP_API int32_t UdfpSimFailVendorRequests(uint32_t count);
/* The next `count` UdfpWriteData / UdfpReadData calls fail (result 0, nothing moved). */
UDFP_API int32_t UdfpSimFailPipeTransfers(uint32_t count);
/* The next `count` pipe calls succeed but move 0 bytes (the host tries again). */
UDFP_API int32_t UdfpSimStallPipeTransfers(uint32_t count);
/* Raises the driver status byte (UdfpGetDriverStatus reports it until reset). */
UDFP_API int32_t UdfpSimRaiseDriverStatus(uint8_t status);
/* Queues an event as the handset would send it: any code, with `length` bytes of data
 * (data may be null when length is 0). Use the UDFP_SIM_EVENT_* codes for indications.
 * Fails while unplugged or when length > 0xFFFF. */
UDFP_API int32_t UdfpSimQueueEvent(uint32_t code, const uint8_t* data, uint32_t length);
/* Unplugs the handset right after it has handled block number `block` (counting from 0)
 * of the next transfer, before that block is answered; UDFP_SIM_NEVER disarms. */
UDFP_API int32_t UdfpSimUnplugAfterBlock(uint32_t block);
/* Unplugs the handset right after it has stored the `count`-th further object of `kind`
 * written by the host (counted from this call), before the acknowledgement of that
 * object's last block is answered: the object is kept, the host never hears of it, and the
 * writes that follow find no handset. Fails for a kind without a store. A count of 0 or
 * UDFP_SIM_NEVER disarms. Use it to pull the cable between two records of a send. */
UDFP_API int32_t UdfpSimUnplugAfterObjects(uint32_t kind, uint32_t count);
/* Milliseconds the firmware waits before it answers each request or block (default 0). */
UDFP_API int32_t UdfpSimSetResponseDelay(uint32_t milliseconds);
/* Disarms every fault above and clears the driver status byte. */
UDFP_API int32_t UdfpSimClearFaults(void);

/* ---- playback and status ----------------------------------------------------------------- */

/* Playing time of every melody in ms; 0 = from the melody's length (default). */
UDFP_API int32_t UdfpSimSetPlayDuration(uint32_t milliseconds);
/* Ends the melody now (indication 0xE89 follows). Returns 0 when none plays. */
UDFP_API int32_t UdfpSimEndPlay(void);
/* Status byte read by the device-to-host request value 1 with this index (index 3 is the
 * utility state byte and changes with key operations). */
UDFP_API int32_t UdfpSimSetStatusByte(uint32_t index, uint8_t value);

typedef struct UdfpSimState {
  int32_t plugged;           /* 1 attached */
  int32_t deviceOpen;        /* 1 while a device handle is open */
  int32_t polling;           /* 1 after UdfpStartPolling */
  int32_t sessionOpen;       /* 1 inside a session */
  int32_t writing;           /* 1 while a block write is in progress */
  int32_t reading;           /* 1 while a block read is in progress */
  int32_t playing;           /* 1 while a melody plays */
  uint32_t playingSlot;      /* slot of the playing melody */
  uint32_t applicationMode;  /* last mode 1..4 set by UdfpChangeApplicationMode, 0 none */
  uint32_t utilityState;     /* status byte 3 */
  uint32_t pendingEvents;    /* events not yet taken by UdfpGetEventStatus */
  uint8_t driverStatus;      /* current driver status byte */
  uint32_t pipeReadsWaiting; /* UdfpReadData calls waiting for the handset's answer now */
  uint32_t hotplugPending;   /* hotplug notices not yet delivered to the callback */
} UdfpSimState;
UDFP_API int32_t UdfpSimGetState(UdfpSimState* state);

/* ---- counters ------------------------------------------------------------------------------ */

typedef struct UdfpSimCounters {
  uint32_t vendorRequests;    /* UdfpVendorRequest calls with a valid handle, failed ones included */
  uint32_t vendorRequestsOut; /* of them host-to-device */
  uint32_t vendorRequestsIn;  /* of them device-to-host */
  uint32_t requestsAnswered;  /* replies the firmware queued as events */
  uint32_t blocksWritten;     /* blocks accepted (acknowledgement 2, unless an unplug lost it) */
  uint32_t blocksRead;        /* data blocks handed to pipe 4 */
  uint32_t blocksRefused;     /* refusals of written blocks and read requests */
  uint32_t pipeWrites;        /* UdfpWriteData calls with a valid pipe */
  uint32_t pipeReads;         /* UdfpReadData calls with a valid pipe */
  uint32_t eventsDelivered;   /* event records handed out by UdfpGetEventStatus */
  uint32_t opens;             /* successful UdfpOpen */
  uint32_t closes;            /* UdfpClose of an open handle */
  uint32_t objectsStored;     /* objects committed by block writes */
  /* The last UdfpVendorRequest: type, request number, value, index, length and up to 16
   * bytes of its payload (host-to-device only). */
  uint32_t lastRequestType;
  uint32_t lastRequest;
  uint32_t lastValue;
  uint32_t lastIndex;
  uint32_t lastLength;
  uint8_t lastPayload[16];
  /* The last operation the firmware handled (request code other than 0xE95), 0 none. */
  uint32_t lastOperation;
  uint32_t eventPolls;        /* UdfpGetEventStatus calls with a valid handle */
  uint32_t driverStatusReads; /* UdfpGetDriverStatus calls with a valid handle */
  uint32_t deleteRequests;    /* delete requests (0xE81) the firmware handled in a session */
} UdfpSimCounters;
UDFP_API int32_t UdfpSimGetCounters(UdfpSimCounters* counters);
UDFP_API int32_t UdfpSimResetCounters(void);

/* ---- persistence -------------------------------------------------------------------------- */

/* Writes the stores, capacities, memory size and device information to `path` atomically;
 * loads them back (a missing or damaged file is refused and leaves the handset as it was). */
UDFP_API int32_t UdfpSimSaveState(const char* path);
UDFP_API int32_t UdfpSimLoadState(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_UDFP_SIM_H */
