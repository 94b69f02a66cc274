#include "tests/support/cd_images.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace testing_support {
namespace {

constexpr int kFrameBytes = 2352;

std::string Msf(int32_t frame) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frame / (75 * 60), frame / 75 % 60,
                  frame % 75);
    return text;
}

std::string Base(const std::string& cuePath) { return cuePath.substr(0, cuePath.size() - 4); }

}  // namespace

std::vector<int32_t> TrackStarts(const DiscImage& disc) {
    std::vector<int32_t> starts;
    int32_t at = 0;
    for (const ImageTrack& t : disc.tracks) {
        starts.push_back(at);
        at += t.frames;
    }
    return starts;
}

std::string WriteDiscImage(const std::string& folder, const std::string& name,
                           const DiscImage& disc) {
    const std::string cue = folder + "/" + name + ".cue";
    std::ofstream sheet(cue);
    if (!disc.performer.empty()) sheet << "PERFORMER \"" << disc.performer << "\"\n";
    if (!disc.title.empty()) sheet << "TITLE \"" << disc.title << "\"\n";
    sheet << "FILE \"" << name << ".bin\" BINARY\n";
    const std::vector<int32_t> starts = TrackStarts(disc);
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const ImageTrack& t = disc.tracks[i];
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", i + 1);
        sheet << "  TRACK " << number << (t.data ? " MODE1/2352\n" : " AUDIO\n");
        if (!t.title.empty()) sheet << "    TITLE \"" << t.title << "\"\n";
        if (!t.performer.empty()) sheet << "    PERFORMER \"" << t.performer << "\"\n";
        sheet << "    INDEX 01 " << Msf(starts[i]) << "\n";
    }

    // Each track a tone of its own with a little noise; every sample depends on the seed.
    std::ofstream bin(folder + "/" + name + ".bin", std::ios::binary);
    std::vector<char> frame(kFrameBytes);
    uint32_t noise = disc.seed * 2654435761u + 12345u;
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const double hz = 220.0 * (1.0 + 0.25 * static_cast<double>(i)) + disc.seed % 50;
        for (int32_t f = 0; f < disc.tracks[i].frames; ++f) {
            for (int s = 0; s < 588; ++s) {
                const double t = static_cast<double>(f * 588 + s) / 44100.0;
                noise = noise * 1664525u + 1013904223u;
                const int dither = static_cast<int>(noise >> 24) - 128;
                const int v = static_cast<int>(9000 * std::sin(2 * M_PI * hz * t)) + dither;
                const int right = v / 2;
                frame[s * 4 + 0] = static_cast<char>(v & 0xff);
                frame[s * 4 + 1] = static_cast<char>((v >> 8) & 0xff);
                frame[s * 4 + 2] = static_cast<char>(right & 0xff);
                frame[s * 4 + 3] = static_cast<char>((right >> 8) & 0xff);
            }
            bin.write(frame.data(), kFrameBytes);
        }
    }
    return cue;
}

std::vector<uint8_t> ImageFrames(const std::string& cuePath, int32_t first, int32_t count) {
    std::ifstream bin(Base(cuePath) + ".bin", std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * kFrameBytes);
    bin.seekg(static_cast<std::streamoff>(first) * kFrameBytes);
    bin.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(bin.gcount()));
    return bytes;
}

void WriteBadFrames(const std::string& cuePath, const std::string& lines) {
    std::ofstream(Base(cuePath) + ".badframes") << lines;
}

}  // namespace testing_support
