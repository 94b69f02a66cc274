// Benchmark of the disc image recorder against the peer decoder, on the same inputs:
//   ours: a 10-track, 40-minute project of 128 kbit/s MP3s written to a disc image, read back
//         and compared, as the CD writer's worker does it
//   peer: ffmpeg decoding the same ten files to raw 44.1 kHz stereo 16-bit PCM, one after another
// Every run is a child process (ours forked, the peer by exec), so both sides pay the same
// start-up; the best of three runs counts. Peak memory is the child's resident size.
//
//   bench_cd_writer
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "components/cd_writer/cd_writer_dispids.h"
#include "components/cd_writer/image_recorder.h"

namespace {

namespace fs = std::filesystem;
using bench::Best;
using bench::ExecAll;
using bench::InChild;
using bench::Run;

}  // namespace

int main() {
    const fs::path dir = bench::ScratchFolder("bench_cd_writer");
    std::printf("preparing ten 4-minute MP3s in %s ...\n", dir.c_str());
    // One minute encoded by lame (without its header frame), four times over makes a track.
    std::vector<std::string> mp3s;
    for (int i = 0; i < 10; ++i) {
        const std::string wav = (dir / "minute.wav").string();
        const std::string minute = (dir / "minute.mp3").string();
        if (i < 2) {
            bench::WriteSignal(wav, 60.0, 180.0 + 40 * i, false);
            if (ExecAll({{"lame", "--quiet", "-t", "-b", "128", wav, minute}}).ok == false) {
                std::fprintf(stderr, "lame failed\n");
                return 1;
            }
        }
        const std::string track = (dir / ("track" + std::to_string(i) + ".mp3")).string();
        std::ofstream out(track, std::ios::binary);
        for (int k = 0; k < 4; ++k) {
            std::ifstream in(minute, std::ios::binary);
            out << in.rdbuf();
        }
        mp3s.push_back(track);
    }

    const std::string discs = (dir / "discs").string() + "/";
    const Run ours = Best(3, [&] {
        return InChild([&] {
            cd_writer::ImageRecorder recorder(discs);
            std::atomic<bool> abort{false};
            bool complete = false;
            cd_writer::WriteSession session(
                mp3s, {},
                [&](int id, platform::VariantList) {
                    complete = complete || id == cd_writer::event::kWriteComplete;
                },
                &abort);
            recorder.Write(session);
            fs::remove_all(discs);
            return complete ? 0 : 1;
        });
    });
    std::vector<std::vector<std::string>> peer;
    for (size_t i = 0; i < mp3s.size(); ++i) {
        peer.push_back({"ffmpeg", "-v", "error", "-y", "-i", mp3s[i], "-f", "s16le", "-ar", "44100",
                        "-ac", "2", (dir / ("peer" + std::to_string(i) + ".raw")).string()});
    }
    const Run theirs = Best(3, [&] { return ExecAll(peer); });

    bench::PrintRatioHeader(52);
    if (ours.ok && theirs.ok) {
        bench::PrintRatioRow(52, "10 x 4 min MP3 to disc image + read-back (vs ffmpeg)",
                             ours.seconds, theirs.seconds);
    } else {
        std::printf("%s failed\n", ours.ok ? "ffmpeg" : "disc image write");
    }
    std::printf("peak memory of the write: %.1f MB (limit 64 MB)\n", ours.peakKb / 1024.0);
    fs::remove_all(dir);
    const bool pass =
        ours.ok && theirs.ok && ours.seconds <= theirs.seconds && ours.peakKb < 64 * 1024;
    return bench::Verdict(pass);
}
