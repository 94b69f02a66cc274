#include "studio/jobs.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "media/audio_decoder.h"
#include "media/tags.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/ringtone_save.h"
#include "studio/session.h"
#include "studio/settings.h"

namespace studio {
namespace {

constexpr auto kFileSettle = std::chrono::milliseconds(200);

const char* const kWavFilter = "WAV files(*.wav)|*.wav||";
const char* const kMp3Filter = "MP3 files(*.mp3)|*.mp3||";
const char* const kNotSupported = "The specified file is not supported by the software!";

// Gives the busy flag back when a job procedure returns, whichever way it returns.
class JobEnd {
  public:
    explicit JobEnd(JobState& state) : state_(state) {}
    ~JobEnd() { state_.End(); }

  private:
    JobState& state_;
};

// Stops a job timer at every exit of the part of a job that runs it.
class TimerRun {
  public:
    TimerRun(IJobWindow& window, int id, int ms) : window_(window), id_(id) {
        window_.StartJobTimer(id_, ms);
    }
    ~TimerRun() { Stop(); }
    void Stop() {
        if (running_) window_.StopJobTimer(id_);
        running_ = false;
    }

  private:
    IJobWindow& window_;
    int id_;
    bool running_ = true;
};

// Starts `job` on a worker of the session once the busy flag has been taken; gives it back when
// no thread starts. Stopping the session's workers cancels the engine's encoding.
void StartJob(Session& session, const char* name, std::function<void()> job) {
    if (!session.job.TryStart()) {
        platform::ShowMessage("Please wait...");
        return;
    }
    CodecEngine& engine = session.engine;
    if (!session.workers.Start(name, std::move(job), [&engine] { engine.CallSetCancelEncode(1); }))
        session.job.End();
}

std::optional<std::string> AskOpen(const char* ext, const char* filter) {
    platform::FileDialogOptions options;
    options.defaultExt = ext;
    options.filter = filter;
    options.mustExist = true;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return std::nullopt;
    return chosen.front();
}

std::optional<std::string> AskSave(const char* ext, const char* filter,
                                   const std::string& folder = {},
                                   const std::string& suggestedName = {}) {
    platform::FileDialogOptions options;
    options.defaultExt = ext;
    options.filter = filter;
    options.hideReadOnly = true;
    options.overwritePrompt = true;
    options.initialFolder = folder;
    options.initialName = suggestedName;
    return platform::GetUi().SaveFile(options);
}

// "File created!" is good news and carries the information icon; "Failure!" keeps the warning.
void ReportConversion(int result) {
    if (result == 0) {
        platform::ShowSuccess("File created!");
    } else {
        platform::ShowMessage("Failure!");
    }
}

int CallMymp3(VxMymp3Fn mymp3, EncoderArgs& args, const std::string& in, const std::string& out) {
    return mymp3(args.count, args.slot, in.c_str(), out.c_str());
}

bool IsMp3Name(const std::string& path) { return platform::LowerTail(path, 4) == ".mp3"; }

// Decodes the song at `path` into the staging WAV: an MP3 through the codec engine (with the
// vector PrepareDecode split), any other song through FFmpeg's libraries, while the session says
// so for the progress timer. One open runs at a time (the busy flag).
bool DecodeSongToStaging(Session& session, const std::string& path, const std::string& staging) {
    if (IsMp3Name(path)) {
        const VxMymp3dFn mymp3d = session.engine.LookUpMymp3d();
        EncoderArgs& args = session.encoderArgs;
        // Without a decoder the staging file stays empty: that is no song to show either.
        return mymp3d && mymp3d(args.count, args.slot, path.c_str()) == 0;
    }
    struct Decoding {
        explicit Decoding(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
        ~Decoding() { flag_ = false; }
        std::atomic<bool>& flag_;
    } decoding(session.songDecoding);
    return session.songDecoder.DecodeToWav(path, staging);
}

}  // namespace

bool IsSongFileName(const std::string& path) {
    return IsMp3Name(path) || media::IsDecodedFileName(path);
}

std::string OpenSongFilter() {
    std::string patterns = "*.mp3";
    for (const std::string& ext : media::DecodedExtensions()) patterns += ";*." + ext;
    return std::string(kMp3Filter).substr(0, std::string(kMp3Filter).size() - 1) +
           "All audio files|" + patterns + "||";
}

std::string TempWavPath() { return platform::JoinPath(platform::ScratchFolder(), "vxtmp.wav"); }

std::string StagingWavPath() { return platform::JoinPath(platform::ScratchFolder(), "vxnew.wav"); }

std::string SegmentWavPath() { return platform::JoinPath(platform::ScratchFolder(), "vx.wav"); }

bool BusyCheck(IJobWindow& window) {
    if (window.IsPlaying()) {
        platform::ShowMessage("Stop playing the song first!");
        return true;
    }
    if (window.session().job.Running()) {
        platform::ShowMessage("Please wait...");
        return true;
    }
    return false;
}

void PrepareDecode(IJobWindow& window, const std::string& path) {
    Session& session = window.session();
    window.SetProgressPos(0);

    // The decode goes to a staging file: the open song, its name and its WAV stay as they are
    // until the new file has decoded.
    const std::string staging = StagingWavPath();
    platform::RemoveFile(staging);
    std::this_thread::sleep_for(kFileSettle);
    if (!std::ofstream(staging, std::ios::binary | std::ios::trunc).is_open()) {
        platform::ShowMessage("Can't generate TEMP wav file!");
        return;
    }
    std::this_thread::sleep_for(kFileSettle);

    const auto refuse = [&staging](const char* message) {
        platform::RemoveFile(staging);
        platform::ShowMessage(message);
    };
    if (!IsSongFileName(path)) {
        refuse(kNotSupported);
        return;
    }
    if (session.job.Running()) {
        platform::RemoveFile(staging);
        return;
    }
    const std::string command =
        std::string("--decode") + " " + kPlaceholderInputMp3 + " " + staging;
    if (IsMp3Name(path) && !SplitCommandLine(session.encoderArgs, command)) {
        // The scratch path is too long for an argument slot.
        refuse("Can't generate TEMP wav file!");
        return;
    }
    if (!session.job.TryStart()) {
        platform::RemoveFile(staging);
        return;
    }
    // Stopping the session's workers cancels whichever decoder runs.
    const auto stop = [&session] {
        if (const VxSetCancelDecodeFn cancel = session.engine.LookUpSetCancelDecode()) cancel(1);
        session.songDecoder.Cancel();
    };
    if (!session.workers.Start(
            "decode", [&window, path] { DecodeForOpenJob(window, path); }, stop)) {
        session.job.End();
        platform::RemoveFile(staging);
    }
}

void WavToMp3Command(IJobWindow& window) {
    if (BusyCheck(window)) return;
    if (!window.session().engine.CallSetCancelEncode(0)) return;
    StartJob(window.session(), "wav to mp3", [&window] { WavToMp3Job(window); });
}

void Mp3ToWavCommand(IJobWindow& window) {
    if (BusyCheck(window)) return;
    StartJob(window.session(), "mp3 to wav", [&window] { Mp3ToWavJob(window); });
}

void SaveAsMp3Command(IJobWindow& window, std::string suggestedName) {
    if (BusyCheck(window)) return;
    if (!window.session().engine.CallSetCancelEncode(0)) return;
    StartJob(window.session(), "save as mp3",
             [&window, name = std::move(suggestedName)] { SelectionToMp3Job(window, name); });
}

void WavToMp3Job(IJobWindow& window) {
    Session& session = window.session();
    JobEnd end(session.job);
    const std::optional<std::string> wav = AskOpen("wav", kWavFilter);
    if (!wav) return;
    const std::optional<std::string> mp3 = AskSave("mp3", kMp3Filter);
    if (!mp3) return;

    TimerRun timer(window, kEncodeTimer, kWavToMp3TimerMs);
    session.engine.CallSetNoBad();
    const VxMymp3Fn mymp3 = session.engine.LookUpMymp3();
    if (!mymp3) return;
    // Always the best variable-bit-rate quality, whatever the settings say.
    EncoderArgs& args = session.encoderArgs;
    args.SetSlot(1, "-V");
    args.SetSlot(2, "0");
    args.SetSlot(3, kPlaceholderWav);
    args.SetSlot(4, kPlaceholderTmpMp3);
    args.count = 5;
    const int result = CallMymp3(mymp3, args, *wav, *mp3);
    ReportConversion(result);
}

void Mp3ToWavJob(IJobWindow& window) {
    Session& session = window.session();
    JobEnd end(session.job);
    const std::optional<std::string> mp3 = AskOpen("mp3", kMp3Filter);
    if (!mp3) return;
    const std::optional<std::string> wav = AskSave("wav", kWavFilter);
    if (!wav) return;

    TimerRun timer(window, kDecodeTimer, kDecodeTimerMs);
    session.engine.CallSetNoBad();
    const VxMymp3Fn mymp3 = session.engine.LookUpMymp3();
    if (!mymp3) return;
    EncoderArgs& args = session.encoderArgs;
    args.SetSlot(1, "--decode");
    args.SetSlot(2, kPlaceholderMp3);
    args.SetSlot(3, kPlaceholderTmpWav);
    args.count = 4;
    const int result = CallMymp3(mymp3, args, *mp3, *wav);
    ReportConversion(result);
}

void DecodeForOpenJob(IJobWindow& window, const std::string& mp3Path) {
    Session& session = window.session();
    JobEnd end(session.job);
    TimerRun timer(window, kDecodeTimer, kDecodeTimerMs);
    session.engine.CallSetNoBad();
    const std::string staging = StagingWavPath();
    if (!DecodeSongToStaging(session, mp3Path, staging)) {
        platform::RemoveFile(staging);
        platform::ShowMessage(kNotSupported);
        return;
    }
    // Only now does the decoded song replace the open one.
    const std::string temp = TempWavPath();
    if (std::rename(staging.c_str(), temp.c_str()) != 0) {
        platform::RemoveFile(staging);
        platform::ShowMessage("Can't generate TEMP wav file!");
        return;
    }
    session.job.SetCurrentWavPath(temp, media::ReadTags(mp3Path).value_or(media::SongTags{}));
    window.SetCurrentFile(mp3Path);
    timer.Stop();
    window.SetProgressPos(0);
    window.LoadFileIntoEditor(temp);
    window.RepaintWindow();
}

void SelectionToMp3Job(IJobWindow& window, const std::string& suggestedName) {
    Session& session = window.session();
    {
        JobEnd end(session.job);
        const std::string segment = SegmentWavPath();
        StudioSettings& settings = session.settings;
        const std::optional<std::string> mp3 =
            AskSave("MP3", kMp3Filter, settings.saveAsMp3Folder, suggestedName);
        if (mp3) {
            TimerRun timer(window, kEncodeTimer, kRingtoneTimerMs);
            settings.RememberFolderOf(FolderSlot::SaveAsMp3, *mp3);
            bool cut = false;
            try {
                cut = ShowCutResult(CutShapedSelection(session, segment, window.Selection()));
            } catch (const InvalidFileError& error) {
                platform::ShowMessage(error.what(), platform::MsgIcon::Error);
            }
            // A failed cut ends here, without the progress bar's 100 (its messages are shown).
            if (!cut) return;

            EncoderArgs& args = session.encoderArgs;
            args.inputIsWav = 1;
            BuildEncoderArgs(args, settings);
            const media::SongTags song = session.job.CurrentSongTags();
            AddTitleAndArtist(args, song.title, song.artist);
            session.engine.CallSetNoBad();
            if (const VxMymp3Fn mymp3 = session.engine.LookUpMymp3()) {
                const int result = CallMymp3(mymp3, args, segment, *mp3);
                if (result != 0) {
                    platform::ShowMessage(kNotSupported);
                } else {
                    platform::ShowSuccess("Ring Tone Created!");
                }
            }
        }
    }
    window.SetProgressPos(100);
    platform::RemoveFile(SegmentWavPath());
}

std::optional<int> JobTimerPosition(Session& session, int id) {
    if (id == kDecodeTimer) {
        const double percent = session.songDecoding ? session.songDecoder.percent()
                                                    : session.engine.GetDecode2WavPercent();
        return static_cast<int>(std::trunc(percent));
    }
    if (id == kEncodeTimer) return session.engine.GetEncode2Mp3Percent();
    return std::nullopt;
}

}  // namespace studio
