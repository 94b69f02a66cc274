// Benchmark of the batch down-sizer's Convert All against the peer command-line tool:
//   ours: the Convert All worker as the dialog runs it (its engine calls, one file after another,
//         with the first-start MP3 settings), over a list of 20 three-minute 128 kbit/s stereo
//         MP3s, in a forked child; also the same without the pause before each file
//   peer: lame --mp3input with the same options on the same files, one after another
// Wall time and processor time (user + system, the children included) of each side and the peak
// resident size of ours; the best of `runs` runs counts. The processor times compare fairly on a
// busy machine; the wall times include the dialog's pauses.
//
//   bench_downsizer [runs] [system-directory]   (defaults: 3, the build tree's lib/vexmor)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "platform/scripted_ui.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/batch_downsizer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 20;
constexpr double kSeconds = 180.0;
int g_runs = 3;

using bench::ExecQuiet;
using bench::InChild;
using bench::Run;

// The best of `g_runs` runs.
Run Best(const std::function<Run()>& once) { return bench::Best(g_runs, once); }

// The down-sizer's list without a window: the twenty files, nothing shown.
class BenchWindow : public studio::IDownsizerWindow {
  public:
    BenchWindow(const StudioSettings& settings, std::vector<std::string> rows)
        : settings_(settings), rows_(std::move(rows)) {}
    int RowCount() override { return static_cast<int>(rows_.size()); }
    int SelectedRow() override { return selected_; }
    void SelectRow(int row) override { selected_ = row; }
    std::string RowPath(int row) override { return rows_.at(static_cast<size_t>(row)); }
    void SetProgressPos(int) override {}
    void StartProgressTimer() override {}
    void StopProgressTimer() override {}
    void SetListBusy(bool) override {}
    StudioSettings CurrentSettings() override { return settings_; }
    void RememberOutputFolder(const std::string&) override {}
    void ShowLogButton(bool) override {}

  private:
    const StudioSettings& settings_;
    std::vector<std::string> rows_;
    int selected_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_runs = std::max(1, std::atoi(argv[1]));
    const std::string systemDir = argc > 2 ? argv[2] : VX_SYSTEM_DIR;
    ::setenv("VEXMOR_SYSTEM_DIR", systemDir.c_str(), 1);
    const fs::path dir = bench::ScratchFolder("bench_downsizer");
    fs::create_directories(dir / "in");
    // The settings of a first start: no settings file yet.
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    studio::Session session;
    session.LoadSettings();
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    if (!session.BindCodecEngine()) {
        std::fprintf(stderr, "cannot bind %s/VxMpp.so\n", systemDir.c_str());
        return 1;
    }

    std::printf("preparing %d three-minute MP3s in %s ...\n", kFiles, dir.c_str());
    const std::vector<std::string> inputs = bench::MakeMp3Copies(dir / "in", kFiles, kSeconds);
    if (inputs.empty()) {
        std::fprintf(stderr, "lame could not make the input MP3\n");
        return 1;
    }

    // The options the dialog's vector carries, without the two placeholder paths.
    EncoderArgs& args = session.encoderArgs;
    args.inputIsWav = 0;
    BuildEncoderArgs(args, session.settings);
    std::vector<std::string> options = args.Arguments();
    options.resize(options.size() - 2);
    std::string shown;
    for (const std::string& o : options) shown += " " + o;
    std::printf("first-start options:%s\n", shown.c_str());
    std::fflush(stdout);

    const auto fresh = [&dir](const char* name) {
        const fs::path out = dir / name;
        bench::FreshFolder(out);
        return out.string() + "/";
    };
    const auto ours = [&](int settleMs) {
        return Best([&] {
            const std::string out = fresh("ours");
            return InChild([&] {
                BenchWindow window(session.settings, inputs);
                studio::CBatchDownsizer downsizer(session);
                if (settleMs == studio::CBatchDownsizer::kSettleMs) {
                    downsizer.ConvertAllJob(window, out);
                    return downsizer.FailureReport().empty() &&
                                   downsizer.log().size() == inputs.size()
                               ? 0
                               : 1;
                }
                for (const std::string& in : inputs) {
                    const std::string target = studio::DownsizerOutputPath(out, in);
                    if (studio::CBatchDownsizer::EncodeFile(session, in, target, session.settings,
                                                            0) != 0)
                        return 1;
                }
                return 0;
            });
        });
    };
    const Run dialogRun = ours(studio::CBatchDownsizer::kSettleMs);
    const Run engineRun = ours(0);
    const Run peerRun = Best([&] {
        const std::string out = fresh("peer");
        return InChild([&] {
            for (const std::string& in : inputs) {
                std::vector<std::string> argv{"lame", "--quiet", "--mp3input"};
                argv.insert(argv.end(), options.begin(), options.end());
                argv.push_back(in);
                argv.push_back(out + fs::path(in).filename().string());
                if (ExecQuiet(argv) != 0) return 1;
            }
            return 0;
        });
    });

    std::printf("\n%-50s %8s %7s %8s %7s %9s\n", "", "wall (s)", "ratio", "cpu (s)", "ratio",
                "peak (MB)");
    const auto line = [&](const char* what, const Run& r) {
        if (!r.ok) {
            std::printf("%-50s failed\n", what);
            return;
        }
        std::printf("%-50s %8.2f %7.3f %8.2f %7.3f %9.1f\n", what, r.seconds,
                    peerRun.ok ? r.seconds / peerRun.seconds : 0.0, r.cpuSeconds,
                    peerRun.ok ? r.cpuSeconds / peerRun.cpuSeconds : 0.0, r.peakKb / 1024.0);
        std::fflush(stdout);
    };
    line("Convert All as the dialog runs it", dialogRun);
    line("  the same without the 200 ms pause per file", engineRun);
    line("lame --mp3input, same options, one after another", peerRun);
    fs::remove_all(dir);
    return dialogRun.ok && peerRun.ok ? 0 : 1;
}
