// The playback device both programs play sound through: one object holds at most one open
// file (MP3 decoded with libmpg123, or PCM WAV) and plays it on the default SDL audio output.
//
// Every operation answers with an integer code, 0 for success, otherwise one of the kMci*
// codes below; no operation shows a message. Positions and lengths are in milliseconds of the
// file's own timeline and count the sample frames the audio output has actually taken, so the
// position moves at real-time pace while playing (also on SDL's "dummy" driver).
//
// Mode rules: a file opens stopped at its start. Play runs from the current position to the
// end, then the device is stopped with the position at the end. A seek always leaves the device
// stopped (a running playback ends), as the seek commands of the original device did.
//
// The object is used from one thread (a window's); the SDL audio thread only decodes and
// counts frames under the object's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Result codes, numbered as the media control interface numbers its errors.
inline constexpr int kMciOk = 0;
inline constexpr int kMciInvalidDevice = 257;  // no file is open
inline constexpr int kMciHardware = 262;       // the audio output cannot be opened
inline constexpr int kMciFileNotFound = 275;   // the file does not exist or cannot be read
inline constexpr int kMciOutOfRange = 282;     // a seek beyond the end of the file
inline constexpr int kMciInvalidFile = 296;    // not a playable MP3 or PCM WAV file
inline constexpr int kMciNonApplicable = 302;  // the command does not apply in this mode

class CMciPlayer {
public:
    enum class Mode { NotReady, Stopped, Playing, Paused };

    CMciPlayer();
    ~CMciPlayer();
    CMciPlayer(const CMciPlayer&) = delete;
    CMciPlayer& operator=(const CMciPlayer&) = delete;

    // Opens a file, the kind chosen from its extension (".wav" plays as PCM WAV, anything else
    // is tried as WAV by its header and then as MPEG audio; a RIFF file that holds no PCM is
    // tried as MPEG audio too), closing any file open before.
    // Reads the length; on failure no device is open.
    int Open(const std::string& path);
    // Opens a PCM WAV file ("waveaudio"); the length is 0 when it cannot be read.
    int OpenWave(const std::string& path);
    // Ends playback and releases the file and the audio output; device() becomes 0.
    int Close();

    // Plays from the current position to the end and returns at once.
    int Play();
    int Pause();
    // Continues a paused playback; kMciNonApplicable when the device is not paused.
    int Resume();
    // Ends playback and keeps the position.
    int Stop();

    // seconds 0 with length() > 0: the start; 0 < seconds < length(): seconds × 1000 ms;
    // otherwise the end. A negative value counts as 0.
    int SeekTo(int seconds);
    int SeekToStart();
    // 0 does nothing and answers 0; other values seek to that position (kMciOutOfRange
    // beyond the end).
    int SeekToMs(uint32_t ms);

    // Position in whole seconds (milliseconds ÷ 1000); nullopt without a device.
    std::optional<int> GetPosition() const;
    std::optional<uint32_t> GetPositionMs() const;
    // True only while playing.
    bool IsPlaying() const;
    // True while a file is open (stopped, playing or paused).
    bool IsReady() const;

    Mode mode() const;
    // Non-zero id of the open device, 0 when no file is open.
    uint32_t device() const { return device_; }
    // Length of the open file in whole seconds (length in ms ÷ 1000, truncated); 0 when
    // unknown or no file is open.
    uint32_t length() const { return length_; }
    // Length of the open file in milliseconds; 0 when unknown or no file is open.
    uint32_t lengthMs() const { return lengthMs_; }

    class Impl;

private:
    int OpenAs(const std::string& path, bool waveOnly);
    int SeekFrames(uint64_t frame);

    std::unique_ptr<Impl> impl_;
    uint32_t device_ = 0;
    uint32_t length_ = 0;
    uint32_t lengthMs_ = 0;
};
