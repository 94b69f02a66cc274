// An output file that appears under its name only when it is complete: it is written to a hidden
// temporary file in the target's folder and renamed over the target by Commit(). A job that fails
// or is cancelled leaves the target as it was.
#pragma once

#include <cstdio>
#include <string>

namespace vxmpp {

class StagedFile {
  public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates the temporary file beside `target`. False when the folder is not writable.
    bool Create(const std::string& target);
    std::FILE* file() const { return file_; }
    // Closes the temporary file and renames it to the target. False when writing failed.
    bool Commit();

  private:
    void Discard();

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
};

}  // namespace vxmpp
