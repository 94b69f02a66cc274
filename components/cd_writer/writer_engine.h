// The CD-writer control without its widget: the members by dispatch id, the recorder list (the
// disc image recorder first, then every real drive), the project's tracks and the write's worker
// thread. Events go to the sink from the worker; the control queues them to the GUI thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "components/cd_writer/recorder.h"
#include "platform/control_host.h"

namespace cd_writer {

using RecorderList = std::vector<std::unique_ptr<IRecorder>>;
// Lists the recorders; called once, when the host first asks for them.
using RecorderSource = std::function<RecorderList()>;

// The recorders of this machine: the disc image recorder, then the drives libburn finds.
RecorderList MachineRecorders();

class WriterEngine {
  public:
    WriterEngine(RecorderSource source, EventSink sink);
    ~WriterEngine();  // aborts a running write and waits for it
    WriterEngine(const WriterEngine&) = delete;
    WriterEngine& operator=(const WriterEngine&) = delete;

    platform::InvokeStatus Invoke(int dispatchId, platform::InvokeKind kind,
                                  const platform::VariantList& args, platform::Variant* result);

    bool IsWriting() const { return writing_.load(); }
    // Waits until the worker of the last write has ended.
    void Join();
    IRecorder* Recorder(size_t index);
    const WriteOptions& options() const { return options_; }

  private:
    RecorderList& Recorders();
    IRecorder* Current();
    bool AddTrack(const std::string& path, int index);
    bool SetTrackText(int index, const std::string& title, const std::string& performer);
    bool StartWrite();

    RecorderSource source_;
    EventSink sink_;
    std::unique_ptr<RecorderList> recorders_;
    int selected_ = -1;
    std::vector<std::string> tracks_;
    std::vector<TrackText> texts_;  // by track; empty fields keep the song's own
    WriteOptions options_;
    bool writeOption5_ = false;
    int32_t writeMode7_ = 0;
    std::atomic<bool> abort_{false};
    std::atomic<bool> writing_{false};
    std::thread worker_;
};

}  // namespace cd_writer
