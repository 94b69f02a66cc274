// The codec engine's two conversions on any file and any argument vector: a call answers 0 and
// leaves a complete output, or answers an error, raises the bad indicator and leaves nothing
// (no output, no hidden temporary file).
//
// Input layout: the vector's elements first (each ends at a backslash followed by another
// character), then the file; the last byte picks the entry point and the file's name, the byte
// before it the number of elements.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "components/codec_engine/vxmpp.h"
#include "fuzz/fuzz_support.h"

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Paths in the vectors are relative to the scratch folder, so nothing lands elsewhere.
    if (::chdir(fuzz::Scratch().c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint8_t mode = input.ConsumeIntegral<uint8_t>();
    const int elements = input.ConsumeIntegralInRange<int>(0, 12);
    std::vector<std::string> vector{"fuzz"};
    for (int i = 0; i < elements; ++i) {
        // An element is a C string: it ends at its first zero byte.
        vector.push_back(input.ConsumeRandomLengthString(24));
        vector.back().resize(std::strlen(vector.back().c_str()));
    }
    const std::vector<uint8_t> file = input.ConsumeRemainingBytes<uint8_t>();

    fuzz::Clear();
    const bool decodeEntry = mode & 1;
    const std::string inputName = (mode & 2) ? "input.mp3" : "input.wav";
    const std::string inputPath = fuzz::WriteFile(inputName, file);
    std::string output = (fuzz::Scratch() / "output").string();
    if (decodeEntry && vector.size() > 1 && !vector.back().empty()) {
        // The decoder writes to the vector's last element: kept inside the scratch folder.
        std::string name = vector.back();
        std::replace(name.begin(), name.end(), '/', '_');
        vector.back() = output = (fuzz::Scratch() / ("out-" + name)).string();
    }
    std::vector<char*> args;
    for (std::string& element : vector) args.push_back(element.data());

    SetNoBad();
    SetCancelEncode(0);
    const int result =
        decodeEntry
            ? mymp3d(static_cast<int>(args.size()), args.data(), inputPath.c_str())
            : mymp3(static_cast<int>(args.size()), args.data(), inputPath.c_str(), output.c_str());
    const std::string outputName = std::filesystem::path(output).filename().string();
    const std::set<std::string> listing = fuzz::Listing();
    if (result != 0) {
        FUZZ_CHECK(GetIsBad() != 0);
        FUZZ_CHECK(listing == std::set<std::string>{inputName});
        return 0;
    }
    FUZZ_CHECK((listing == std::set<std::string>{inputName, outputName}));
    const std::vector<uint8_t> written = fuzz::ReadFile(output);
    FUZZ_CHECK(!written.empty());
    if (written.size() >= 4 && std::equal(written.begin(), written.begin() + 4, "RIFF")) {
        // A decoded WAV is complete: its RIFF size covers the whole file.
        FUZZ_CHECK(written.size() >= 44 && Le32(written.data() + 4) + 8 == written.size());
    }
    return 0;
}
