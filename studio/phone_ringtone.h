// Phone ringtone files written from a part of the studio's sound with FFmpeg's libraries:
// M4R (AAC-LC in an MP4 container of the "ipod" kind, 44.1 kHz stereo, 128 kbit/s), OGG
// (Vorbis, quality 5, the part's own rate and channels) and Opus (48 kHz, the part's channels).
// MP3 ringtones go through the codec engine with the MP3 settings instead.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CWave;

namespace studio {

enum class PhoneFormat { M4r, Ogg, Mp3, Opus };

struct PhoneFormatInfo {
    PhoneFormat format;
    const char* extension;  // without the dot
    const char* label;      // as the save dialog lists it
};

// The four types in the order the save dialog lists them.
const PhoneFormatInfo (&PhoneFormats())[4];
// "iPhone ringtone (*.m4r)|*.m4r|..." for the save dialog.
std::string PhoneRingtoneFilter();
// The type a chosen file name asks for, by its extension (any case); nullopt for another one.
std::optional<PhoneFormat> PhoneFormatForPath(const std::string& path);

// Longest ringtone the phones that take M4R files play, in seconds.
inline constexpr int kM4rMaxSeconds = 40;

// What an encoded ringtone holds, for checks and messages.
struct PhoneEncodeSpec {
    const char* codec;   // FFmpeg's encoder name
    const char* muxer;   // FFmpeg's container name
    int sampleRate = 0;  // 0: the part's own rate
    int channels = 0;    // 0: the part's own channels
    int bitRate = 0;     // bit/s; 0 for quality-based encoding
};
PhoneEncodeSpec SpecFor(PhoneFormat format, int channels);

// What the encoding module (vx_phone_encode.so in the system directory, studio/phone_encode.cpp)
// is handed: the sound as a CWave holds it, the encode's choices, the file to write and the
// encoder's state.
// The module holds all of FFmpeg; it is loaded on the first encode.
struct PhonePcm {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint16_t bitsPerSample = 0;
    uint16_t blockAlign = 0;
    int64_t frames = 0;
    const uint8_t* data = nullptr;
};
struct PhoneEncodeJob {
    PhonePcm sound;
    PhoneEncodeSpec spec;
    const char* path;
    const char* title;  // the file's tags; "" for none
    const char* artist;
    std::atomic<int>* percent;
    std::atomic<bool>* cancel;
    const std::function<void(int)>* onProgress;
    std::string* error;
};
using PhoneEncodeFn = bool (*)(const PhoneEncodeJob* job);
inline constexpr const char* kPhoneEncodeModule = "vx_phone_encode.so";
inline constexpr const char* kPhoneEncodeSymbol = "VxPhoneEncode";

// Encodes one 16-bit PCM sound. The file is written beside `target` under a temporary name and
// renamed into place once complete and on disk, so a failed or cancelled encode leaves no file (and
// an older file of that name as it was). Safe to run on a worker while another thread reads
// percent().
class PhoneRingtoneEncoder {
  public:
    // False with error() set when the file could not be written; PhoneFormat::Mp3 is not
    // encoded here. `onProgress` (when given) hears each new percentage, on the calling thread.
    bool Encode(const CWave& sound, PhoneFormat format, const std::string& target,
                const std::function<void(int)>& onProgress = {});
    // The title and artist the next encodes write into the file's tags (none when empty).
    void SetTitleAndArtist(std::string title, std::string artist) {
        title_ = std::move(title);
        artist_ = std::move(artist);
    }

    int percent() const { return percent_.load(); }
    void Cancel() { cancel_ = true; }
    const std::string& error() const { return error_; }

  private:
    std::atomic<int> percent_{0};
    std::atomic<bool> cancel_{false};
    std::string error_;
    std::string title_;
    std::string artist_;
};

}  // namespace studio
