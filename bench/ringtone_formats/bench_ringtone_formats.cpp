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
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "studio/phone_ringtone.h"
#include "studio/ringtone_shaping.h"
#include "studio/wav.h"

namespace {

struct Run {
    double seconds = 0;
    bool ok = false;
};

Run InChild(const std::function<int()>& body) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return run;
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

Run Exec(std::vector<std::string> argv) {
    return InChild([&argv] {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        const int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        ::execvp(args[0], args.data());
        return 127;
    });
}

Run Best(int times, const std::function<Run()>& once) {
    Run best;
    for (int i = 0; i < times; ++i) {
        const Run r = once();
        if (!r.ok) return r;
        if (!best.ok || r.seconds < best.seconds) best = r;
    }
    return best;
}

// Music-like test signal: a few drifting partials and a little noise, 44100 Hz stereo 16 bit.
CWave MakeSignal(double seconds) {
    const int rate = 44100;
    const auto frames = static_cast<uint32_t>(seconds * rate);
    CWave wave;
    wave.format =
        WaveFormat{1, 2, static_cast<uint32_t>(rate), static_cast<uint32_t>(rate * 4), 4, 16, 0};
    wave.samples.reserve(frames * 4);
    uint32_t noise = 1;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = 220.0 * (1.0 + 0.5 * std::sin(0.2 * t));
        double s = 0.3 * std::sin(2 * M_PI * f * t) + 0.15 * std::sin(2 * M_PI * 3.01 * f * t) +
                   0.1 * std::sin(2 * M_PI * 5.2 * f * t);
        noise = noise * 1664525u + 1013904223u;
        s += 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        for (double v : {s, s * 0.8}) {
            const auto x = static_cast<int16_t>(std::lround(v * 30000));
            wave.samples.push_back(static_cast<uint8_t>(x & 0xff));
            wave.samples.push_back(static_cast<uint8_t>((x >> 8) & 0xff));
        }
    }
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
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench_ringtone." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
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
    const auto cpuNow = [] {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    double shapeBest = 1e9, shapeCpuBest = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        CWave copy = signal;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuNow();
        studio::ShapeWave(copy, studio::RingtoneShaping{2000, 2000, true});
        studio::SnapSelectionToZeroCrossings(segment, {441000, 2205000});
        shapeCpuBest = std::min(shapeCpuBest, cpuNow() - cpuStart);
        shapeBest = std::min(
            shapeBest,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    std::printf("\n%-46s %10s %10s %8s\n", "", "ours (s)", "peer (s)", "ratio");
    const auto row = [](const char* what, const Run& ours, const Run& peer) {
        if (ours.ok && peer.ok)
            std::printf("%-46s %10.3f %10.3f %8.3f\n", what, ours.seconds, peer.seconds,
                        ours.seconds / peer.seconds);
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
