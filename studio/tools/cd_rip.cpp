#include "studio/tools/cd_rip.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/cd_rip_titles.h"
#include "studio/wav.h"

namespace studio {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string TrackFileName(int position, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "track%02d.%s", position + 1, extension);
    return name;
}

// The MP3 vector of the ripper: the extreme preset and the two placeholders. The tags are
// written into the encoded file afterwards (media::WriteMp3Tags), before it takes its name.
void FillRipVector(EncoderArgs& args) {
    args.AllocateSlots();
    int slot = 1;
    for (const char* text : {"--alt-preset", "extreme", kPlaceholderWav, kPlaceholderTmpMp3})
        if (args.SetSlot(slot, text)) ++slot;
    args.count = slot;
}

// Claims the hidden name a track's MP3 is encoded and tagged under: ".trackNN.mp3.part-PID-N",
// which platform::RemoveEndedPartFiles sweeps when the process was killed. It is short whatever
// the title, so that a final name of 255 bytes still has a temporary one; it is created before
// the engine writes it, so the engine never follows a link left at that name.
std::optional<std::string> ClaimUnfinishedPath(const std::string& folder, int row) {
    return platform::ClaimUnfinishedName(folder + "." + TrackFileName(row, "mp3"));
}

// True when the track's MP3 file was made, tagged and put under its name.
bool EncodeTrack(CodecEngine& engine, IRipWindow& window, const RipPlan& plan, const RipItem& item,
                 const std::string& wavPath) {
    engine.CallSetNoBad();
    // A vector of the rip's own: the shared one belongs to the studio's thread.
    EncoderArgs args;
    FillRipVector(args);
    const std::string output = plan.outputFolder + item.fileName;
    VxMymp3Fn mymp3 = engine.LookUpMymp3();
    if (!mymp3) return false;
    const std::optional<std::string> claimed = ClaimUnfinishedPath(plan.outputFolder, item.row);
    if (!claimed) return false;
    const std::string& unfinished = *claimed;
    window.StartEncodeTimer();
    const int result = mymp3(args.count, args.slot, wavPath.c_str(), unfinished.c_str());
    window.StopEncodeTimer();
    const bool done = result == 0 && engine.GetIsBad() == 0 &&
                      media::WriteMp3Tags(unfinished, item.tags) &&
                      platform::RenameIntoPlace(unfinished, output);
    if (!done) {
        platform::RemoveFile(unfinished);
        return false;
    }
    return true;
}

}  // namespace

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

RipPlan MakeRipPlan(const CdDrive& drive, RipMode mode, const std::string& outputFolder,
                    const std::vector<CdTrack>& tracks, const RipTitles& titles,
                    RipNaming naming) {
    RipPlan plan;
    plan.drive = drive;
    plan.mode = mode;
    plan.outputFolder = platform::WithTrailingSeparator(outputFolder);
    const int count = static_cast<int>(tracks.size());
    for (size_t row = 0; row < tracks.size(); ++row) {
        const CdTrack& track = tracks[row];
        // A data track holds no audio: it is never read nor encoded.
        if (!track.ticked || !track.audio()) continue;
        RipItem item;
        item.row = static_cast<int>(row);
        item.number = track.number;
        item.start = track.start;
        item.length = track.length;
        item.tags = titles.TagsFor(item.row, count);
        if (mode == RipMode::CdToMp3)
            item.fileName = RipFileName(naming, item.row + 1, item.tags.title, ".mp3");
        else if (mode == RipMode::CdToWav)
            item.fileName = RipFileName(naming, item.row + 1, item.tags.title, ".wav");
        plan.items.push_back(std::move(item));
    }
    return plan;
}

RipPlan MakeRipPlan(const CdDrive& drive, RipMode mode, const std::string& outputFolder,
                    const std::vector<CdTrack>& tracks) {
    RipTitles titles;
    titles.Reset(ReadCdText(drive, tracks), static_cast<int>(tracks.size()));
    return MakeRipPlan(drive, mode, outputFolder, tracks, titles);
}

std::vector<std::string> RipOutputsInTheWay(const RipPlan& plan) {
    std::vector<std::string> names;
    for (const RipItem& item : plan.items) {
        if (item.fileName.empty()) continue;
        // A link that leads nowhere is replaced as well.
        std::error_code error;
        if (std::filesystem::exists(
                std::filesystem::symlink_status(plan.outputFolder + item.fileName, error)))
            names.push_back(item.fileName);
    }
    return names;
}

std::vector<std::string> RipOutputsInTheWay(const std::string& folder,
                                            const std::vector<CdTrack>& tracks) {
    RipPlan plan;
    plan.outputFolder = platform::WithTrailingSeparator(folder);
    for (const CdTrack& track : tracks) {
        if (!track.ticked || !track.audio()) continue;
        RipItem item;
        item.fileName = TrackFileName(track.position, "mp3");
        plan.items.push_back(item);
    }
    return RipOutputsInTheWay(plan);
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

bool ReadTrackToWav(Session& session, IRipWindow& window, const CdDrive& drive, const RipItem& item,
                    std::atomic<int>& status, const std::string& wavPath) {
    const int row = item.row;
    RipperState& state = session.ripper;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(wavPath.c_str(), "wb"));
    if (!file) {
        status.store(kStatusError);
        window.PostTrackChanged(row);
        return false;
    }
    const RipperOptions& options = session.ripperWorkingCopy;
    WriteWavHeader(options, file.get(), 0);

    ReadRequest request(kChunkFrames);
    if (!request.ok()) {
        status.store(kStatusError);
        window.PostTrackChanged(row);
        return false;
    }
    uint64_t written = 0;
    {
        OpenDrive open(drive);
        uint32_t remaining = item.length;
        uint32_t next = item.start;
        uint32_t chunk = kChunkFrames;
        int iteration = 0;
        while (remaining > 0) {
            if (state.ripping.load() == 0) {
                status.store(kStatusCancelled);
                break;
            }
            if (iteration % kStatusEveryChunks == 0) {
                status.store(
                    static_cast<int>(uint64_t{item.length - remaining} * 100 / item.length));
                window.PostTrackChanged(row);
            }
            ++iteration;
            if (remaining < chunk) chunk = remaining;
            if (request.ReadChunk(open.handle(), next, chunk)) {
                const uint32_t bytes = request.DeliveredBytes();
                if (std::fwrite(request.Delivered(), 1, bytes, file.get()) != bytes) {
                    // A full disk: what was written stays, the track is marked as failed.
                    status.store(kStatusError);
                    break;
                }
                written += bytes;
            } else if (state.ignoreAll.load() == 0) {
                const int answer = window.Confirm(ReadErrorText(next, LastReadError()));
                if (answer == kConfirmAll) {
                    state.ignoreAll.store(1);
                } else if (answer == kConfirmNo) {
                    status.store(kStatusCancelled);
                    break;
                }
            }
            next += chunk;
            remaining -= chunk;
        }
    }
    const int ended = status.load();
    if (ended != kStatusCancelled && ended != kStatusError) status.store(kStatusRead);
    // The header's size field holds at most 4 GiB; a CD track never comes near it.
    WriteWavHeader(options, file.get(), static_cast<uint32_t>(written));
    file.reset();
    window.PostTrackChanged(row);
    return true;
}

bool ReadTrackToWav(Session& session, IRipWindow& window, CdTrack& track, int row,
                    const std::string& wavPath) {
    RipItem item;
    item.row = row;
    item.number = track.number;
    item.start = track.start;
    item.length = track.length;
    const CdDrive* drive = session.cd.CurrentDrive();
    if (!drive) {
        track.status.store(kStatusError);
        window.PostTrackChanged(row);
        return false;
    }
    return ReadTrackToWav(session, window, *drive, item, track.status, wavPath);
}

void RipRun(Session& session, IRipWindow& window, const RipPlan& plan) {
    RipperState& state = session.ripper;
    state.ignoreAll.store(0);
    std::vector<CdTrack>& tracks = session.cd.tracks;
    for (const RipItem& item : plan.items) {
        // The status cells are the one part of the list the run writes (atomics; the window
        // never resizes the list while a run is under way).
        if (item.row < 0 || static_cast<size_t>(item.row) >= tracks.size()) continue;
        std::atomic<int>& status = tracks[static_cast<size_t>(item.row)].status;
        status.store(0);
        state.currentRow.store(item.row);
        // The WAV rip reads into a file beside the track's name, so the name appears only for a
        // track that was read.
        const std::string target = plan.outputFolder + item.fileName;
        const std::string wavPath =
            plan.mode == RipMode::CdToWav ? target + ".part" : RipWavPath(plan.mode);
        const bool created = ReadTrackToWav(session, window, plan.drive, item, status, wavPath);
        const bool keep = created && state.userStop.load() == 0 &&
                          (status.load() == kStatusRead || state.keepFailedTracks);
        bool failed = false;
        if (plan.mode == RipMode::CdToMp3 && keep) {
            // An encode that Stop cancelled is no failure of the track.
            failed = !EncodeTrack(session.engine, window, plan, item, wavPath) &&
                     state.userStop.load() == 0;
        } else if (plan.mode == RipMode::CdToWav) {
            failed = keep && !platform::RenameIntoPlace(wavPath, target);
            if (!keep || failed) platform::RemoveFile(wavPath);
        }
        if (failed) {
            status.store(kStatusError);
            window.PostTrackChanged(item.row);
        }
        if (state.ripping.load() == 0) break;
    }
    state.finished.store(1);
    window.PostRunEnded();
}

void RipRun(Session& session, IRipWindow& window) {
    const CdDrive* drive = session.cd.CurrentDrive();
    if (!drive) {
        session.ripper.finished.store(1);
        window.PostRunEnded();
        return;
    }
    const RipperState& state = session.ripper;
    RipPlan plan = MakeRipPlan(*drive, state.mode, state.outputFolder, session.cd.tracks);
    RipRun(session, window, plan);
}

}  // namespace studio
