// The folders the programs use, in place of the Windows system and Windows directories.
#pragma once

#include <string>

namespace platform {

// The folder holding the outside components (VxMpp.so, vexmor.so, wscma2u, ...).
// VEXMOR_SYSTEM_DIR overrides it; by default it is lib/vexmor beside the program's bin/ folder.
// No trailing separator.
std::string SystemDirectory();

// The scratch folder of this process (vxtmp.wav, vx.wav): ScratchRoot()/<process id>, made on
// first use, so that two studios never share a scratch file. It holds a lock file that stays
// locked while the process runs; the folder is removed when the process exits, and folders of
// processes that no longer run are removed when a new one is made. No trailing separator.
std::string ScratchFolder();

// The per-user folder that holds the scratch folders: $XDG_CACHE_HOME/ringsmith, created on
// first use. The decode command is split at spaces, so this path never holds one: when the
// cache folder's path has a blank (or the folder cannot be made), the private folder
// /tmp/ringsmith-<uid> is used instead, or a fresh /tmp/ringsmith-XXXXXX when that name is
// taken by something that is not this user's private folder. No trailing separator.
std::string ScratchRoot();

// Removes the scratch folders of this user's processes that no longer run (done anyway when a
// process makes its own scratch folder), for programs that have none.
void RemoveEndedScratchFolders();

// Removes from `folder` the unfinished files that processes which no longer run left behind when
// they were killed: regular files of this user named "NAME.part-PID-X" (the codec engine's hidden
// ".NAME.part-PID-XXXXXX", the segment writer's "NAME.part-PID-N") whose process PID has ended.
void RemoveEndedPartFiles(const std::string& folder);

// The folder of the settings file: $XDG_CONFIG_HOME/ringsmith (default ~/.config/ringsmith).
std::string SettingsFolder();

// The user's home folder; it stands in for the drive root "c:\" of the design's defaults.
std::string HomeFolder();

// Full path of the running program, and its folder (no trailing separator).
std::string ProgramPath();
std::string ProgramFolder();

// Shared data installed with the programs (help books): share/vexmor beside bin/.
std::string ShareFolder();

// Maps a folder of the design's Windows spelling onto this platform: "c:\" becomes the home
// folder with a trailing separator, "c:\Vexmorringtone" becomes ~/Vexmorringtone, and any other
// text only has its '\' turned into '/'.
std::string MapDesignFolder(const std::string& windowsFolder);

}  // namespace platform
