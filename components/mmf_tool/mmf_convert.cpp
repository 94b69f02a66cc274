#include "components/mmf_tool/mmf_convert.h"

#include "media/av_holders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

namespace mmf {
namespace {

// Bytes of ADPCM per encoded block. Yamaha ADPCM holds two samples per byte, so one block is
// 128 mono samples; the last block of a file is padded with silence, which keeps the padding
// below 16 ms at the lowest rate.
constexpr int kBlockBytes = 64;

// The highest source rate taken: twice the highest rate of studio recordings.
constexpr int kMaxSourceRate = 768000;

using av::InputPtr, av::OutputPtr, av::CodecPtr, av::SwrPtr, av::FramePtr, av::PacketPtr,
    av::FifoPtr;

std::string ErrorText(int code) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return text.data();
}

// One conversion: decoder on the input's first audio stream, resampler to mono 16-bit at the
// ringtone rate, a FIFO that cuts the stream into encoder blocks, encoder and SMAF muxer.
class Converter {
  public:
    explicit Converter(int rate) : rate_(rate) {}
    bool Run(const std::string& source, const std::string& target, ConvertResult& result);
    const std::string& error() const { return error_; }

  private:
    bool Fail(const std::string& why, int code = 0) {
        error_ = code ? why + ": " + ErrorText(code) : why;
        return false;
    }
    bool OpenInput(const std::string& source);
    bool OpenOutput(const std::string& target);
    bool ConvertFrame(const AVFrame* frame);
    bool EncodeBlocks(bool flush);
    bool SendToEncoder(AVFrame* frame);
    bool DecodePacket(const AVPacket* packet);

    InputPtr input_;
    OutputPtr output_;
    CodecPtr decoder_;
    CodecPtr encoder_;
    SwrPtr resampler_;
    FifoPtr fifo_;
    FramePtr decoded_{av_frame_alloc()};
    PacketPtr encoded_{av_packet_alloc()};
    int streamIndex_ = -1;
    int rate_ = 0;
    // The layout the resampler was set up for: every decoded frame must have it.
    int inChannels_ = 0;
    int inRate_ = 0;
    int inFormat_ = -1;
    int64_t samplesIn_ = 0;  // real samples handed to the encoder
    int64_t nextPts_ = 0;    // samples handed to the encoder, padding included
    std::string error_;
};

bool Converter::OpenInput(const std::string& source) {
    AVFormatContext* raw = nullptr;
    if (int rc = avformat_open_input(&raw, source.c_str(), nullptr, nullptr); rc < 0) {
        return Fail("cannot open the file", rc);
    }
    input_.reset(raw);
    if (int rc = avformat_find_stream_info(input_.get(), nullptr); rc < 0) {
        return Fail("cannot read the file", rc);
    }
    const AVCodec* codec = nullptr;
    streamIndex_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ < 0 || !codec) return Fail("the file holds no sound");
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) return Fail("out of memory");
    avcodec_parameters_to_context(decoder_.get(), input_->streams[streamIndex_]->codecpar);
    if (int rc = avcodec_open2(decoder_.get(), codec, nullptr); rc < 0) {
        return Fail("the sound cannot be decoded", rc);
    }
    if (decoder_->sample_rate <= 0 || decoder_->ch_layout.nb_channels <= 0) {
        return Fail("the sound has no valid format");
    }
    // A damaged header can state any rate; the resampler's set-up for one far above any real
    // sound would take minutes (and its memory) before the first sample.
    if (decoder_->sample_rate > kMaxSourceRate) {
        return Fail("the sound's rate of " + std::to_string(decoder_->sample_rate) +
                    " Hz is not supported");
    }
    return true;
}

bool Converter::OpenOutput(const std::string& target) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_ADPCM_YAMAHA);
    if (!codec) return Fail("this system's FFmpeg has no Yamaha ADPCM encoder");
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) return Fail("out of memory");
    encoder_->sample_fmt = AV_SAMPLE_FMT_S16;
    encoder_->sample_rate = rate_;
    encoder_->time_base = AVRational{1, rate_};
    av_channel_layout_default(&encoder_->ch_layout, 1);
    av_opt_set_int(encoder_->priv_data, "block_size", kBlockBytes, 0);

    AVFormatContext* raw = nullptr;
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, "mmf", target.c_str()); rc < 0) {
        return Fail("this system's FFmpeg cannot write SMAF files", rc);
    }
    output_.reset(raw);
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) {
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (int rc = avcodec_open2(encoder_.get(), codec, nullptr); rc < 0) {
        return Fail("cannot start the ADPCM encoder", rc);
    }
    AVStream* stream = avformat_new_stream(output_.get(), nullptr);
    if (!stream) return Fail("out of memory");
    avcodec_parameters_from_context(stream->codecpar, encoder_.get());
    stream->time_base = encoder_->time_base;
    if (int rc = avio_open(&output_->pb, target.c_str(), AVIO_FLAG_WRITE); rc < 0) {
        return Fail("cannot create the ringtone file", rc);
    }
    if (int rc = avformat_write_header(output_.get(), nullptr); rc < 0) {
        return Fail("cannot write the ringtone header", rc);
    }

    AVChannelLayout inLayout{};
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&inLayout, decoder_->ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&inLayout, &decoder_->ch_layout);
    }
    inChannels_ = inLayout.nb_channels;
    inRate_ = decoder_->sample_rate;
    inFormat_ = decoder_->sample_fmt;
    SwrContext* swr = nullptr;
    const int rc =
        swr_alloc_set_opts2(&swr, &encoder_->ch_layout, AV_SAMPLE_FMT_S16, rate_, &inLayout,
                            decoder_->sample_fmt, decoder_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    resampler_.reset(swr);
    if (rc < 0) return Fail("cannot set up the resampler", rc);
    if (int initRc = swr_init(resampler_.get()); initRc < 0) {
        return Fail("cannot set up the resampler", initRc);
    }
    fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, 1, encoder_->frame_size * 4));
    if (!fifo_ || encoder_->frame_size <= 0) return Fail("cannot set up the encoder's buffer");
    return true;
}

// Resamples one decoded frame (null: drains the resampler) into the FIFO.
bool Converter::ConvertFrame(const AVFrame* frame) {
    // A damaged MP3 can switch between mono and stereo (or change its rate) from one frame to
    // the next; the resampler would read a channel the frame does not have.
    if (frame && (frame->ch_layout.nb_channels != inChannels_ || frame->sample_rate != inRate_ ||
                  frame->format != inFormat_)) {
        return Fail("the sound changes its format partway");
    }
    const int inSamples = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(resampler_.get(), inSamples);
    if (room < 0) return Fail("resampling failed", room);
    if (room == 0) return true;
    std::vector<int16_t> buffer(static_cast<size_t>(room));
    auto* out = reinterpret_cast<uint8_t*>(buffer.data());
    const int converted =
        swr_convert(resampler_.get(), &out, room,
                    frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inSamples);
    if (converted < 0) return Fail("resampling failed", converted);
    void* planes[1] = {buffer.data()};
    if (converted > 0 && av_audio_fifo_write(fifo_.get(), planes, converted) < converted) {
        return Fail("out of memory");
    }
    return true;
}

bool Converter::SendToEncoder(AVFrame* frame) {
    if (int rc = avcodec_send_frame(encoder_.get(), frame); rc < 0) {
        return Fail("encoding failed", rc);
    }
    for (;;) {
        const int rc = avcodec_receive_packet(encoder_.get(), encoded_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return Fail("encoding failed", rc);
        encoded_->stream_index = 0;
        av_packet_rescale_ts(encoded_.get(), encoder_->time_base, output_->streams[0]->time_base);
        if (int wrc = av_interleaved_write_frame(output_.get(), encoded_.get()); wrc < 0) {
            return Fail("cannot write the ringtone file", wrc);
        }
    }
}

// Feeds whole encoder blocks from the FIFO; with `flush` the rest goes too, padded with silence.
bool Converter::EncodeBlocks(bool flush) {
    const int blockSamples = encoder_->frame_size;
    while (av_audio_fifo_size(fifo_.get()) >= blockSamples ||
           (flush && av_audio_fifo_size(fifo_.get()) > 0)) {
        const int real = std::min(av_audio_fifo_size(fifo_.get()), blockSamples);
        FramePtr frame(av_frame_alloc());
        if (!frame) return Fail("out of memory");
        frame->nb_samples = blockSamples;
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = rate_;
        av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout);
        if (int rc = av_frame_get_buffer(frame.get(), 0); rc < 0) return Fail("out of memory", rc);
        av_samples_set_silence(frame->data, 0, blockSamples, 1, AV_SAMPLE_FMT_S16);
        if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), real) < real) {
            return Fail("internal buffer error");
        }
        frame->pts = nextPts_;
        nextPts_ += blockSamples;
        samplesIn_ += real;
        if (!SendToEncoder(frame.get())) return false;
    }
    return true;
}

bool Converter::DecodePacket(const AVPacket* packet) {
    if (int rc = avcodec_send_packet(decoder_.get(), packet); rc < 0 && rc != AVERROR_EOF) {
        return Fail("the sound cannot be decoded", rc);
    }
    for (;;) {
        const int rc = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return Fail("the sound cannot be decoded", rc);
        const bool ok = ConvertFrame(decoded_.get()) && EncodeBlocks(false);
        av_frame_unref(decoded_.get());
        if (!ok) return false;
    }
}

bool Converter::Run(const std::string& source, const std::string& target, ConvertResult& result) {
    if (!decoded_ || !encoded_) return Fail("out of memory");
    if (!OpenInput(source) || !OpenOutput(target)) return false;
    result.sampleRate = rate_;

    PacketPtr packet(av_packet_alloc());
    if (!packet) return Fail("out of memory");
    for (;;) {
        const int rc = av_read_frame(input_.get(), packet.get());
        if (rc == AVERROR_EOF) break;
        if (rc < 0) return Fail("cannot read the file", rc);
        const bool ok = packet->stream_index != streamIndex_ || DecodePacket(packet.get());
        av_packet_unref(packet.get());
        if (!ok) return false;
    }
    if (!DecodePacket(nullptr) || !ConvertFrame(nullptr) || !EncodeBlocks(true) ||
        !SendToEncoder(nullptr)) {
        return false;
    }
    if (samplesIn_ == 0) return Fail("the file holds no sound");
    if (int rc = av_write_trailer(output_.get()); rc < 0) {
        return Fail("cannot finish the ringtone file", rc);
    }
    if (int rc = avio_closep(&output_->pb); rc < 0)
        return Fail("cannot write the ringtone file", rc);
    result.seconds = static_cast<double>(samplesIn_) / rate_;
    return true;
}

// CRC-16 with the polynomial 0x1021, started at 0xFFFF and complemented at the end: the check
// that closes every SMAF file.
uint16_t SmafCrc(const std::vector<uint8_t>& bytes) {
    uint16_t crc = 0xFFFF;
    for (const uint8_t byte : bytes) {
        crc ^= static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
        }
    }
    return static_cast<uint16_t>(~crc);
}

// FFmpeg's SMAF muxer ends the file without its CRC, which handsets check: the "MMMD" chunk's
// size grows by the two bytes and the big-endian CRC over every byte before it closes the file.
bool AppendSmafCrc(const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            error = "cannot read the ringtone back";
            return false;
        }
    }
    const auto be32 = [&bytes](size_t at) {
        return static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
               static_cast<uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    if (bytes.size() < 8 || std::memcmp(bytes.data(), "MMMD", 4) != 0 ||
        be32(4) != bytes.size() - 8) {
        error = "the SMAF writer left an unexpected file";
        return false;
    }
    const uint32_t size = be32(4) + 2;
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
    const uint16_t crc = SmafCrc(bytes);
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write the ringtone file";
        return false;
    }
    return true;
}

}  // namespace

bool IsSmafRate(int rate) {
    switch (rate) {
        case 4000:
        case 8000:
        case 11025:
        case 22050:
        case 44100:
            return true;
        default:
            return false;
    }
}

std::string MmfPathFor(const std::string& sourcePath) {
    const size_t slash = sourcePath.rfind('/');
    const size_t dot = sourcePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? sourcePath.substr(0, dot) : sourcePath) + ".mmf";
}

ConvertResult ConvertToMmf(const std::string& sourcePath, int rate) {
    ConvertResult result;
    result.outputPath = MmfPathFor(sourcePath);
    if (!IsSmafRate(rate)) {
        result.error = "SMAF holds no sound at " + std::to_string(rate) + " Hz";
        return result;
    }
    if (result.outputPath == sourcePath) {
        result.error = "the file is a ringtone already";
        return result;
    }
    // Written beside the target under a temporary name and renamed into place when complete, so
    // that a failure never leaves a truncated ringtone (or destroys an older one).
    const std::string partial = result.outputPath + ".part";
    {
        Converter converter(rate);
        result.ok = converter.Run(sourcePath, partial, result);
        result.error = converter.error();
    }
    if (result.ok && !AppendSmafCrc(partial, result.error)) result.ok = false;
    std::error_code ec;
    if (result.ok) {
        std::filesystem::rename(partial, result.outputPath, ec);
        if (ec) {
            result.ok = false;
            result.error = "cannot create the ringtone file: " + ec.message();
        }
    }
    if (!result.ok) std::filesystem::remove(partial, ec);
    return result;
}

}  // namespace mmf
