#include "studio/tools/cd_rip.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/folders.h"
#include "platform/paths.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/settings.h"
#include "studio/wav.h"

namespace studio {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The MP3 vector of the ripper: the extreme preset, the disc's CD-Text and the track number as
// tags, and the two placeholders. Empty texts give no tag.
void FillRipVector(EncoderArgs& args, const CdTrack& track, int position, int trackCount) {
    args.AllocateSlots();
    const CdDrive& drive = CdDrives()[static_cast<size_t>(CurrentDriveIndex())];
    std::string title, artist, album;
    {
        OpenDrive open(drive);
        title = open.CdText(track.number, 0);
        artist = open.CdText(track.number, 1);
        if (artist.empty()) artist = open.CdText(0, 1);
        album = open.CdText(0, 0);
    }
    int slot = 1;
    auto put = [&](const std::string& text) {
        // A text too long for a slot is cut rather than dropping the whole tag.
        if (args.SetSlot(slot, text.substr(0, EncoderArgs::kSlotBytes - 1))) ++slot;
    };
    put("--alt-preset");
    put("extreme");
    const std::pair<const char*, std::string> tags[] = {
        {"--tt", title},
        {"--ta", artist},
        {"--tl", album},
        {"--tn", std::to_string(position + 1) + "/" + std::to_string(trackCount)}};
    for (const auto& [option, text] : tags) {
        if (text.empty()) continue;
        put(option);
        put(text);
    }
    put(kPlaceholderWav);
    put(kPlaceholderTmpMp3);
    args.count = slot;
}

// True when the engine made the track's MP3 file.
bool EncodeTrack(IRipWindow& window, const CdTrack& track, const std::string& wavPath) {
    RipperState& state = Ripper();
    CodecEngine& engine = Engine();
    engine.CallSetNoBad();
    EncoderArgs& args = SharedEncoderArgs();
    FillRipVector(args, track, track.position, static_cast<int>(CdTracks().size()));
    state.outputFolder = platform::WithTrailingSeparator(state.outputFolder);
    const std::string output = TrackMp3Path(state.outputFolder, track.position);
    VxMymp3Fn mymp3 = engine.LookUpMymp3();
    if (!mymp3) return false;
    window.StartEncodeTimer();
    const int result = mymp3(args.count, args.slot, wavPath.c_str(), output.c_str());
    window.StopEncodeTimer();
    return result == 0 && engine.GetIsBad() == 0;
}

std::string TrackFileName(int position, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "track%02d.%s", position + 1, extension);
    return name;
}

}  // namespace

RipperState& Ripper() {
    static RipperState state;
    return state;
}

std::string RipWavPath(RipMode mode) {
    return platform::JoinPath(platform::ScratchFolder(),
                              mode == RipMode::Extract ? "vxcd.wav" : "vxrip.wav");
}

bool TakeExtractedTrack(const std::string& currentWav) {
    return std::rename(RipWavPath(RipMode::Extract).c_str(), currentWav.c_str()) == 0;
}

std::string TrackMp3Path(const std::string& folder, int position) {
    return platform::WithTrailingSeparator(folder) + TrackFileName(position, "mp3");
}

std::vector<std::string> RipOutputsInTheWay(const std::string& folder,
                                            const std::vector<CdTrack>& tracks) {
    std::vector<std::string> names;
    for (const CdTrack& track : tracks) {
        if (!track.ticked || !track.audio()) continue;
        const std::string path = TrackMp3Path(folder, track.position);
        // A link that leads nowhere is replaced as well.
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(path, error)))
            names.push_back(TrackFileName(track.position, "mp3"));
    }
    return names;
}

std::string RipReplaceQuestion(const std::vector<std::string>& names) {
    constexpr size_t kListed = 5;
    std::string text = names.size() == 1 ? "The output folder already holds a file of this name:"
                                         : "The output folder already holds files of these names:";
    for (size_t i = 0; i < names.size() && i < kListed; ++i) text += "\n" + names[i];
    if (names.size() > kListed)
        text += "\n(and " + std::to_string(names.size() - kListed) + " more)";
    text += names.size() == 1 ? "\nDo you want to replace it?" : "\nDo you want to replace them?";
    return text;
}

std::string TrackWavPath(const std::string& folder, int position) {
    return platform::WithTrailingSeparator(folder) + TrackFileName(position, "wav");
}

std::string ReadErrorText(uint32_t frame, const ReadError& error) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Error at frame %u\nASPIlib error %d, ASPI error %d\nDo you want to ignore this?",
                  frame, error.libraryError, error.status);
    return text;
}

bool ReadTrackToWav(IRipWindow& window, CdTrack& track, int row, const std::string& wavPath) {
    RipperState& state = Ripper();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(wavPath.c_str(), "wb"));
    if (!file) {
        track.status.store(kStatusError);
        window.PostTrackChanged(row);
        return false;
    }
    const RipperOptions& options = RipperWorkingCopy();
    WriteWavHeader(options, file.get(), 0);

    ReadRequest request(kChunkFrames);
    if (!request.ok()) {
        track.status.store(kStatusError);
        window.PostTrackChanged(row);
        return false;
    }
    uint64_t written = 0;
    {
        OpenDrive drive(CdDrives()[static_cast<size_t>(CurrentDriveIndex())]);
        uint32_t remaining = track.length;
        uint32_t next = track.start;
        uint32_t chunk = kChunkFrames;
        int iteration = 0;
        while (remaining > 0) {
            if (state.ripping.load() == 0) {
                track.status.store(kStatusCancelled);
                break;
            }
            if (iteration % kStatusEveryChunks == 0) {
                track.status.store(
                    static_cast<int>(uint64_t{track.length - remaining} * 100 / track.length));
                window.PostTrackChanged(row);
            }
            ++iteration;
            if (remaining < chunk) chunk = remaining;
            if (request.ReadChunk(drive.handle(), next, chunk)) {
                const uint32_t bytes = request.DeliveredBytes();
                if (std::fwrite(request.Delivered(), 1, bytes, file.get()) != bytes) {
                    // A full disk: what was written stays, the track is marked as failed.
                    track.status.store(kStatusError);
                    break;
                }
                written += bytes;
            } else if (state.ignoreAll.load() == 0) {
                const int answer = window.Confirm(ReadErrorText(next, LastReadError()));
                if (answer == kConfirmAll) {
                    state.ignoreAll.store(1);
                } else if (answer == kConfirmNo) {
                    track.status.store(kStatusCancelled);
                    break;
                }
            }
            next += chunk;
            remaining -= chunk;
        }
    }
    const int status = track.status.load();
    if (status != kStatusCancelled && status != kStatusError) track.status.store(kStatusRead);
    // The header's size field holds at most 4 GiB; a CD track never comes near it.
    WriteWavHeader(options, file.get(), static_cast<uint32_t>(written));
    file.reset();
    window.PostTrackChanged(row);
    return true;
}

void RipRun(IRipWindow& window) {
    RipperState& state = Ripper();
    state.ignoreAll.store(0);
    std::vector<CdTrack>& tracks = CdTracks();
    for (size_t row = 0; row < tracks.size(); ++row) {
        CdTrack& track = tracks[row];
        // A data track holds no audio: it is never read nor encoded.
        if (!track.ticked || !track.audio()) continue;
        track.status.store(0);
        state.currentRow.store(static_cast<int>(row));
        const int rowIndex = static_cast<int>(row);
        // The WAV rip reads into a file beside the track's name, so the name appears only for a
        // track that was read.
        const std::string target = TrackWavPath(state.outputFolder, track.position);
        const std::string wavPath =
            state.mode == RipMode::CdToWav ? target + ".part" : RipWavPath(state.mode);
        const bool created = ReadTrackToWav(window, track, rowIndex, wavPath);
        const bool keep = created && state.userStop.load() == 0 &&
                          (track.status.load() == kStatusRead || state.keepFailedTracks);
        bool failed = false;
        if (state.mode == RipMode::CdToMp3 && keep) {
            // An encode that Stop cancelled is no failure of the track.
            failed = !EncodeTrack(window, track, wavPath) && state.userStop.load() == 0;
        } else if (state.mode == RipMode::CdToWav) {
            failed = keep && std::rename(wavPath.c_str(), target.c_str()) != 0;
            if (!keep || failed) platform::RemoveFile(wavPath);
        }
        if (failed) {
            track.status.store(kStatusError);
            window.PostTrackChanged(rowIndex);
        }
        if (state.ripping.load() == 0) break;
    }
    state.finished.store(1);
    window.PostRunEnded();
}

}  // namespace studio
