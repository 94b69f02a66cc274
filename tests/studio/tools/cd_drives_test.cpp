#include "studio/tools/cd_drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "studio/session.h"
#include "tests/support/cd_images.h"
#include "tests/support/test_support.h"

namespace ts = testing_support;
using namespace studio;

namespace {

// An image folder of its own; the machines the tests run on have no CD drive.
class CdDrivesTest : public ::testing::Test {
  protected:
    studio::Session session;
    void SetUp() override {
        folder = dir.File("discs");
        std::filesystem::create_directories(folder);
        ::setenv("VEXMOR_DISC_IMAGES", folder.c_str(), 1);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const CdTrack& t : session.cd.tracks) names.push_back(t.name);
        return names;
    }
    ts::TempDir dir;
    std::string folder;
};

}  // namespace

TEST_F(CdDrivesTest, DrivesTakeTheCdRomLettersInTheLibrarysOrder) {
    ts::DiscImage disc;
    disc.tracks = {{100, false, "", ""}};
    ts::WriteDiscImage(folder, "one", disc);
    ts::WriteDiscImage(folder, "two", disc);

    // The platform's answer: C: is the fixed disk, the CD drives follow.
    ASSERT_EQ(session.cd.EnumerateDrives(), 2);
    EXPECT_EQ(DriveLabel(session.cd.drives[0]), "D: Disc image one");
    EXPECT_EQ(DriveLabel(session.cd.drives[1]), "E: Disc image two");
    EXPECT_EQ(session.cd.drives[1].address[0], 12);
    EXPECT_EQ(session.cd.drives[1].address[1], 1);
    EXPECT_EQ(session.cd.drives[1].address[2], 1);

    // Letters come from the drive-type query, from C upward, each after the one before.
    ASSERT_EQ(session.cd.EnumerateDrives([](char letter) {
        return letter == 'C' || letter == 'G' ? DriveType::CdRom : DriveType::Fixed;
    }),
              2);
    EXPECT_EQ(session.cd.drives[0].letter, 'C');
    EXPECT_EQ(session.cd.drives[1].letter, 'G');
    ASSERT_EQ(session.cd.EnumerateDrives([](char) { return DriveType::Fixed; }), 2);
    EXPECT_EQ(session.cd.drives[0].letter, 0);

    std::filesystem::remove_all(folder);
    EXPECT_EQ(session.cd.EnumerateDrives(), 0);
}

TEST_F(CdDrivesTest, RefreshBuildsTracksOfDataFirstAndEnhancedDiscs) {
    ts::DiscImage dataFirst;
    dataFirst.tracks = {{300, true, "", ""}, {15000, false, "", ""}, {20, false, "", ""}};
    ts::WriteDiscImage(folder, "a", dataFirst);
    ts::DiscImage enhanced;
    enhanced.tracks = {{750, false, "", ""}, {400, false, "", ""}, {600, true, "", ""}};
    ts::WriteDiscImage(folder, "b", enhanced);
    ASSERT_EQ(session.cd.EnumerateDrives(), 2);

    ASSERT_TRUE(session.cd.RefreshTracks(0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Data track", "Track 01", "Track 02"}));
    const std::vector<CdTrack>& tracks = session.cd.tracks;
    EXPECT_FALSE(tracks[0].audio());
    EXPECT_EQ(tracks[0].start, 0u);
    EXPECT_EQ(tracks[0].seconds, 0);
    EXPECT_EQ(tracks[1].start, 300u);
    EXPECT_EQ(tracks[1].length, 15000u);
    EXPECT_EQ(tracks[1].seconds, 200);
    // The last audio track runs up to the lead-out.
    EXPECT_EQ(tracks[2].length, 20u);
    EXPECT_EQ(tracks[2].position, 3);
    EXPECT_EQ(tracks[2].status.load(), kStatusNone);

    ASSERT_TRUE(session.cd.RefreshTracks(1));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Track 01", "Track 02", "Data track"}));
    EXPECT_EQ(session.cd.tracks[1].length, 400u);

    // The identity tells the same disc from a changed one; a drive without a disc has none.
    const int64_t id = session.cd.ReadDiscIdentity(1);
    EXPECT_EQ(id, int64_t{session.cd.drives[1].identity});
    enhanced.tracks[1].frames = 475;
    ts::WriteDiscImage(folder, "b", enhanced);
    EXPECT_NE(session.cd.ReadDiscIdentity(1), id);
    std::filesystem::remove(folder + "/b.bin");
    EXPECT_EQ(session.cd.ReadDiscIdentity(1), -1);
    EXPECT_FALSE(session.cd.RefreshTracks(1));
    EXPECT_TRUE(session.cd.tracks.empty());
    EXPECT_FALSE(session.cd.RefreshTracks(7));
}

TEST(CdToc, TrackNumbersOutOfOrderOrAddressesNotIncreasingAreRefused) {
    auto toc = [](int first, int last, std::vector<uint32_t> starts) {
        std::array<uint8_t, kTocBytes> bytes{};
        bytes[2] = static_cast<uint8_t>(first);
        bytes[3] = static_cast<uint8_t>(last);
        for (size_t k = 0; k < starts.size(); ++k) {
            for (int b = 0; b < 4; ++b) {
                bytes[4 + 8 * k + 4 + static_cast<size_t>(b)] =
                    static_cast<uint8_t>(starts[k] >> (24 - 8 * b));
            }
        }
        return bytes;
    };
    EXPECT_TRUE(TocMakesSense(toc(1, 2, {0, 100, 200})));
    EXPECT_TRUE(TocMakesSense(toc(3, 3, {150, 300})));
    EXPECT_FALSE(TocMakesSense(toc(2, 1, {0, 100, 200})));
    EXPECT_FALSE(TocMakesSense(toc(0, 1, {0, 100, 200})));
    EXPECT_FALSE(TocMakesSense(toc(1, 100, {0, 100})));
    EXPECT_FALSE(TocMakesSense(toc(1, 2, {0, 100, 100})));  // empty last track
    EXPECT_FALSE(TocMakesSense(toc(1, 2, {0, 200, 100})));  // lead-out before the last track
}

TEST_F(CdDrivesTest, ChunkReadsDeliverTheImagesFramesAndFailOnUnreadableOnes) {
    ts::DiscImage disc;
    disc.tracks = {{100, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "c", disc);
    ts::WriteBadFrames(cue, "60\n");
    ASSERT_EQ(session.cd.EnumerateDrives(), 1);
    OpenDrive drive(session.cd.drives[0]);
    ReadRequest request(26);
    ASSERT_TRUE(request.ok());
    ASSERT_TRUE(request.ReadChunk(drive.handle(), 74, 26));
    ASSERT_EQ(request.DeliveredBytes(), 26u * kCdFrameBytes);
    EXPECT_EQ(std::vector<uint8_t>(request.Delivered(), request.Delivered() + 26 * kCdFrameBytes),
              ts::ImageFrames(cue, 74, 26));
    EXPECT_FALSE(request.ReadChunk(drive.handle(), 52, 10));
    EXPECT_EQ(request.DeliveredBytes(), 0u);
    const ReadError error = LastReadError();
    EXPECT_EQ(error.status, 4);
    EXPECT_EQ(error.libraryError, 3);
}
