// The burning library behind IBurnLibrary / IBurnDrive: drives found by libburn, audio tracks
// written in session-at-once mode with CD-Text, fed through a socket pair per track.
#pragma once

#include <memory>

#include "components/cd_writer/burn_drive.h"

namespace cd_writer {

// Initialises libburn on first use; with no drive (or no libburn at run time) Scan() is empty.
std::unique_ptr<IBurnLibrary> NewLibburnLibrary();

}  // namespace cd_writer
