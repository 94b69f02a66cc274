// The CD-access library a1: CD drives and the disc images of the image folder, addressed like
// SCSI devices, with plain C entry points. Drives are listed by a2, opened by a12 and closed by
// a13; a7 reads the table of contents, a14 gives the disc's identity, a8 reads raw audio frames
// and a4/a3 describe the last failed request.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define A1_EXPORT __attribute__((visibility("default")))

// Bytes of one raw audio frame (588 stereo 16-bit samples).
#define A1_FRAME_BYTES 2352
// The drive list a2 fills: byte 1 the drive count, then one entry of A1_DRIVE_ENTRY_BYTES per
// drive from offset 2 (host adapter, target, logical unit, unused, zero-terminated description).
#define A1_DRIVE_LIST_BYTES 970
#define A1_DRIVE_ENTRY_BYTES 121
#define A1_MAX_DRIVES 8
// A device address: 12, 1, host adapter, target, logical unit, then zeros.
#define A1_ADDRESS_BYTES 12
// The READ TOC layout: 4 header bytes and up to 100 descriptors of 8 bytes.
#define A1_TOC_BYTES 804

// Status bytes a4 reports for a failed request.
#define A1_STATUS_ERROR 0x04       // the drive could not deliver the frames
#define A1_STATUS_INVALID 0x80     // frames outside the disc, or more than the request holds
#define A1_STATUS_BAD_HANDLE 0x81  // no open drive with that handle
#define A1_STATUS_NO_MEDIA 0x82    // no disc, or its table of contents is unreadable

// The read request a8 fills (all fields in the machine's byte order): this header, then the data
// area of capacityBytes bytes from offset A1_REQUEST_HEADER_BYTES.
#define A1_REQUEST_HEADER_BYTES 24
typedef struct A1ReadRequest {
    uint32_t firstFrame;      // written by the caller
    uint32_t frameCount;      // written by the caller, at most capacityBytes / A1_FRAME_BYTES
    uint32_t capacityBytes;   // size of the data area
    uint32_t deliveredBytes;  // set by the library
    uint32_t reserved;        // 0
    uint32_t dataOffset;      // set by the library: where in the data area the bytes start
} A1ReadRequest;

// Fills the 970-byte buffer with the drives: the machine's CD drives, then one drive per disc
// image (.cue, .toc or .nrg) in the image folder, at most A1_MAX_DRIVES in all.
A1_EXPORT void a2(uint8_t* driveList);
// Opens the drive at `address`; a handle above 0, or 0 when it cannot be opened.
A1_EXPORT int a12(const uint8_t* address);
// Sets an option of the open drive; the options the studio passes need nothing here.
A1_EXPORT int a11(int handle, int option, int value);
// Fills the 804-byte buffer with the disc's table of contents; 1 when it was read.
A1_EXPORT int a7(int handle, uint8_t* toc);
// Writes the disc's identity into the first 32-bit word of `buffer` (4 * words + 12 bytes).
A1_EXPORT void a14(int handle, uint8_t* buffer, int words);
// Reads request->frameCount frames from request->firstFrame; 1 when they were delivered.
A1_EXPORT int a8(int handle, A1ReadRequest* request);
// The status byte of the last failed request.
A1_EXPORT int a4(void);
// The library's error number behind a status byte (for the last failed request).
A1_EXPORT int a3(int status);
// Closes a handle of a12.
A1_EXPORT void a13(int handle);

// CD-Text of the open disc: `field` 0 title, 1 performer; `track` 0 for the disc itself.
// Copies at most size - 1 bytes and a zero; returns the text's length, or -1 when the disc has
// no such text.
A1_EXPORT int a1CdText(int handle, int track, int field, char* buffer, int size);

// Why the drive at `address` holds no readable disc, when the library can tell: for a disc image
// that cannot be read, "disc image <file>: <reason>". Copies at most size - 1 bytes and a zero;
// returns the text's length, 0 when there is nothing to tell.
A1_EXPORT int a1DriveProblem(const uint8_t* address, char* buffer, int size);

#ifdef __cplusplus
}
#endif
