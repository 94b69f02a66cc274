// The codec engine: MP3 encoding with libmp3lame, decoding with libmpg123, driven by argument
// vectors in the encoder's command-line style.
//
// Process-wide state is four atomics: the two progress values, the cancel request and the
// bad-input indicator. One job runs at a time per caller; the getters may be read from any thread
// while a job runs.
#include "components/codec_engine/vxmpp.h"

#include <lame/lame.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/codec_engine/options.h"
#include "components/codec_engine/sources.h"
#include "components/codec_engine/staged_file.h"
#include "media/tags.h"
#include "media/wav_file.h"

namespace {

std::atomic<int> g_encodePercent{0};
std::atomic<double> g_decodePercent{0.0};
std::atomic<int> g_cancel{0};
std::atomic<int> g_cancelDecode{0};
std::atomic<int> g_bad{0};

// Results of mymp3/mymp3d (vxmpp.h).
enum Result : int {
    kOk = VX_OK,
    kBadVector = VX_BAD_VECTOR,
    kBadInput = VX_BAD_INPUT,
    kWriteFailed = VX_WRITE_FAILED,
    kCancelled = VX_CANCELLED,
    kEncoderRefused = VX_ENCODER_REFUSED,
    kNameTaken = VX_NAME_TAKEN,
};

int Fail(Result result) {
    g_bad.store(1);
    return result;
}

vxmpp::StagedFile::Claim ClaimOf(bool noReplace) {
    return noReplace ? vxmpp::StagedFile::Claim::NoReplace : vxmpp::StagedFile::Claim::Replace;
}

int CommitOutput(vxmpp::StagedFile& out) {
    switch (out.Commit()) {
        case vxmpp::StagedFile::CommitResult::Done:
            return kOk;
        case vxmpp::StagedFile::CommitResult::NameTaken:
            return Fail(kNameTaken);
        case vxmpp::StagedFile::CommitResult::Failed:
            break;
    }
    return Fail(kWriteFailed);
}

struct LameDeleter {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

// Samples per block read from the input: small enough that a cancel is seen within a few
// milliseconds, large enough that per-call costs vanish.
constexpr long kBlockFrames = 8192;

// The 44-byte header of a canonical 16-bit PCM WAV.
std::array<uint8_t, media::kWavHeaderBytes> MakeWavHeader(int channels, long rate,
                                                         uint32_t dataBytes) {
    return media::WavHeader(media::WavFormat::Pcm(channels, static_cast<uint32_t>(rate), 16),
                            dataBytes);
}

bool WriteAll(std::FILE* f, const void* data, size_t bytes) {
    return bytes == 0 || std::fwrite(data, 1, bytes, f) == bytes;
}

// Only regular files are read: opening a named pipe would wait for a writer for ever, and a
// device never ends.
bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "N" or "N/M" of the track option.
void ReadTrack(const std::string& text, int& track, int& total) {
    track = 0;
    total = 0;
    std::sscanf(text.c_str(), "%d/%d", &track, &total);
    if (track < 0) track = 0;
    if (total < 0) total = 0;
}

// Tags the finished stream at `path` (still under its temporary name): first the input's tags
// when they travel, then the texts of the tag options over them. TagLib writes them, so any
// text (UTF-8) is kept whole; the ID3v2 tag goes in front of the stream.
bool TagOutput(const std::string& path, const std::string& input, bool copyFromInput,
               const vxmpp::TagTexts& texts) {
    if (copyFromInput && !media::CopyMp3Tags(input, path)) return false;
    if (!texts.any()) return true;
    media::SongTags tags;
    if (copyFromInput) {
        if (std::optional<media::SongTags> copied = media::ReadTags(path)) tags = *copied;
    }
    if (!texts.title.empty()) tags.title = texts.title;
    if (!texts.artist.empty()) tags.artist = texts.artist;
    if (!texts.album.empty()) tags.album = texts.album;
    if (!texts.track.empty()) ReadTrack(texts.track, tags.track, tags.trackTotal);
    return media::WriteMp3Tags(path, tags);
}

int Encode(const std::string& input, const std::string& output, const vxmpp::ParsedVector& vector) {
    const std::vector<vxmpp::EncoderSetting>& settings = vector.settings;
    g_encodePercent.store(0);
    if (!IsRegularFile(input)) return Fail(kBadInput);
    std::string error;
    const bool wavInput = vxmpp::LooksLikeWav(input);
    std::unique_ptr<vxmpp::PcmSource> source = wavInput
                                                   ? vxmpp::OpenWavSource(input, error)
                                                   : vxmpp::OpenMp3Source(input, error);
    if (!source) return Fail(kBadInput);

    LamePtr lame(lame_init());
    if (!lame) return Fail(kEncoderRefused);
    lame_set_in_samplerate(lame.get(), source->sampleRate());
    lame_set_num_channels(lame.get(), source->channels());
    lame_set_write_id3tag_automatic(lame.get(), 0);
    for (const vxmpp::EncoderSetting& setting : settings) setting(lame.get());
    if (source->channels() == 1 && lame_get_mode(lame.get()) != MONO) {
        lame_set_mode(lame.get(), MONO);
    }
    if (lame_init_params(lame.get()) < 0) return Fail(kEncoderRefused);

    vxmpp::StagedFile out;
    if (!out.Create(output, ClaimOf(vector.noReplace))) return Fail(kWriteFailed);

    // Worst case of one block's output: 1.25 bytes per output sample plus 7200. Resampling up
    // (11025 Hz in, 44100 Hz out) multiplies the output samples of a block.
    const double growth = std::max(
        1.0, static_cast<double>(lame_get_out_samplerate(lame.get())) / source->sampleRate());
    std::vector<float> pcm;
    std::vector<unsigned char> mp3(static_cast<size_t>(std::ceil(1.25 * kBlockFrames * growth)) +
                                   7200);
    long long framesRead = 0;
    for (;;) {
        if (g_cancel.load() != 0) return Fail(kCancelled);
        const long frames = source->Read(pcm, kBlockFrames);
        if (frames < 0) return Fail(kBadInput);
        if (frames == 0) break;
        framesRead += frames;
        // Samples outside full scale (a float WAV may hold any value, NaN and infinities too)
        // make the encoder's bit allocation fail an internal check and end the process: they are
        // clipped to full scale, as a sound card would play them.
        for (float& sample : pcm) {
            if (!(sample >= -1.0f)) sample = std::isnan(sample) ? 0.0f : -1.0f;
            if (sample > 1.0f) sample = 1.0f;
        }
        const int bytes = source->channels() == 1
                              ? lame_encode_buffer_ieee_float(lame.get(), pcm.data(), pcm.data(),
                                                              static_cast<int>(frames), mp3.data(),
                                                              static_cast<int>(mp3.size()))
                              : lame_encode_buffer_interleaved_ieee_float(
                                    lame.get(), pcm.data(), static_cast<int>(frames), mp3.data(),
                                    static_cast<int>(mp3.size()));
        if (bytes < 0) return Fail(kEncoderRefused);
        if (!WriteAll(out.file(), mp3.data(), static_cast<size_t>(bytes))) {
            return Fail(kWriteFailed);
        }
        const int percent = static_cast<int>(source->Fraction() * 100.0);
        g_encodePercent.store(std::min(percent, 99));
    }
    if (framesRead == 0) return Fail(kBadInput);
    const int tail = lame_encode_flush(lame.get(), mp3.data(), static_cast<int>(mp3.size()));
    if (tail < 0) return Fail(kEncoderRefused);
    if (!WriteAll(out.file(), mp3.data(), static_cast<size_t>(tail))) return Fail(kWriteFailed);

    // The first frame was kept free for the stream's information tag (length, encoder delay and
    // padding) so that decoders give back exactly the samples that went in.
    unsigned char tag[2880];
    const size_t tagBytes = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
    if (tagBytes > 0 && tagBytes <= sizeof tag) {
        if (std::fseek(out.file(), 0, SEEK_SET) != 0 ||
            !WriteAll(out.file(), tag, tagBytes)) {
            return Fail(kWriteFailed);
        }
    }
    // Tags are added to the whole stream before it takes its name, never to a named file.
    const bool copyTags = vector.copyTags && !wavInput;
    if ((copyTags || vector.tags.any()) &&
        (!out.Flush() || !TagOutput(out.temporaryPath(), input, copyTags, vector.tags))) {
        return Fail(kWriteFailed);
    }
    if (const int committed = CommitOutput(out); committed != kOk) return committed;
    g_encodePercent.store(100);
    return kOk;
}

int Decode(const std::string& input, const std::string& output, bool noReplace) {
    g_decodePercent.store(0.0);
    vxmpp::Mpg123Ptr handle = vxmpp::NewMpg123(MPG123_ENC_SIGNED_16);
    if (!handle) return Fail(kBadInput);
    struct stat st {};
    if (::stat(input.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(kBadInput);
    const double inputBytes = static_cast<double>(st.st_size);
    long rate = 0;
    int channels = 0;
    if (!vxmpp::OpenMp3(handle.get(), input, rate, channels)) return Fail(kBadInput);

    vxmpp::StagedFile out;
    if (!out.Create(output, ClaimOf(noReplace))) return Fail(kWriteFailed);
    if (const auto header = MakeWavHeader(channels, rate, 0);
        !WriteAll(out.file(), header.data(), header.size()))
        return Fail(kWriteFailed);

    // The WAV size fields are 32 bits wide.
    constexpr unsigned long long kMaxDataBytes = 0xFFFFFFFFull - 36;
    std::vector<unsigned char> buffer(1 << 16);
    unsigned long long dataBytes = 0;
    for (;;) {
        if (g_cancelDecode.load() != 0) return Fail(kCancelled);
        // The stream ends as every component ends it; what it gave before is kept.
        const media::ReadStep step =
            media::ReadSamples(handle.get(), buffer.data(), buffer.size());
        const size_t done = step.bytes;
        if (dataBytes + done > kMaxDataBytes) return Fail(kBadInput);
        if (!WriteAll(out.file(), buffer.data(), done)) return Fail(kWriteFailed);
        dataBytes += done;
        if (step.ended) break;
        const off_t at = mpg123_tell_stream(handle.get());
        if (at > 0 && inputBytes > 0) {
            g_decodePercent.store(std::min(99.0, 100.0 * static_cast<double>(at) / inputBytes));
        }
    }
    if (dataBytes == 0) return Fail(kBadInput);
    const auto header = MakeWavHeader(channels, rate, static_cast<uint32_t>(dataBytes));
    if (std::fseek(out.file(), 0, SEEK_SET) != 0 ||
        !WriteAll(out.file(), header.data(), header.size())) {
        return Fail(kWriteFailed);
    }
    if (const int committed = CommitOutput(out); committed != kOk) return committed;
    g_decodePercent.store(100.0);
    return kOk;
}

bool Usable(const char* path) { return path && *path; }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int mymp3(int count, char** args, const char* input,
                                                 const char* output) {
    vxmpp::ParsedVector vector;
    std::string error;
    if (!vxmpp::ParseVector(count, args, vector, error)) return Fail(kBadVector);
    if (!Usable(input) || !Usable(output)) return Fail(kBadVector);
    try {
        return vector.decode
                   ? Decode(input, output, vector.noReplace)
                   : Encode(input, output, vector);
    } catch (...) {
        // Out of memory or the like: nothing may cross the C boundary.
        return Fail(kBadInput);
    }
}

__attribute__((visibility("default"))) int mymp3d(int count, char** args, const char* input) {
    vxmpp::ParsedVector vector;
    std::string error;
    if (!vxmpp::ParseVector(count, args, vector, error)) return Fail(kBadVector);
    // The output is the vector's last element itself: an empty last element (a command text
    // ending in a space) must not let an earlier path become the output.
    if (!Usable(input) || vector.paths.empty() || !Usable(args[count - 1]) ||
        vector.paths.back() != args[count - 1]) {
        return Fail(kBadVector);
    }
    try {
        return Decode(input, vector.paths.back(), vector.noReplace);
    } catch (...) {
        return Fail(kBadInput);
    }
}

__attribute__((visibility("default"))) const char* VxPlainStrError(int result) {
    switch (result) {
        case VX_OK:
            return "success";
        case VX_BAD_VECTOR:
            return "the encoder options are not valid";
        case VX_BAD_INPUT:
            return "not a readable MP3 or WAV file";
        case VX_WRITE_FAILED:
            return "the output could not be written (folder not writable or disk full?)";
        case VX_CANCELLED:
            return "stopped";
        case VX_ENCODER_REFUSED:
            return "the encoder refused these options for this sound";
        case VX_NAME_TAKEN:
            return "another file took the output's name meanwhile";
        default:
            return "unknown result";
    }
}

__attribute__((visibility("default"))) void SetNoBad(void) { g_bad.store(0); }

__attribute__((visibility("default"))) int GetIsBad(void) { return g_bad.load(); }

__attribute__((visibility("default"))) void SetCancelEncode(int cancel) {
    g_cancel.store(cancel != 0 ? 1 : 0);
}

__attribute__((visibility("default"))) int GetCancelEncode(void) { return g_cancel.load(); }

__attribute__((visibility("default"))) void SetCancelDecode(int cancel) {
    g_cancelDecode.store(cancel != 0 ? 1 : 0);
}

__attribute__((visibility("default"))) int GetEncode2Mp3Percent(void) {
    return g_encodePercent.load();
}

__attribute__((visibility("default"))) double GetDecode2WavPercent(void) {
    return g_decodePercent.load();
}

}  // extern "C"
