// Benchmark of the codec engine against the peer command-line tools, on the same inputs:
//   decode: a 5-minute 128 kbit/s stereo MP3 through mymp3d  vs  mpg123 -w
//   encode: a 30-second WAV with the studio's first-start vector  vs  lame with the same options
//   memory: peak resident size of a decode of 5 and of 20 minutes (it must not grow with length)
// Every run is a child process (the engine in a forked child, the peers by exec), so both sides
// pay the same start-up; the best of five runs counts.
//
//   bench_codec [system-directory]     (default: the build tree's lib/vexmor)
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "components/codec_engine/vxmpp.h"

namespace {

struct Run {
    double seconds = 0;
    long peakKb = 0;
    bool ok = false;
};

// Runs `body` in a forked child; wall time and peak resident size of the child.
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

void Put(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Music-like test signal: a few drifting partials and a little noise, 44100 Hz stereo 16 bit.
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

struct Engine {
    void* module = nullptr;
    VxMymp3Fn mymp3 = nullptr;
    VxMymp3dFn mymp3d = nullptr;
};

int CallMymp3(const Engine& e, std::vector<std::string> args, const std::string& in,
              const std::string& out) {
    std::vector<char*> vector{const_cast<char*>("bench_codec")};
    for (std::string& a : args) vector.push_back(a.data());
    return e.mymp3(static_cast<int>(vector.size()), vector.data(), in.c_str(), out.c_str());
}

int CallMymp3d(const Engine& e, std::vector<std::string> args, const std::string& in) {
    std::vector<char*> vector{const_cast<char*>("bench_codec")};
    for (std::string& a : args) vector.push_back(a.data());
    return e.mymp3d(static_cast<int>(vector.size()), vector.data(), in.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string systemDir = argc > 1 ? argv[1] : VX_SYSTEM_DIR;
    Engine engine;
    engine.module = ::dlopen((systemDir + "/VxMpp.so").c_str(), RTLD_NOW);
    if (!engine.module) {
        std::fprintf(stderr, "cannot load %s/VxMpp.so: %s\n", systemDir.c_str(), ::dlerror());
        return 1;
    }
    engine.mymp3 = reinterpret_cast<VxMymp3Fn>(::dlsym(engine.module, "mymp3"));
    engine.mymp3d = reinterpret_cast<VxMymp3dFn>(::dlsym(engine.module, "mymp3d"));
    if (!engine.mymp3 || !engine.mymp3d) return 1;

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench_codec." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string longWav = (dir / "long.wav").string(), mp3 = (dir / "long.mp3").string();
    const std::string shortWav = (dir / "short.wav").string();
    const std::string mp3x4 = (dir / "long4.mp3").string();
    std::printf("preparing inputs in %s ...\n", dir.c_str());
    WriteSignal(longWav, 300.0);
    WriteSignal(shortWav, 30.0);
    if (CallMymp3(engine, {"-m", "j", "-b", "128", "c:\\vx.wav", "c:\\vx.mp3"}, longWav, mp3) !=
        0) {
        std::fprintf(stderr, "could not make the 5-minute MP3\n");
        return 1;
    }
    {
        std::ofstream out(mp3x4, std::ios::binary);
        for (int i = 0; i < 4; ++i) {
            std::ifstream in(mp3, std::ios::binary);
            out << in.rdbuf();
        }
    }
    std::filesystem::remove(longWav);

    const int kRuns = 5;
    const std::string oursWav = (dir / "ours.wav").string(), peerWav = (dir / "peer.wav").string();
    const Run ourDecode = Best(kRuns, [&] {
        return InChild([&] {
            return CallMymp3d(engine, {"--decode", "c:\\input.mp3", oursWav}, mp3);
        });
    });
    const Run peerDecode = Best(kRuns, [&] { return Exec({"mpg123", "-q", "-w", peerWav, mp3}); });

    const std::string oursMp3 = (dir / "ours.mp3").string(), peerMp3 = (dir / "peer.mp3").string();
    const Run ourEncode = Best(kRuns, [&] {
        return InChild([&] {
            return CallMymp3(engine, {"-m", "m", "--resample", "22050", "c:\\vx.wav", "c:\\vx.mp3"},
                             shortWav, oursMp3);
        });
    });
    const Run peerEncode = Best(kRuns, [&] {
        return Exec({"lame", "--quiet", "-m", "m", "--resample", "22050", shortWav, peerMp3});
    });

    const Run longDecode = InChild([&] {
        return CallMymp3d(engine, {"--decode", "c:\\input.mp3", oursWav}, mp3x4);
    });
    const Run idle = InChild([] { return 0; });

    std::printf("\n%-44s %10s %10s %8s\n", "", "ours (s)", "peer (s)", "ratio");
    if (ourDecode.ok && peerDecode.ok) {
        std::printf("%-44s %10.3f %10.3f %8.3f\n", "decode 5 min 128 kbit/s MP3 (vs mpg123 -w)",
                    ourDecode.seconds, peerDecode.seconds, ourDecode.seconds / peerDecode.seconds);
    } else {
        std::printf("decode: %s failed\n", ourDecode.ok ? "mpg123" : "engine");
    }
    if (ourEncode.ok && peerEncode.ok) {
        std::printf("%-44s %10.3f %10.3f %8.3f\n", "encode 30 s WAV, first-start vector (vs lame)",
                    ourEncode.seconds, peerEncode.seconds, ourEncode.seconds / peerEncode.seconds);
    } else {
        std::printf("encode: %s failed\n", ourEncode.ok ? "lame" : "engine");
    }
    std::printf("\npeak memory of a decode (child process, includes %ld kB of the bare process):\n",
                idle.peakKb);
    std::printf("  5 min:  %6.1f MB\n", ourDecode.peakKb / 1024.0);
    std::printf("  20 min: %6.1f MB%s\n", longDecode.peakKb / 1024.0,
                longDecode.ok ? "" : " (failed)");
    std::printf("  limit:  %6.1f MB\n", 64.0);

    std::filesystem::remove_all(dir);
    const bool pass = ourDecode.ok && peerDecode.ok && ourEncode.ok && peerEncode.ok &&
                      longDecode.ok && ourDecode.seconds <= 1.1 * peerDecode.seconds &&
                      ourEncode.seconds <= 1.1 * peerEncode.seconds &&
                      longDecode.peakKb < 64 * 1024 && ourDecode.peakKb < 64 * 1024;
    std::printf("\n%s\n", pass ? "within targets" : "OUTSIDE TARGETS");
    return pass ? 0 : 2;
}
