#include "studio/ringtone_save.h"

#include <unistd.h>

#include <atomic>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/phone_ringtone.h"
#include "studio/ringtone_options.h"
#include "studio/session.h"
#include "studio/settings.h"

namespace studio {
namespace {

// A name beside `target` that no other cut of this process uses at the same time.
std::string StagingPathBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + ".cut-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// The scratch file a phone ringtone's part is cut into before it is encoded.
std::string PhonePartPath() { return platform::JoinPath(platform::ScratchFolder(), "vxphone.wav"); }

}  // namespace

RingtoneShaping CurrentShaping(const Session& session) {
    const RingtoneOptions options = RingtoneOptionsSnapshot(session.ringtone);
    return RingtoneShaping{options.fadeInMs, options.fadeOutMs, options.normalise};
}

std::string RingtoneWriteError(const std::string& target, const std::string& why) {
    return "The ringtone " + target + " could not be written" + (why.empty() ? "." : ": " + why);
}

CutResult CutShapedSelection(const std::string& target, ISelectionSource& editor,
                             const std::string& sourceWav, const RingtoneShaping& shaping) {
    if (!shaping.Active()) return WriteSelectionToWav(target, editor, sourceWav);
    const std::string staging = StagingPathBeside(target);
    CutResult cut = WriteSelectionToWav(staging, editor, sourceWav);
    if (!cut) return cut;
    CWave part;
    try {
        part.LoadFromFile(staging);
    } catch (const InvalidFileError&) {
        platform::RemoveFile(staging);
        return CutResult::Refused(RingtoneWriteError(target, "the cut part cannot be read"),
                                  platform::MsgIcon::Error);
    }
    platform::RemoveFile(staging);
    // Sounds of other sample widths have no fades; they are written as cut.
    ShapeWave(part, shaping);
    if (!part.StoreToFile(target))
        return CutResult::Refused(RingtoneWriteError(target, ""), platform::MsgIcon::Error);
    return cut;
}

CutResult CutShapedSelection(Session& session, const std::string& target,
                             ISelectionSource& editor) {
    return CutShapedSelection(target, editor, session.job.CurrentWavPath(),
                              CurrentShaping(session));
}

bool AskM4rLength(CWave& wave) {
    const uint64_t limit =
        static_cast<uint64_t>(wave.format.sampleRate) * kM4rMaxSeconds * wave.format.blockAlign;
    if (wave.samples.size() <= limit) return true;
    switch (platform::GetUi().MessageBox(kM4rTooLongQuestion, platform::ProgramName(),
                                         platform::MsgButtons::YesNoCancel,
                                         platform::MsgIcon::Question)) {
        case platform::MsgResult::Yes:
            wave.samples.resize(limit);
            return true;
        case platform::MsgResult::No:
            return true;
        default:
            return false;
    }
}

void SavePhoneRingtoneCommand(IJobWindow& window) {
    if (BusyCheck(window)) return;
    Session& session = window.session();
    if (!session.job.TryStart()) {
        platform::ShowMessage("Please wait...");
        return;
    }
    CodecEngine& engine = session.engine;
    if (!session.workers.Start(
            "phone ringtone", [&window] { SavePhoneRingtoneJob(window); },
            [&engine] { engine.CallSetCancelEncode(1); }))
        session.job.End();
}

void SavePhoneRingtoneJob(IJobWindow& window) {
    Session& session = window.session();
    struct JobEnd {
        JobState& state;
        ~JobEnd() { state.End(); }
    } end{session.job};
    const RingtoneOptions options = RingtoneOptionsSnapshot(session.ringtone);
    platform::FileDialogOptions dialog;
    dialog.title = "Save as phone ringtone";
    dialog.defaultExt = PhoneFormats()[0].extension;
    dialog.filter = PhoneRingtoneFilter();
    dialog.hideReadOnly = true;
    dialog.overwritePrompt = true;
    dialog.initialFolder =
        options.phoneFolder.empty() ? session.settings.saveAsMp3Folder : options.phoneFolder;
    const std::optional<std::string> target = platform::GetUi().SaveFile(dialog);
    if (!target) return;
    const std::optional<PhoneFormat> format = PhoneFormatForPath(*target);
    if (!format) {
        platform::ShowMessage(
            "Please give the ringtone one of the extensions .m4r, .ogg, .mp3 "
            "or .opus.");
        return;
    }
    session.ringtone.RememberPhoneFolderOf(*target, SettingsFileName());

    // The part is cut as it is and shaped after the length question, so a shortened M4R part
    // gets its fade-out at its new end.
    const std::string part = PhonePartPath();
    struct PartRemover {
        std::string path;
        ~PartRemover() { platform::RemoveFile(path); }
    } remover{part};
    bool cut = false;
    try {
        cut = ShowCutResult(
            WriteSelectionToWav(part, window.Selection(), session.job.CurrentWavPath()));
    } catch (const InvalidFileError& error) {
        platform::ShowMessage(error.what(), platform::MsgIcon::Error);
    }
    if (!cut) return;
    CWave wave;
    try {
        wave.LoadFromFile(part);
    } catch (const InvalidFileError& error) {
        platform::ShowMessage(error.what(), platform::MsgIcon::Error);
        return;
    }
    if (*format == PhoneFormat::M4r && !AskM4rLength(wave)) return;
    ShapeWave(wave, RingtoneShaping{options.fadeInMs, options.fadeOutMs, options.normalise});

    window.SetProgressPos(0);
    // The ringtone carries the song's title and artist.
    const media::SongTags song = session.job.CurrentSongTags();
    bool ok = false;
    std::string why;
    if (*format == PhoneFormat::Mp3) {
        // The codec engine reads a file: the shaped part replaces the cut one.
        if (!wave.StoreToFile(part)) {
            why = "the part cannot be written to the scratch folder";
        } else {
            window.StartJobTimer(kEncodeTimer, kRingtoneTimerMs);
            EncoderArgs& args = session.encoderArgs;
            args.inputIsWav = 1;
            BuildEncoderArgs(args, session.settings);
            AddTitleAndArtist(args, song.title, song.artist);
            session.engine.CallSetCancelEncode(0);
            session.engine.CallSetNoBad();
            if (const VxMymp3Fn mymp3 = session.engine.LookUpMymp3()) {
                ok = mymp3(args.count, args.slot, part.c_str(), target->c_str()) == 0;
                if (!ok) why = "the MP3 encoder failed";
            } else {
                why = "the codec engine has no MP3 encoder";
            }
            window.StopJobTimer(kEncodeTimer);
        }
    } else {
        PhoneRingtoneEncoder encoder;
        encoder.SetTitleAndArtist(song.title, song.artist);
        ok = encoder.Encode(wave, *format, *target,
                            [&window](int percent) { window.SetProgressPos(percent); });
        why = encoder.error();
    }
    window.SetProgressPos(100);
    if (ok) {
        platform::ShowSuccess("Ring Tone Created!");
    } else {
        platform::ShowMessage(RingtoneWriteError(*target, why), platform::MsgIcon::Error);
    }
}

}  // namespace studio
