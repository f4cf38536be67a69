#pragma once

// The contacts export library (ioutlk.so). It reads the contacts of an Outlook data file
// (.pst, .ost, .pab) through libpff and writes them as a contact file of quoted,
// comma-separated lines that the phonebook reads. Loaded at run time by file name; every
// entry point has C linkage.
//
// A caller names the data file first (ioutlkSetSourceFile), gives the password of a
// protected file (ioutlkSetPassword), then asks for each contact file with appToIdbTran.
// ioutlkCancel may be called from any thread while appToIdbTran runs on another: the
// running call then stops reading and returns IOUTLK_CANCELLED without writing anything.
// The other entry points are serialised with one another by the library.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IOUTLK_EXPORT __attribute__((visibility("default")))

// appToIdbTran modes.
#define IOUTLK_MODE_PERSONAL_FOLDERS 10 /* every contact of a .pst or .ost file -> "pst.tmp" layout */
#define IOUTLK_MODE_ADDRESS_BOOK 11     /* a .pab address book: always IOUTLK_NO_SOURCE (see README) */

// appToIdbTran results.
#define IOUTLK_OK 0             /* the output file was written (it may hold no line) */
#define IOUTLK_NO_SOURCE 1      /* no data file set, or the file holds no source of this mode */
#define IOUTLK_NOT_OPENED 2     /* the data file cannot be opened or is not an Outlook data file */
#define IOUTLK_WRONG_PASSWORD 3 /* the file is protected and the password set does not match */
#define IOUTLK_CANCELLED 4      /* ioutlkCancel was called */
#define IOUTLK_NOT_WRITTEN 5    /* the output file could not be written */
#define IOUTLK_BAD_ARGUMENT 6   /* unknown mode or no output path */

// Writes the contacts of the data file into outputPath (UTF-8 path), replacing it. The file
// appears complete or not at all: it is written under a temporary name beside outputPath
// and renamed. folder (the calling program's folder) is accepted for the caller's layout
// and not used.
//
// Mode 10 lines have 55 fields, each enclosed in double quotes (a double quote inside
// written twice, line ends removed), separated by commas; lines end with CR LF. Text is
// UTF-8. The README lists the fields. Mode 11 answers IOUTLK_NO_SOURCE: libpff does not
// read the address-book format.
IOUTLK_EXPORT uint16_t appToIdbTran(int32_t mode, const char* folder, const char* outputPath);

// Names the data file of the following calls (UTF-8 path; null forgets it). Clears the
// password and a cancel request of an earlier import. Returns IOUTLK_OK.
IOUTLK_EXPORT int32_t ioutlkSetSourceFile(const char* path);

// The password of a protected data file (UTF-8; null or "" for none). Returns IOUTLK_OK.
IOUTLK_EXPORT int32_t ioutlkSetPassword(const char* password);

// Whether the data file set asks for a password: 1 protected, 0 not protected,
// -1 the file cannot be opened (or none is set).
IOUTLK_EXPORT int32_t ioutlkIsPasswordProtected(void);

// Asks a running appToIdbTran to stop (libpff's abort signal) and makes later calls answer
// IOUTLK_CANCELLED until the next ioutlkSetSourceFile. Safe from any thread.
IOUTLK_EXPORT void ioutlkCancel(void);

// What the last appToIdbTran found: contact lines written and items skipped because they
// could not be read. Either pointer may be null.
IOUTLK_EXPORT void ioutlkGetLastCounts(uint32_t* written, uint32_t* skipped);

#ifdef __cplusplus
}
#endif
