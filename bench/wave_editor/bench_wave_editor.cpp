// Opens a one-hour 44.1 kHz stereo 16-bit WAV in the wave-editor control (created by class id
// from vexmor.so, as the studio does) and compares the time with reading the same file once
// with `cat file > /dev/null`; prints the ratio (goal <= 1.5) and the process's peak resident
// memory (goal <= 150 MB). Both reads run from a warm page cache, so the comparison is of the
// work done per byte, not of the disk.
//
//   bench_wave_editor [seconds=3600] [wav path=/tmp/vx_bench_hour.wav]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/control_host.h"
#include "platform/folders.h"
#include "platform/paths.h"

extern char** environ;

namespace {

void Put32(std::ofstream& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
    out.write(b, 4);
}
void Put16(std::ofstream& out, uint16_t v) {
    const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    out.write(b, 2);
}

// A tone that swells and fades every few seconds, so the picture has something to show.
bool WriteHourWav(const std::string& path, int seconds) {
    const uint32_t frames = static_cast<uint32_t>(seconds) * 44100u;
    const uint32_t dataBytes = frames * 4u;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write("RIFF", 4);
    Put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, 2);
    Put32(out, 44100);
    Put32(out, 176400);
    Put16(out, 4);
    Put16(out, 16);
    out.write("data", 4);
    Put32(out, dataBytes);
    std::vector<int16_t> block(44100 * 2);
    for (int s = 0; s < seconds; ++s) {
        const double envelope = 0.2 + 0.7 * std::fabs(std::sin(s * 0.37));
        for (int i = 0; i < 44100; ++i) {
            const double v = std::sin(2 * M_PI * 440.0 * i / 44100.0) * envelope;
            block[2 * i] = static_cast<int16_t>(v * 32767);
            block[2 * i + 1] = static_cast<int16_t>(v * 0.6 * 32767);
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 2));
    }
    return static_cast<bool>(out);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs `cat path` with its output on /dev/null; returns the wall time in seconds.
double TimeCat(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string cat = "cat";
    std::vector<char*> argv = {cat.data(), const_cast<char*>(path.c_str()), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "cat", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1.0;
    int status = 0;
    waitpid(pid, &status, 0);
    return SecondsSince(start);
}

// Ends an event loop when the control reports that a file is shown (or failed).
class LoadWaiter : public platform::IControlEvents {
  public:
    explicit LoadWaiter(QEventLoop* loop) : loop_(loop) {}
    void OnEvent(int dispatchId, const platform::VariantList&) override {
        if (dispatchId == wave_editor::eventid::kLoadFinished) loop_->quit();
    }

  private:
    QEventLoop* loop_;
};

long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3600;
    const std::string path = argc > 2 ? argv[2] : "/tmp/vx_bench_hour.wav";
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    const long long wantBytes = 44LL + static_cast<long long>(seconds) * 176400LL;
    if (platform::FileSize(path) != wantBytes) {
        std::printf("writing %s (%d s of 44.1 kHz stereo 16-bit)...\n", path.c_str(), seconds);
        if (!WriteHourWav(path, seconds)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }

    const std::string module = platform::JoinPath(platform::SystemDirectory(), "vexmor.so");
    if (platform::CallDllRegisterServer(module) != platform::kRegisterOk) {
        std::fprintf(stderr, "cannot register %s\n", module.c_str());
        return 1;
    }
    QWidget parent;
    parent.resize(700, 305);
    platform::ControlSite site;
    if (!site.Create(wave_editor::kWaveEditClassId, &parent)) {
        std::fprintf(stderr, "cannot create the control: %s\n", site.LastError().c_str());
        return 1;
    }
    site.Widget()->setGeometry(0, 0, 700, 305);

    QEventLoop done;
    LoadWaiter waiter(&done);
    site.SetEventSink(&waiter);

    TimeCat(path);  // warms the page cache for both contenders
    constexpr int kRuns = 3;
    double catBest = 1e9, openBest = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        catBest = std::min(catBest, TimeCat(path));

        const auto start = std::chrono::steady_clock::now();
        site.CallMethod(wave_editor::dispid::kLoadFile, {platform::Variant(path)});
        // The control reports the finished picture through its event sink.
        if (site.GetProperty(wave_editor::dispid::kLoadState).ToInt() ==
            wave_editor::kLoadStateLoading)
            done.exec();
        const int state = site.GetProperty(wave_editor::dispid::kLoadState).ToInt();
        // The first picture drawn belongs to opening.
        site.Widget()->grab();
        const double took = SecondsSince(start);
        if (state != wave_editor::kLoadStateReady) {
            std::fprintf(stderr, "the editor could not show %s\n", path.c_str());
            return 1;
        }
        openBest = std::min(openBest, took);
    }
    // With VX_SCREENSHOT_DIR set, one more opening is pictured while it reads and when done.
    if (const char* shots = std::getenv("VX_SCREENSHOT_DIR")) {
        site.CallMethod(wave_editor::dispid::kLoadFile, {platform::Variant(path)});
        QEventLoop().processEvents(QEventLoop::AllEvents, 30);
        site.Widget()->grab().save(QString::fromUtf8(shots) + "/wave_editor_loading.png");
        if (site.GetProperty(wave_editor::dispid::kLoadState).ToInt() ==
            wave_editor::kLoadStateLoading)
            done.exec();
        site.CallMethod(wave_editor::dispid::kSetSelection,
                        {platform::Variant(int32_t{2 * 44100 * 600}),
                         platform::Variant(int32_t{2 * 44100 * 1500})});
        site.Widget()->grab().save(QString::fromUtf8(shots) + "/wave_editor_hour.png");
    }

    const double ratio = openBest / catBest;
    const double peakMb = PeakResidentKb() / 1024.0;
    std::printf("file: %s, %.1f MB, %d s\n", path.c_str(), wantBytes / 1e6, seconds);
    std::printf("cat > /dev/null: %.3f s (best of %d)\n", catBest, kRuns);
    std::printf("wave editor open: %.3f s (best of %d)\n", openBest, kRuns);
    std::printf("ratio: %.2f (goal <= 1.5) %s\n", ratio, ratio <= 1.5 ? "ok" : "MISSED");
    std::printf("peak memory (VmHWM): %.1f MB (goal <= 150 MB) %s\n", peakMb,
                peakMb <= 150.0 ? "ok" : "MISSED");
    return 0;
}
