#include "components/cd_writer/cd_audio.h"

#include <cstring>
#include <filesystem>
#include <vector>

#include "media/mp3_decode.h"
#include "media/tags.h"

namespace cd_writer {
namespace {

using media::Mpg123Ptr;
constexpr size_t kDecodeBytes = 16384 * 4;

// Opens `path` on a new decoder whose output is CD audio whatever the stream's own format.
// Only regular files are opened: a named pipe would wait for a writer.
OpenResult OpenStream(const std::string& path, Mpg123Ptr& h, long& rate, int& channels) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return OpenResult::CannotOpen;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
    } else {
        return OpenResult::CannotOpen;
    }
    h = media::NewMpg123(MPG123_ENC_SIGNED_16);
    if (!h) return OpenResult::CannotDecode;
    // The stream's own format of its first frame, for the record; the output is CD audio.
    Mpg123Ptr probe = media::NewMpg123(MPG123_ENC_SIGNED_16);
    if (!probe || !media::OpenMp3(probe.get(), path, rate, channels))
        return OpenResult::CannotDecode;
    if (!media::OpenMp3As(h.get(), path, kCdSampleRate, 2, MPG123_ENC_SIGNED_16))
        return OpenResult::CannotDecode;
    return OpenResult::Ok;
}

}  // namespace

struct CdAudioDecoder::State {
    Mpg123Ptr mpg;
    std::vector<uint8_t> decoded = std::vector<uint8_t>(kDecodeBytes);
    size_t decodedAt = 0;    // bytes of `decoded` already given
    size_t decodedFill = 0;  // bytes of `decoded` holding samples
    int64_t given = 0;       // frames given so far, padding included
    bool sourceDone = false;
    int64_t soundEnd = -1;  // where the sound ended within the padding allowance; -1: frames()
};

CdAudioDecoder::CdAudioDecoder() = default;
CdAudioDecoder::~CdAudioDecoder() = default;

OpenResult CdAudioDecoder::OpenForReading(const std::string& path) {
    state_ = std::make_unique<State>();
    long rate = 0;
    int channels = 0;
    const OpenResult opened = OpenStream(path, state_->mpg, rate, channels);
    if (opened != OpenResult::Ok) return opened;
    sourceRate_ = static_cast<int>(rate);
    sourceChannels_ = channels;
    return OpenResult::Ok;
}

OpenResult CdAudioDecoder::Open(const std::string& path) {
    const OpenResult opened = OpenForReading(path);
    if (opened != OpenResult::Ok) return opened;
    // The length is what decoding gives, counted, where the stream ends as every component
    // ends it.
    int64_t bytes = 0;
    for (;;) {
        const media::ReadStep step = media::ReadSamples(
            state_->mpg.get(), state_->decoded.data(), state_->decoded.size());
        bytes += static_cast<int64_t>(step.bytes);
        if (step.ended) break;
    }
    if (bytes <= 0) return OpenResult::CannotDecode;
    text_.title = media::FindTrackTitle(path);
    text_.performer = media::ReadMp3Performer(path);
    return OpenMeasured(path, bytes / 4);
}

OpenResult CdAudioDecoder::OpenMeasured(const std::string& path, int64_t frames) {
    const OpenResult opened = OpenForReading(path);
    if (opened != OpenResult::Ok) return opened;
    frames_ = frames;
    return frames_ > 0 ? OpenResult::Ok : OpenResult::CannotDecode;
}

long CdAudioDecoder::Read(uint8_t* out, size_t max) {
    if (!state_ || !state_->mpg) return -1;
    State& s = *state_;
    const int64_t padded = media::CdFrames(sectors()).samples();
    const auto wanted =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(max / 4), padded - s.given));
    size_t done = 0;  // frames
    while (done < wanted) {
        const int64_t at = s.given + static_cast<int64_t>(done);
        const int64_t end = s.soundEnd >= 0 ? s.soundEnd : frames_;
        if (at >= end) {
            // Past the decoded length: silence up to the end of the track.
            std::memset(out + done * 4, 0, (wanted - done) * 4);
            done = wanted;
            break;
        }
        if (s.decodedAt < s.decodedFill) {
            const size_t n = std::min({(s.decodedFill - s.decodedAt) / 4, wanted - done,
                                       static_cast<size_t>(end - at)});
            std::memcpy(out + done * 4, s.decoded.data() + s.decodedAt, n * 4);
            s.decodedAt += n * 4;
            done += n;
            continue;
        }
        if (s.sourceDone) {
            // The stream gave less than it did when it was measured.
            if (end - at > kShortfallFrames) return -1;
            s.soundEnd = at;
            continue;
        }
        const media::ReadStep step =
            media::ReadSamples(s.mpg.get(), s.decoded.data(), s.decoded.size());
        s.decodedAt = 0;
        s.decodedFill = step.bytes;
        s.sourceDone = step.ended;
    }
    s.given += static_cast<int64_t>(done);
    return static_cast<long>(done * 4);
}

bool IsUsableMp3(const std::string& path) {
    Mpg123Ptr h;
    long rate = 0;
    int channels = 0;
    if (OpenStream(path, h, rate, channels) != OpenResult::Ok) return false;
    std::vector<uint8_t> buffer(kDecodeBytes);
    for (;;) {
        const media::ReadStep step = media::ReadSamples(h.get(), buffer.data(), buffer.size());
        if (step.bytes > 0) return true;
        if (step.ended) return false;
    }
}

}  // namespace cd_writer
