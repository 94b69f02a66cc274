// Benchmark of `vexmor shrink -j 2` against the peer command-line tool:
//   ours: vexmor shrink -j 2 on 20 three-minute 128 kbit/s stereo MP3s, with the MP3 settings
//         of a first start (no settings file)
//   peer: lame --mp3input with the same options on the same files, one after another
// Wall time and processor time (user + system, children included); the best of `runs` runs
// counts. Target: ours takes at most 0.6 of the peer's wall time on two cores.
//
//   bench_cli_shrink [runs] [vexmor]   (defaults: 1, the build tree's bin/vexmor)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "studio/encoder_args.h"
#include "studio/settings.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 20;
constexpr double kSeconds = 180.0;
constexpr double kTargetRatio = 0.6;

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const std::string vexmor = argc > 2 ? argv[2] : VX_BIN_DIR "/vexmor";
    const fs::path dir = bench::ScratchFolder("bench_cli_shrink");
    fs::create_directories(dir / "in");
    // The settings of a first start, for vexmor and for the options given to the peer.
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    StudioSettings settings;
    settings.SetDefaults();
    settings.Load(SettingsFileName());

    std::printf("preparing %d three-minute MP3s in %s ...\n", kFiles, dir.c_str());
    const std::vector<std::string> inputs = bench::MakeMp3Copies(dir / "in", kFiles, kSeconds);
    if (inputs.empty()) {
        std::fprintf(stderr, "lame could not make the input MP3\n");
        return 1;
    }

    EncoderArgs args;
    args.inputIsWav = 0;
    BuildEncoderArgs(args, settings);
    std::vector<std::string> options = args.Arguments();
    options.resize(options.size() - 2);  // the two placeholder paths
    std::string shown;
    for (const std::string& o : options) shown += " " + o;
    std::printf("first-start options:%s\n", shown.c_str());
    std::fflush(stdout);

    const auto fresh = [&dir](const char* name) {
        const fs::path out = dir / name;
        bench::FreshFolder(out);
        return out.string();
    };
    const bench::Run ours = bench::Best(runs, [&] {
        std::vector<std::string> argv{vexmor, "shrink", "--quiet", "-j", "2", "-o", fresh("ours")};
        argv.insert(argv.end(), inputs.begin(), inputs.end());
        return bench::Exec(argv);
    });
    const bench::Run peer = bench::Best(runs, [&] {
        const std::string out = fresh("peer");
        std::vector<std::vector<std::string>> commands;
        for (const std::string& in : inputs) {
            std::vector<std::string> argv{"lame", "--quiet", "--mp3input"};
            argv.insert(argv.end(), options.begin(), options.end());
            argv.push_back(in);
            argv.push_back(out + "/" + fs::path(in).filename().string());
            commands.push_back(argv);
        }
        return bench::ExecAll(commands);
    });
    size_t made = 0;
    for (const auto& entry : fs::directory_iterator(dir / "ours"))
        made += entry.path().extension() == ".mp3" ? 1 : 0;

    if (!ours.ok || !peer.ok || made != inputs.size()) {
        std::printf("failed: vexmor %s (%zu files), peer %s\n", ours.ok ? "ok" : "failed", made,
                    peer.ok ? "ok" : "failed");
        fs::remove_all(dir);
        return 1;
    }
    constexpr int kWidth = 44;
    std::printf("\n%-*s %10s %10s %8s\n", kWidth, "", "vexmor", "lame", "ratio");
    bench::PrintRatioRow(kWidth, "wall time (s), 20 files, -j 2", ours.seconds, peer.seconds);
    bench::PrintRatioRow(kWidth, "processor time (s)", ours.cpuSeconds, peer.cpuSeconds);
    std::printf("%-*s %10.1f\n", kWidth, "peak resident size of vexmor (MB)", ours.peakKb / 1024.0);
    fs::remove_all(dir);
    return bench::Verdict(ours.seconds / peer.seconds <= kTargetRatio);
}
