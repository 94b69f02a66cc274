#pragma once

// What the media library hands the decoding module (vx_audio_decode.so in the system directory,
// media/audio_decode.cpp). The module holds all of FFmpeg; media/audio_decoder.cpp loads it on
// the first probe or decode, so that a program that reads only MP3s (vexmor info, say) never
// loads FFmpeg's libraries.

#include <atomic>
#include <string>

#include "media/audio_decoder.h"

namespace media {

struct AudioProbeJob {
    const char* path;
    AudioInfo* info;   // filled on success
    std::string* why;  // set on failure
};
struct AudioDecodeJob {
    const char* input;
    const char* output;
    std::atomic<double>* percent;
    const std::atomic<bool>* cancel;
    std::string* error;  // set on failure
};
using AudioProbeFn = bool (*)(const AudioProbeJob* job);
using AudioDecodeFn = bool (*)(const AudioDecodeJob* job);
inline constexpr const char* kAudioDecodeModule = "vx_audio_decode.so";
inline constexpr const char* kAudioProbeSymbol = "VxAudioProbe";
inline constexpr const char* kAudioDecodeSymbol = "VxAudioDecode";

}  // namespace media
