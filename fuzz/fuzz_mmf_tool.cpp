// The MMF tool on any source file: it writes a ringtone that starts as a SMAF file does, or
// gives a reason and leaves nothing beside the source.
#include "components/mmf_tool/mmf_convert.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Clear();
    const std::string source = fuzz::WriteFile("input.wav", data, size);
    const mmf::ConvertResult result = mmf::ConvertToMmf(source);
    const std::string expected = (fuzz::Scratch() / "input.mmf").string();
    if (!result.ok) {
        FUZZ_CHECK(!result.error.empty());
        FUZZ_CHECK(fuzz::Listing() == std::set<std::string>{"input.wav"});
        return 0;
    }
    FUZZ_CHECK(result.outputPath == expected);
    FUZZ_CHECK((fuzz::Listing() == std::set<std::string>{"input.wav", "input.mmf"}));
    const std::vector<uint8_t> ringtone = fuzz::ReadFile(expected);
    FUZZ_CHECK(ringtone.size() > 8 && std::equal(ringtone.begin(), ringtone.begin() + 4, "MMMD"));
    FUZZ_CHECK(result.seconds >= 0 && result.sampleRate == mmf::kDefaultSmafRate);
    return 0;
}
