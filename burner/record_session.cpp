#include "burner/record_session.h"

#include <cstdio>

#include "burner/record_rules.h"

namespace burner {

namespace ev = cd_writer::event;

std::string StartOutcomeMessage(StartOutcome outcome) {
    switch (outcome) {
        case StartOutcome::NoDevice:
            return "A drive is not selected or does not exist.";
        case StartOutcome::NoWritableMedia:
            return "Please Insert Writable Media before continuing!";
        case StartOutcome::DiscNotEmpty:
            return "Please insert an empty disc for recording.";
        case StartOutcome::NotStarted:
            return "Disc Write could not be started.";
        case StartOutcome::Started:
        case StartOutcome::GaveUp:
            break;
    }
    return {};
}

StartOutcome StartRecording(CCDWriterXP& writer, int selectedDevice,
                            const std::vector<std::string>& paths,
                            const std::vector<std::string>& titles, const RecordOptions& options,
                            const RefusedTrackHandler& onRefused, std::string* refusedPath) {
    if (selectedDevice == -1) return StartOutcome::NoDevice;
    if (!writer.HasWritableMedia()) return StartOutcome::NoWritableMedia;
    if (writer.GetDiscUsage() != 0) return StartOutcome::DiscNotEmpty;
    writer.ResetTracks();
    for (size_t i = 0; i < paths.size(); ++i) {
        const auto index = static_cast<int16_t>(i);
        if (writer.AddTrack(paths[i], index)) {
            if (i < titles.size() && !titles[i].empty()) writer.SetTrackText(index, titles[i], "");
            continue;
        }
        // The replacement serves this write only; the project keeps its file.
        const std::optional<std::string> replacement =
            onRefused ? onRefused(static_cast<int>(i), paths[i]) : std::nullopt;
        if (!replacement || !writer.AddTrack(*replacement, index)) {
            if (refusedPath) *refusedPath = paths[i];
            return StartOutcome::GaveUp;
        }
    }
    writer.SetWriteMode7(0);
    writer.SetWriteOption5(true);
    writer.PrepareWrite();
    writer.SetTestWrite(options.test);
    writer.SetCacheFiles(options.cacheFiles);
    if (writer.IsBurnProofSupported()) writer.SetBurnProof(options.burnProof);
    return writer.StartWrite() ? StartOutcome::Started : StartOutcome::NotStarted;
}

RecordUpdate RecordEventFollower::OnEvent(int id, const platform::VariantList& args) {
    auto arg = [&args](size_t i) { return i < args.size() ? args[i] : platform::Variant(); };
    RecordUpdate update;
    char text[64];
    switch (id) {
        case ev::kDiscPreparing:
            update.phase = RecordUpdate::Phase::Writing;
            update.status = "Preparing to Write Disc....";
            update.trackPercent = 0;
            update.totalPercent = 0;
            break;
        case ev::kCachingStarted:
            cacheTrack_ = static_cast<int16_t>(arg(0).ToInt());
            cacheSize_ = arg(1).ToInt();
            break;
        case ev::kCachingProgress:
            update.cachingPercent = CachingPercent(arg(0).ToInt(), cacheSize_);
            std::snprintf(text, sizeof text, "Caching Track - %02d%%", update.cachingPercent);
            update.status = text;
            break;
        case ev::kFileReading:
            update.status = "Reading File..." + std::to_string(arg(0).ToInt());
            break;
        case ev::kTrackPreparing:
            std::snprintf(text, sizeof text, "Preparing to Write Track #%02d",
                          static_cast<int16_t>(arg(0).ToInt()));
            update.status = text;
            update.trackPercent = 0;
            trackSize_ = arg(1).ToInt();
            break;
        case ev::kTrackProgress: {
            const int track = static_cast<int16_t>(arg(0).ToInt());
            update.trackPercent = TrackPercent(arg(1).ToInt(), trackSize_);
            update.totalPercent = TotalPercent(update.trackPercent, track, trackCount_);
            std::snprintf(text, sizeof text, "Writing Track #%02d....", track);
            update.status = text;
            break;
        }
        case ev::kTrackClosing:
            update.status = "Closing Track....";
            break;
        case ev::kSessionClosing:
            update.status = "Closing Session....";
            break;
        case ev::kDiscClosing:
            update.status = "Closing Disc....";
            break;
        case ev::kWriteComplete:
            update.phase = RecordUpdate::Phase::Complete;
            update.status = "Write complete!";
            break;
        case ev::kWriteCancelled:
            update.phase = RecordUpdate::Phase::Cancelled;
            update.status = "Writing Cancelled!";
            break;
        case ev::kWriteError:
            update.phase = RecordUpdate::Phase::Failed;
            update.message = WriteErrorText(arg(0).ToInt(), arg(1).ToInt());
            update.status = "A write error occurred..";
            break;
        case ev::kFileError:
            update.status = FileErrorText(arg(0).ToInt(), arg(1).ToString());
            break;
        default:
            break;  // 13, 17 and anything newer
    }
    return update;
}

}  // namespace burner
