// A recorder the control offers: its three description strings, speeds, media checks, and the
// write itself.
#pragma once

#include <cstdint>
#include <string>

#include "components/cd_writer/write_session.h"

namespace cd_writer {

class IRecorder {
  public:
    virtual ~IRecorder() = default;

    virtual std::string Text1() const = 0;
    virtual std::string Text2() const = 0;
    virtual std::string Text3() const = 0;

    // Makes this the current recorder; false when it cannot be used.
    virtual bool Select() = 0;
    // Highest write speed in "x" units; 0 when the recorder has no speeds to choose.
    virtual int MaxWriteSpeed() = 0;
    virtual bool HasWritableMedia() = 0;
    // Non-zero when the disc already holds something.
    virtual int32_t DiscUsage() = 0;
    virtual bool IsBurnProofSupported() = 0;

    // Carries out the whole write on the calling (worker) thread, firing its events through
    // `session` and ending with exactly one of its endings.
    virtual void Write(WriteSession& session) = 0;
    // The file a write left, for recorders that write one (a disc image's CUE sheet).
    virtual std::string LastImage() const { return {}; }
};

}  // namespace cd_writer
