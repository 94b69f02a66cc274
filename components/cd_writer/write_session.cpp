#include "components/cd_writer/write_session.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "components/cd_writer/cd_writer_dispids.h"
#include "platform/folders.h"

namespace cd_writer {
namespace {

using platform::Variant;
using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr size_t kChunkBytes = kCdFrameBytes * 64;

class DecoderReader : public PcmReader {
  public:
    explicit DecoderReader(std::unique_ptr<CdAudioDecoder> decoder)
        : decoder_(std::move(decoder)) {}
    long Read(uint8_t* out, size_t max) override { return decoder_->Read(out, max); }

  private:
    std::unique_ptr<CdAudioDecoder> decoder_;
};

class FileReader : public PcmReader {
  public:
    FileReader(std::FILE* file, int64_t bytes) : file_(file), left_(bytes) {}
    ~FileReader() override { std::fclose(file_); }
    long Read(uint8_t* out, size_t max) override {
        const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(max), left_));
        if (n == 0) return 0;
        if (std::fread(out, 1, n, file_) != n) return -1;
        left_ -= static_cast<int64_t>(n);
        return static_cast<long>(n);
    }

  private:
    std::FILE* file_;
    int64_t left_;
};

int32_t FileErrorOf(OpenResult result) {
    return result == OpenResult::CannotOpen ? file_error::kOpen : file_error::kRead;
}

}  // namespace

WriteSession::WriteSession(std::vector<std::string> paths, WriteOptions options, EventSink sink,
                           const std::atomic<bool>* abort, std::vector<TrackText> texts)
    : paths_(std::move(paths)),
      texts_(std::move(texts)),
      options_(options),
      sink_(std::move(sink)),
      abort_(abort) {}

WriteSession::~WriteSession() {
    if (!cacheFolder_.empty()) {
        std::error_code error;
        std::filesystem::remove_all(cacheFolder_, error);
    }
}

int64_t WriteSession::totalSectors() const {
    int64_t total = 0;
    for (const PreparedTrack& t : tracks_) total += t.sectors;
    return total;
}

void WriteSession::Fire(int eventId, platform::VariantList args) {
    if (sink_) sink_(eventId, std::move(args));
}

void WriteSession::Complete() {
    if (ended_) return;
    ended_ = true;
    Fire(event::kWriteComplete);
}

void WriteSession::Cancelled() {
    if (ended_) return;
    ended_ = true;
    Fire(event::kWriteCancelled);
}

void WriteSession::Error(int32_t kind, int32_t code) {
    if (ended_) return;
    ended_ = true;
    Fire(event::kWriteError, {Variant(kind), Variant(code)});
}

void WriteSession::FailFile(int32_t fileErrorKind, const std::string& file) {
    Fire(event::kFileError, {Variant(fileErrorKind), Variant(file)});
    Error(write_error::kFile);
}

bool WriteSession::PrepareTracks() {
    tracks_.clear();
    if (paths_.empty()) {
        Error(write_error::kNoTracks);
        return false;
    }
    // Refused before a single song is decoded.
    if (paths_.size() > static_cast<size_t>(kMaxTracks)) {
        Error(write_error::kBadFormat);
        return false;
    }
    for (size_t i = 0; i < paths_.size(); ++i) {
        const std::string& path = paths_[i];
        if (Aborted()) {
            Cancelled();
            return false;
        }
        CdAudioDecoder decoder;
        const OpenResult opened = decoder.Open(path);
        if (opened != OpenResult::Ok) {
            FailFile(FileErrorOf(opened), path);
            return false;
        }
        TrackText text = decoder.text();
        if (i < texts_.size()) {
            if (!texts_[i].title.empty()) text.title = texts_[i].title;
            if (!texts_[i].performer.empty()) text.performer = texts_[i].performer;
        }
        tracks_.push_back({path, decoder.frames(), decoder.sectors(), std::move(text), {}});
    }
    return true;
}

bool WriteSession::CacheTracks() {
    std::string pattern = platform::ScratchFolder() + "/cdwriter-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        FailFile(file_error::kBuffer, platform::ScratchFolder());
        return false;
    }
    cacheFolder_ = pattern;
    std::vector<uint8_t> chunk(kChunkBytes);
    for (size_t i = 0; i < tracks_.size(); ++i) {
        PreparedTrack& track = tracks_[i];
        const int16_t number = static_cast<int16_t>(i + 1);
        Fire(event::kCachingStarted, {Variant(int32_t{number}), Variant(int32_t(track.bytes()))});
        int32_t kind = 0;
        std::unique_ptr<PcmReader> reader = OpenTrack(i, &kind);
        if (!reader) {
            FailFile(kind, track.path);
            return false;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/track%02zu.pcm", i + 1);
        const std::string cachePath = cacheFolder_ + name;
        std::FILE* out = std::fopen(cachePath.c_str(), "wb");
        if (!out) {
            FailFile(file_error::kBuffer, cachePath);
            return false;
        }
        int64_t amount = 0;
        auto lastReport = Clock::now();
        bool failed = false;
        for (;;) {
            if (Aborted()) {
                std::fclose(out);
                Cancelled();
                return false;
            }
            const long n = reader->Read(chunk.data(), chunk.size());
            if (n < 0) {
                std::fclose(out);
                FailFile(file_error::kRead, track.path);
                return false;
            }
            if (n == 0) break;
            if (std::fwrite(chunk.data(), 1, static_cast<size_t>(n), out) !=
                static_cast<size_t>(n)) {
                failed = true;
                break;
            }
            amount += n;
            if (Clock::now() - lastReport >= kProgressInterval) {
                lastReport = Clock::now();
                Fire(event::kCachingProgress, {Variant(int32_t(amount))});
            }
        }
        if (std::fclose(out) != 0 || failed) {
            FailFile(file_error::kBuffer, cachePath);
            return false;
        }
        Fire(event::kCachingProgress, {Variant(int32_t(amount))});
        track.cachePath = cachePath;
    }
    return true;
}

std::unique_ptr<PcmReader> WriteSession::OpenTrack(size_t index, int32_t* fileErrorKind) const {
    const PreparedTrack& track = tracks_.at(index);
    if (!track.cachePath.empty()) {
        if (std::FILE* f = std::fopen(track.cachePath.c_str(), "rb"))
            return std::make_unique<FileReader>(f, track.bytes());
        if (fileErrorKind) *fileErrorKind = file_error::kBuffer;
        return nullptr;
    }
    auto decoder = std::make_unique<CdAudioDecoder>();
    // Read with the length measured when the write began: a song that gives less than that now
    // fails its read instead of being filled up with silence.
    const OpenResult opened = decoder->OpenMeasured(track.path, track.frames);
    if (opened != OpenResult::Ok) {
        if (fileErrorKind) *fileErrorKind = FileErrorOf(opened);
        return nullptr;
    }
    return std::make_unique<DecoderReader>(std::move(decoder));
}

}  // namespace cd_writer
