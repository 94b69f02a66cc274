// One run of the ringtone studio, or one command of the command line: the settings record, the
// program's arguments, the codec engine and its argument vector, the jobs' busy flag and current
// WAV, the ringtone choices, the CD lists and the ripper's state, and the worker threads of the
// run's jobs. It is made at start-up and handed to the windows and the jobs; nothing of it is
// process-wide, so a test makes a session of its own for each case.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "media/audio_decoder.h"
#include "platform/worker.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/job_state.h"
#include "studio/ringtone_options.h"
#include "studio/settings.h"
#include "studio/tools/cd_drives.h"
#include "studio/tools/cd_rip.h"

namespace studio {

class Session {
  public:
    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    // The workers are the last member: they are joined before anything they use goes away.
    ~Session() = default;

    // The start-up sequence of the settings: defaults, `file` read over them and written straight
    // back, the ripper's working copy taken, the ringtone choices read.
    void LoadSettings(const std::string& file = SettingsFileName());
    // Copies the record's ripper block into the working copy (start-up and each ripper dialog).
    void CopyRipperOptionsToWorkingCopy() { ripperWorkingCopy = settings.ripper; }

    // Binds the codec engine from the system directory and, once bound, allocates the argument
    // buffers of the shared vector. False when binding failed (the main window then shows
    // "Invalid installation!\nReturn now!" and ends).
    bool BindCodecEngine();

    // The command line the run was started with (argv[1] on), byte for byte.
    std::vector<std::string> arguments;

    StudioSettings settings;
    // The ripper's working copy of the settings' option block.
    RipperOptions ripperWorkingCopy;
    // The ringtone tools' choices, changed on the user-interface thread; jobs read them through
    // RingtoneOptionsSnapshot.
    RingtoneOptions ringtone;

    CodecEngine engine;
    // The vector of the main window's jobs, used by one job at a time under the busy flag.
    EncoderArgs encoderArgs;
    JobState job;
    // The decoder of songs other than MP3s; `songDecoding` says that it, not the codec engine,
    // decodes the open song (the progress timer reads whichever runs).
    media::AudioDecoder songDecoder;
    std::atomic<bool> songDecoding{false};

    // The CD drives, the current disc's tracks and the current drive, which survive closing the
    // ripper; and the ripper's own state.
    CdLists cd;
    RipperState ripper;

    platform::Workers workers;
};

}  // namespace studio
