// The MP3 information library (libmycommon.so): describes an MPEG audio file or a PCM WAV
// file in a 300-byte record owned by the caller. The playing time is exact for constant and
// variable bit rates: taken from a Xing/Info or VBRI header when the stream has one, otherwise
// counted by walking every frame header (nothing is decoded).
#pragma once

#include <cstddef>
#include <cstdint>

// Stream kinds written at offset 0.
inline constexpr int32_t kStreamKindWave = 1;     // WAV of integer or float PCM
inline constexpr int32_t kStreamKindLayer3 = 2;   // MPEG-1, 2 or 2.5 audio Layer III
inline constexpr int32_t kStreamKindLayer12 = 3;  // MPEG audio Layer I or II

// A WAV's kind of samples, written at offset 56: the WAVE format tag of its samples (for
// WAVE_FORMAT_EXTENSIBLE the sub-format's).
inline constexpr int32_t kWaveSamplesInteger = 1;  // integer PCM
inline constexpr int32_t kWaveSamplesFloat = 3;    // IEEE float

// The caller stores this at `filled` before the call; a described file has another value there.
inline constexpr int32_t kInfoNotFilled = 100;

// All integers little-endian (the host order of the supported machines).
struct MPEGINFOS {
    int32_t kind;           //   0: one of kStreamKind*
    int32_t version;        //   4: MPEG version 1, 2, or 25 for 2.5; 0 for WAV
    int32_t filled;         //   8: 1 once the library has described the file
    int32_t layer;          //  12: 1, 2 or 3; 0 for WAV
    int32_t seconds;        //  16: playing time in whole seconds (truncated)
    int32_t milliseconds;   //  20: playing time in milliseconds (truncated)
    char mpeg[4];           //  24: the letters 'M', 'P', 'E', 'G' (no terminator)
    int32_t sampleRate;     //  28: Hz
    int32_t channels;       //  32: 1 or 2 for MPEG audio
    int32_t bitrateKbps;    //  36: average over the audio data
    int32_t frames;         //  40: MPEG audio frames (without a Xing/Info/VBRI frame)
    int32_t vbr;            //  44: 1 when the bit rate changes between frames
    int32_t lengthSource;   //  48: 0 counted frames, 1 Xing/Info header, 2 VBRI header, 3 WAV
    int32_t audioBytes;     //  52: bytes of audio data (saturated at 2^31 - 1)
    int32_t waveSamples;    //  56: kWaveSamples* for WAV; 0 for MPEG audio
    uint8_t reserved[240];  //  60: zero
};
static_assert(sizeof(MPEGINFOS) == 300);
static_assert(offsetof(MPEGINFOS, filled) == 8 && offsetof(MPEGINFOS, seconds) == 16 &&
              offsetof(MPEGINFOS, mpeg) == 24 && offsetof(MPEGINFOS, waveSamples) == 56);

class CPlay {
public:
    CPlay();
    virtual ~CPlay();

    // Describes the file at `path` (zero-terminated) in `info` and returns true; returns false
    // and leaves `info` as it was for a file that is not MPEG audio or PCM WAV, cannot be read,
    // or is empty. `path` is not changed.
    bool GetInfo(char* path, MPEGINFOS* info);

    // Bytes read from files by this object so far (the cost of describing them).
    uint64_t bytesRead() const { return bytesRead_; }

private:
    uint64_t bytesRead_ = 0;
};
