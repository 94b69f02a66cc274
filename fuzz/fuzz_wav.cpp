// The studio's WAV code on any file: the header reader and the in-memory wave (what it stores
// loads back the same), and the segment writer that cuts the editor's selection out of a WAV
// (the segment holds exactly the selected whole frames of the source, a failure leaves no file).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

#include "fuzz/fuzz_support.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"
#include "studio/wav.h"

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

void CheckWaveRoundTrip(const std::string& bytes) {
    std::istringstream in(bytes);
    CWave wave;
    try {
        wave.Load(in, "source.wav");
    } catch (const InvalidFileError& error) {
        FUZZ_CHECK(error.path() == "source.wav");
        return;
    }
    FUZZ_CHECK(wave.format.blockAlign != 0);
    FUZZ_CHECK(wave.samples.size() % wave.format.blockAlign == 0);
    std::ostringstream out;
    wave.Store(out);
    std::istringstream back(out.str());
    CWave again;
    again.Load(back, "stored.wav");
    FUZZ_CHECK(again.samples == wave.samples);
    FUZZ_CHECK(again.format.formatTag == wave.format.formatTag);
    FUZZ_CHECK(again.format.channels == wave.format.channels);
    FUZZ_CHECK(again.format.sampleRate == wave.format.sampleRate);
    FUZZ_CHECK(again.format.bytesPerSecond == wave.format.bytesPerSecond);
    FUZZ_CHECK(again.format.blockAlign == wave.format.blockAlign);
    FUZZ_CHECK(again.format.bitsPerSample == wave.format.bitsPerSample);
}

void CheckSegment(const std::vector<uint8_t>& source, int32_t start, int32_t end) {
    fuzz::Clear();
    const std::string sourcePath = fuzz::WriteFile("source.wav", source);
    const std::string target = (fuzz::Scratch() / "segment.wav").string();
    FixedSelection selection(start, end);
    bool written = false;
    try {
        written = WriteSelectionToWav(target, selection, sourcePath).written;
    } catch (const InvalidFileError& error) {
        FUZZ_CHECK(error.path() == sourcePath);
    }
    if (!written) {
        FUZZ_CHECK(fuzz::Listing() == std::set<std::string>{"source.wav"});
        return;
    }
    FUZZ_CHECK((fuzz::Listing() == std::set<std::string>{"source.wav", "segment.wav"}));

    // Worked out from the source on its own terms: the first "data" tag, the block alignment of
    // the canonical format chunk, the selection in 16-bit positions lowered to whole frames.
    FUZZ_CHECK(source.size() >= 36);
    const uint16_t align = source[32] | source[33] << 8;
    FUZZ_CHECK(align != 0);
    size_t tag = 0;
    while (tag + 4 <= source.size() && std::memcmp(source.data() + tag, "data", 4) != 0) ++tag;
    FUZZ_CHECK(tag <= 94 && tag + 8 <= source.size());
    const size_t dataStart = tag + 8;
    const int64_t firstByte = 2 * (std::max<int64_t>(start, 0) / align * align);

    const std::vector<uint8_t> segment = fuzz::ReadFile(target);
    FUZZ_CHECK(segment.size() > dataStart);
    FUZZ_CHECK(Le32(segment.data() + 4) + 8 == segment.size());
    const uint32_t length = Le32(segment.data() + tag + 4);
    FUZZ_CHECK(length + dataStart == segment.size());
    FUZZ_CHECK(length % align == 0 && length > 0);
    FUZZ_CHECK(std::equal(segment.begin() + 8, segment.begin() + tag + 4, source.begin() + 8));
    FUZZ_CHECK(dataStart + firstByte + length <= source.size());
    FUZZ_CHECK(std::equal(segment.begin() + dataStart, segment.end(),
                          source.begin() + dataStart + firstByte));
    FUZZ_CHECK(int64_t(length) <= 2 * int64_t(end) - firstByte);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // The selection comes from the input's last bytes, the file from the rest.
    const int32_t start = input.ConsumeIntegral<int32_t>();
    const int32_t end = input.ConsumeIntegral<int32_t>();
    const std::vector<uint8_t> file = input.ConsumeRemainingBytes<uint8_t>();
    CheckWaveRoundTrip(std::string(file.begin(), file.end()));
    CheckSegment(file, start, end);
    static_cast<platform::ScriptedUi&>(platform::GetUi()).Clear();
    return 0;
}
