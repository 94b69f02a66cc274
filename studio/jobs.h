// The conversion jobs of the main window: WAV to MP3, MP3 to WAV, decoding an opened MP3 for the
// wave editor, and encoding the editor's selection as an MP3 ringtone. Each runs on a worker of
// the window's session while the window's timers poll the codec engine's percentages into the
// progress bar; the session's busy flag (studio/job_state.h) lets one job run at a time.
//
// The jobs see the main window only through IJobWindow, so that tests run them against a fake.
#pragma once

#include <optional>
#include <string>

#include "studio/wav.h"

namespace studio {

class Session;

// Timer ids of the main window used by the jobs, and their periods in ms.
inline constexpr int kDecodeTimer = 1;
inline constexpr int kEncodeTimer = 2;
inline constexpr int kDecodeTimerMs = 50;
inline constexpr int kWavToMp3TimerMs = 50;
inline constexpr int kRingtoneTimerMs = 100;

// What the jobs need of the main window. Apart from IsPlaying, the calls come from the job's
// worker thread: an implementation carries them over to the user-interface thread.
class IJobWindow {
  public:
    virtual ~IJobWindow() = default;

    // The session the window belongs to: its settings, codec engine, busy flag, current WAV and
    // workers. Safe on any thread.
    virtual Session& session() = 0;

    // Progress bar position, 0 to 100.
    virtual void SetProgressPos(int pos) = 0;
    // Starts (or restarts) window timer `id` with a period of `ms`; stops it.
    virtual void StartJobTimer(int id, int ms) = 0;
    virtual void StopJobTimer(int id) = 0;
    // The wave editor's LoadFile.
    virtual void LoadFileIntoEditor(const std::string& path) = 0;
    // Repaints the window without erasing its background.
    virtual void RepaintWindow() = 0;
    // The wave editor's selection, read by the segment writer.
    virtual ISelectionSource& Selection() = 0;
    // The current file: the opened MP3's path, shown as "File-> %s".
    virtual void SetCurrentFile(const std::string& path) = 0;
    // Whether a selection is being played (read on the user-interface thread).
    virtual bool IsPlaying() const = 0;
};

// The temporary files of the jobs, in the scratch folder: the decoded sound of the opened MP3
// (the current WAV), the file a new MP3 is decoded into before it replaces the current WAV, and
// the cut-out segment of "Save as mp3".
std::string TempWavPath();
std::string StagingWavPath();
std::string SegmentWavPath();

// Shows "Stop playing the song first!" while a selection plays, else "Please wait..." while a
// job runs, and answers true in both cases; false without a message otherwise.
bool BusyCheck(IJobWindow& window);

// The songs that "Open mp3", drops and the command line take, by their extension (any case):
// MP3s, which the codec engine decodes, and the other music files of media::DecodedExtensions
// (WAV, FLAC, Ogg Vorbis, Opus, M4A/AAC, WMA), which FFmpeg's libraries decode.
bool IsSongFileName(const std::string& path);
// The open dialog's filter: the MP3 filter first, then "All audio files" with every song's
// extension.
std::string OpenSongFilter();

// "Open mp3" and drops: for a song path (IsSongFileName) while no job runs, the decode job starts
// into the staging WAV; any other path is refused with "The specified file is not supported by
// the software!". The open song, its name and its WAV are left alone until a decode succeeds.
void PrepareDecode(IJobWindow& window, const std::string& path);

// The commands that start a job: the busy check, arming the engine's cancel flag where the
// command does, then the job on a worker of the session. The busy flag is taken here, on the
// user-interface thread, before the worker starts, so that two quick commands never start two
// jobs. The save
// dialog of "Save as mp3" suggests `suggestedName` (nothing when empty).
void WavToMp3Command(IJobWindow& window);
void Mp3ToWavCommand(IJobWindow& window);
void SaveAsMp3Command(IJobWindow& window, std::string suggestedName = {});

// The job procedures, run on the worker thread once the busy flag has been taken for them. Each
// one gives the flag back at each of its ends. `mp3Path` is the file the decoder opens (the codec
// engine for an MP3, FFmpeg's libraries for another song); when it decodes, the staging WAV
// becomes the temporary WAV (the current WAV, with the song's tags), `mp3Path` the current file
// and the editor loads it; when it does not, nothing of the open song changes.
void WavToMp3Job(IJobWindow& window);
void Mp3ToWavJob(IJobWindow& window);
void DecodeForOpenJob(IJobWindow& window, const std::string& mp3Path);
void SelectionToMp3Job(IJobWindow& window, const std::string& suggestedName = {});

// Timer handler of the two job timers: the progress position that timer `id` shows (the decode
// percentage truncated toward zero for timer 1, of whichever decoder runs; the encode percentage
// for timer 2); nullopt for any other timer.
std::optional<int> JobTimerPosition(Session& session, int id);

}  // namespace studio
