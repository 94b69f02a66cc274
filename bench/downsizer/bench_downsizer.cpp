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
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/scripted_ui.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/settings.h"
#include "studio/tools/batch_downsizer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 20;
constexpr double kSeconds = 180.0;
int g_runs = 3;

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0;
    bool ok = false;
};

Run InChild(const std::function<int()>& body) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return run;
    if (pid == 0) ::_exit(body());
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

int ExecQuiet(std::vector<std::string> argv) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        const int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Run Best(const std::function<Run()>& once) {
    Run best;
    for (int i = 0; i < g_runs; ++i) {
        const Run r = once();
        if (!r.ok) return r;
        if (!best.ok || r.seconds < best.seconds) best = r;
    }
    return best;
}

void Put(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Music-like test signal: drifting partials and a little noise, 44100 Hz stereo 16 bit.
void WriteSignal(const std::string& path, double seconds) {
    const int rate = 44100;
    const auto frames = static_cast<uint32_t>(seconds * rate);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    Put(out, 36 + frames * 4, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, 2, 2);
    Put(out, rate, 4);
    Put(out, rate * 4, 4);
    Put(out, 4, 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, frames * 4, 4);
    uint32_t noise = 1;
    std::vector<char> block;
    block.reserve(static_cast<size_t>(frames) * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = 220.0 * (1.0 + 0.5 * std::sin(0.2 * t));
        double s = 0.3 * std::sin(2 * M_PI * f * t) + 0.15 * std::sin(2 * M_PI * 3.01 * f * t) +
                   0.1 * std::sin(2 * M_PI * 5.2 * f * t);
        noise = noise * 1664525u + 1013904223u;
        s += 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        const auto l = static_cast<int16_t>(std::lround(s * 30000));
        const auto r = static_cast<int16_t>(std::lround(s * 0.8 * 30000));
        for (int16_t v : {l, r}) {
            block.push_back(static_cast<char>(v & 0xff));
            block.push_back(static_cast<char>((v >> 8) & 0xff));
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

// The down-sizer's list without a window: the twenty files, nothing shown.
class BenchWindow : public studio::IDownsizerWindow {
  public:
    explicit BenchWindow(std::vector<std::string> rows) : rows_(std::move(rows)) {}
    int RowCount() override { return static_cast<int>(rows_.size()); }
    int SelectedRow() override { return selected_; }
    void SelectRow(int row) override { selected_ = row; }
    std::string RowPath(int row) override { return rows_.at(static_cast<size_t>(row)); }
    void SetProgressPos(int) override {}
    void StartProgressTimer() override {}
    void StopProgressTimer() override {}
    void SetListBusy(bool) override {}
    StudioSettings CurrentSettings() override { return Settings(); }
    void RememberOutputFolder(const std::string&) override {}
    void ShowLogButton(bool) override {}

  private:
    std::vector<std::string> rows_;
    int selected_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_runs = std::max(1, std::atoi(argv[1]));
    const std::string systemDir = argc > 2 ? argv[2] : VX_SYSTEM_DIR;
    ::setenv("VEXMOR_SYSTEM_DIR", systemDir.c_str(), 1);
    const fs::path dir =
        fs::temp_directory_path() / ("bench_downsizer." + std::to_string(::getpid()));
    fs::create_directories(dir / "in");
    // The settings of a first start: no settings file yet.
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    InitStudioSettings();
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    if (!BindCodecEngine()) {
        std::fprintf(stderr, "cannot bind %s/VxMpp.so\n", systemDir.c_str());
        return 1;
    }

    std::printf("preparing %d three-minute MP3s in %s ...\n", kFiles, dir.c_str());
    const std::string wav = (dir / "signal.wav").string();
    const std::string first = (dir / "in" / "song00.mp3").string();
    WriteSignal(wav, kSeconds);
    if (ExecQuiet({"lame", "--quiet", "-m", "j", "-b", "128", wav, first}) != 0) {
        std::fprintf(stderr, "lame could not make the input MP3\n");
        return 1;
    }
    fs::remove(wav);
    std::vector<std::string> inputs{first};
    for (int i = 1; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "song%02d.mp3", i);
        inputs.push_back((dir / "in" / name).string());
        fs::copy_file(first, inputs.back());
    }

    // The options the dialog's vector carries, without the two placeholder paths.
    EncoderArgs& args = SharedEncoderArgs();
    args.inputIsWav = 0;
    BuildEncoderArgs(args);
    std::vector<std::string> options = args.Arguments();
    options.resize(options.size() - 2);
    std::string shown;
    for (const std::string& o : options) shown += " " + o;
    std::printf("first-start options:%s\n", shown.c_str());
    std::fflush(stdout);

    const auto fresh = [&dir](const char* name) {
        const fs::path out = dir / name;
        fs::remove_all(out);
        fs::create_directories(out);
        return out.string() + "/";
    };
    const auto ours = [&](int settleMs) {
        return Best([&] {
            const std::string out = fresh("ours");
            return InChild([&] {
                BenchWindow window(inputs);
                studio::CBatchDownsizer downsizer;
                if (settleMs == studio::CBatchDownsizer::kSettleMs) {
                    downsizer.ConvertAllJob(window, out);
                    return downsizer.FailureReport().empty() &&
                                   downsizer.log().size() == inputs.size()
                               ? 0
                               : 1;
                }
                for (const std::string& in : inputs) {
                    const std::string target = studio::DownsizerOutputPath(out, in);
                    if (studio::CBatchDownsizer::EncodeFile(in, target, Settings(), 0) != 0)
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
