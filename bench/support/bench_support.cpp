#include "bench/support/bench_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace bench {

namespace {

// In a forked child: discards the output, changes folder, replaces the process by the command.
[[noreturn]] void ExecInChild(std::vector<std::string>& argv, const std::string& folder) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
    }
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

void Put(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

}  // namespace

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

int ExecQuiet(std::vector<std::string> argv, const std::string& folder) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ExecInChild(argv, folder);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Run Exec(std::vector<std::string> argv) {
    return InChild([&argv]() -> int { ExecInChild(argv, {}); });
}

Run ExecAll(const std::vector<std::vector<std::string>>& commands) {
    return InChild([&commands] {
        for (const std::vector<std::string>& argv : commands) {
            if (ExecQuiet(argv) != 0) return 1;
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

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<uint8_t> SignalSamples(double seconds, double base, bool upperPartial) {
    const int rate = 44100;
    const auto frames = static_cast<uint32_t>(seconds * rate);
    std::vector<uint8_t> samples;
    samples.reserve(static_cast<size_t>(frames) * 4);
    uint32_t noise = 1;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = base * (1.0 + 0.5 * std::sin(0.2 * t));
        double s = 0.3 * std::sin(2 * M_PI * f * t) + 0.15 * std::sin(2 * M_PI * 3.01 * f * t);
        if (upperPartial) s += 0.1 * std::sin(2 * M_PI * 5.2 * f * t);
        noise = noise * 1664525u + 1013904223u;
        s += 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        for (double v : {s, s * 0.8}) {
            const auto x = static_cast<int16_t>(std::lround(v * 30000));
            samples.push_back(static_cast<uint8_t>(x & 0xff));
            samples.push_back(static_cast<uint8_t>((x >> 8) & 0xff));
        }
    }
    return samples;
}

void WriteSignal(const std::string& path, double seconds, double base, bool upperPartial) {
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
    const std::vector<uint8_t> samples = SignalSamples(seconds, base, upperPartial);
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size()));
}

std::filesystem::path ScratchFolder(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (name + "." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

void FreshFolder(const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

void PrintRatioHeader(int width) {
    std::printf("\n%-*s %10s %10s %8s\n", width, "", "ours (s)", "peer (s)", "ratio");
}

void PrintRatioRow(int width, const char* what, double ours, double peer) {
    std::printf("%-*s %10.3f %10.3f %8.3f\n", width, what, ours, peer, ours / peer);
}

int Verdict(bool pass) {
    std::printf("\n%s\n", pass ? "within targets" : "OUTSIDE TARGETS");
    return pass ? 0 : 2;
}

std::vector<std::string> MakeMp3Copies(const std::filesystem::path& folder, int count,
                                       double seconds) {
    const std::string wav = (folder / "signal.wav").string();
    const std::string first = (folder / "song00.mp3").string();
    WriteSignal(wav, seconds);
    const int status = ExecQuiet({"lame", "--quiet", "-m", "j", "-b", "128", wav, first});
    std::filesystem::remove(wav);
    if (status != 0) return {};
    std::vector<std::string> files{first};
    for (int i = 1; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "song%02d.mp3", i);
        files.push_back((folder / name).string());
        std::filesystem::copy_file(first, files.back());
    }
    return files;
}

}  // namespace bench
