// The burning library behind IBurnLibrary / IBurnDrive: drives found by libburn, audio tracks
// written in session-at-once mode with CD-Text, fed through a socket pair per track.
#pragma once

#include <memory>
#include <vector>

#include "components/cd_writer/burn_drive.h"

namespace burn {
struct burn_disc;
}

namespace cd_writer {

// Initialises libburn on first use; with no drive (or no libburn at run time) Scan() is empty.
std::unique_ptr<IBurnLibrary> NewLibburnLibrary();

// The disc a write hands libburn: one session of audio tracks, each read from its file
// descriptor, with CD-Text (ISO-8859-1, English) for the session and every track. Takes the
// descriptors in every case (the track sources close them when the disc is freed with
// burn_disc_free); null when libburn cannot be used or refuses a part.
burn::burn_disc* NewLibburnDisc(const std::vector<BurnTrack>& tracks,
                                const std::vector<int>& readFds);

// The failure libburn reported since the last call: the first message of severity SORRY or
// worse gives the text, the first with SCSI sense data the sense. Empties the message queue.
BurnFailure CollectLibburnFailure();

}  // namespace cd_writer
