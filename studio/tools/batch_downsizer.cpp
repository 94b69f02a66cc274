#include "studio/tools/batch_downsizer.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/paths.h"
#include "platform/ui.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/session.h"

namespace studio {
namespace {

// Whether anything at all stands at `path`, a dangling symbolic link included: an output is
// never written through a link, not even one that points nowhere yet.
bool SomethingAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void Pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

std::string DownsizerOutputPath(const std::string& outputFolder, const std::string& source) {
    return DownsizerOutputPath(outputFolder, source, {});
}

std::string DownsizerOutputPath(const std::string& outputFolder, const std::string& source,
                                const std::function<bool(const std::string&)>& taken) {
    std::string output = outputFolder + platform::AfterLastSeparator(source);
    for (int n = 0; SomethingAt(output) || (taken && taken(output)); ++n) {
        output.erase(output.size() >= 4 ? output.size() - 4 : 0);
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_%d.mp3", n);
        output += suffix;
    }
    return output;
}

CBatchDownsizer::~CBatchDownsizer() {
    while (workerRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

CBatchDownsizer::StartResult CBatchDownsizer::Start(Command command, const std::string& folderText,
                                                    IDownsizerWindow& window) {
    if (busy() || workerRunning()) return {};
    if (folderText.empty()) {
        return {false, command == Command::ConvertAll
                           ? "Input or select a output path for your mp3s first."
                           : "Input or select a path for your mp3s first."};
    }
    const std::string folder = platform::ToPlatformSeparators(folderText);
    // A file of that name is no folder to write into, writable or not.
    const bool usable = platform::IsDirectory(folder) && platform::IsWritable(folder);
    if (!usable && !CreateFolderWithParents(folder)) return {false, "Please set a valid path!"};
    CodecEngine& engine = session_.engine;
    if (!engine.CallSetCancelEncode(0)) return {};
    if (!engine.LookUpGetCancelEncode()) return {};

    workerRunning_.store(1);
    const bool all = command == Command::ConvertAll;
    const bool started = session_.workers.Start(
        all ? "convert all" : "convert single",
        [this, &window, folder, all] {
            if (all) {
                ConvertAllJob(window, folder);
            } else {
                ConvertSingleJob(window, folder);
            }
            workerRunning_.store(0);
        },
        [&engine] { engine.CallSetCancelEncode(1); });
    if (!started) workerRunning_.store(0);
    return {started, {}};
}

bool CBatchDownsizer::BeginRun(IDownsizerWindow& window, const std::string& folder) {
    // Tested and set in one step, so that two quick commands never run two workers.
    int idle = 0;
    if (!busy_.compare_exchange_strong(idle, 1)) return false;
    window.RememberOutputFolder(platform::WithTrailingSeparator(folder));
    window.SetListBusy(true);
    window.StartProgressTimer();
    return true;
}

void CBatchDownsizer::EndRun(IDownsizerWindow& window) {
    window.StopProgressTimer();
    busy_.store(0);
    window.SetListBusy(false);
}

namespace {

int Encode(Session& session, const std::string& source, const std::string& output,
           const StudioSettings& settings, int settleMs, bool noReplace) {
    EncoderArgs& args = session.encoderArgs;
    args.inputIsWav = 0;
    BuildEncoderArgs(args, settings);
    // The smaller file keeps the song's tags (title, artist, album, cover picture, ...).
    if (args.SetSlot(args.count, "--copy-tags")) ++args.count;
    if (noReplace && args.SetSlot(args.count, "--no-replace")) ++args.count;
    Pause(settleMs);
    session.engine.CallSetNoBad();
    const VxMymp3Fn mymp3 = session.engine.LookUpMymp3();
    if (!mymp3) return -1;
    return mymp3(args.count, args.slot, source.c_str(), output.c_str());
}

}  // namespace

int CBatchDownsizer::EncodeFile(Session& session, const std::string& source,
                                const std::string& output, const StudioSettings& settings,
                                int settleMs) {
    return Encode(session, source, output, settings, settleMs, false);
}

int CBatchDownsizer::EncodeFileToFreeName(Session& session, const std::string& source,
                                          std::string& output, const StudioSettings& settings,
                                          int settleMs) {
    const std::string folder = platform::WithTrailingSeparator(platform::FolderOfFile(output));
    int result = Encode(session, source, output, settings, settleMs, true);
    // Each try lengthens the name, so a folder that keeps filling cannot hold the run for ever.
    for (int tries = 1; result == kNameTaken && tries < 100; ++tries) {
        output = DownsizerOutputPath(folder, output);
        result = Encode(session, source, output, settings, 0, true);
    }
    return result;
}

void CBatchDownsizer::ConvertSingleJob(IDownsizerWindow& window, const std::string& folder) {
    if (!BeginRun(window, folder)) return;
    const std::string outputFolder = platform::WithTrailingSeparator(folder);
    const int row = window.SelectedRow();
    if (row < 0) {
        busy_.store(0);
        window.SetListBusy(false);
        platform::ShowMessage("You should select a song first.");
        window.StopProgressTimer();
        return;
    }
    window.SelectRow(row);
    const std::string source = window.RowPath(row);
    std::string output = DownsizerOutputPath(outputFolder, source);
    // The engine leaves no file behind a failed encode and never takes a name that another run
    // took meanwhile: whatever stands at the output after a failure is not this run's, so
    // nothing is deleted.
    const int result = EncodeFileToFreeName(session_, source, output, window.CurrentSettings());
    window.SetProgressPos(100);
    EndRun(window);
    if (result == 0)
        platform::ShowSuccess("Complete!");
    else
        platform::ShowMessage("Failure!");
}

void CBatchDownsizer::ConvertAllJob(IDownsizerWindow& window, const std::string& folder) {
    if (!BeginRun(window, folder)) return;
    const std::string outputFolder = platform::WithTrailingSeparator(folder);
    window.ShowLogButton(false);
    {
        std::lock_guard lock(logMutex_);
        log_.clear();
    }
    const VxGetIsBadFn getIsBad = session_.engine.LookUpGetIsBad();
    // The row count is asked again before each file: a row deleted meanwhile is not converted.
    for (int i = 0; i < window.RowCount(); ++i) {
        if (session_.engine.GetCancelEncode() != 0) break;
        window.SelectRow(i);
        const std::string source = window.RowPath(i);
        std::string output = DownsizerOutputPath(outputFolder, source);
        // A failed encode leaves nothing at its output (see ConvertSingleJob).
        EncodeFileToFreeName(session_, source, output, window.CurrentSettings());
        if (getIsBad) {
            const int ok = getIsBad() == 0 ? 1 : 0;
            std::lock_guard lock(logMutex_);
            log_.push_back({source, output, ok});
        }
        window.SetProgressPos(100);
    }
    EndRun(window);
    platform::ShowSuccess("Complete!");
    if (!FailureReport().empty()) window.ShowLogButton(true);
}

std::vector<ConversionLogEntry> CBatchDownsizer::log() const {
    std::lock_guard lock(logMutex_);
    return log_;
}

std::string CBatchDownsizer::FailureReport() const {
    std::string report;
    for (const ConversionLogEntry& entry : log()) {
        if (entry.ok == 0) report += entry.source + " -> " + entry.output + "\n";
    }
    return report;
}

}  // namespace studio
