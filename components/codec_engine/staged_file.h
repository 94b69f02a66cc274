// An output file that appears under its name only when it is complete and on disk: it is written
// to a hidden temporary file in the target's folder and given the target's name by Commit(). A
// job that fails or is cancelled leaves the target as it was.
//
// The temporary name carries the writer's process id (".NAME.part-PID-XXXXXX"), so that the
// leftovers of a process that was killed can be told from files still being written.
#pragma once

#include <cstdio>
#include <string>

namespace vxmpp {

class StagedFile {
  public:
    // How Commit() takes the target's name.
    enum class Claim {
        Replace,    // renamed over whatever stands there; a symbolic link is written through
        NoReplace,  // only when nothing stands there: another run's result is never replaced
    };
    enum class CommitResult { Done, Failed, NameTaken };

    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates the temporary file beside `target` (beside the file a link at `target` points to,
    // when replacing). False when the folder is not writable.
    bool Create(const std::string& target, Claim claim = Claim::Replace);
    std::FILE* file() const { return file_; }
    // The temporary file's path, for a step that changes the written file by name (tagging)
    // before Commit; call Flush first so that everything written through file() is in it.
    const std::string& temporaryPath() const { return temp_; }
    // Hands what file() buffers to the file. False when writing failed.
    bool Flush();
    // Flushes the temporary file to the disk, closes it and gives it the target's name. Failed
    // when writing failed; NameTaken (NoReplace only) when something stands at the target.
    CommitResult Commit();

  private:
    void Discard();

    std::string target_;
    std::string temp_;
    Claim claim_ = Claim::Replace;
    std::FILE* file_ = nullptr;
};

// The hidden temporary name's marker: ".NAME" + kStagedMarker + "PID-XXXXXX".
inline constexpr const char* kStagedMarker = ".part-";

}  // namespace vxmpp
