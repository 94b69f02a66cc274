// The FFmpeg half of the media library's decoder (media/audio_decoder.h): the module
// vx_audio_decode.so in the system directory, loaded on the first probe or decode.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "media/av_holders.h"
#include "media/wav_file.h"
#include "media/audio_decode_module.h"

namespace media {
namespace {

// The containers a song may come in. Demuxers that open further files or addresses (playlists,
// concatenation lists, streaming manifests) are not among them, and only the file protocol is
// allowed, so a file that claims to be a song never makes the decoder read anything else.
constexpr const char* kDemuxers = "wav,w64,flac,ogg,mov,mp4,m4a,aac,asf,mp3";
// The highest rate the output keeps; higher rates are brought down to it.
constexpr int kMaxRate = 48000;
constexpr int kMaxChannels = 2;
// The WAV size fields are 32 bits wide.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

// An opened song: its container, the chosen audio stream and its started decoder.
struct Song {
    av::InputPtr format;
    av::CodecPtr codec;
    int stream = -1;
    int64_t fileBytes = 0;
};

// Opens `path` (only a regular file: a named pipe would wait for a writer, a device never
// ends) and starts the decoder of its first audio stream.
bool OpenSong(const std::string& path, Song& song, std::string& why) {
    av::QuietLog();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    song.fileBytes = st.st_size;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kDemuxers, 0);
    AVFormatContext* raw = nullptr;
    // "file:" keeps a name with a colon from being read as an address.
    const int opened = avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        why = st.st_size == 0 ? "the file is empty" : "not a music file FFmpeg reads";
        return false;
    }
    song.format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 || raw->nb_streams == 0) {
        why = "not a music file FFmpeg reads";
        return false;
    }
    const AVCodec* decoder = nullptr;
    song.stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (song.stream < 0 || !decoder) {
        // An audio stream that was passed over had no readable rate or channels.
        bool audio = false;
        for (unsigned i = 0; i < raw->nb_streams; ++i)
            audio = audio || raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        why = song.stream == AVERROR_DECODER_NOT_FOUND ? "this system's FFmpeg has no decoder for it"
              : audio                                  ? "not a music file FFmpeg reads"
                                                       : "holds no sound";
        return false;
    }
    song.codec.reset(avcodec_alloc_context3(decoder));
    if (!song.codec) {
        why = "out of memory";
        return false;
    }
    if (int rc = avcodec_parameters_to_context(song.codec.get(), raw->streams[song.stream]->codecpar);
        rc < 0) {
        why = "cannot read the sound's parameters: " + av::ErrorText(rc);
        return false;
    }
    if (int rc = avcodec_open2(song.codec.get(), decoder, nullptr); rc < 0) {
        why = "cannot start the decoder: " + av::ErrorText(rc);
        return false;
    }
    // An audio stream whose rate or channels could not be read is no stream FFmpeg can decode.
    if (song.codec->sample_rate <= 0 || song.codec->ch_layout.nb_channels <= 0) {
        why = "not a music file FFmpeg reads";
        return false;
    }
    return true;
}

// The 44-byte header of a 16-bit PCM WAV.
std::array<uint8_t, kWavHeaderBytes> PcmWavHeader(int channels, int rate, uint32_t dataBytes) {
    return WavHeader(WavFormat::Pcm(channels, static_cast<uint32_t>(rate), 16), dataBytes);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The conversion of decoded frames to the output's interleaved 16-bit samples, set up again
// whenever the stream's format changes (chained Ogg streams may change rate or channels).
class Converter {
  public:
    Converter(int rate, int channels) : rate_(rate), channels_(channels) {}
    ~Converter() { av_channel_layout_uninit(&inLayout_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `frame` (null: what the resampler still holds) and appends to `out`.
    bool Convert(const AVFrame* frame, std::vector<uint8_t>& out, std::string& why) {
        if (frame && !Matches(*frame)) {
            if (swr_ && !Drain(out, why)) return false;
            if (!Start(*frame, why)) return false;
        }
        if (!swr_) return true;
        const int inFrames = frame ? frame->nb_samples : 0;
        const int room = swr_get_out_samples(swr_.get(), inFrames);
        if (room < 0) return Failed(why, room);
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(room) * channels_ * 2);
        uint8_t* dest[1] = {out.data() + at};
        const int got = swr_convert(swr_.get(), dest, room,
                                    frame ? const_cast<const uint8_t**>(frame->extended_data)
                                          : nullptr,
                                    inFrames);
        if (got < 0) return Failed(why, got);
        out.resize(at + static_cast<size_t>(got) * channels_ * 2);
        return true;
    }

  private:
    bool Failed(std::string& why, int code) {
        why = "cannot convert the samples: " + av::ErrorText(code);
        return false;
    }

    bool Drain(std::vector<uint8_t>& out, std::string& why) { return Convert(nullptr, out, why); }

    static AVChannelLayout LayoutOf(const AVFrame& frame) {
        AVChannelLayout layout{};
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
            av_channel_layout_copy(&layout, &frame.ch_layout) < 0)
            av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
        return layout;
    }

    bool Matches(const AVFrame& frame) const {
        if (!swr_ || frame.format != inFormat_ || frame.sample_rate != inRate_) return false;
        AVChannelLayout layout = LayoutOf(frame);
        const bool same = av_channel_layout_compare(&layout, &inLayout_) == 0;
        av_channel_layout_uninit(&layout);
        return same;
    }

    bool Start(const AVFrame& frame, std::string& why) {
        av_channel_layout_uninit(&inLayout_);
        inLayout_ = LayoutOf(frame);
        inFormat_ = frame.format;
        inRate_ = frame.sample_rate;
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, channels_);
        SwrContext* raw = nullptr;
        int rc = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, rate_, &inLayout_,
                                     static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr);
        av_channel_layout_uninit(&outLayout);
        swr_.reset(raw);
        if (rc >= 0) rc = swr_init(swr_.get());
        if (rc < 0) {
            swr_.reset();
            why = "cannot set up the conversion of the samples: " + av::ErrorText(rc);
            return false;
        }
        return true;
    }

    int rate_;
    int channels_;
    av::SwrPtr swr_;
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
};

bool Probe(const std::string& path, AudioInfo& info, std::string& why) {
    Song song;
    if (!OpenSong(path, song, why)) return false;
    const AVStream* stream = song.format->streams[song.stream];
    const AVCodecContext& codec = *song.codec;
    info.format = codec.codec && codec.codec->long_name ? codec.codec->long_name : "";
    if (const char* profile = avcodec_profile_name(codec.codec_id, codec.profile))
        info.format += std::string(" (") + profile + ")";
    info.sampleRate = codec.sample_rate;
    info.channels = codec.ch_layout.nb_channels;
    info.bitRate = codec.bit_rate > 0 ? codec.bit_rate : song.format->bit_rate;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        info.milliseconds = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    } else if (song.format->duration != AV_NOPTS_VALUE && song.format->duration > 0) {
        info.milliseconds = av_rescale(song.format->duration, 1000, AV_TIME_BASE);
    }
    return true;
}

bool Decode(const std::string& input, const std::string& output, std::atomic<double>& percent,
            const std::atomic<bool>& cancel, std::string& error) {
    percent = 0.0;
    const auto fail = [&](std::string why) {
        error = std::move(why);
        std::remove(output.c_str());
        return false;
    };
    Song song;
    std::string why;
    if (!OpenSong(input, song, why)) return fail(why);
    const int rate = std::min(song.codec->sample_rate, kMaxRate);
    const int channels = std::min(song.codec->ch_layout.nb_channels, kMaxChannels);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(output.c_str(), "wb"));
    if (!file) return fail("cannot write " + output + ": " + std::strerror(errno));
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 16);
    if (std::fwrite(PcmWavHeader(channels, rate, 0).data(), 1, 44, file.get()) != 44)
        return fail("cannot write " + output);

    Converter converter(rate, channels);
    av::PacketPtr packet(av_packet_alloc());
    av::FramePtr frame(av_frame_alloc());
    if (!packet || !frame) return fail("out of memory");
    std::vector<uint8_t> samples;
    uint64_t dataBytes = 0;
    // Writes what the converter gave; false when the WAV would grow past its size fields.
    const auto flush = [&]() -> bool {
        if (samples.empty()) return true;
        if (dataBytes + samples.size() > kMaxDataBytes) {
            why = "the song is too long for a WAV file (4 GB)";
            return false;
        }
        if (std::fwrite(samples.data(), 1, samples.size(), file.get()) != samples.size()) {
            why = "cannot write " + output + " (disk full?)";
            return false;
        }
        dataBytes += samples.size();
        samples.clear();
        return true;
    };
    // Takes every frame the decoder has ready.
    const auto receive = [&]() -> bool {
        for (;;) {
            const int rc = avcodec_receive_frame(song.codec.get(), frame.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            // A damaged frame is left out, as FFmpeg's own tools leave it out.
            if (rc < 0) return true;
            const bool converted = converter.Convert(frame.get(), samples, why);
            av_frame_unref(frame.get());
            if (!converted || !flush()) return false;
        }
    };
    bool reading = true;
    while (reading) {
        if (cancel) return fail("stopped");
        const int rc = av_read_frame(song.format.get(), packet.get());
        if (rc < 0) {
            // The end, or a read error: what came before is kept.
            reading = false;
            avcodec_send_packet(song.codec.get(), nullptr);
        } else {
            const bool ours = packet->stream_index == song.stream;
            if (ours) avcodec_send_packet(song.codec.get(), packet.get());
            av_packet_unref(packet.get());
            if (!ours) continue;
        }
        if (!receive()) return fail(why);
        const int64_t at = avio_tell(song.format->pb);
        if (at > 0 && song.fileBytes > 0)
            percent = std::min(99.0, 100.0 * static_cast<double>(at) / song.fileBytes);
    }
    if (!converter.Convert(nullptr, samples, why) || !flush()) return fail(why);
    if (dataBytes == 0) return fail("holds no sound");
    const auto header = PcmWavHeader(channels, rate, static_cast<uint32_t>(dataBytes));
    if (std::fseek(file.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), file.get()) != header.size() ||
        std::fflush(file.get()) != 0)
        return fail("cannot write " + output + " (disk full?)");
    if (std::fclose(file.release()) != 0) return fail("cannot write " + output + " (disk full?)");
    percent = 100.0;
    return true;
}

}  // namespace
}  // namespace media

extern "C" __attribute__((visibility("default"))) bool VxAudioProbe(const media::AudioProbeJob* job) {
    return media::Probe(job->path, *job->info, *job->why);
}

extern "C" __attribute__((visibility("default"))) bool VxAudioDecode(
    const media::AudioDecodeJob* job) {
    return media::Decode(job->input, job->output, *job->percent, *job->cancel, *job->error);
}
