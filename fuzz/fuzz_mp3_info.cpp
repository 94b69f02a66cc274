// The MP3 information library on any file: it either describes the file in a consistent record
// or answers false and leaves the record as it was, and it answers the same way twice.
#include <cstring>

#include "components/mp3_info/mp3_info.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::WriteFile("input.mp3", data, size);

    MPEGINFOS info;
    std::memset(&info, 0xA5, sizeof info);
    info.filled = kInfoNotFilled;
    const MPEGINFOS before = info;
    CPlay play;
    const bool described = play.GetInfo(path.data(), &info);
    FUZZ_CHECK(path == (fuzz::Scratch() / "input.mp3").string());
    if (!described) {
        FUZZ_CHECK(std::memcmp(&info, &before, sizeof info) == 0);
        return 0;
    }
    FUZZ_CHECK(info.filled == 1);
    FUZZ_CHECK(std::memcmp(info.mpeg, "MPEG", 4) == 0);
    FUZZ_CHECK(info.kind == kStreamKindWave || info.kind == kStreamKindLayer3 ||
               info.kind == kStreamKindLayer12);
    FUZZ_CHECK(info.sampleRate > 0 && info.channels > 0);
    FUZZ_CHECK(info.milliseconds >= 0 && info.seconds >= 0 && info.frames >= 0);
    FUZZ_CHECK(info.audioBytes >= 0 && info.bitrateKbps >= 0);
    FUZZ_CHECK(info.milliseconds == INT32_MAX || info.seconds == info.milliseconds / 1000);
    if (info.kind == kStreamKindWave) {
        FUZZ_CHECK(info.version == 0 && info.layer == 0 && info.lengthSource == 3);
        FUZZ_CHECK(info.waveSamples == kWaveSamplesInteger ||
                   info.waveSamples == kWaveSamplesFloat);
    } else {
        FUZZ_CHECK(info.waveSamples == 0);
        FUZZ_CHECK(info.version == 1 || info.version == 2 || info.version == 25);
        if (info.kind == kStreamKindLayer3)
            FUZZ_CHECK(info.layer == 3);
        else
            FUZZ_CHECK(info.layer == 1 || info.layer == 2);
        FUZZ_CHECK(info.channels <= 2);
        FUZZ_CHECK(info.lengthSource >= 0 && info.lengthSource <= 2);
    }
    for (uint8_t b : info.reserved) FUZZ_CHECK(b == 0);

    MPEGINFOS again;
    std::memset(&again, 0, sizeof again);
    again.filled = kInfoNotFilled;
    FUZZ_CHECK(play.GetInfo(path.data(), &again));
    FUZZ_CHECK(std::memcmp(&info, &again, sizeof info) == 0);
    return 0;
}
