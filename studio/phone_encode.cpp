// The FFmpeg half of the phone ringtone writer (studio/phone_ringtone.h): the module
// vx_phone_encode.so in the system directory, loaded on the first encode, so that a program that
// writes no phone ringtone (vexmor info, say) never loads FFmpeg's libraries.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/av_holders.h"
#include "studio/phone_ringtone.h"

namespace studio {
namespace {

// Input frames handed to the resampler at a time.
constexpr int kChunkFrames = 4096;
// Vorbis quality 5, in FFmpeg's quality scale.
constexpr int kVorbisQuality = 5;

// One encode: resampler from the part's 16-bit frames to the encoder's format, a FIFO that cuts
// the stream into encoder frames, the encoder and the muxer.
class Session {
  public:
    Session(std::atomic<int>& percent, std::atomic<bool>& cancel,
            const std::function<void(int)>& onProgress)
        : percent_(percent), cancel_(cancel), onProgress_(onProgress) {}
    bool Run(const PhonePcm& sound, const PhoneEncodeSpec& spec, const std::string& path);
    const std::string& error() const { return error_; }
    // Tag texts for the file ("title", "artist"; empty ones are left out).
    void SetTags(const std::string& title, const std::string& artist) {
        title_ = title;
        artist_ = artist;
    }

  private:
    bool Fail(const std::string& why, int code = 0) {
        error_ = code ? why + ": " + av::ErrorText(code) : why;
        return false;
    }
    bool Open(const PhonePcm& sound, const PhoneEncodeSpec& spec, const std::string& path);
    bool Resample(const uint8_t* input, int frames);
    bool EncodeFromFifo(bool flush);
    bool Send(AVFrame* frame);

    std::atomic<int>& percent_;
    std::atomic<bool>& cancel_;
    const std::function<void(int)>& onProgress_;
    av::OutputPtr output_;
    av::CodecPtr encoder_;
    av::SwrPtr resampler_;
    av::FifoPtr fifo_;
    av::PacketPtr packet_{av_packet_alloc()};
    int frameSize_ = 0;
    int64_t nextPts_ = 0;
    std::string error_;
    std::string title_;
    std::string artist_;
};

bool Session::Open(const PhonePcm& sound, const PhoneEncodeSpec& spec, const std::string& path) {
    const AVCodec* codec = avcodec_find_encoder_by_name(spec.codec);
    if (!codec) return Fail(std::string("this system's FFmpeg has no ") + spec.codec + " encoder");
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_ || !packet_) return Fail("out of memory");
    const int rate = spec.sampleRate ? spec.sampleRate : static_cast<int>(sound.samplesPerSec);
    const int channels = spec.channels ? spec.channels : sound.channels;
    encoder_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    encoder_->sample_rate = rate;
    encoder_->time_base = AVRational{1, rate};
    av_channel_layout_default(&encoder_->ch_layout, channels);
    if (spec.bitRate > 0) {
        encoder_->bit_rate = spec.bitRate;
    } else {
        encoder_->flags |= AV_CODEC_FLAG_QSCALE;
        encoder_->global_quality = kVorbisQuality * FF_QP2LAMBDA;
    }
    if (codec->id == AV_CODEC_ID_AAC) encoder_->profile = FF_PROFILE_AAC_LOW;

    AVFormatContext* raw = nullptr;
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, spec.muxer, path.c_str()); rc < 0)
        return Fail(std::string("this system's FFmpeg cannot write ") + spec.muxer + " files", rc);
    output_.reset(raw);
    if (output_->oformat->flags & AVFMT_GLOBALHEADER)
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int rc = avcodec_open2(encoder_.get(), codec, nullptr); rc < 0)
        return Fail(std::string("cannot start the ") + spec.codec + " encoder", rc);
    AVStream* stream = avformat_new_stream(output_.get(), nullptr);
    if (!stream) return Fail("out of memory");
    avcodec_parameters_from_context(stream->codecpar, encoder_.get());
    stream->time_base = encoder_->time_base;
    // The muxers write the container's tags: MP4 atoms, or the Vorbis comments of the one Ogg
    // stream (which the Ogg muxers take from the stream).
    const bool ogg = std::string(spec.muxer) == "ogg" || std::string(spec.muxer) == "opus";
    AVDictionary** tags = ogg ? &stream->metadata : &output_->metadata;
    if (!title_.empty()) av_dict_set(tags, "title", title_.c_str(), 0);
    if (!artist_.empty()) av_dict_set(tags, "artist", artist_.c_str(), 0);
    if (int rc = avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE); rc < 0)
        return Fail("cannot create the ringtone file", rc);
    if (int rc = avformat_write_header(output_.get(), nullptr); rc < 0)
        return Fail("cannot write the ringtone header", rc);

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, sound.channels);
    SwrContext* swr = nullptr;
    const int rc =
        swr_alloc_set_opts2(&swr, &encoder_->ch_layout, encoder_->sample_fmt, rate, &inLayout,
                            AV_SAMPLE_FMT_S16, static_cast<int>(sound.samplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    resampler_.reset(swr);
    if (rc < 0) return Fail("cannot set up the resampler", rc);
    if (int initRc = swr_init(resampler_.get()); initRc < 0)
        return Fail("cannot set up the resampler", initRc);

    // Encoders that take any frame size get blocks of 1024 frames.
    const bool anySize = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
    frameSize_ = encoder_->frame_size > 0 && !anySize ? encoder_->frame_size : 1024;
    fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, channels, frameSize_ * 4));
    if (!fifo_) return Fail("out of memory");
    return true;
}

bool Session::Resample(const uint8_t* input, int frames) {
    const int room = swr_get_out_samples(resampler_.get(), frames);
    if (room < 0) return Fail("resampling failed", room);
    if (room == 0) return true;
    uint8_t** planes = nullptr;
    if (int rc = av_samples_alloc_array_and_samples(
            &planes, nullptr, encoder_->ch_layout.nb_channels, room, encoder_->sample_fmt, 0);
        rc < 0)
        return Fail("out of memory", rc);
    const int converted =
        swr_convert(resampler_.get(), planes, room, input ? &input : nullptr, input ? frames : 0);
    bool ok = converted >= 0;
    if (!ok) Fail("resampling failed", converted);
    if (ok && converted > 0 &&
        av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes), converted) < converted)
        ok = Fail("out of memory");
    av_freep(&planes[0]);
    av_freep(&planes);
    return ok;
}

bool Session::Send(AVFrame* frame) {
    if (int rc = avcodec_send_frame(encoder_.get(), frame); rc < 0)
        return Fail("encoding failed", rc);
    for (;;) {
        const int rc = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return Fail("encoding failed", rc);
        packet_->stream_index = 0;
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, output_->streams[0]->time_base);
        if (int wrc = av_interleaved_write_frame(output_.get(), packet_.get()); wrc < 0)
            return Fail("cannot write the ringtone file", wrc);
    }
}

// Whole encoder frames from the FIFO; with `flush` the rest too (padded with silence where the
// encoder takes only whole frames).
bool Session::EncodeFromFifo(bool flush) {
    const bool smallLast =
        (encoder_->codec->capabilities &
         (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    const int channels = encoder_->ch_layout.nb_channels;
    while (av_audio_fifo_size(fifo_.get()) >= frameSize_ ||
           (flush && av_audio_fifo_size(fifo_.get()) > 0)) {
        const int real = std::min(av_audio_fifo_size(fifo_.get()), frameSize_);
        const int size = smallLast ? real : frameSize_;
        av::FramePtr frame(av_frame_alloc());
        if (!frame) return Fail("out of memory");
        frame->nb_samples = size;
        frame->format = encoder_->sample_fmt;
        frame->sample_rate = encoder_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout);
        if (int rc = av_frame_get_buffer(frame.get(), 0); rc < 0) return Fail("out of memory", rc);
        av_samples_set_silence(frame->data, 0, size, channels, encoder_->sample_fmt);
        if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), real) < real)
            return Fail("internal buffer error");
        frame->pts = nextPts_;
        nextPts_ += size;
        if (!Send(frame.get())) return false;
    }
    return true;
}

bool Session::Run(const PhonePcm& sound, const PhoneEncodeSpec& spec, const std::string& path) {
    if (sound.formatTag != 1 || sound.bitsPerSample != 16 || sound.channels == 0 ||
        sound.samplesPerSec == 0 || sound.blockAlign != 2 * sound.channels)
        return Fail("the part is not 16-bit PCM sound");
    const int64_t frames = sound.frames;
    if (frames == 0) return Fail("the part holds no sound");
    if (!Open(sound, spec, path)) return false;
    const uint8_t* data = sound.data;
    for (int64_t done = 0; done < frames;) {
        if (cancel_) return Fail("cancelled");
        const int chunk = static_cast<int>(std::min<int64_t>(kChunkFrames, frames - done));
        if (!Resample(data + done * sound.blockAlign, chunk) || !EncodeFromFifo(false))
            return false;
        done += chunk;
        const int percent = static_cast<int>(done * 99 / frames);
        if (percent != percent_.exchange(percent) && onProgress_) onProgress_(percent);
    }
    if (!Resample(nullptr, 0) || !EncodeFromFifo(true) || !Send(nullptr)) return false;
    if (int rc = av_write_trailer(output_.get()); rc < 0)
        return Fail("cannot finish the ringtone file", rc);
    if (int rc = avio_closep(&output_->pb); rc < 0)
        return Fail("cannot write the ringtone file", rc);
    return true;
}

}  // namespace
}  // namespace studio

extern "C" __attribute__((visibility("default"))) bool VxPhoneEncode(
    const studio::PhoneEncodeJob* job) {
    av::QuietLog();
    studio::Session session(*job->percent, *job->cancel, *job->onProgress);
    session.SetTags(job->title, job->artist);
    const bool ok = session.Run(job->sound, job->spec, job->path);
    *job->error = session.error();
    return ok;
}
