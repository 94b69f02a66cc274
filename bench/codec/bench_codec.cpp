// Benchmark of the codec engine against the peer command-line tools, on the same inputs:
//   decode: a 5-minute 128 kbit/s stereo MP3 through mymp3d  vs  mpg123 -w
//   encode: a 30-second WAV with the studio's first-start vector  vs  lame with the same options
//   memory: peak resident size of a decode of 5 and of 20 minutes (it must not grow with length)
// Every run is a child process (the engine in a forked child, the peers by exec), so both sides
// pay the same start-up; the best of five runs counts.
//
//   bench_codec [system-directory]     (default: the build tree's lib/vexmor)
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "components/codec_engine/vxmpp.h"

namespace {

using bench::Best;
using bench::Exec;
using bench::InChild;
using bench::Run;
using bench::WriteSignal;

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

    const std::filesystem::path dir = bench::ScratchFolder("bench_codec");
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

    bench::PrintRatioHeader(44);
    if (ourDecode.ok && peerDecode.ok) {
        bench::PrintRatioRow(44, "decode 5 min 128 kbit/s MP3 (vs mpg123 -w)", ourDecode.seconds,
                             peerDecode.seconds);
    } else {
        std::printf("decode: %s failed\n", ourDecode.ok ? "mpg123" : "engine");
    }
    if (ourEncode.ok && peerEncode.ok) {
        bench::PrintRatioRow(44, "encode 30 s WAV, first-start vector (vs lame)", ourEncode.seconds,
                             peerEncode.seconds);
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
    return bench::Verdict(pass);
}
