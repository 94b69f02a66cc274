// Sound files for the track-list and player tests: tone WAVs, MP3s made by the lame tool, MP3s
// whose Info header claims a given playing time, and ID3v1 tags.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_support.h"

namespace track_fixtures {

using testing_support::ReadFile;
using testing_support::WriteFile;

// A PCM WAV tone of `seconds` (8 kHz mono, small and quick).
inline void MakeWav(const std::string& path, double seconds) {
    testing_support::ToneSpec spec;
    spec.sampleRate = 8000;
    spec.channels = 1;
    spec.seconds = seconds;
    WriteFile(path, testing_support::MakeToneWav(spec));
}

// An MP3 of `seconds` encoded by lame at 128 kbit/s from a 44.1 kHz stereo tone; false without
// lame.
inline bool MakeMp3(const std::string& path, double seconds) {
    testing_support::ToneSpec spec;
    spec.seconds = seconds;
    return !testing_support::LameMp3(path, spec, {"-b", "128", "--noreplaygain"}).empty();
}

// An MP3 whose Info header counts enough frames for `seconds` plus a third of a second, so its
// whole-second playing time is `seconds`. The file is a second of sound followed by zero bytes,
// as many as the smallest frames of that count would take (a count the data could not hold is
// not believed). False without lame.
inline bool MakeMp3Lasting(const std::string& path, int seconds) {
    if (!MakeMp3(path, 1.0)) return false;
    std::vector<uint8_t> bytes = ReadFile(path);
    // The Info (or Xing) header sits in the first frame: "Info", 4 flag bytes, then the frame
    // count, big-endian, when flag bit 0 is set.
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                std::min<size_t>(bytes.size(), 4096));
    size_t at = text.find("Info");
    if (at == std::string_view::npos) at = text.find("Xing");
    // The byte count (flag bit 1) follows; it must match the file for the header to be believed.
    if (at == std::string_view::npos || at + 16 > bytes.size() || (bytes[at + 7] & 3) != 3)
        return false;
    const auto frames = static_cast<uint32_t>(std::ceil((seconds + 0.33) * 44100.0 / 1152.0));
    bytes.resize(bytes.size() + static_cast<size_t>(frames) * 26, 0);
    const auto size = static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) {
        bytes[at + 8 + static_cast<size_t>(i)] = static_cast<uint8_t>(frames >> (24 - 8 * i));
        bytes[at + 12 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
    WriteFile(path, bytes);
    return true;
}

// Appends an ID3v1 tag with the 30-byte title field `title` (cut or zero-padded).
inline void AppendId3v1(const std::string& path, const std::string& title) {
    std::vector<uint8_t> bytes = ReadFile(path);
    std::vector<uint8_t> tag(128, 0);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    std::copy_n(title.begin(), std::min<size_t>(title.size(), 30), tag.begin() + 3);
    tag[127] = 255;  // no genre
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    WriteFile(path, bytes);
}

}  // namespace track_fixtures
