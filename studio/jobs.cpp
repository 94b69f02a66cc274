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
#include "platform/worker.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/job_state.h"
#include "studio/ringtone_save.h"
#include "studio/settings.h"

namespace studio {
namespace {

constexpr auto kFileSettle = std::chrono::milliseconds(200);

const char* const kWavFilter = "WAV files(*.wav)|*.wav||";
const char* const kMp3Filter = "MP3 files(*.mp3)|*.mp3||";
const char* const kNotSupported = "The specified file is not supported by the software!";

// Releases jobRunning when a job procedure returns, whichever way it returns.
class JobEnd {
  public:
    ~JobEnd() { EndJob(); }
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

// Starts `job` on a worker once jobRunning has been taken; gives it back when no thread starts.
void StartJob(const char* name, std::function<void()> job) {
    if (!TryStartJob()) {
        platform::ShowMessage("Please wait...");
        return;
    }
    if (!platform::StartWorker(name, std::move(job))) EndJob();
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

// The decoder of songs other than MP3s; one open runs at a time (jobRunning), and timer 1 reads
// its percentage while `g_songDecoding` says that it, not the codec engine, decodes.
media::AudioDecoder& SongDecoder() {
    static media::AudioDecoder decoder;
    return decoder;
}
std::atomic<bool> g_songDecoding{false};

// Decodes the song at `path` into the staging WAV: an MP3 through the codec engine (with the
// vector PrepareDecode split), any other song through FFmpeg's libraries.
bool DecodeSongToStaging(const std::string& path, const std::string& staging) {
    if (IsMp3Name(path)) {
        const VxMymp3dFn mymp3d = Engine().LookUpMymp3d();
        EncoderArgs& args = SharedEncoderArgs();
        // Without a decoder the staging file stays empty: that is no song to show either.
        return mymp3d && mymp3d(args.count, args.slot, path.c_str()) == 0;
    }
    struct Decoding {
        Decoding() { g_songDecoding = true; }
        ~Decoding() { g_songDecoding = false; }
    } decoding;
    return SongDecoder().DecodeToWav(path, staging);
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

bool BusyCheck(const IJobWindow& window) {
    if (window.IsPlaying()) {
        platform::ShowMessage("Stop playing the song first!");
        return true;
    }
    if (jobRunning.load() == 1) {
        platform::ShowMessage("Please wait...");
        return true;
    }
    return false;
}

void PrepareDecode(IJobWindow& window, const std::string& path) {
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
    if (jobRunning.load() != 0) {
        platform::RemoveFile(staging);
        return;
    }
    const std::string command =
        std::string("--decode") + " " + kPlaceholderInputMp3 + " " + staging;
    if (IsMp3Name(path) && !SplitCommandLine(command)) {
        // The scratch path is too long for an argument slot.
        refuse("Can't generate TEMP wav file!");
        return;
    }
    if (!TryStartJob()) {
        platform::RemoveFile(staging);
        return;
    }
    if (!platform::StartWorker("decode", [&window, path] { DecodeForOpenJob(window, path); })) {
        EndJob();
        platform::RemoveFile(staging);
    }
}

void WavToMp3Command(IJobWindow& window) {
    if (BusyCheck(window)) return;
    if (!Engine().CallSetCancelEncode(0)) return;
    StartJob("wav to mp3", [&window] { WavToMp3Job(window); });
}

void Mp3ToWavCommand(IJobWindow& window) {
    if (BusyCheck(window)) return;
    StartJob("mp3 to wav", [&window] { Mp3ToWavJob(window); });
}

void SaveAsMp3Command(IJobWindow& window, std::string suggestedName) {
    if (BusyCheck(window)) return;
    if (!Engine().CallSetCancelEncode(0)) return;
    StartJob("save as mp3", [&window, name = std::move(suggestedName)] {
        SelectionToMp3Job(window, name);
    });
}

void WavToMp3Job(IJobWindow& window) {
    JobEnd end;
    const std::optional<std::string> wav = AskOpen("wav", kWavFilter);
    if (!wav) return;
    const std::optional<std::string> mp3 = AskSave("mp3", kMp3Filter);
    if (!mp3) return;

    TimerRun timer(window, kEncodeTimer, kWavToMp3TimerMs);
    Engine().CallSetNoBad();
    const VxMymp3Fn mymp3 = Engine().LookUpMymp3();
    if (!mymp3) return;
    // Always the best variable-bit-rate quality, whatever the settings say.
    EncoderArgs& args = SharedEncoderArgs();
    args.SetSlot(1, "-V");
    args.SetSlot(2, "0");
    args.SetSlot(3, kPlaceholderWav);
    args.SetSlot(4, kPlaceholderTmpMp3);
    args.count = 5;
    const int result = CallMymp3(mymp3, args, *wav, *mp3);
    ReportConversion(result);
}

void Mp3ToWavJob(IJobWindow& window) {
    JobEnd end;
    const std::optional<std::string> mp3 = AskOpen("mp3", kMp3Filter);
    if (!mp3) return;
    const std::optional<std::string> wav = AskSave("wav", kWavFilter);
    if (!wav) return;

    TimerRun timer(window, kDecodeTimer, kDecodeTimerMs);
    Engine().CallSetNoBad();
    const VxMymp3Fn mymp3 = Engine().LookUpMymp3();
    if (!mymp3) return;
    EncoderArgs& args = SharedEncoderArgs();
    args.SetSlot(1, "--decode");
    args.SetSlot(2, kPlaceholderMp3);
    args.SetSlot(3, kPlaceholderTmpWav);
    args.count = 4;
    const int result = CallMymp3(mymp3, args, *mp3, *wav);
    ReportConversion(result);
}

void DecodeForOpenJob(IJobWindow& window, const std::string& mp3Path) {
    JobEnd end;
    TimerRun timer(window, kDecodeTimer, kDecodeTimerMs);
    Engine().CallSetNoBad();
    const std::string staging = StagingWavPath();
    if (!DecodeSongToStaging(mp3Path, staging)) {
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
    SetCurrentWavPath(temp, media::ReadTags(mp3Path).value_or(media::SongTags{}));
    window.SetCurrentFile(mp3Path);
    timer.Stop();
    window.SetProgressPos(0);
    window.LoadFileIntoEditor(temp);
    window.RepaintWindow();
}

void SelectionToMp3Job(IJobWindow& window, const std::string& suggestedName) {
    {
        JobEnd end;
        const std::string segment = SegmentWavPath();
        StudioSettings& settings = Settings();
        const std::optional<std::string> mp3 =
            AskSave("MP3", kMp3Filter, settings.saveAsMp3Folder, suggestedName);
        if (mp3) {
            TimerRun timer(window, kEncodeTimer, kRingtoneTimerMs);
            settings.RememberFolderOf(FolderSlot::SaveAsMp3, *mp3);
            bool cut = false;
            try {
                cut = CutShapedSelection(segment, window.Selection());
            } catch (const InvalidFileError& error) {
                platform::ShowMessage(error.what(), platform::MsgIcon::Error);
            }
            // A failed cut ends here, without the progress bar's 100 (its messages are shown).
            if (!cut) return;

            EncoderArgs& args = SharedEncoderArgs();
            args.inputIsWav = 1;
            BuildEncoderArgs(args, settings);
            const media::SongTags song = CurrentSongTags();
            AddTitleAndArtist(args, song.title, song.artist);
            Engine().CallSetNoBad();
            if (const VxMymp3Fn mymp3 = Engine().LookUpMymp3()) {
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

std::optional<int> JobTimerPosition(int id) {
    if (id == kDecodeTimer) {
        const double percent =
            g_songDecoding ? SongDecoder().percent() : Engine().GetDecode2WavPercent();
        return static_cast<int>(std::trunc(percent));
    }
    if (id == kEncodeTimer) return Engine().GetEncode2Mp3Percent();
    return std::nullopt;
}

}  // namespace studio
