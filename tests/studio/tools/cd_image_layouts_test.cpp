// Disc images in the layouts other programs write, read through the studio's drive list, track
// list and WAV rip: CUE sheets naming other files, several files, big-endian audio, pregaps,
// track numbers not starting at 1, a data track first; cdrdao TOC files and NRG images; and an
// image that names a missing file. Positions are checked against cdrdao's reading where it reads
// the file, and every ripped WAV against the frames the test wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "components/cd_access/disc_image.h"
#include "media/disc_images.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/cd_rip.h"
#include "tests/support/cd_images.h"
#include "tests/support/test_support.h"

namespace ts = testing_support;
using namespace studio;

namespace {

using Frames = std::vector<uint8_t>;

// The start frames of the tracks as cdrdao's show-toc reads a TOC or CUE file; empty when
// cdrdao is missing or refuses the file.
std::vector<int32_t> CdrdaoStarts(const std::string& path) {
    std::vector<int32_t> starts;
    if (!ts::HaveTool("cdrdao")) return starts;
    // cdrdao looks up the files a description names in its working folder.
    const size_t slash = path.rfind('/');
    const ts::ToolResult shown = ts::RunTool({"cdrdao", "show-toc", path},
                                     slash == std::string::npos ? "" : path.substr(0, slash));
    if (shown.exitCode != 0) return starts;
    // "          START  00:03:05(   230)"
    std::istringstream lines(shown.out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.find("START");
        const size_t open = line.find('(', at);
        if (at == std::string::npos || open == std::string::npos) continue;
        starts.push_back(std::stoi(line.substr(open + 1)));
    }
    return starts;
}


// A window that answers every read-error question "No" and counts them.
class QuietWindow : public IRipWindow {
  public:
    void PostTrackChanged(int) override {}
    void PostRunEnded() override {}
    void StartEncodeTimer() override {}
    void StopEncodeTimer() override {}
    int Confirm(const std::string&) override {
        ++questions;
        return kConfirmNo;
    }
    int questions = 0;
};

struct ExpectedTrack {
    int number = 0;
    int32_t start = 0;
    bool data = false;
    Frames audio;  // from the track's start up to the next one's (empty for a data track)
};

struct Expected {
    std::string label;  // the drive's line
    std::vector<ExpectedTrack> tracks;
    int32_t leadOut = 0;
    bool cdrdaoReads = true;  // whether cdrdao's show-toc reads the description
};

class CdImageLayouts : public ::testing::Test {
  protected:
    studio::Session session;
    void SetUp() override {
        folder = dir.File("discs");
        std::filesystem::create_directories(folder);
        ::setenv("VEXMOR_DISC_IMAGES", folder.c_str(), 1);
        session.cd.currentDrive = 0;
    }
    std::string Put(const std::string& name, const Frames& bytes) {
        const std::string path = folder + "/" + name;
        ts::WriteFile(path, bytes);
        return path;
    }
    std::string PutText(const std::string& name, const std::string& text) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    // The image is the one drive; its TOC, track list and WAV rip are what `e` says.
    void Check(const std::string& image, const Expected& e) {
        ASSERT_EQ(session.cd.EnumerateDrives(), 1);
        EXPECT_EQ(DriveLabel(session.cd.drives[0]), e.label);
        ASSERT_TRUE(session.cd.RefreshTracks(0)) << session.cd.DriveProblem(0);
        EXPECT_EQ(session.cd.DriveProblem(0), "");
        const CdDrive& drive = session.cd.drives[0];
        ASSERT_EQ(drive.toc[2], e.tracks.front().number);
        ASSERT_EQ(drive.toc[3], e.tracks.back().number);
        auto start = [&](size_t k) {
            const uint8_t* d = &drive.toc[4 + 8 * k + 4];
            return int32_t(d[0]) << 24 | d[1] << 16 | d[2] << 8 | d[3];
        };
        for (size_t k = 0; k < e.tracks.size(); ++k) {
            EXPECT_EQ(start(k), e.tracks[k].start) << "track " << e.tracks[k].number;
            EXPECT_EQ((drive.toc[4 + 8 * k + 1] & 4) != 0, e.tracks[k].data);
        }
        EXPECT_EQ(start(e.tracks.size()), e.leadOut);
        if (e.cdrdaoReads && ts::HaveTool("cdrdao")) {
            std::vector<int32_t> starts;
            for (const ExpectedTrack& t : e.tracks) starts.push_back(t.start);
            EXPECT_EQ(CdrdaoStarts(image), starts) << "cdrdao reads " << image;
        }

        // Every audio track ripped to WAV holds exactly its frames.
        std::vector<CdTrack>& tracks = session.cd.tracks;
        ASSERT_EQ(tracks.size(), e.tracks.size());
        for (size_t row = 0; row < tracks.size(); ++row) {
            tracks[row].position = static_cast<int>(row);
            tracks[row].ticked = tracks[row].audio();
            EXPECT_EQ(tracks[row].number, e.tracks[row].number);
        }
        const std::string out = dir.File("out-" + std::to_string(++rips));
        std::filesystem::create_directories(out);
        RipperState& state = session.ripper;
        state.mode = RipMode::CdToWav;
        state.outputFolder = out + "/";
        state.keepFailedTracks = false;
        state.userStop.store(0);
        state.ripping.store(1);
        state.finished.store(0);
        session.CopyRipperOptionsToWorkingCopy();
        QuietWindow window;
        RipRun(session, window);
        state.ripping.store(0);
        EXPECT_EQ(window.questions, 0);
        for (size_t row = 0; row < tracks.size(); ++row) {
            const std::string wav = TrackWavPath(out, static_cast<int>(row));
            if (e.tracks[row].data) {
                EXPECT_FALSE(std::filesystem::exists(wav));
                continue;
            }
            const Frames bytes = ts::ReadFile(wav);
            ASSERT_GE(bytes.size(), 44u) << wav;
            EXPECT_TRUE(Frames(bytes.begin() + 44, bytes.end()) == e.tracks[row].audio)
                << "track " << e.tracks[row].number << ": " << bytes.size() - 44 << " bytes, "
                << e.tracks[row].audio.size() << " expected";
        }
    }

    ts::TempDir dir;
    std::string folder;
    int rips = 0;
};

Frames Join(std::initializer_list<Frames> parts) {
    Frames all;
    for (const Frames& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

TEST_F(CdImageLayouts, OneBinNamedOtherwiseWithAPregapInside) {
    const Frames one = ts::ToneFrames(200, 1), two = ts::ToneFrames(150, 2);
    Put("Album (disc 1).bin", Join({one, two}));
    // A file named after the sheet is not what the sheet names.
    Put("rip.bin", ts::ToneFrames(350, 9));
    const std::string cue = PutText("rip.cue",
                                    "REM made elsewhere\r\n"
                                    "PERFORMER \"Band\"\r\nTITLE \"Album\"\r\n"
                                    "FILE \"Album (disc 1).bin\" BINARY\r\n"
                                    "  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n"
                                    "    INDEX 01 00:00:00\r\n"
                                    "  TRACK 02 AUDIO\r\n    INDEX 00 00:02:50\r\n"
                                    "    INDEX 01 00:03:05\r\n");
    Check(cue, {"D: Disc image rip",
                {{1, 0, false, Join({one, ts::FrameSpan(two, 0, 30)})},
                 {2, 230, false, ts::FrameSpan(two, 30, 120)}},
                350});
    OpenDrive open(session.cd.drives[0]);
    EXPECT_EQ(open.CdText(0, 0), "Album");
    EXPECT_EQ(open.CdText(0, 1), "Band");
    EXPECT_EQ(open.CdText(1, 0), "One");
    EXPECT_EQ(open.CdText(2, 0), "");
}

TEST_F(CdImageLayouts, UpperCaseNamesAreFoundInAnyCase) {
    const Frames audio = ts::ToneFrames(120, 3);
    Put("cdda.bin", audio);
    const std::string cue = PutText("UPPER.CUE",
                                    "file \"CDDA.BIN\" binary\n"
                                    "track 01 audio\nindex 01 00:00:00\n");
    Check(cue, {"D: Disc image UPPER", {{1, 0, false, audio}}, 120, false});
}

// A link standing at a track's name is replaced by the ripped WAV; the file it led to is left as
// it was.
TEST_F(CdImageLayouts, ARipReplacesALinkAtATracksNameNotTheFileItLeadsTo) {
    const Frames audio = ts::ToneFrames(120, 7);
    Put("disc.bin", audio);
    const std::string cue =
        PutText("disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const std::string out = dir.File("out-1");  // the folder of this test's first rip
    std::filesystem::create_directories(out);
    const std::string elsewhere = dir.File("elsewhere.wav");
    ts::WriteFile(elsewhere, {1, 2, 3});
    std::filesystem::create_symlink(elsewhere, TrackWavPath(out, 0));
    Check(cue, {"D: Disc image disc", {{1, 0, false, audio}}, 120});
    EXPECT_FALSE(std::filesystem::is_symlink(TrackWavPath(out, 0)));
    EXPECT_EQ(ts::ReadFile(elsewhere), (Frames{1, 2, 3}));
}

TEST_F(CdImageLayouts, OneBinPerTrackWithPregapsInTheirFiles) {
    const Frames a = ts::ToneFrames(100, 4), b = ts::ToneFrames(90, 5), c = ts::ToneFrames(80, 6);
    Put("01.bin", a);
    Put("02.bin", b);
    Put("03.bin", c);
    const std::string cue =
        PutText("split.cue",
                "FILE \"01.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                "FILE \"02.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n"
                "    INDEX 01 00:00:40\n"
                "FILE \"03.bin\" BINARY\n  TRACK 03 AUDIO\n    INDEX 00 00:00:00\n"
                "    INDEX 01 00:00:10\n");
    // A pregap belongs to the track before it on the disc.
    Check(cue, {"D: Disc image split",
                {{1, 0, false, Join({a, ts::FrameSpan(b, 0, 40)})},
                 {2, 140, false, Join({ts::FrameSpan(b, 40, 50), ts::FrameSpan(c, 0, 10)})},
                 {3, 200, false, ts::FrameSpan(c, 10, 70)}},
                270});
}

TEST_F(CdImageLayouts, MotorolaFilesAreBigEndianAndNumbersMayStartAtFour) {
    const Frames a = ts::ToneFrames(60, 7), b = ts::ToneFrames(70, 8);
    Put("four.bin", a);
    Put("five.raw", ts::Swapped(b));
    const std::string cue = PutText("cdda_4_5.cue",
                                    "FILE \"four.bin\" BINARY\n  TRACK 04 AUDIO\n"
                                    "    INDEX 01 00:00:00\n"
                                    "FILE \"five.raw\" MOTOROLA\n  TRACK 05 AUDIO\n"
                                    "    PREGAP 00:00:05\n    INDEX 01 00:00:00\n");
    // PREGAP is silence that no file holds; cdrdao counts the tracks from 1.
    Check(cue, {"D: Disc image cdda_4_5",
                {{4, 0, false, Join({a, Frames(5 * kCdFrameBytes, 0)})}, {5, 65, false, b}},
                135,
                false});
    EXPECT_EQ(session.cd.tracks[0].name, "Track 01");
    EXPECT_EQ(session.cd.tracks[1].name, "Track 02");
}

TEST_F(CdImageLayouts, DataTrackFirstInSectorsOfItsOwnSize) {
    Put("data.iso", Frames(300 * 2048, 0x5A));
    const Frames audio = ts::ToneFrames(110, 9);
    Put("audio.bin", audio);
    const std::string cue = PutText("enhanced.cue",
                                    "FILE \"data.iso\" BINARY\n  TRACK 01 MODE1/2048\n"
                                    "    INDEX 01 00:00:00\n"
                                    "FILE \"audio.bin\" BINARY\n  TRACK 02 AUDIO\n"
                                    "    INDEX 01 00:00:00\n");
    Check(cue, {"D: Disc image enhanced", {{1, 0, true, {}}, {2, 300, false, audio}}, 410});
    EXPECT_EQ(session.cd.tracks[0].name, "Data track");
}

TEST_F(CdImageLayouts, CdrdaoTocFilesWithEveryKindOfAudioFile) {
    const Frames a = ts::ToneFrames(100, 10), b = ts::ToneFrames(80, 11),
                 c = ts::ToneFrames(50, 12);
    // FILE samples are big-endian unless SWAP; a DATAFILE holds them as the disc does.
    Put("a.raw", ts::Swapped(a));
    Put("b.bin", b);
    Put("c.raw", c);
    const std::string toc =
        PutText("session.toc",
                "CD_DA\n"
                "CD_TEXT {\n  LANGUAGE_MAP { 0 : EN }\n"
                "  LANGUAGE 0 { TITLE \"Toc Album\" PERFORMER \"Toc Band\" }\n}\n"
                "// the first track\n"
                "TRACK AUDIO\nNO COPY\n"
                "CD_TEXT { LANGUAGE 0 { TITLE \"First\" } }\n"
                "FILE \"a.raw\" 0\n"
                "TRACK AUDIO\nDATAFILE \"b.bin\"\nSTART 00:00:30\n"
                "TRACK AUDIO\nPREGAP 00:00:02\nAUDIOFILE \"c.raw\" SWAP 0 00:00:40\n");
    Check(toc, {"D: Disc image session",
                {{1, 0, false, Join({a, ts::FrameSpan(b, 0, 30)})},
                 {2, 130, false, Join({ts::FrameSpan(b, 30, 50), Frames(2 * kCdFrameBytes, 0)})},
                 {3, 182, false, ts::FrameSpan(c, 0, 40)}},
                222});
    // The bad-frame list of a test image works for every kind.
    ts::WriteBadFrames(toc, "150\n");
    OpenDrive open(session.cd.drives[0]);
    ReadRequest request(kChunkFrames);
    EXPECT_FALSE(request.ReadChunk(open.handle(), 140, 20));
    EXPECT_TRUE(request.ReadChunk(open.handle(), 151, 26));
    EXPECT_EQ(open.CdText(0, 0), "Toc Album");
    EXPECT_EQ(open.CdText(0, 1), "Toc Band");
    EXPECT_EQ(open.CdText(1, 0), "First");
}

TEST_F(CdImageLayouts, NrgImagesFromTheirDaoChunk) {
    const Frames a = ts::ToneFrames(90, 13), b = ts::ToneFrames(75, 14);
    ts::WriteNrgImage(folder + "/nero.NRG", {a, b}, {0, 15});
    Check(folder + "/nero.NRG", {"D: Disc image nero",
                                 {{1, 0, false, Join({a, ts::FrameSpan(b, 0, 15)})},
                                  {2, 105, false, ts::FrameSpan(b, 15, 60)}},
                                 165,
                                 false});
    ts::WriteBadFrames(folder + "/nero.NRG", "0-1\n");
    OpenDrive open(session.cd.drives[0]);
    ReadRequest request(kChunkFrames);
    EXPECT_FALSE(request.ReadChunk(open.handle(), 0, 1));
    EXPECT_TRUE(request.ReadChunk(open.handle(), 2, 26));
}

// An image that cannot be read is still listed, and says which file it misses.
TEST_F(CdImageLayouts, AMissingFileIsNamedWithTheImage) {
    Put("01.bin", ts::ToneFrames(30, 15));
    PutText("x.cue",
            "FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
            "FILE \"02.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n");
    ASSERT_EQ(session.cd.EnumerateDrives(), 1);
    EXPECT_EQ(DriveLabel(session.cd.drives[0]), "D: Disc image x");
    EXPECT_FALSE(session.cd.RefreshTracks(0));
    EXPECT_TRUE(session.cd.tracks.empty());
    EXPECT_EQ(session.cd.DriveProblem(0), "disc image x.cue: the file 02.bin it names is missing");

    // Other faults of a description name their reason too.
    const std::pair<const char*, const char*> faults[] = {
        {"FILE \"01.bin\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n",
         "the file 01.bin it names is of type WAVE, not BINARY or MOTOROLA"},
        {"FILE \"01.bin\" BINARY\n", "it holds no track"},
        {"TITLE \"x\"\n", "it names no file"},
        {"FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
         " TRACK 03 AUDIO\n  INDEX 01 00:00:10\n",
         "its track numbers do not count up from one to the next"},
        {"FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:40\n",
         "the file 01.bin it names is shorter than its tracks"},
        {"FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:0x:00\n",
         "line 3 has a time that is not mm:ss:ff"},
        {"FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n", "its track 01 has no INDEX 01"},
    };
    for (const auto& [sheet, reason] : faults) {
        cd_access::ImageLayout layout;
        std::string problem;
        EXPECT_FALSE(cd_access::ParseCueSheet(sheet, folder, layout, problem)) << sheet;
        EXPECT_EQ(problem, reason) << sheet;
    }
    cd_access::ImageLayout layout;
    std::string problem;
    EXPECT_FALSE(cd_access::ParseTocFile("CD_DA\nTRACK AUDIO\nFILE \"gone.raw\" 0\n", folder,
                                         layout, problem));
    EXPECT_EQ(problem, "the file gone.raw it names is missing");
    PutText("broken.nrg", "not an image at all");
    EXPECT_FALSE(cd_access::ReadNrgImage(folder + "/broken.nrg", layout, problem));
    EXPECT_EQ(problem, "it has no NRG footer");
}

// Which files are images: .cue, .toc and .nrg in any case, in name order, at most eight drives;
// a .toc beside the .cue of the same disc, the files they name and hidden files are not.
TEST_F(CdImageLayouts, ImageFolderListsEachImageOnce) {
    for (const char* name :
         {"b.cue", "b.toc", "b.bin", "a.TOC", "c.Nrg", ".writing-x.cue", "notes.txt", "D.CUE"})
        PutText(name, "");
    std::vector<std::string> names;
    for (const std::string& path : disc_images::ListImages(folder))
        names.push_back(std::filesystem::path(path).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"D.CUE", "a.TOC", "b.cue", "c.Nrg"}));
    for (int i = 0; i < 9; ++i) PutText("z" + std::to_string(i) + ".cue", "");
    EXPECT_EQ(session.cd.EnumerateDrives(), 8);
    EXPECT_EQ(DriveLabel(session.cd.drives[7]), "K: Disc image z3");
}
