// mp3_info_bench [count] [--no-peer]
//
// Generates `count` MP3 files (default 1000; a third each CBR with an Info header, VBR with a
// Xing header, VBR without a header) of 1 to 8 seconds at several rates with libmp3lame,
// describes each one as a track list does when a file is added, and prints the time per file,
// the bytes read per file and how the playing times compare with ffprobe's.
#include <lame/lame.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "uikit/mp3_info.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class Kind { CbrInfo, VbrXing, VbrBare };
const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::CbrInfo:
            return "CBR, Info header";
        case Kind::VbrXing:
            return "VBR, Xing header";
        case Kind::VbrBare:
            return "VBR, no header";
    }
    return "";
}

struct LameDeleter {
    void operator()(lame_global_flags* gfp) const { lame_close(gfp); }
};
struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// A tone with a little noise (so VBR frames differ), encoded straight to `path`.
bool EncodeMp3(const std::string& path, Kind kind, double seconds, int rate, int channels,
               std::mt19937& random) {
    std::unique_ptr<lame_global_flags, LameDeleter> gfp(lame_init());
    if (!gfp) return false;
    lame_set_in_samplerate(gfp.get(), rate);
    lame_set_out_samplerate(gfp.get(), rate);
    lame_set_num_channels(gfp.get(), channels);
    lame_set_mode(gfp.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(gfp.get(), 7);
    if (kind == Kind::CbrInfo) {
        lame_set_VBR(gfp.get(), vbr_off);
        lame_set_brate(gfp.get(), rate >= 32000 ? 128 : 64);
    } else {
        lame_set_VBR(gfp.get(), vbr_default);
        lame_set_VBR_quality(gfp.get(), 4.0f);
    }
    lame_set_bWriteVbrTag(gfp.get(), kind == Kind::VbrBare ? 0 : 1);
    if (lame_init_params(gfp.get()) < 0) return false;

    std::unique_ptr<FILE, FileCloser> out(std::fopen(path.c_str(), "w+b"));
    if (!out) return false;
    const int total = static_cast<int>(seconds * rate);
    constexpr int kChunk = 4096;
    std::vector<short> left(kChunk), right(kChunk);
    std::vector<unsigned char> mp3(kChunk * 5 / 4 + 7200);
    std::normal_distribution<double> noise(0.0, 1500.0);
    const double frequency = 220.0 + 40.0 * static_cast<double>(random() % 20);
    for (int done = 0; done < total;) {
        const int n = std::min(kChunk, total - done);
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(done + i) / rate;
            const double loudness = 0.5 + 0.5 * std::sin(2 * M_PI * 0.7 * t);
            const double v =
                loudness * 12000.0 * std::sin(2 * M_PI * frequency * t) + noise(random);
            left[static_cast<size_t>(i)] = static_cast<short>(std::clamp(v, -32767.0, 32767.0));
            right[static_cast<size_t>(i)] = left[static_cast<size_t>(i)];
        }
        const int bytes = lame_encode_buffer(gfp.get(), left.data(), right.data(), n, mp3.data(),
                                             static_cast<int>(mp3.size()));
        if (bytes < 0 || std::fwrite(mp3.data(), 1, static_cast<size_t>(bytes), out.get()) !=
                             static_cast<size_t>(bytes))
            return false;
        done += n;
    }
    const int bytes = lame_encode_flush(gfp.get(), mp3.data(), static_cast<int>(mp3.size()));
    if (bytes < 0 || std::fwrite(mp3.data(), 1, static_cast<size_t>(bytes), out.get()) !=
                         static_cast<size_t>(bytes))
        return false;
    if (kind != Kind::VbrBare) lame_mp3_tags_fid(gfp.get(), out.get());
    return true;
}

// Runs a program without a shell and returns its standard output.
std::string Capture(const std::vector<std::string>& argv) {
    int fds[2];
    if (::pipe(fds) != 0) return "";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    std::array<char, 4096> buffer{};
    for (ssize_t n; (n = ::read(fds[0], buffer.data(), buffer.size())) > 0;)
        out.append(buffer.data(), static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

struct PeerTimes {
    bool ok = false;
    double formatSeconds =
        0;  // ffprobe's container duration (estimated from the bit rate without a header)
    double decodedSeconds = 0;  // frames ffprobe reads × samples per frame ÷ rate
};

PeerTimes Probe(const std::string& path) {
    const std::string out = Capture(
        {"ffprobe", "-v", "error", "-count_packets", "-select_streams", "a:0", "-show_entries",
         "stream=nb_read_packets,sample_rate:format=duration", "-of", "default=nw=1", path});
    auto value = [&](const char* key) -> std::optional<double> {
        const size_t at = out.find(key);
        if (at == std::string::npos) return std::nullopt;
        return std::atof(out.c_str() + at + std::strlen(key));
    };
    const auto packets = value("nb_read_packets=");
    const auto rate = value("sample_rate=");
    const auto duration = value("duration=");
    PeerTimes t;
    if (!packets || !rate || !duration || *rate <= 0) return t;
    t.ok = true;
    t.formatSeconds = *duration;
    t.decodedSeconds = *packets * (*rate >= 32000 ? 1152.0 : 576.0) / *rate;
    return t;
}

struct Sample {
    std::string path;
    Kind kind;
    double seconds;
};

}  // namespace

int main(int argc, char** argv) {
    int count = 1000;
    bool peer = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-peer") == 0)
            peer = false;
        else
            count = std::max(3, std::atoi(argv[i]));
    }
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "mp3_info_bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path dir(pattern);

    std::mt19937 random(2024);
    std::uniform_real_distribution<double> length(1.0, 8.0);
    struct Format {
        int rate;
        int channels;
    };
    const std::array<Format, 4> formats{{{44100, 2}, {48000, 2}, {22050, 1}, {16000, 1}}};
    std::vector<Sample> samples;
    std::printf("generating %d MP3 files in %s ...\n", count, dir.c_str());
    const auto genStart = Clock::now();
    for (int i = 0; i < count; ++i) {
        const Kind kind = static_cast<Kind>(i % 3);
        const Format f = formats[static_cast<size_t>(i / 3) % formats.size()];
        const double seconds = length(random);
        const std::string path = (dir / ("f" + std::to_string(i) + ".mp3")).string();
        if (!EncodeMp3(path, kind, seconds, f.rate, f.channels, random)) {
            std::fprintf(stderr, "encoding %s failed\n", path.c_str());
            return 1;
        }
        samples.push_back({path, kind, seconds});
    }
    std::printf("generated in %.1f s\n\n",
                std::chrono::duration<double>(Clock::now() - genStart).count());

    // Time of adding every file as a track list does (warm page cache: the files were just
    // written).
    std::vector<std::optional<int>> described(samples.size());
    const auto start = Clock::now();
    for (size_t i = 0; i < samples.size(); ++i)
        described[i] = DescribeMp3File(samples[i].path, true);
    const double totalSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    struct PerKind {
        int files = 0;
        int accepted = 0;
        uint64_t bytesRead = 0;
        uint64_t fileBytes = 0;
        uint64_t maxBytesRead = 0;
        int offByMoreThanOne = 0;
        int exactFloorFormat = 0;
        int exactFloorDecoded = 0;
        int probed = 0;
        int fromHeader = 0;
    };
    std::array<PerKind, 3> per{};
    double peerSeconds = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        PerKind& k = per[static_cast<size_t>(samples[i].kind)];
        ++k.files;
        if (described[i]) ++k.accepted;
        // Bytes the library reads for this file (the same call DescribeMp3File makes).
        CPlay play;
        MPEGINFOS info{};
        info.filled = kInfoNotFilled;
        std::vector<char> path(samples[i].path.begin(), samples[i].path.end());
        path.push_back('\0');
        play.GetInfo(path.data(), &info);
        k.bytesRead += play.bytesRead();
        k.maxBytesRead = std::max(k.maxBytesRead, play.bytesRead());
        k.fileBytes += fs::file_size(samples[i].path);
        if (info.lengthSource == 1 || info.lengthSource == 2) ++k.fromHeader;
        if (!peer) continue;
        const auto peerStart = Clock::now();
        const PeerTimes t = Probe(samples[i].path);
        peerSeconds += std::chrono::duration<double>(Clock::now() - peerStart).count();
        if (!t.ok || !described[i]) continue;
        ++k.probed;
        const int mine = *described[i];
        // Without a header ffprobe estimates its container duration from the first frame's
        // bit rate; the frames it decodes give the true length.
        const double reference =
            samples[i].kind == Kind::VbrBare ? t.decodedSeconds : t.formatSeconds;
        if (std::abs(mine - static_cast<int>(std::floor(reference))) > 1) {
            ++k.offByMoreThanOne;
            std::printf("  off: %s mine %d s, ffprobe %.3f s (decoded %.3f s)\n",
                        samples[i].path.c_str(), mine, t.formatSeconds, t.decodedSeconds);
        }
        if (mine == static_cast<int>(std::floor(t.formatSeconds))) ++k.exactFloorFormat;
        if (mine == static_cast<int>(std::floor(t.decodedSeconds))) ++k.exactFloorDecoded;
    }

    std::printf("described %zu files in %.3f s: %.1f us per file\n", samples.size(), totalSeconds,
                1e6 * totalSeconds / static_cast<double>(samples.size()));
    if (peer)
        std::printf(
            "ffprobe -count_packets on the same files: %.1f ms per file (%.0fx the library's "
            "time)\n",
            1e3 * peerSeconds / static_cast<double>(samples.size()), peerSeconds / totalSeconds);
    std::printf("\n%-18s %6s %9s %7s %12s %12s %12s", "kind", "files", "accepted", "header",
                "read/file", "max read", "file size");
    if (peer) std::printf(" %8s %10s %10s", ">1 s off", "=floor(fmt)", "=floor(dec)");
    std::printf("\n");
    int failures = 0;
    for (size_t k = 0; k < per.size(); ++k) {
        const PerKind& p = per[k];
        if (p.files == 0) continue;
        std::printf("%-18s %6d %9d %7d %10.0f B %10llu B %10.0f B", KindName(static_cast<Kind>(k)),
                    p.files, p.accepted, p.fromHeader, static_cast<double>(p.bytesRead) / p.files,
                    static_cast<unsigned long long>(p.maxBytesRead),
                    static_cast<double>(p.fileBytes) / p.files);
        if (peer)
            std::printf(" %8d %10d %10d", p.offByMoreThanOne, p.exactFloorFormat,
                        p.exactFloorDecoded);
        std::printf("\n");
        failures += p.offByMoreThanOne + (p.files - p.accepted);
    }
    std::printf(
        "\n(=floor(fmt): seconds equal to ffprobe's container duration rounded down; =floor(dec): "
        "to the\n"
        " duration of the frames ffprobe reads. The library reports the playing time without the\n"
        " encoder's delay and padding when the LAME tag gives them.)\n");
    fs::remove_all(dir);
    return failures == 0 ? 0 : 2;
}
