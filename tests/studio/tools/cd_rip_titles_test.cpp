// The ripper's titles without a window: which text a row shows and the tags get (edit, release,
// CD-Text), the releases that fit the disc, the choice lines, and the plan a rip takes.
#include "studio/tools/cd_rip_titles.h"

#include <gtest/gtest.h>

#include "studio/tools/cd_rip.h"
#include "tests/support/test_support.h"

namespace ts = testing_support;
using namespace studio;

namespace {

CdTextTitles ThreeTrackCdText() {
    CdTextTitles text;
    text.album = "Disc Album";
    text.artist = "Disc Band";
    text.titles = {"", "Second On Disc", ""};
    text.artists = {"", "Guest On Disc", ""};
    return text;
}

DiscRelease Release(const std::string& album, std::vector<std::string> titles,
                    const std::string& source = "MusicBrainz") {
    DiscRelease r;
    r.source = source;
    r.album = album;
    r.artist = "Release Band";
    r.year = "2001";
    r.country = "DE";
    r.releaseId = source == "MusicBrainz" ? "rel-" + album : "";
    r.discId = source == "MusicBrainz" ? "disc-id-" : "";
    r.titles = std::move(titles);
    r.artists.assign(r.titles.size(), "");
    return r;
}

}  // namespace

TEST(RipTitlesRows, EditsWinOverTheReleaseWhichWinsOverTheCdText) {
    RipTitles titles;
    titles.Reset(ThreeTrackCdText(), 3);
    // Without a look-up the tags are the CD-Text's and the list keeps its own names.
    EXPECT_EQ(titles.Title(1), "Second On Disc");
    EXPECT_FALSE(titles.HasShownTitle(1));
    EXPECT_EQ(titles.album(), "Disc Album");
    media::SongTags tags = titles.TagsFor(1, 3);
    EXPECT_EQ(tags.artist, "Guest On Disc");
    EXPECT_EQ(tags.albumArtist, "Disc Band");
    EXPECT_EQ(tags.track, 2);
    EXPECT_EQ(tags.trackTotal, 3);
    EXPECT_TRUE(tags.userTexts.empty());
    EXPECT_EQ(titles.TagsFor(0, 3).title, "");
    EXPECT_EQ(titles.TagsFor(0, 3).artist, "Disc Band");

    // A release of another track count is no release of this disc.
    titles.SetReleases({Release("Short", {"a", "b"}), Release("Fits", {"One", "", "Three"})});
    ASSERT_EQ(titles.releases().size(), 1u);
    EXPECT_EQ(titles.chosen(), 0);
    EXPECT_EQ(titles.Title(0), "One");
    EXPECT_TRUE(titles.HasShownTitle(0));
    // A release without a title for a track leaves that track's CD-Text.
    EXPECT_EQ(titles.Title(1), "Second On Disc");
    EXPECT_FALSE(titles.HasShownTitle(1));
    EXPECT_EQ(titles.album(), "Fits");
    tags = titles.TagsFor(2, 3);
    EXPECT_EQ(tags.title, "Three");
    EXPECT_EQ(tags.artist, "Release Band");
    EXPECT_EQ(tags.year, "2001");
    EXPECT_EQ(tags.userTexts.at("MusicBrainz Album Id"), "rel-Fits");
    EXPECT_EQ(tags.userTexts.at("MusicBrainz Disc Id"), "disc-id-");

    // Edits are cleaned and win, also over a later look-up; an empty edit gives the row back.
    titles.EditTitle(0, std::string("  My\0 Title\t", 12));
    titles.EditAlbum("Mine");
    titles.EditArtist(std::string(300, 'x'));
    EXPECT_EQ(titles.Title(0), "My Title");
    titles.SetReleases({Release("Later", {"L1", "L2", "L3"})});
    EXPECT_EQ(titles.Title(0), "My Title");
    EXPECT_EQ(titles.Title(1), "L2");
    EXPECT_EQ(titles.album(), "Mine");
    EXPECT_EQ(titles.artist().size(), kMetadataTextMax);
    EXPECT_EQ(titles.TagsFor(0, 3).albumArtist, titles.artist());
    titles.EditTitle(0, "   ");
    EXPECT_EQ(titles.Title(0), "L1");
    // Rows that do not exist.
    titles.EditTitle(7, "x");
    EXPECT_EQ(titles.Title(7), "");
    EXPECT_EQ(titles.Title(-1), "");

    // A new disc forgets everything.
    titles.Reset({}, 2);
    EXPECT_EQ(titles.chosen(), -1);
    EXPECT_EQ(titles.album(), "");
    EXPECT_EQ(titles.Title(0), "");
}

TEST(RipTitlesChoice, SeveralReleasesAreChosenFromAndGnudbCarriesNoIds) {
    RipTitles titles;
    titles.Reset({}, 2);
    DiscRelease fuzzy = Release("Guess", {"G1", "G2"}, "gnudb");
    fuzzy.fuzzy = true;
    titles.SetReleases({Release("First", {"F1", "F2"}), fuzzy});
    ASSERT_EQ(titles.ChoiceLines().size(), 2u);
    EXPECT_EQ(titles.ChoiceLines()[0], "First - Release Band (2001, DE, 2 tracks) [MusicBrainz]");
    EXPECT_EQ(titles.ChoiceLines()[1],
              "Guess - Release Band (2001, DE, 2 tracks) [gnudb, fuzzy match]");
    EXPECT_FALSE(titles.Choose(2));
    EXPECT_FALSE(titles.Choose(-1));
    EXPECT_EQ(titles.chosen(), 0);
    ASSERT_TRUE(titles.Choose(1));
    EXPECT_EQ(titles.Title(1), "G2");
    EXPECT_TRUE(titles.TagsFor(1, 2).userTexts.empty());

    // What the status line says of a look-up: a found release that fits nothing is not found.
    LookupResult found{LookupOutcome::Found, {Release("Fits", {"a", "b"})}, false};
    EXPECT_EQ(titles.TakeLookupResult(found), "Found on MusicBrainz");
    LookupResult misfit{LookupOutcome::Found, {Release("Three", {"a", "b", "c"})}, false};
    EXPECT_EQ(titles.TakeLookupResult(misfit), "Not found: titles from CD-Text");
    EXPECT_TRUE(titles.releases().empty());
    EXPECT_EQ(titles.chosen(), -1);
    EXPECT_EQ(titles.TakeLookupResult({LookupOutcome::NoConnection, {}, false}),
              "No connection: titles from CD-Text");
}

TEST(RipPlans, NamesAndTagsAreTakenWhenRipIsPressed) {
    std::vector<CdTrack> tracks(4);
    for (size_t i = 0; i < tracks.size(); ++i) {
        tracks[i].number = static_cast<int>(i) + 1;
        tracks[i].start = static_cast<uint32_t>(i) * 100;
        tracks[i].length = i == 1 ? 0 : 100;  // row 1 is a data track
        tracks[i].ticked = i != 3;
    }
    RipTitles titles;
    titles.Reset({}, 4);
    titles.SetReleases({Release("A", {"AC/DC: Live?", "Data", std::string(300, 'y'), "Four"})});
    const CdDrive drive;
    const RipPlan plan = MakeRipPlan(drive, RipMode::CdToMp3, "/out", tracks, titles,
                                     RipNaming::NumberAndTitle);
    EXPECT_EQ(plan.outputFolder, "/out/");
    ASSERT_EQ(plan.items.size(), 2u);  // not the data track, not the unticked one
    EXPECT_EQ(plan.items[0].row, 0);
    EXPECT_EQ(plan.items[0].fileName, "01 - AC_DC_ Live_.mp3");
    EXPECT_EQ(plan.items[0].tags.title, "AC/DC: Live?");
    EXPECT_EQ(plan.items[1].row, 2);
    EXPECT_EQ(plan.items[1].start, 200u);
    EXPECT_EQ(plan.items[1].fileName.size(), 255u);
    EXPECT_EQ(plan.items[1].tags.title.size(), kMetadataTextMax);
    EXPECT_EQ(plan.items[1].tags.track, 3);
    EXPECT_EQ(plan.items[1].tags.trackTotal, 4);

    // The number names ignore the titles; the WAV rip names WAVs; extracting names nothing.
    EXPECT_EQ(MakeRipPlan(drive, RipMode::CdToMp3, "/out/", tracks, titles).items[0].fileName,
              "track01.mp3");
    EXPECT_EQ(MakeRipPlan(drive, RipMode::CdToWav, "/out/", tracks, titles).items[1].fileName,
              "track03.wav");
    EXPECT_EQ(MakeRipPlan(drive, RipMode::Extract, "", tracks, titles).items[0].fileName, "");

    // The files in the way are those of the plan's names.
    ts::TempDir dir;
    ts::WriteFile(dir.File("01 - AC_DC_ Live_.mp3"), {1});
    ts::WriteFile(dir.File("track01.mp3"), {1});
    const RipPlan titled =
        MakeRipPlan(drive, RipMode::CdToMp3, dir.path(), tracks, titles, RipNaming::NumberAndTitle);
    EXPECT_EQ(RipOutputsInTheWay(titled), std::vector<std::string>{"01 - AC_DC_ Live_.mp3"});
}

TEST(RipNamingSetting, TheChoiceIsKeptInSectionMetadata) {
    ts::TempDir dir;
    const std::string ini = dir.File("ringsmith.ini");
    EXPECT_EQ(LoadRipNaming(ini), RipNaming::TrackNumber);
    ASSERT_TRUE(SaveRipNaming(ini, RipNaming::NumberAndTitle));
    EXPECT_EQ(LoadRipNaming(ini), RipNaming::NumberAndTitle);
    ASSERT_TRUE(SaveRipNaming(ini, RipNaming::TrackNumber));
    EXPECT_EQ(LoadRipNaming(ini), RipNaming::TrackNumber);
}
