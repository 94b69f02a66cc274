// Owning pointers for FFmpeg's objects, each freed by the library's own function: shared by
// everything that encodes, decodes or resamples through FFmpeg (the MMF tool, the studio's
// phone ringtones, the decoder of other music files), with FFmpeg's error texts and log level.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <array>
#include <memory>
#include <mutex>
#include <string>

namespace av {

struct InputCloser {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct OutputCloser {
    void operator()(AVFormatContext* ctx) const {
        if (ctx->pb) avio_closep(&ctx->pb);
        avformat_free_context(ctx);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct SwrFreer {
    void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FifoFreer {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFreer>;

// FFmpeg's words for one of its error codes.
inline std::string ErrorText(int code) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return text.data();
}

// FFmpeg's notes on odd streams and files (such as the MP4 muxer's remark on the .m4r extension)
// are not for users: only its errors are logged, once set for the process. Failures come back as
// texts through ErrorText.
inline void QuietLog() {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
}

}  // namespace av
