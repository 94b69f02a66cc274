// Benchmark of the phone ringtone writer against ffmpeg, on the same 30-second segment WAV
// (44100 Hz stereo, music-like):
//   M4R: our save (read the segment, encode, write)  vs  ffmpeg -c:a aac -b:a 128k -f ipod
//   OGG: our save                                     vs  ffmpeg -c:a libvorbis -q:a 5
//   shaping: fades of 2 s in and out, normalise, and a zero-crossing snap of both edges on the
//   same part (in process; what they add to a save)
// Every encode is a child process (ours forked, ffmpeg by exec), so both sides pay the same
// start-up; the best of five runs counts.
//
//   bench_ringtone_formats
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/support/bench_support.h"
#include "studio/phone_ringtone.h"
#include "studio/ringtone_shaping.h"
#include "studio/wav.h"

namespace {

using bench::Best;
using bench::Exec;
using bench::InChild;
using bench::Run;

// Music-like test signal: a few drifting partials and a little noise, 44100 Hz stereo 16 bit.
CWave MakeSignal(double seconds) {
    const int rate = 44100;
    CWave wave;
    wave.format =
        WaveFormat{1, 2, static_cast<uint32_t>(rate), static_cast<uint32_t>(rate * 4), 4, 16, 0};
    wave.samples = bench::SignalSamples(seconds);
    return wave;
}

int SaveOurs(const std::string& segment, studio::PhoneFormat format, const std::string& out) {
    CWave part;
    part.LoadFromFile(segment);
    studio::PhoneRingtoneEncoder encoder;
    return encoder.Encode(part, format, out) ? 0 : 1;
}

}  // namespace

int main() {
    const std::filesystem::path dir = bench::ScratchFolder("bench_ringtone");
    const std::string segment = (dir / "segment.wav").string();
    CWave signal = MakeSignal(30.0);
    if (!signal.StoreToFile(segment)) {
        std::fprintf(stderr, "cannot write %s\n", segment.c_str());
        return 1;
    }

    const int kRuns = 5;
    const std::string ourM4r = (dir / "ours.m4r").string(), peerM4r = (dir / "peer.m4r").string();
    const std::string ourOgg = (dir / "ours.ogg").string(), peerOgg = (dir / "peer.ogg").string();
    const Run oursM4r = Best(kRuns, [&] {
        return InChild([&] { return SaveOurs(segment, studio::PhoneFormat::M4r, ourM4r); });
    });
    const Run peerM4rRun = Best(kRuns, [&] {
        return Exec({"ffmpeg", "-v", "error", "-y", "-i", segment, "-c:a", "aac", "-b:a", "128k",
                     "-ar", "44100", "-ac", "2", "-f", "ipod", peerM4r});
    });
    const Run oursOgg = Best(kRuns, [&] {
        return InChild([&] { return SaveOurs(segment, studio::PhoneFormat::Ogg, ourOgg); });
    });
    const Run peerOggRun = Best(kRuns, [&] {
        return Exec({"ffmpeg", "-v", "error", "-y", "-i", segment, "-c:a", "libvorbis", "-q:a", "5",
                     peerOgg});
    });

    // Shaping in process, on a fresh copy each time: fades, normalise and the snap of both edges.
    // Wall time and this thread's processor time (the latter unaffected by other processes).
    double shapeBest = 1e9, shapeCpuBest = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        CWave copy = signal;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = bench::ThreadCpuSeconds();
        studio::ShapeWave(copy, studio::RingtoneShaping{2000, 2000, true});
        studio::SnapSelectionToZeroCrossings(segment, {441000, 2205000});
        shapeCpuBest = std::min(shapeCpuBest, bench::ThreadCpuSeconds() - cpuStart);
        shapeBest = std::min(
            shapeBest,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    bench::PrintRatioHeader(46);
    const auto row = [](const char* what, const Run& ours, const Run& peer) {
        if (ours.ok && peer.ok)
            bench::PrintRatioRow(46, what, ours.seconds, peer.seconds);
        else
            std::printf("%-46s failed (ours %d, peer %d)\n", what, ours.ok, peer.ok);
    };
    row("30 s part as M4R (vs ffmpeg aac 128k ipod)", oursM4r, peerM4rRun);
    row("30 s part as OGG (vs ffmpeg libvorbis q5)", oursOgg, peerOggRun);
    std::printf("%-46s %10.3f\n", "fades + normalise + snap on 30 s (ms)", shapeBest * 1000);
    std::printf("%-46s %10.3f\n", "  the same, processor time (ms)", shapeCpuBest * 1000);
    // The same encode on both sides: the files come out about the same size.
    const auto size = [](const std::string& path) {
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(path, ec);
        return ec ? 0.0 : static_cast<double>(bytes) / 1024.0;
    };
    std::printf("%-46s %10.0f %10.0f\n", "M4R size (KiB)", size(ourM4r), size(peerM4r));
    std::printf("%-46s %10.0f %10.0f\n", "OGG size (KiB)", size(ourOgg), size(peerOgg));
    std::filesystem::remove_all(dir);
    return oursM4r.ok && peerM4rRun.ok && oursOgg.ok && peerOggRun.ok ? 0 : 1;
}
