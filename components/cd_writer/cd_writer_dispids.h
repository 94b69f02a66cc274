// The CD-writer control's class id, the dispatch ids of its members and events, and the kinds
// and codes its error events carry: the contract between the control and every host.
#pragma once

#include <cstdint>

namespace cd_writer {

inline constexpr const char* kCDWriterClassId = "{87C8091C-A3D9-4532-8984-E1FB6D23BB81}";

// Members (Invoke). Arguments and results: short = 16-bit, long = 32-bit integer.
namespace dispid {
inline constexpr int kTestWrite = 2;     // property put, bool: simulate instead of writing
inline constexpr int kWriteOption5 = 5;  // property put, bool: kept, no effect
inline constexpr int kCacheFiles = 6;    // property put, bool: decode to the scratch folder first
inline constexpr int kWriteMode7 = 7;    // property put, long: kept, no effect
inline constexpr int kGetDeviceCount = 24;        // () -> short
inline constexpr int kGetDeviceText1 = 25;        // (short index) -> string
inline constexpr int kGetDeviceText3 = 26;        // (short index) -> string
inline constexpr int kGetDeviceText2 = 27;        // (short index) -> string
inline constexpr int kSelectDevice = 28;          // (short index) -> bool
inline constexpr int kAfterWriteComplete = 29;    // () -> bool
inline constexpr int kPrepareWrite = 30;          // () -> bool
inline constexpr int kHasWritableMedia = 33;      // () -> bool
inline constexpr int kStartWrite = 34;            // () -> bool
inline constexpr int kSetWriteSpeed = 37;         // (short speed) -> bool
inline constexpr int kGetMaxWriteSpeed = 38;      // () -> short
inline constexpr int kAbortWrite = 39;            // ()
inline constexpr int kGetDiscUsage = 41;          // () -> long
inline constexpr int kResetTracks = 63;           // ()
inline constexpr int kAddTrack = 67;              // (string path, short index) -> bool
inline constexpr int kSetBurnProof = 70;          // (bool on) -> bool
inline constexpr int kIsBurnProofSupported = 71;  // () -> bool
// Beyond the members above: the CD-Text of a track added with AddTrack, (short index, string
// title, string performer) -> bool, UTF-8. An empty title or performer keeps the song's own (the
// tag's title or the file name; the tag's artist). False for an index without a track. A host
// that never calls it writes the songs' own texts.
inline constexpr int kSetTrackText = 72;
// Property get, string: the CUE sheet of the image the current recorder wrote last; empty before
// its first image and for recorders that write no image.
inline constexpr int kLastImage = 73;
}  // namespace dispid

// Events, in the order a write fires them: DiscPreparing; per track CachingStarted and
// CachingProgress when files are cached; per track TrackPreparing, TrackProgress...,
// TrackClosing; SessionClosing; DiscClosing; then exactly one of WriteComplete, WriteCancelled
// or WriteError. Tracks are numbered from 1; sizes and amounts are bytes of CD audio.
namespace event {
inline constexpr int kDiscClosing = 1;       // ()
inline constexpr int kSessionClosing = 2;    // ()
inline constexpr int kWriteCancelled = 5;    // ()
inline constexpr int kWriteComplete = 6;     // ()
inline constexpr int kDiscPreparing = 7;     // ()
inline constexpr int kTrackPreparing = 9;    // (short track, long size)
inline constexpr int kTrackProgress = 10;    // (short track, long written, short unused)
inline constexpr int kWriteError = 11;       // (long kind, long code)
inline constexpr int kTrackClosing = 12;     // (short track)
inline constexpr int kEvent13 = 13;          // (short) never fired
inline constexpr int kCachingStarted = 14;   // (short track, long size)
inline constexpr int kCachingProgress = 15;  // (long amount)
inline constexpr int kFileReading = 16;      // (long value) never fired
inline constexpr int kEvent17 = 17;          // never fired
inline constexpr int kFileError = 23;        // (long kind, string file)
}  // namespace event

// Kinds of WriteError.
namespace write_error {
inline constexpr int32_t kReadBuffer = 0;
inline constexpr int32_t kWriteBuffer = 1;
inline constexpr int32_t kFile = 2;
inline constexpr int32_t kDevice = 3;
inline constexpr int32_t kNoTracks = 4;
inline constexpr int32_t kBadFormat = 5;
}  // namespace write_error

// Kinds of FileError.
namespace file_error {
inline constexpr int32_t kOpen = 0;
inline constexpr int32_t kRead = 1;
inline constexpr int32_t kWrite = 2;
inline constexpr int32_t kBuffer = 4;
}  // namespace file_error

// Device error codes (WriteError kind 3) the recorders report.
namespace device_error {
inline constexpr int32_t kNoData = 1000;
inline constexpr int32_t kAbnormalIo = 1001;
inline constexpr int32_t kNotReady = 1002;
inline constexpr int32_t kCommunication = 1003;
inline constexpr int32_t kTracking = 1004;
inline constexpr int32_t kWriteUnknown = 1005;
inline constexpr int32_t kUnderrun = 1008;
inline constexpr int32_t kDiscUnreadable = 1009;
inline constexpr int32_t kReadTimeout = 1011;
inline constexpr int32_t kPositioning = 1017;
inline constexpr int32_t kTransfer = 1019;
inline constexpr int32_t kInvalidCommand = 1020;
inline constexpr int32_t kPastEnd = 1021;
inline constexpr int32_t kInvalidField = 1022;
inline constexpr int32_t kParameterNotSupported = 1024;
inline constexpr int32_t kBusReset = 1026;
inline constexpr int32_t kIncompatibleDisc = 1028;
inline constexpr int32_t kUnknownFormat = 1031;
inline constexpr int32_t kNoDisc = 1033;
inline constexpr int32_t kDriveFailure = 1034;
inline constexpr int32_t kTimeout = 1035;
inline constexpr int32_t kSessionClose = 1042;
inline constexpr int32_t kPowerCalibrationFull = 1047;
inline constexpr int32_t kPowerCalibrationFlaw = 1048;
}  // namespace device_error

}  // namespace cd_writer
