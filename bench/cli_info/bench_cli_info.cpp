// Benchmark of `vexmor info` against the peer command-line tool:
//   ours: vexmor info on 1,000 MP3s (one-minute songs: CBR with an Info header, VBR with a
//         Xing header, and CBR without one, whose frames are counted), in one run
//   peer: ffprobe -show_format -show_streams started once per file
// Target: ours takes at most a tenth of the peer's wall time.
//
// One-file mode: one `vexmor info FILE` against one `ffprobe -show_format FILE` and one
// `mpg123 -t FILE`, each a whole process (start-up, libraries, reading, exit), the best of `runs`
// runs each, with the peak resident size of each process (wait4). Targets: vexmor's wall time at
// most 0.3 x ffprobe's, and its peak resident size at most 15 MB.
//
//   bench_cli_info [runs] [vexmor]              (defaults: 1, the build tree's bin/vexmor)
//   bench_cli_info --one [FILE] [runs] [vexmor] (defaults: a one-minute 128 kbit/s MP3 made by
//                                                lame, 20 runs, the build tree's bin/vexmor)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 1000;
constexpr double kSeconds = 60.0;
constexpr double kTargetRatio = 0.1;
constexpr double kOneFileTargetRatio = 0.3;
constexpr double kOneFileTargetMb = 15.0;

int OneFile(int argc, char** argv) {
    std::string file = argc > 2 ? argv[2] : "";
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    const std::string vexmor = argc > 4 ? argv[4] : VX_BIN_DIR "/vexmor";
    const fs::path dir = bench::ScratchFolder("bench_cli_info_one");
    if (file.empty()) {
        const std::string wav = (dir / "signal.wav").string();
        bench::WriteSignal(wav, kSeconds);
        file = (dir / "song.mp3").string();
        if (bench::ExecQuiet({"lame", "--quiet", "-b", "128", wav, file}) != 0) {
            std::fprintf(stderr, "lame could not make the input MP3\n");
            fs::remove_all(dir);
            return 1;
        }
        fs::remove(wav);
    }
    struct Row {
        const char* name;
        std::vector<std::string> argv;
        bench::Run run;
    };
    std::vector<Row> rows = {
        {"vexmor info", {vexmor, "info", file}, {}},
        {"ffprobe -show_format", {"ffprobe", "-v", "quiet", "-show_format", file}, {}},
        {"mpg123 -t", {"mpg123", "-q", "-t", file}, {}},
    };
    for (Row& row : rows) {
        // The best wall time of the runs; the peak resident size is the largest any run had.
        long peak = 0;
        row.run = bench::Best(runs, [&] {
            const bench::Run once = bench::Exec(row.argv);
            peak = std::max(peak, once.peakKb);
            return once;
        });
        row.run.peakKb = peak;
    }
    fs::remove_all(dir);
    if (!rows[0].run.ok || !rows[1].run.ok) {
        std::printf("failed: vexmor %s, ffprobe %s\n", rows[0].run.ok ? "ok" : "failed",
                    rows[1].run.ok ? "ok" : "failed");
        return 1;
    }
    std::printf("\none file, best of %d runs each\n", runs);
    std::printf("%-24s %12s %12s %14s\n", "", "wall (ms)", "cpu (ms)", "peak RSS (MB)");
    for (const Row& row : rows) {
        if (!row.run.ok) {
            std::printf("%-24s %12s\n", row.name, "failed");
            continue;
        }
        std::printf("%-24s %12.2f %12.2f %14.1f\n", row.name, row.run.seconds * 1e3,
                    row.run.cpuSeconds * 1e3, row.run.peakKb / 1024.0);
    }
    const double ratio = rows[0].run.seconds / rows[1].run.seconds;
    const double mb = rows[0].run.peakKb / 1024.0;
    std::printf(
        "vexmor / ffprobe wall: %.2f (target <= %.1f); vexmor peak RSS %.1f MB (target <= "
        "%.0f MB)\n",
        ratio, kOneFileTargetRatio, mb, kOneFileTargetMb);
    return bench::Verdict(ratio <= kOneFileTargetRatio && mb <= kOneFileTargetMb);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--one") return OneFile(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const std::string vexmor = argc > 2 ? argv[2] : VX_BIN_DIR "/vexmor";
    const fs::path dir = bench::ScratchFolder("bench_cli_info");
    fs::create_directories(dir / "in");

    std::printf("preparing %d MP3s in %s ...\n", kFiles, dir.c_str());
    const std::string wav = (dir / "signal.wav").string();
    bench::WriteSignal(wav, kSeconds);
    const std::vector<std::vector<std::string>> kinds = {
        {"-b", "128"}, {"-V", "2"}, {"-b", "192", "-t"}};
    std::vector<std::string> models;
    for (size_t k = 0; k < kinds.size(); ++k) {
        models.push_back((dir / ("model" + std::to_string(k) + ".mp3")).string());
        std::vector<std::string> argv{"lame", "--quiet"};
        argv.insert(argv.end(), kinds[k].begin(), kinds[k].end());
        argv.push_back(wav);
        argv.push_back(models.back());
        if (bench::ExecQuiet(argv) != 0) {
            std::fprintf(stderr, "lame could not make the input MP3s\n");
            return 1;
        }
    }
    fs::remove(wav);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "song%04d.mp3", i);
        files.push_back((dir / "in" / name).string());
        fs::copy_file(models[static_cast<size_t>(i) % models.size()], files.back());
    }

    const bench::Run ours = bench::Best(runs, [&] {
        std::vector<std::string> argv{vexmor, "info", "--json"};
        argv.insert(argv.end(), files.begin(), files.end());
        return bench::Exec(argv);
    });
    const bench::Run peer = bench::Best(runs, [&] {
        std::vector<std::vector<std::string>> commands;
        for (const std::string& file : files)
            commands.push_back({"ffprobe", "-v", "quiet", "-show_format", "-show_streams", file});
        return bench::ExecAll(commands);
    });
    fs::remove_all(dir);
    if (!ours.ok || !peer.ok) {
        std::printf("failed: vexmor %s, ffprobe %s\n", ours.ok ? "ok" : "failed",
                    peer.ok ? "ok" : "failed");
        return 1;
    }
    constexpr int kWidth = 44;
    std::printf("\n%-*s %10s %10s %8s\n", kWidth, "", "vexmor", "ffprobe", "ratio");
    bench::PrintRatioRow(kWidth, "wall time (s), 1,000 files", ours.seconds, peer.seconds);
    bench::PrintRatioRow(kWidth, "processor time (s)", ours.cpuSeconds, peer.cpuSeconds);
    std::printf("%-*s %10.1f\n", kWidth, "peak resident size of vexmor (MB)", ours.peakKb / 1024.0);
    return bench::Verdict(ours.seconds / peer.seconds <= kTargetRatio);
}
