// The disc image recorder: its "disc" is a blank 80-minute CD-R, and a write leaves a CUE sheet
// with its BIN file and the same disc as a cdrdao TOC file (x.cue + x.bin + x.toc, named after
// the time of the write, "-2", "-3", ... when that name is taken) in the disc image folder.
// Tracks are decoded on every core, each straight into its place in the BIN, while the events
// report them in disc order. Before the image is handed over it is read back through libcdio, as
// a ripper reads it, and every track's samples are compared with what was written.
#pragma once

#include <functional>
#include <string>

#include "components/cd_writer/recorder.h"

namespace cd_writer {

class ImageRecorder : public IRecorder {
  public:
    // `folder` with a trailing '/'; by default the disc image folder.
    explicit ImageRecorder(std::string folder = {});

    std::string Text1() const override { return "Disc image"; }
    std::string Text2() const override { return "audio CD"; }
    std::string Text3() const override { return folder_; }
    bool Select() override { return true; }
    int MaxWriteSpeed() override { return 0; }
    // True when the folder exists or can be made, and can be written to.
    bool HasWritableMedia() override;
    // Each write makes a fresh image.
    int32_t DiscUsage() override { return 0; }
    bool IsBurnProofSupported() override { return false; }
    void Write(WriteSession& session) override;

    // The CUE sheet of the last image written, empty before the first.
    const std::string& lastImage() const { return lastImage_; }
    std::string LastImage() const override { return lastImage_; }
    // For tests: called with the BIN file's path between writing and reading back.
    void SetBeforeReadBack(std::function<void(const std::string& binPath)> hook) {
        beforeReadBack_ = std::move(hook);
    }

  private:
    std::string folder_;
    std::string lastImage_;
    std::function<void(const std::string&)> beforeReadBack_;
};

}  // namespace cd_writer
