// The CD-access library on any disc image: a CUE sheet or cdrdao TOC file naming up to two data
// files ("disc.bin", "02.bin"), or an NRG image, and a list of unreadable frames, all from the
// input, in the image folder. Through the library's entry points: the drive list names the image,
// an image that cannot be opened says why, the table of contents is laid out consistently, frame
// reads deliver exactly what was asked (the same bytes each time) or fail with a known status, and
// a read over a listed frame fails.
//
// Input layout: the description and the bad-frame list first (each ends at a backslash followed
// by another character), then the two data files (for an NRG image: the image after the
// description). From the end: the first frame read (2 bytes), the frame count, the kind (CUE,
// TOC, NRG) and the size of disc.bin (3 bytes, low byte first).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>

#include "components/cd_access/a1.h"
#include "components/cd_access/cd_access.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("VEXMOR_DISC_IMAGES", (fuzz::Scratch() / "discs").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint32_t first = input.ConsumeIntegralInRange<uint32_t>(0, 400);
    const uint32_t count = input.ConsumeIntegralInRange<uint32_t>(0, 30);
    const int kind = input.ConsumeIntegralInRange<int>(0, 2);
    const size_t firstFile = input.ConsumeIntegralInRange<size_t>(0, 64 * A1_FRAME_BYTES);
    const std::string description = input.ConsumeRandomLengthString(4096);
    const std::string bad = input.ConsumeRandomLengthString(512);
    const std::vector<uint8_t> one = input.ConsumeBytes<uint8_t>(firstFile);
    const std::vector<uint8_t> two = input.ConsumeRemainingBytes<uint8_t>();

    fuzz::Clear();
    std::filesystem::create_directory(fuzz::Scratch() / "discs");
    const char* names[] = {"discs/disc.cue", "discs/disc.toc", "discs/disc.nrg"};
    if (kind == 2) {
        std::vector<uint8_t> image(description.begin(), description.end());
        image.insert(image.end(), one.begin(), one.end());
        image.insert(image.end(), two.begin(), two.end());
        fuzz::WriteFile(names[kind], image);
    } else {
        fuzz::WriteFile(names[kind], description.data(), description.size());
        fuzz::WriteFile("discs/disc.bin", one);
        fuzz::WriteFile("discs/02.bin", two);
    }
    fuzz::WriteFile("discs/disc.badframes", bad.data(), bad.size());

    const cd_access::FrameRanges ranges =
        cd_access::ReadFrameRanges((fuzz::Scratch() / "discs/disc.badframes").string());
    for (const auto& [from, to] : ranges) FUZZ_CHECK(from <= to);

    // The image is the last drive of the list (a machine's own drives come first).
    std::vector<uint8_t> list(A1_DRIVE_LIST_BYTES, 0xEE);
    a2(list.data());
    const int drives = list[1];
    FUZZ_CHECK(drives >= 1 && drives <= A1_MAX_DRIVES);
    uint8_t address[A1_ADDRESS_BYTES] = {A1_ADDRESS_BYTES, 1, static_cast<uint8_t>(drives - 1)};
    const int handle = a12(address);
    char problem[512];
    const int problemLength = a1DriveProblem(address, problem, sizeof problem);
    if (handle <= 0) {
        // An image that cannot be opened names itself and the reason.
        FUZZ_CHECK(problemLength > 0 && std::strncmp(problem, "disc image disc.", 16) == 0);
        return 0;
    }
    FUZZ_CHECK(problemLength == 0);

    std::vector<uint8_t> toc(A1_TOC_BYTES, 0);
    if (a7(handle, toc.data()) == 1) {
        const int firstTrack = toc[2], lastTrack = toc[3];
        FUZZ_CHECK(firstTrack >= 1 && firstTrack <= lastTrack && lastTrack <= 99);
        const int descriptors = lastTrack - firstTrack + 2;
        FUZZ_CHECK((toc[0] << 8 | toc[1]) == 2 + 8 * descriptors);
        uint32_t previous = 0;
        for (int d = 0; d < descriptors; ++d) {
            const uint8_t* descriptor = toc.data() + 4 + 8 * d;
            FUZZ_CHECK(descriptor[2] == (d + 1 < descriptors ? firstTrack + d : 0xAA));
            const uint32_t start = uint32_t{descriptor[4]} << 24 | descriptor[5] << 16 |
                                   descriptor[6] << 8 | descriptor[7];
            FUZZ_CHECK(d == 0 || start > previous);
            previous = start;
        }
        uint32_t id[4] = {};
        a14(handle, reinterpret_cast<uint8_t*>(id), 1);
        uint32_t again[4] = {};
        a14(handle, reinterpret_cast<uint8_t*>(again), 1);
        FUZZ_CHECK(id[0] == again[0]);
    }

    // A request as callers make it: the header, then room for the frames.
    const uint32_t capacity = std::max<uint32_t>(count, 1) * A1_FRAME_BYTES;
    std::vector<uint32_t> block((A1_REQUEST_HEADER_BYTES + capacity) / 4 + 1, 0);
    auto* request = reinterpret_cast<A1ReadRequest*>(block.data());
    request->firstFrame = first;
    request->frameCount = count;
    request->capacityBytes = capacity;
    if (a8(handle, request) == 1) {
        FUZZ_CHECK(count > 0 && request->deliveredBytes == count * A1_FRAME_BYTES);
        FUZZ_CHECK(request->dataOffset + request->deliveredBytes <= capacity);
        const std::vector<uint32_t> delivered = block;
        FUZZ_CHECK(a8(handle, request) == 1 && block == delivered);
        for (const auto& [from, to] : ranges)
            FUZZ_CHECK(int64_t(to) < int64_t(first) || int64_t(from) >= int64_t(first) + count);
    } else {
        const int status = a4();
        FUZZ_CHECK(status == A1_STATUS_ERROR || status == A1_STATUS_INVALID ||
                   status == A1_STATUS_NO_MEDIA);
        FUZZ_CHECK(request->deliveredBytes == 0);
    }
    a13(handle);
    // A request that is valid in itself fails on the closed handle.
    request->firstFrame = 0;
    request->frameCount = 1;
    FUZZ_CHECK(a8(handle, request) == 0 && a4() == A1_STATUS_BAD_HANDLE);
    return 0;
}
