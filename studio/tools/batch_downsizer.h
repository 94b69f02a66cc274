// The conversion runs of the batch down-sizer, apart from its window: the output-name rule, the
// checks of the output folder, the workers of Convert Single and Convert All with their log, and
// the encoding of one file with the current MP3 settings.
//
// The runs see the window only through IDownsizerWindow, so that tests and the benchmark drive
// them without one.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "studio/settings.h"

namespace studio {

class Session;

// The output path of `source` in `outputFolder` (which ends in a separator): the folder plus
// the source's name; while something (even a dangling link) exists there, its last four
// characters are replaced by "_N.mp3", N counting from 0, so suffixes add up (a_0.mp3,
// a_0_1.mp3). A source is therefore never the output.
std::string DownsizerOutputPath(const std::string& outputFolder, const std::string& source);
// The same rule when several files are converted at once: a name for which `taken` answers true
// (an output another conversion of the run is still writing) counts as standing there too.
std::string DownsizerOutputPath(const std::string& outputFolder, const std::string& source,
                                const std::function<bool(const std::string&)>& taken);

// One file of a Convert All run.
struct ConversionLogEntry {
    std::string source;
    std::string output;
    int ok = 0;  // 1 encoded cleanly, 0 the engine reported a bad result
};

// What the runs need of the window. Called from the worker thread; the window carries each call
// over to its own thread (the list is a widget) and waits for it there.
class IDownsizerWindow {
  public:
    virtual ~IDownsizerWindow() = default;

    virtual int RowCount() = 0;
    // -1 when no row is selected.
    virtual int SelectedRow() = 0;
    virtual void SelectRow(int row) = 0;
    // The full path of row `row` (its fourth column); empty for a row that is gone.
    virtual std::string RowPath(int row) = 0;
    virtual void SetProgressPos(int pos) = 0;
    // Timer 1, which shows the engine's percentage while a run encodes.
    virtual void StartProgressTimer() = 0;
    virtual void StopProgressTimer() = 0;
    // The track list's busy flag: a double-click then only shows "Please wait...".
    virtual void SetListBusy(bool busy) = 0;
    // The settings record as it is now; read per file, so a change applies from the next file.
    virtual StudioSettings CurrentSettings() = 0;
    // Stores the output folder of a run (with its separator) and writes its key.
    virtual void RememberOutputFolder(const std::string& folder) = 0;
    // After a run: whether failed files wait in the log.
    virtual void ShowLogButton(bool show) = 0;
};

class CBatchDownsizer {
  public:
    enum class Command { ConvertSingle, ConvertAll };

    // Timer 1's period while a run encodes, and the pause before each file.
    static constexpr int kTimerMs = 20;
    static constexpr int kSettleMs = 200;

    // The runs encode through the session's codec engine and argument vector, on its workers.
    explicit CBatchDownsizer(Session& session) : session_(session) {}
    CBatchDownsizer(const CBatchDownsizer&) = delete;
    CBatchDownsizer& operator=(const CBatchDownsizer&) = delete;
    // Waits for a worker that still runs (see WaitForWorker).
    ~CBatchDownsizer();

    // Nonzero while a run converts files.
    bool busy() const { return busy_.load() != 0; }
    // True from the start of a worker until it has returned.
    bool workerRunning() const { return workerRunning_.load() != 0; }

    // What a convert command came to: a worker started, or a refusal with the message the
    // window shows (empty when there is nothing to say: busy, or the engine lacks an entry point).
    struct StartResult {
        bool started = false;
        std::string refusal;
    };
    // The convert commands on the window's thread: ignored while busy; an empty folder text
    // ("Input or select a output path for your mp3s first." for Convert All, "Input or select a
    // path for your mp3s first." for Convert Single), a folder that cannot be made ("Please set a
    // valid path!") or a missing engine entry point (no message) refuse them; otherwise the
    // engine's cancel flag is cleared and the worker started on the session's workers.
    StartResult Start(Command command, const std::string& folderText, IDownsizerWindow& window);
    // The worker bodies, for Start and for callers that run a conversion on their own thread.
    void ConvertSingleJob(IDownsizerWindow& window, const std::string& folder);
    void ConvertAllJob(IDownsizerWindow& window, const std::string& folder);

    // Encodes `source` into `output` as both commands do: the vector built from `settings`
    // for MP3 input (with the source's tags copied into the output before it takes its name),
    // the settle pause, the engine's bad indicator cleared, then its encoder.
    // The engine's result; -1 when the engine lacks the encoder.
    static int EncodeFile(Session& session, const std::string& source, const std::string& output,
                          const StudioSettings& settings, int settleMs = kSettleMs);
    // The engine's result when another file took the output's name while it encoded.
    static constexpr int kNameTaken = 6;
    // EncodeFile into `output`, which never replaces a file: when something (another run's
    // result) takes the name while the file is encoded, the output-name rule picks the next
    // free name in the same folder and the file is encoded again. `output` ends as the name used.
    static int EncodeFileToFreeName(Session& session, const std::string& source,
                                    std::string& output, const StudioSettings& settings,
                                    int settleMs = kSettleMs);

    // The last Convert All run's entries; read when no run is busy.
    std::vector<ConversionLogEntry> log() const;
    // The failed files of the log, one "source -> output" line each; empty when none failed.
    std::string FailureReport() const;

  private:
    // Claims the busy flag for a worker; false when another run holds it.
    bool BeginRun(IDownsizerWindow& window, const std::string& folder);
    void EndRun(IDownsizerWindow& window);

    Session& session_;
    std::atomic<int> busy_{0};
    std::atomic<int> workerRunning_{0};
    mutable std::mutex logMutex_;
    std::vector<ConversionLogEntry> log_;
};

}  // namespace studio
