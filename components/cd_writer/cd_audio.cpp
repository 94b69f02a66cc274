#include "components/cd_writer/cd_audio.h"

#include <mpg123.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <QString>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "uikit/track_rules.h"

namespace cd_writer {
namespace {

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const {
        if (h) {
            mpg123_close(h);
            mpg123_delete(h);
        }
    }
};
using Mpg123Ptr = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;

// A quiet decoder whose output is 16-bit at whatever rate and channel count the stream has.
Mpg123Ptr NewDecoder() {
    static const bool initialised = mpg123_init() == MPG123_OK;
    if (!initialised) return nullptr;
    Mpg123Ptr h(mpg123_new(nullptr, nullptr));
    if (!h) return nullptr;
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(h.get());
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    return h;
}

// Opens `path` on a new decoder and reads its format. Only regular files are opened: a named
// pipe would wait for a writer.
OpenResult OpenStream(const std::string& path, Mpg123Ptr& h, long& rate, int& channels) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return OpenResult::CannotOpen;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
    } else {
        return OpenResult::CannotOpen;
    }
    h = NewDecoder();
    if (!h) return OpenResult::CannotDecode;
    if (mpg123_open(h.get(), path.c_str()) != MPG123_OK) return OpenResult::CannotOpen;
    int encoding = 0;
    if (mpg123_getformat(h.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels < 1 || channels > 2)
        return OpenResult::CannotDecode;
    return OpenResult::Ok;
}

std::string Trimmed(const char* bytes, size_t size) {
    std::string text(bytes, strnlen(bytes, size));
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string ArtistOf(mpg123_handle* h) {
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (mpg123_id3(h, &v1, &v2) != MPG123_OK) return {};
    if (v2 && v2->artist && v2->artist->fill > 0) {
        std::string artist = Trimmed(v2->artist->p, v2->artist->fill);
        if (!artist.empty()) return artist;
    }
    if (v1) {
        const std::string raw = Trimmed(v1->artist, sizeof v1->artist);
        // Version 1 tags hold single-byte text; keep UTF-8 that is already valid.
        const QString utf8 = QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
        if (!utf8.contains(QChar::ReplacementCharacter)) return raw;
        return QString::fromLatin1(raw.data(), static_cast<qsizetype>(raw.size())).toStdString();
    }
    return {};
}

}  // namespace

struct CdAudioDecoder::State {
    Mpg123Ptr mpg;
    SwrPtr swr;
    std::vector<int16_t> pending;  // stereo 44100 Hz frames not yet given
    size_t pendingAt = 0;          // in samples
    int64_t given = 0;             // frames given so far, padding included
    bool sourceDone = false;
    std::vector<uint8_t> decoded;

    // Appends `frames` frames of `channels` samples at 44100 Hz to `pending` as stereo.
    void Append(const int16_t* samples, size_t frames, int channels) {
        if (channels == 2) {
            pending.insert(pending.end(), samples, samples + frames * 2);
            return;
        }
        for (size_t i = 0; i < frames; ++i) {
            pending.push_back(samples[i]);
            pending.push_back(samples[i]);
        }
    }
};

CdAudioDecoder::CdAudioDecoder() = default;
CdAudioDecoder::~CdAudioDecoder() = default;

OpenResult CdAudioDecoder::Open(const std::string& path) {
    state_ = std::make_unique<State>();
    long rate = 0;
    int channels = 0;
    const OpenResult opened = OpenStream(path, state_->mpg, rate, channels);
    if (opened != OpenResult::Ok) return opened;
    mpg123_handle* h = state_->mpg.get();
    if (mpg123_scan(h) != MPG123_OK) return OpenResult::CannotDecode;
    const off_t samples = mpg123_length(h);
    if (samples <= 0) return OpenResult::CannotDecode;
    sourceRate_ = static_cast<int>(rate);
    sourceChannels_ = channels;
    frames_ = rate == kCdRate ? static_cast<int64_t>(samples)
                              : (static_cast<int64_t>(samples) * kCdRate + rate / 2) / rate;
    if (rate != kCdRate) {
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        SwrContext* swr = nullptr;
        if (swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, kCdRate, &layout,
                                AV_SAMPLE_FMT_S16, static_cast<int>(rate), 0, nullptr) < 0 ||
            swr_init(swr) < 0) {
            swr_free(&swr);
            return OpenResult::CannotDecode;
        }
        state_->swr.reset(swr);
    }
    text_.title = FindTrackTitle(path);
    text_.performer = ArtistOf(h);
    state_->decoded.resize(16384);
    return OpenResult::Ok;
}

long CdAudioDecoder::Read(uint8_t* out, size_t max) {
    if (!state_ || !state_->mpg) return -1;
    State& s = *state_;
    const int64_t padded = sectors() * kFramesPerSector;
    size_t wanted =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(max / 4), padded - s.given));
    size_t done = 0;  // frames
    while (done < wanted) {
        const size_t pendingFrames = (s.pending.size() - s.pendingAt) / 2;
        if (s.given + static_cast<int64_t>(done) >= frames_ || (s.sourceDone && !pendingFrames)) {
            // Past the decoded length (or the stream ended early): silence up to the sector end.
            std::memset(out + done * 4, 0, (wanted - done) * 4);
            done = wanted;
            break;
        }
        if (pendingFrames) {
            const size_t real = static_cast<size_t>(frames_ - s.given - static_cast<int64_t>(done));
            const size_t n = std::min({pendingFrames, wanted - done, real});
            std::memcpy(out + done * 4, s.pending.data() + s.pendingAt, n * 4);
            s.pendingAt += n * 2;
            done += n;
            continue;
        }
        s.pending.clear();
        s.pendingAt = 0;
        size_t bytes = 0;
        const int ret = mpg123_read(s.mpg.get(), s.decoded.data(), s.decoded.size(), &bytes);
        if (ret != MPG123_OK && ret != MPG123_DONE && ret != MPG123_NEW_FORMAT) return -1;
        const auto* samples = reinterpret_cast<const int16_t*>(s.decoded.data());
        const size_t inFrames = bytes / 2 / static_cast<size_t>(sourceChannels_);
        if (!s.swr) {
            s.Append(samples, inFrames, sourceChannels_);
        } else {
            const bool flush = ret == MPG123_DONE;
            const int room = swr_get_out_samples(s.swr.get(), static_cast<int>(inFrames)) + 64;
            std::vector<int16_t> converted(static_cast<size_t>(room) * sourceChannels_);
            auto* outPlane = reinterpret_cast<uint8_t*>(converted.data());
            const auto* inPlane = reinterpret_cast<const uint8_t*>(samples);
            int got = swr_convert(s.swr.get(), &outPlane, room, inFrames ? &inPlane : nullptr,
                                  static_cast<int>(inFrames));
            if (got < 0) return -1;
            s.Append(converted.data(), static_cast<size_t>(got), sourceChannels_);
            if (flush) {
                const int rest = swr_get_out_samples(s.swr.get(), 0) + 64;
                converted.resize(static_cast<size_t>(rest) * sourceChannels_);
                outPlane = reinterpret_cast<uint8_t*>(converted.data());
                got = swr_convert(s.swr.get(), &outPlane, rest, nullptr, 0);
                if (got > 0) s.Append(converted.data(), static_cast<size_t>(got), sourceChannels_);
            }
        }
        if (ret == MPG123_DONE) s.sourceDone = true;
    }
    s.given += static_cast<int64_t>(done);
    return static_cast<long>(done * 4);
}

bool IsUsableMp3(const std::string& path) {
    Mpg123Ptr h;
    long rate = 0;
    int channels = 0;
    return OpenStream(path, h, rate, channels) == OpenResult::Ok;
}

}  // namespace cd_writer
