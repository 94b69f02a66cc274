#include "components/cd_access/cd_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "components/cd_access/a1.h"
#include "tests/support/cd_images.h"
#include "tests/support/test_support.h"

namespace ts = testing_support;

namespace {

struct Drive {
    uint8_t address[A1_ADDRESS_BYTES] = {};
    std::string description;
};

// Points the image folder at `folder` and lists the drives; only images count, as a test machine
// may or may not have a real drive.
std::vector<Drive> ImageDrives(const std::string& folder) {
    ::setenv("VEXMOR_DISC_IMAGES", folder.c_str(), 1);
    std::vector<uint8_t> list(A1_DRIVE_LIST_BYTES, 0);
    a2(list.data());
    std::vector<Drive> drives;
    for (int i = 0; i < list[1]; ++i) {
        const uint8_t* entry = list.data() + 2 + A1_DRIVE_ENTRY_BYTES * i;
        Drive d;
        d.address[0] = 12;
        d.address[1] = 1;
        d.address[2] = entry[0];
        d.address[3] = entry[1];
        d.address[4] = entry[2];
        d.description = reinterpret_cast<const char*>(entry + 4);
        if (d.description.rfind("Disc image ", 0) == 0) drives.push_back(d);
    }
    return drives;
}

uint32_t BigEndian(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

uint32_t Identity(const Drive& drive) {
    const int handle = a12(drive.address);
    std::vector<uint8_t> toc(A1_TOC_BYTES, 0);
    EXPECT_EQ(a7(handle, toc.data()), 1);
    const int words = toc[0] | toc[1] << 8;
    std::vector<uint8_t> buffer(4 * static_cast<size_t>(words) + 12, 0);
    a14(handle, buffer.data(), words);
    a13(handle);
    uint32_t id = 0;
    std::memcpy(&id, buffer.data(), 4);
    return id;
}

struct Request {
    explicit Request(uint32_t frames)
        : bytes(A1_REQUEST_HEADER_BYTES + frames * A1_FRAME_BYTES, 0) {
        header()->capacityBytes = frames * A1_FRAME_BYTES;
    }
    A1ReadRequest* header() { return reinterpret_cast<A1ReadRequest*>(bytes.data()); }
    std::vector<uint8_t> Delivered() {
        const uint8_t* data = bytes.data() + A1_REQUEST_HEADER_BYTES + header()->dataOffset;
        return {data, data + header()->deliveredBytes};
    }
    int Read(int handle, uint32_t first, uint32_t count) {
        header()->firstFrame = first;
        header()->frameCount = count;
        return a8(handle, header());
    }
    std::vector<uint8_t> bytes;
};

ts::DiscImage DataFirstDisc() {
    ts::DiscImage disc;
    disc.title = "Generated Album";
    disc.performer = "Test Band";
    disc.tracks = {
        {300, true, "", ""}, {15000, false, "Long Song", "Singer A"}, {20, false, "Tiny", ""}};
    return disc;
}

}  // namespace

// The image folder's .cue files are drives in name order; a disc whose first track is data
// gives the standard READ TOC layout, a stable identity and exact frames.
TEST(CdAccessLibrary, ImageDiscTocIdentityAndFrames) {
    ts::TempDir dir;
    const std::string cue = ts::WriteDiscImage(dir.path(), "b-disc", DataFirstDisc());
    ts::DiscImage other;
    other.tracks = {{1000, false, "", ""}};
    ts::WriteDiscImage(dir.path(), "a-disc", other);

    const std::vector<Drive> drives = ImageDrives(dir.path());
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].description, "Disc image a-disc");
    EXPECT_EQ(drives[1].description, "Disc image b-disc");

    const int handle = a12(drives[1].address);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(a11(handle, 36, 0), 1);
    std::vector<uint8_t> toc(A1_TOC_BYTES, 0);
    ASSERT_EQ(a7(handle, toc.data()), 1);
    EXPECT_EQ(toc[0] << 8 | toc[1], 2 + 8 * 4);  // big-endian data length: 3 tracks + lead-out
    EXPECT_EQ(toc[2], 1);
    EXPECT_EQ(toc[3], 3);
    EXPECT_TRUE(toc[4 + 1] & 4);  // track 1 is data
    EXPECT_FALSE(toc[12 + 1] & 4);
    EXPECT_EQ(BigEndian(&toc[4 + 4]), 0u);
    EXPECT_EQ(BigEndian(&toc[12 + 4]), 300u);
    EXPECT_EQ(BigEndian(&toc[20 + 4]), 15300u);
    EXPECT_EQ(toc[28 + 2], 0xAA);
    EXPECT_EQ(BigEndian(&toc[28 + 4]), 15320u);

    char text[64];
    EXPECT_EQ(a1CdText(handle, 0, 0, text, sizeof text), 15);
    EXPECT_STREQ(text, "Generated Album");
    EXPECT_GT(a1CdText(handle, 2, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "Singer A");
    EXPECT_EQ(a1CdText(handle, 3, 1, text, sizeof text), -1);

    // Frames come back exactly as the image holds them, at a chunk and at the track's end.
    Request request(26);
    ASSERT_EQ(request.Read(handle, 300, 26), 1);
    EXPECT_EQ(request.Delivered(), ts::ImageFrames(cue, 300, 26));
    ASSERT_EQ(request.Read(handle, 15300, 20), 1);
    EXPECT_EQ(request.Delivered(), ts::ImageFrames(cue, 15300, 20));
    // Past the lead-out, or more than the request holds: refused, and said why.
    EXPECT_NE(request.Read(handle, 15310, 20), 1);
    EXPECT_EQ(a4(), A1_STATUS_INVALID);
    EXPECT_NE(request.Read(handle, 0, 27), 1);
    EXPECT_EQ(request.header()->deliveredBytes, 0u);
    a13(handle);
    EXPECT_NE(request.Read(handle, 300, 1), 1);
    EXPECT_EQ(a4(), A1_STATUS_BAD_HANDLE);

    // The identity stays for the same disc and changes with another one of the same layout
    // but other lengths.
    const uint32_t id = Identity(drives[1]);
    EXPECT_EQ(Identity(drives[1]), id);
    ts::DiscImage changed = DataFirstDisc();
    changed.tracks[1].frames = 15075;
    ts::WriteDiscImage(dir.path(), "b-disc", changed);
    EXPECT_NE(Identity(drives[1]), id);
}

// Listed unreadable frames fail every read that touches them, with a medium error.
TEST(CdAccessLibrary, BadFramesFailTheirReads) {
    ts::TempDir dir;
    ts::DiscImage disc;
    disc.tracks = {{200, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(dir.path(), "worn", disc);
    ts::WriteBadFrames(cue, "# worn spots\n30\n\n100-104\n");
    const std::vector<Drive> drives = ImageDrives(dir.path());
    ASSERT_EQ(drives.size(), 1u);
    const int handle = a12(drives[0].address);
    Request request(26);
    EXPECT_EQ(request.Read(handle, 0, 26), 1);
    EXPECT_NE(request.Read(handle, 26, 26), 1);
    EXPECT_EQ(a4(), A1_STATUS_ERROR);
    EXPECT_EQ(a3(a4()), cd_access::kErrorMedium);
    EXPECT_EQ(request.Read(handle, 31, 26), 1);
    EXPECT_NE(request.Read(handle, 104, 1), 1);
    EXPECT_EQ(request.Read(handle, 105, 26), 1);
    EXPECT_EQ(request.Delivered(), ts::ImageFrames(cue, 105, 26));
    a13(handle);
}

// The correcting reader that real drives use gives the same frames as the image holds.
TEST(CdAccessLibrary, CorrectingReaderDeliversExactFrames) {
    ts::TempDir dir;
    ts::DiscImage disc;
    disc.tracks = {{400, false, "", ""}, {300, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(dir.path(), "exact", disc);
    cd_access::CdioPtr cdio(cdio_open_cue(cue.c_str()));
    ASSERT_TRUE(cdio);
    std::unique_ptr<cd_access::FrameReader> reader = cd_access::MakeParanoiaReader(cdio.get(), 4);
    ASSERT_TRUE(reader);
    std::vector<uint8_t> out(52 * A1_FRAME_BYTES);
    cd_access::ReadFailure failure;
    // Two consecutive chunks across the track boundary, then a jump back.
    ASSERT_TRUE(reader->Read(374, 26, out.data(), failure));
    ASSERT_TRUE(reader->Read(400, 26, out.data() + 26 * A1_FRAME_BYTES, failure));
    EXPECT_EQ(out, ts::ImageFrames(cue, 374, 52));
    out.resize(26 * A1_FRAME_BYTES);
    ASSERT_TRUE(reader->Read(0, 26, out.data(), failure));
    EXPECT_EQ(out, ts::ImageFrames(cue, 0, 26));
}

TEST(CdAccessLibrary, FrameRangesFileAndDiscId) {
    ts::TempDir dir;
    ts::WriteFile(dir.File("x.badframes"),
                  {'5', '\n', ' ', '7', '-', '9', ' ', '\n', 'z', '\n', '4', '-', '2', '\n'});
    const cd_access::FrameRanges ranges = cd_access::ReadFrameRanges(dir.File("x.badframes"));
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], std::make_pair(5, 5));
    EXPECT_EQ(ranges[1], std::make_pair(7, 9));

    // A known layout: one 3-minute track from frame 0 gives 0x0200B401 by the database's rule
    // (start second 2 -> digit sum 2; length 180 s = 0xB4; one track).
    cd_access::Toc toc;
    toc.first = toc.last = 1;
    toc.tracks = {{1, 0}};
    toc.leadOut = 180 * 75;
    EXPECT_EQ(cd_access::DiscId(toc), 0x0200B401u);
}

// A malformed CUE sheet in the image folder is a disc that cannot be opened, not the end of the
// program (libcdio's own error reporting would end the process); the good image beside it works.
TEST(CdAccessLibrary, MalformedCueSheetFailsOnlyItsOwnDisc) {
    ts::TempDir dir;
    ts::DiscImage good;
    good.tracks = {{1000, false, "", ""}};
    ts::WriteDiscImage(dir.path(), "b-good", good);
    const std::string cue = "FILE \"a-bad.bin\" BINARY\nNONSENSE 1\n";
    ts::WriteFile(dir.path() + "/a-bad.cue", std::vector<uint8_t>(cue.begin(), cue.end()));
    ts::WriteFile(dir.path() + "/a-bad.bin", std::vector<uint8_t>(2352 * 30, 0));

    const std::vector<Drive> drives = ImageDrives(dir.path());
    ASSERT_EQ(drives.size(), 2u);
    std::vector<uint8_t> toc(A1_TOC_BYTES, 0);
    const int bad = a12(drives[0].address);
    if (bad > 0) {
        EXPECT_NE(a7(bad, toc.data()), 1);
        a13(bad);
    }
    const int handle = a12(drives[1].address);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(a7(handle, toc.data()), 1);
    a13(handle);
}
