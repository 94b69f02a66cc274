#include "uikit/mci_player.h"

#include <SDL.h>
#include <mpg123.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "media/mp3_decode.h"
#include "media/wav_file.h"
#include "platform/paths.h"

#include "uikit/audio_system.h"

namespace {

// A decoded stream of interleaved signed 16-bit sample frames, read a piece at a time.
class PcmSource {
public:
    virtual ~PcmSource() = default;
    int rate() const { return rate_; }
    int channels() const { return channels_; }
    uint64_t lengthFrames() const { return lengthFrames_; }
    // Reads up to `frames` frames into `out`; 0 at the end of the stream or on a read error.
    virtual size_t Read(int16_t* out, size_t frames) = 0;
    // Moves to `frame` (0 <= frame <= lengthFrames()).
    virtual bool Seek(uint64_t frame) = 0;

protected:
    int rate_ = 0;
    int channels_ = 0;
    uint64_t lengthFrames_ = 0;
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// PCM WAV (integer 8, 16, 24, 32 bits or 32-bit float, plain or extensible format chunk),
// streamed from the file's "data" chunk.
class WavSource final : public PcmSource {
public:
    bool Open(const std::string& path) {
        // A data size beyond the end of the file (unfinished or streamed files) means "to the
        // end of the file".
        file_.reset(std::fopen(path.c_str(), "rb"));
        if (!file_) return false;
        const media::WavInfo info = media::ReadWav(::fileno(file_.get()));
        if (!info.ok() || !Supported(info.format)) return false;
        channels_ = info.format.channels;
        rate_ = static_cast<int>(info.format.sampleRate);
        blockAlign_ = info.format.blockAlign;
        bits_ = info.format.bitsPerSample;
        isFloat_ = info.format.IsFloat();
        dataOffset_ = static_cast<off_t>(info.dataOffset);
        lengthFrames_ = static_cast<uint64_t>(info.frames());
        return Seek(0);
    }

    size_t Read(int16_t* out, size_t frames) override {
        frames = static_cast<size_t>(std::min<uint64_t>(frames, lengthFrames_ - frame_));
        if (frames == 0) return 0;
        raw_.resize(frames * blockAlign_);
        const size_t got = std::fread(raw_.data(), blockAlign_, frames, file_.get());
        const size_t samples = got * static_cast<size_t>(channels_);
        const int bytes = bits_ / 8;
        for (size_t i = 0; i < samples; ++i) {
            const uint8_t* p = raw_.data() + i * bytes;
            int16_t value = 0;
            if (isFloat_) {
                float f;
                std::memcpy(&f, p, sizeof f);
                if (std::isnan(f)) f = 0.0f;
                value = static_cast<int16_t>(std::clamp(f, -1.0f, 1.0f) * 32767.0f);
            } else if (bytes == 1) {
                value = static_cast<int16_t>((p[0] - 128) << 8);
            } else {
                // The two most significant bytes of a little-endian sample of 16 bits or more.
                value = static_cast<int16_t>(Le16(p + bytes - 2));
            }
            out[i] = value;
        }
        frame_ += got;
        return got;
    }

    bool Seek(uint64_t frame) override {
        frame = std::min(frame, lengthFrames_);
        if (fseeko(file_.get(), dataOffset_ + static_cast<off_t>(frame * blockAlign_), SEEK_SET) !=
            0)
            return false;
        frame_ = frame;
        return true;
    }

private:
    static bool Supported(const media::WavFormat& f) {
        const int bits = f.bitsPerSample;
        const bool supported =
            (f.IsInteger() && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
            (f.IsFloat() && bits == 32);
        return supported && f.channels >= 1 && f.channels <= 8 && f.sampleRate > 0 &&
               f.sampleRate <= 384000 && f.FrameMatches();
    }

    FilePtr file_;
    off_t dataOffset_ = 0;
    uint64_t frame_ = 0;
    uint32_t blockAlign_ = 0;
    int bits_ = 0;
    bool isFloat_ = false;
    std::vector<uint8_t> raw_;
};

// MPEG audio decoded by libmpg123 to signed 16-bit frames at the stream's own rate.
class Mp3Source final : public PcmSource {
public:
    bool Open(const std::string& path) {
        // The player keeps libmpg123's own resync limit: it plays a damaged file only as far
        // as the decoder passes it unaided.
        media::Mpg123Options options;
        options.resyncLimit = 0;
        handle_ = media::NewMpg123(MPG123_ENC_SIGNED_16, options);
        if (!handle_) return false;
        mpg123_handle* mh = handle_.get();
        long rate = 0;
        int channels = 0;
        if (!media::OpenMp3(mh, path, rate, channels)) return false;
        rate_ = static_cast<int>(rate);
        channels_ = channels;
        // Scanning walks the frame headers once (no decoding) so the length is exact also for
        // files without a VBR header.
        mpg123_scan(mh);
        const off_t frames = mpg123_length(mh);
        if (frames <= 0) return false;
        lengthFrames_ = static_cast<uint64_t>(frames);
        return Seek(0);
    }

    size_t Read(int16_t* out, size_t frames) override {
        const size_t want = frames * static_cast<size_t>(channels_) * sizeof(int16_t);
        size_t done = 0;
        int result = mpg123_read(handle_.get(), reinterpret_cast<unsigned char*>(out), want, &done);
        if (result == MPG123_NEW_FORMAT && done == 0)
            result = mpg123_read(handle_.get(), reinterpret_cast<unsigned char*>(out), want, &done);
        return done / (static_cast<size_t>(channels_) * sizeof(int16_t));
    }

    bool Seek(uint64_t frame) override {
        return mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) >= 0;
    }

private:
    media::Mpg123Ptr handle_;
};

// An SDL audio output device, closed with the object (SDL waits for a running callback).
class AudioOutput {
public:
    AudioOutput() = default;
    ~AudioOutput() {
        if (id_ != 0) SDL_CloseAudioDevice(id_);
    }
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    bool Open(int rate, int channels, SDL_AudioCallback callback, void* user) {
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        // About 20 ms a buffer: the position moves in steps of this size.
        Uint16 samples = 64;
        while (samples < 4096 && samples * 2 <= rate / 50)
            samples = static_cast<Uint16>(samples * 2);
        want.samples = samples;
        want.callback = callback;
        want.userdata = user;
        SDL_AudioSpec have{};
        // No allowed changes: SDL converts to the hardware's format itself.
        id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        return id_ != 0;
    }
    void SetRunning(bool running) {
        if (id_ != 0) SDL_PauseAudioDevice(id_, running ? 0 : 1);
    }

private:
    SDL_AudioDeviceID id_ = 0;
};

std::atomic<uint32_t> nextDeviceId{1};

}  // namespace

// The open file and its playback state. `mutex` guards everything below it; the audio callback
// takes it while it decodes. No SDL call is made while holding it (SDL holds its own device
// lock around the callback, so the order is always SDL lock, then this one).
class CMciPlayer::Impl {
public:
    explicit Impl(std::unique_ptr<PcmSource> source) : source_(std::move(source)) {}

    bool StartOutput() {
        return output_.Open(source_->rate(), source_->channels(), &Impl::Callback, this);
    }

    static void Callback(void* user, Uint8* stream, int len) {
        static_cast<Impl*>(user)->Fill(reinterpret_cast<int16_t*>(stream),
                                       static_cast<size_t>(len) / sizeof(int16_t));
    }

    void Fill(int16_t* out, size_t samples) {
        const size_t channels = static_cast<size_t>(source_->channels());
        const size_t frames = samples / channels;
        size_t done = 0;
        {
            std::lock_guard lock(mutex_);
            while (mode_ == Mode::Playing && done < frames) {
                const size_t got = source_->Read(out + done * channels, frames - done);
                if (got == 0) {
                    // The end: stopped, with the position at the end of what was played.
                    mode_ = Mode::Stopped;
                    atEnd_ = true;
                    break;
                }
                done += got;
                positionFrames_ += got;
            }
        }
        std::memset(out + done * channels, 0, (samples - done * channels) * sizeof(int16_t));
    }

    std::mutex mutex_;
    std::unique_ptr<PcmSource> source_;
    Mode mode_ = Mode::Stopped;
    uint64_t positionFrames_ = 0;
    bool atEnd_ = false;
    // Declared last so it is closed first: no callback runs once the members above go.
    AudioOutput output_;
};

CMciPlayer::CMciPlayer() = default;

CMciPlayer::~CMciPlayer() { Close(); }

int CMciPlayer::Open(const std::string& path) { return OpenAs(path, false); }

int CMciPlayer::OpenWave(const std::string& path) { return OpenAs(path, true); }

int CMciPlayer::OpenAs(const std::string& path, bool waveOnly) {
    Close();
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return kMciFileNotFound;

    const bool wavByName = platform::LowerTail(path, 4) == ".wav";

    std::unique_ptr<PcmSource> source;
    const bool tryWav = waveOnly || wavByName || media::LooksLikeWav(path);
    if (tryWav) {
        auto wav = std::make_unique<WavSource>();
        if (wav->Open(path)) source = std::move(wav);
    }
    // A RIFF file need not hold PCM: MPEG audio wrapped in a RIFF header is still an MP3 to
    // every device but the wave device.
    if (!source && !waveOnly) {
        auto mp3 = std::make_unique<Mp3Source>();
        if (mp3->Open(path)) source = std::move(mp3);
    }
    if (!source) return kMciInvalidFile;
    if (!EnsureAudioSubsystem()) return kMciHardware;

    auto impl = std::make_unique<Impl>(std::move(source));
    if (!impl->StartOutput()) return kMciHardware;
    const uint64_t ms =
        impl->source_->lengthFrames() * 1000 / static_cast<uint64_t>(impl->source_->rate());
    impl_ = std::move(impl);
    lengthMs_ = static_cast<uint32_t>(std::min<uint64_t>(ms, std::numeric_limits<uint32_t>::max()));
    length_ = lengthMs_ / 1000;
    device_ = nextDeviceId.fetch_add(1);
    if (device_ == 0) device_ = nextDeviceId.fetch_add(1);
    return kMciOk;
}

int CMciPlayer::Close() {
    if (!impl_) return kMciInvalidDevice;
    impl_.reset();
    device_ = 0;
    length_ = 0;
    lengthMs_ = 0;
    return kMciOk;
}

int CMciPlayer::Play() {
    if (!impl_) return kMciInvalidDevice;
    {
        std::lock_guard lock(impl_->mutex_);
        // At the end there is nothing to play: the device stays stopped.
        if (impl_->mode_ == Mode::Playing || impl_->atEnd_) return kMciOk;
        impl_->mode_ = Mode::Playing;
    }
    impl_->output_.SetRunning(true);
    return kMciOk;
}

int CMciPlayer::Pause() {
    if (!impl_) return kMciInvalidDevice;
    bool paused = false;
    {
        std::lock_guard lock(impl_->mutex_);
        if (impl_->mode_ == Mode::Playing) {
            impl_->mode_ = Mode::Paused;
            paused = true;
        }
    }
    if (paused) impl_->output_.SetRunning(false);
    return kMciOk;
}

int CMciPlayer::Resume() {
    if (!impl_) return kMciInvalidDevice;
    {
        std::lock_guard lock(impl_->mutex_);
        if (impl_->mode_ == Mode::Playing) return kMciOk;
        if (impl_->mode_ != Mode::Paused) return kMciNonApplicable;
        impl_->mode_ = Mode::Playing;
    }
    impl_->output_.SetRunning(true);
    return kMciOk;
}

int CMciPlayer::Stop() {
    if (!impl_) return kMciInvalidDevice;
    {
        std::lock_guard lock(impl_->mutex_);
        impl_->mode_ = Mode::Stopped;
    }
    impl_->output_.SetRunning(false);
    return kMciOk;
}

int CMciPlayer::SeekFrames(uint64_t frame) {
    bool moved = false;
    {
        std::lock_guard lock(impl_->mutex_);
        PcmSource& source = *impl_->source_;
        frame = std::min(frame, source.lengthFrames());
        impl_->mode_ = Mode::Stopped;
        moved = source.Seek(frame);
        if (moved) {
            impl_->positionFrames_ = frame;
            impl_->atEnd_ = frame >= source.lengthFrames();
        }
    }
    impl_->output_.SetRunning(false);
    return moved ? kMciOk : kMciInvalidFile;
}

int CMciPlayer::SeekTo(int seconds) {
    if (!impl_) return kMciInvalidDevice;
    seconds = std::max(seconds, 0);
    const uint64_t rate = static_cast<uint64_t>(impl_->source_->rate());
    if (seconds == 0 && length_ > 0) return SeekFrames(0);
    if (seconds > 0 && static_cast<uint32_t>(seconds) < length_)
        return SeekFrames(static_cast<uint64_t>(seconds) * rate);
    return SeekFrames(impl_->source_->lengthFrames());
}

int CMciPlayer::SeekToStart() {
    if (!impl_) return kMciInvalidDevice;
    return SeekFrames(0);
}

int CMciPlayer::SeekToMs(uint32_t ms) {
    if (ms == 0) return kMciOk;
    if (!impl_) return kMciInvalidDevice;
    if (ms > lengthMs_) return kMciOutOfRange;
    const uint64_t rate = static_cast<uint64_t>(impl_->source_->rate());
    // Rounded up, so the position reads back as the very millisecond asked for.
    return SeekFrames((static_cast<uint64_t>(ms) * rate + 999) / 1000);
}

std::optional<uint32_t> CMciPlayer::GetPositionMs() const {
    if (!impl_) return std::nullopt;
    std::lock_guard lock(impl_->mutex_);
    const uint64_t ms =
        impl_->positionFrames_ * 1000 / static_cast<uint64_t>(impl_->source_->rate());
    return static_cast<uint32_t>(std::min<uint64_t>(ms, std::numeric_limits<uint32_t>::max()));
}

std::optional<int> CMciPlayer::GetPosition() const {
    const auto ms = GetPositionMs();
    if (!ms) return std::nullopt;
    return static_cast<int>(*ms / 1000);
}

CMciPlayer::Mode CMciPlayer::mode() const {
    if (!impl_) return Mode::NotReady;
    std::lock_guard lock(impl_->mutex_);
    return impl_->mode_;
}

bool CMciPlayer::IsPlaying() const { return mode() == Mode::Playing; }

bool CMciPlayer::IsReady() const { return mode() != Mode::NotReady; }
