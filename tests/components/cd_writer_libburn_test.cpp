// The CD writer's side of real libburn, without a drive: the disc a write hands the library, whose
// CD-Text packs libburn itself produces and this test decodes (pack layout, CRC and block
// summary as CD players read them), and the failure it keeps from libburn's messages.
#include <gtest/gtest.h>
#include <libburn/libburn.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "components/cd_writer/libburn_drive.h"

namespace {

using namespace cd_writer;
using namespace burn;

constexpr int kPackBytes = 18;

// CRC-16 of a pack's 16 data bytes as CD-Text carries it: CCITT polynomial, stored inverted.
uint16_t PackCrc(const uint8_t* pack) {
    uint16_t crc = 0;
    for (int i = 0; i < 16; ++i) {
        crc ^= static_cast<uint16_t>(pack[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

struct DecodedText {
    int charCode = -1;
    int firstTrack = -1;
    int lastTrack = -1;
    // pack type -> track number (0: the disc) -> text in the block's character code
    std::map<int, std::map<int, std::string>> fields;
    bool crcsGood = true;
};

// Reads the text packs of language block 0 back into per-track texts.
DecodedText DecodePacks(const uint8_t* packs, int count) {
    DecodedText out;
    std::map<int, std::string> stream;  // pack type -> concatenated text bytes
    std::map<int, int> firstTrackOf;
    for (int i = 0; i < count; ++i) {
        const uint8_t* p = packs + i * kPackBytes;
        const uint16_t stored = static_cast<uint16_t>(p[16] << 8 | p[17]);
        if (stored != PackCrc(p)) out.crcsGood = false;
        if (((p[3] >> 4) & 7) != 0) continue;  // another language block
        const int type = p[0];
        if (type == 0x8f) {
            if (p[1] == 0) {  // the first summary pack
                out.charCode = p[4];
                out.firstTrack = p[5];
                out.lastTrack = p[6];
            }
            continue;
        }
        if (!firstTrackOf.count(type)) firstTrackOf[type] = p[1] & 0x7f;
        stream[type].append(reinterpret_cast<const char*>(p + 4), 12);
    }
    for (const auto& [type, bytes] : stream) {
        int track = firstTrackOf[type];
        std::string previous;
        size_t at = 0;
        // The last pack is filled up with zero bytes: texts end at the last track.
        while (at < bytes.size() && track <= out.lastTrack) {
            const size_t end = bytes.find('\0', at);
            if (end == std::string::npos) break;  // the padding of the last pack
            std::string text = bytes.substr(at, end - at);
            if (text == "\t") text = previous;  // "same as the track before"
            out.fields[type][track++] = text;
            previous = text;
            at = end + 1;
        }
    }
    return out;
}

// Builds the disc as a write does, from generated track texts, and asks libburn for its packs.
std::vector<uint8_t> PacksOf(const std::vector<BurnTrack>& tracks) {
    std::vector<int> readEnds;
    std::vector<int> writeEnds;
    for (size_t i = 0; i < tracks.size(); ++i) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        readEnds.push_back(pipeFds[0]);
        writeEnds.push_back(pipeFds[1]);
    }
    burn_disc* disc = NewLibburnDisc(tracks, readEnds);
    for (int fd : writeEnds) ::close(fd);
    EXPECT_NE(disc, nullptr);
    if (!disc) return {};
    int sessionCount = 0;
    burn_session** sessions = burn_disc_get_sessions(disc, &sessionCount);
    EXPECT_EQ(sessionCount, 1);
    std::vector<uint8_t> bytes;
    if (sessionCount == 1) {
        int trackCount = 0;
        burn_session_get_tracks(sessions[0], &trackCount);
        EXPECT_EQ(trackCount, static_cast<int>(tracks.size()));
        unsigned char* packs = nullptr;
        int count = 0;
        EXPECT_GT(burn_cdtext_from_session(sessions[0], &packs, &count, 0), 0);
        if (packs) bytes.assign(packs, packs + count * kPackBytes);
        std::free(packs);
    }
    burn_disc_free(disc);
    return bytes;
}

BurnTrack Track(int64_t sectors, std::string title, std::string performer) {
    BurnTrack t;
    t.sectors = sectors;
    t.text.title = std::move(title);
    t.text.performer = std::move(performer);
    return t;
}

TEST(LibburnDisc, CdTextPacksFromRealLibburnDecodeToTheTracksTitlesAndPerformers) {
    const std::vector<BurnTrack> tracks = {
        Track(300, "Opening", "Band"),
        Track(4500, "\xc3\x89t\xc3\xa9 \xc3\xa0 Paris", ""),  // UTF-8 in, ISO-8859-1 on the disc
        Track(301, "A title longer than twelve characters", "Someone Else"),
    };
    const std::vector<uint8_t> packs = PacksOf(tracks);
    ASSERT_FALSE(packs.empty()) << "libburn made no CD-Text packs for the session";
    ASSERT_EQ(packs.size() % kPackBytes, 0u);
    const DecodedText text = DecodePacks(packs.data(), static_cast<int>(packs.size() / kPackBytes));
    EXPECT_TRUE(text.crcsGood);
    EXPECT_EQ(text.charCode, 0x00) << "ISO-8859-1";
    EXPECT_EQ(text.firstTrack, 1);
    EXPECT_EQ(text.lastTrack, 3);

    const std::map<int, std::string> titles = {
        {0, ""}, {1, "Opening"}, {2, "\xc9t\xe9 \xe0 Paris"}, {3, tracks[2].text.title}};
    EXPECT_EQ(text.fields.at(0x80), titles);
    const std::map<int, std::string> performers = {
        {0, ""}, {1, "Band"}, {2, ""}, {3, "Someone Else"}};
    EXPECT_EQ(text.fields.at(0x81), performers);
}

TEST(LibburnDisc, WithoutAnyPerformerOnlyTitlesAreWrittenAndABadTrackListIsRefused) {
    const std::vector<uint8_t> packs = PacksOf({Track(300, "one", ""), Track(300, "two", "")});
    ASSERT_FALSE(packs.empty());
    const DecodedText text = DecodePacks(packs.data(), static_cast<int>(packs.size() / kPackBytes));
    EXPECT_TRUE(text.crcsGood);
    const std::map<int, std::string> titles = {{0, ""}, {1, "one"}, {2, "two"}};
    EXPECT_EQ(text.fields.at(0x80), titles);
    EXPECT_EQ(text.fields.count(0x81), 0u);
    EXPECT_EQ(text.lastTrack, 2);

    // One descriptor for two tracks: nothing is built, and the descriptor is closed.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    EXPECT_EQ(NewLibburnDisc({Track(300, "a", ""), Track(300, "b", "")}, {pipeFds[0]}), nullptr);
    EXPECT_EQ(::close(pipeFds[0]), -1) << "the reading end was closed";
    ::close(pipeFds[1]);
}

TEST(LibburnDisc, TheFirstFailureKeepsItsTextAndSenseData) {
    CollectLibburnFailure();  // whatever earlier tests left
    burn_msgs_submit(0, const_cast<char*>("a note of no consequence"), 0,
                     const_cast<char*>("NOTE"), nullptr);
    burn_msgs_submit(0, const_cast<char*>("the cause of it all"), 0, const_cast<char*>("SORRY"),
                     nullptr);
    burn_msgs_submit(0, const_cast<char*>("SCSI error on write: [5 21 02] out of range"), 0,
                     const_cast<char*>("FAILURE"), nullptr);
    burn_msgs_submit(0, const_cast<char*>("then this: [3 0C 09] underrun, timeout"), 0,
                     const_cast<char*>("FAILURE"), nullptr);
    const BurnFailure failure = CollectLibburnFailure();
    EXPECT_EQ(failure.text, "the cause of it all");
    EXPECT_EQ(failure.senseKey, 5);
    EXPECT_EQ(failure.asc, 0x21);
    EXPECT_EQ(failure.ascq, 0x02);
    EXPECT_EQ(DeviceErrorCode(failure), 1021);
    EXPECT_TRUE(CollectLibburnFailure().text.empty()) << "the queue was emptied";
}

}  // namespace
