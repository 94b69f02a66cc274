// Every way a part leaves the studio (saved as WAV, MP3, MMF or phone ringtone, or played)
// gets the same clean cut: the chosen fades and normalising are applied to the cut-out part,
// never to the song in the editor.
#pragma once

#include <cstdint>
#include <string>

#include "studio/jobs.h"
#include "studio/ringtone_shaping.h"
#include "studio/wav.h"

namespace studio {

// The fades and normalising the user chose (the session's ringtone choices).
RingtoneShaping CurrentShaping(const Session& session);

// Cuts the selection of `editor` out of `sourceWav` into `target` as the segment writer does
// (same refusals, same messages) and applies `shaping` to it. With shaping the cut goes to a
// file beside the target first, so the target only ever appears complete and shaped; a shaped
// part that cannot be read back or written is refused with RingtoneWriteError's text and the
// error icon. Raises InvalidFileError as the segment writer does.
CutResult CutShapedSelection(const std::string& target, ISelectionSource& editor,
                             const std::string& sourceWav, const RingtoneShaping& shaping);
// The same from the session's current WAV with the user's choices.
CutResult CutShapedSelection(Session& session, const std::string& target, ISelectionSource& editor);

// The message shown when a shaped or phone ringtone could not be written.
std::string RingtoneWriteError(const std::string& target, const std::string& why);

// "Save as phone ringtone...": the busy check, then the job on a worker: the save dialog with
// the four phone types, the cut, the 40-second question for a long M4R part, the shaping and
// the encode (MP3 through the codec engine with the MP3 settings, the others with FFmpeg's
// libraries), with progress on the window's bar. A file is written whole or not at all.
void SavePhoneRingtoneCommand(IJobWindow& window);
void SavePhoneRingtoneJob(IJobWindow& window);

// The M4R length question, and the part of `wave` that is kept for each answer: Yes keeps the
// first kM4rMaxSeconds, No the whole part; false for Cancel (nothing is written).
inline constexpr const char* kM4rTooLongQuestion =
    "iPhone plays ringtones of up to 40 seconds. Save the first 40 seconds?";
bool AskM4rLength(CWave& wave);

}  // namespace studio
