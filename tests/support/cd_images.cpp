#include "tests/support/cd_images.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "media/cd_frames.h"

namespace testing_support {
namespace {

constexpr int kFrameBytes = media::kCdFrameBytes;

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

    std::ofstream bin(folder + "/" + name + ".bin", std::ios::binary);
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const std::vector<uint8_t> frames =
            ToneFrames(disc.tracks[i].frames, disc.seed * 101 + static_cast<uint32_t>(i));
        bin.write(reinterpret_cast<const char*>(frames.data()),
                  static_cast<std::streamsize>(frames.size()));
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

std::vector<uint8_t> ToneFrames(int32_t frames, uint32_t seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * kFrameBytes);
    uint32_t noise = seed * 2654435761u + 12345u;
    const double hz = 220.0 + seed % 400;
    for (int32_t f = 0; f < frames; ++f) {
        uint8_t* frame = bytes.data() + static_cast<size_t>(f) * kFrameBytes;
        for (int s = 0; s < 588; ++s) {
            const double t = static_cast<double>(f * 588 + s) / 44100.0;
            noise = noise * 1664525u + 1013904223u;
            const int dither = static_cast<int>(noise >> 24) - 128;
            const int v = static_cast<int>(9000 * std::sin(2 * M_PI * hz * t)) + dither;
            const int right = v / 2;
            frame[s * 4 + 0] = static_cast<uint8_t>(v & 0xff);
            frame[s * 4 + 1] = static_cast<uint8_t>((v >> 8) & 0xff);
            frame[s * 4 + 2] = static_cast<uint8_t>(right & 0xff);
            frame[s * 4 + 3] = static_cast<uint8_t>((right >> 8) & 0xff);
        }
    }
    return bytes;
}

std::vector<uint8_t> Swapped(std::vector<uint8_t> bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

std::vector<uint8_t> FrameSpan(const std::vector<uint8_t>& frames, int32_t first, int32_t count) {
    const auto from = frames.begin() + static_cast<std::ptrdiff_t>(first) * kFrameBytes;
    return {from, from + static_cast<std::ptrdiff_t>(count) * kFrameBytes};
}

void WriteNrgImage(const std::string& path, const std::vector<std::vector<uint8_t>>& tracks,
                   const std::vector<int32_t>& pregaps) {
    std::vector<uint8_t> out;
    auto put = [&out](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    auto tag = [&out](const char* id) { out.insert(out.end(), id, id + 4); };
    struct Offsets {
        uint64_t index0, index1, end;
    };
    std::vector<Offsets> offsets;
    for (size_t k = 0; k < tracks.size(); ++k) {
        const uint64_t index0 = out.size();
        out.insert(out.end(), tracks[k].begin(), tracks[k].end());
        offsets.push_back({index0, index0 + uint64_t(pregaps[k]) * kFrameBytes, out.size()});
    }
    const uint64_t chunks = out.size();
    // CUEX: control/ADR, track (BCD), index (BCD), 0, then the address (from -150).
    auto bcd = [](int n) { return static_cast<uint64_t>((n / 10) << 4 | n % 10); };
    tag("CUEX");
    put(8 * (2 * tracks.size() + 2), 4);
    put(0x01, 1), put(0, 1), put(0, 1), put(0, 1), put(static_cast<uint32_t>(-150), 4);
    int32_t at = 0;
    for (size_t k = 0; k < tracks.size(); ++k) {
        const int number = static_cast<int>(k) + 1;
        put(0x01, 1), put(bcd(number), 1), put(0, 1), put(0, 1);
        put(static_cast<uint32_t>(k == 0 ? -150 : at), 4);
        at += pregaps[k];
        put(0x01, 1), put(bcd(number), 1), put(1, 1), put(0, 1), put(static_cast<uint32_t>(at), 4);
        at += static_cast<int32_t>(tracks[k].size() / kFrameBytes) - pregaps[k];
    }
    put(0x01, 1), put(0xAA, 1), put(1, 1), put(0, 1), put(static_cast<uint32_t>(at), 4);
    // DAOX: size, catalog number (14), type (2), first and last track; per track ISRC (12),
    // sector size (2), mode (7: audio) and three unknown bytes, then three 64-bit offsets.
    const uint64_t daoSize = 22 + 42 * tracks.size();
    tag("DAOX");
    put(daoSize, 4);
    put(daoSize, 4);
    out.insert(out.end(), 14, 0);
    put(0, 2);
    put(1, 1);
    put(tracks.size(), 1);
    for (const Offsets& o : offsets) {
        out.insert(out.end(), 12, 0);
        put(kFrameBytes, 2);
        put(7, 1);
        put(0, 3);
        put(o.index0, 8), put(o.index1, 8), put(o.end, 8);
    }
    tag("SINF"), put(4, 4), put(tracks.size(), 4);
    tag("MTYP"), put(4, 4), put(1, 4);
    tag("END!"), put(0, 4);
    tag("NER5"), put(chunks, 8);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

void WriteBadFrames(const std::string& cuePath, const std::string& lines) {
    std::ofstream(Base(cuePath) + ".badframes") << lines;
}

}  // namespace testing_support
