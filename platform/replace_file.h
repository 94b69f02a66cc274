// The one way the programs replace a file: the new bytes go to a private temporary file beside
// the target, reach the disk, take the old file's permissions and only then are renamed over
// it. A failure at any step (no room, no permission, a bad name) leaves the old file exactly as
// it was and no temporary file behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What to do when the target's folder refuses the temporary file but the target itself may be
// written: fail (settings, projects), or rewrite the target in place (playlists the user keeps in
// a folder that is not theirs).
enum class WhenFolderRefuses { Fail, RewriteInPlace };

// Replaces (or creates) `path` with `bytes`. A target that is a symbolic link is replaced where
// the link points, so the link survives; a file that exists but may not be written (the user made
// it read-only) is left alone. False when the file was not replaced completely.
bool WriteFileReplacing(const std::string& path, std::string_view bytes,
                        WhenFolderRefuses whenFolderRefuses = WhenFolderRefuses::Fail);

// Gives the finished file `finished` (in the target's folder) the name `target`: its bytes reach
// the disk, it is renamed over whatever stands at `target`, and the folder's new entry reaches the
// disk. A symbolic link at `target` is itself replaced, so the file it leads to is left as it was;
// a link at `finished` is refused, not moved into place. False, with `finished` left under its
// own name, when a step fails.
bool RenameIntoPlace(const std::string& finished, const std::string& target);

// Claims a fresh name for an unfinished file, `prefix` + ".part-PID-N" (what
// RemoveEndedPartFiles sweeps after a killed run), by creating it empty and exclusively, so a
// writer handed the name never follows a link someone left there. Nullopt, with `error` set to
// the system's reason, when no name could be created.
std::optional<std::string> ClaimUnfinishedName(const std::string& prefix,
                                               std::string* error = nullptr);

}  // namespace platform
