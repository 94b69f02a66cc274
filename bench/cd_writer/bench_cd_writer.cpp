// Benchmark of the disc image recorder against the peer decoder, on the same inputs:
//   ours: a 10-track, 40-minute project of 128 kbit/s MP3s written to a disc image, read back
//         and compared, as the CD writer's worker does it
//   peer: ffmpeg decoding the same ten files to raw 44.1 kHz stereo 16-bit PCM, one after another
// Every run is a child process (ours forked, the peer by exec), so both sides pay the same
// start-up; the best of three runs counts. Peak memory is the child's resident size.
//
//   bench_cd_writer
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "components/cd_writer/cd_writer_dispids.h"
#include "components/cd_writer/image_recorder.h"

namespace {

namespace fs = std::filesystem;

struct Run {
    double seconds = 0;
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
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Runs the programs one after another in one child; fails when any fails.
Run ExecAll(const std::vector<std::vector<std::string>>& commands) {
    return InChild([&commands] {
        for (std::vector<std::string> argv : commands) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                std::vector<char*> args;
                for (std::string& a : argv) args.push_back(a.data());
                args.push_back(nullptr);
                const int devnull = ::open("/dev/null", O_WRONLY);
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
                ::execvp(args[0], args.data());
                ::_exit(127);
            }
            int status = 0;
            if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
                return 1;
        }
        return 0;
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

void Put(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Music-like test signal: drifting partials and a little noise, 44100 Hz stereo 16 bit.
void WriteSignal(const std::string& path, double seconds, double base) {
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
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = base * (1.0 + 0.5 * std::sin(0.2 * t));
        double s = 0.3 * std::sin(2 * M_PI * f * t) + 0.15 * std::sin(2 * M_PI * 3.01 * f * t);
        noise = noise * 1664525u + 1013904223u;
        s += 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        for (double g : {1.0, 0.8}) {
            const auto v = static_cast<int16_t>(std::lround(s * g * 30000));
            out.put(static_cast<char>(v & 0xff));
            out.put(static_cast<char>((v >> 8) & 0xff));
        }
    }
}

}  // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("bench_cd_writer." + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("preparing ten 4-minute MP3s in %s ...\n", dir.c_str());
    // One minute encoded by lame (without its header frame), four times over makes a track.
    std::vector<std::string> mp3s;
    for (int i = 0; i < 10; ++i) {
        const std::string wav = (dir / "minute.wav").string();
        const std::string minute = (dir / "minute.mp3").string();
        if (i < 2) {
            WriteSignal(wav, 60.0, 180.0 + 40 * i);
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

    std::printf("\n%-52s %10s %10s %8s\n", "", "ours (s)", "peer (s)", "ratio");
    if (ours.ok && theirs.ok) {
        std::printf("%-52s %10.3f %10.3f %8.3f\n",
                    "10 x 4 min MP3 to disc image + read-back (vs ffmpeg)", ours.seconds,
                    theirs.seconds, ours.seconds / theirs.seconds);
    } else {
        std::printf("%s failed\n", ours.ok ? "ffmpeg" : "disc image write");
    }
    std::printf("peak memory of the write: %.1f MB (limit 64 MB)\n", ours.peakKb / 1024.0);
    fs::remove_all(dir);
    const bool pass =
        ours.ok && theirs.ok && ours.seconds <= theirs.seconds && ours.peakKb < 64 * 1024;
    std::printf("\n%s\n", pass ? "within targets" : "OUTSIDE TARGETS");
    return pass ? 0 : 2;
}
