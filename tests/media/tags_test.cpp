// The tag reader and writer, checked against files made by ffmpeg and read back by ffprobe.
#include "media/tags.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "tests/support/test_support.h"

namespace ts = testing_support;
using namespace std::literals;

namespace {

// A short MP3 made by ffmpeg from a generated tone, with `extra` arguments before the output
// (tags, a cover picture input). "" when ffmpeg is missing or fails.
std::string FfmpegMp3(const ts::TempDir& dir, const std::string& name,
                      const std::vector<std::string>& inputs, const std::vector<std::string>& extra) {
    if (!ts::HaveTool("ffmpeg")) return {};
    const std::string wav = dir.File(name + ".wav");
    ts::WriteFile(wav, ts::MakeToneWav({.seconds = 0.5}));
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-i", wav};
    argv.insert(argv.end(), inputs.begin(), inputs.end());
    argv.insert(argv.end(), extra.begin(), extra.end());
    const std::string mp3 = dir.File(name);
    argv.push_back(mp3);
    return ts::RunTool(argv).exitCode == 0 ? mp3 : std::string();
}

// The bytes of the first attached picture, extracted by ffmpeg.
std::vector<uint8_t> CoverBytes(const ts::TempDir& dir, const std::string& mp3) {
    const std::string out = dir.File("cover-out.png");
    std::remove(out.c_str());
    ts::RunTool({"ffmpeg", "-v", "error", "-y", "-i", mp3, "-an", "-c:v", "copy", "-frames:v", "1", out});
    return ts::ReadFile(out);
}

void AppendId3v1(const std::string& path, std::string_view title, std::string_view artist) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag.replace(33, artist.size(), artist);
    std::ofstream(path, std::ios::binary | std::ios::app) << tag;
}

}  // namespace

TEST(MediaTags, WrittenTagsAreWhatFfprobeReadsIncludingTheUserTexts) {
    ts::TempDir dir;
    const std::string mp3 = FfmpegMp3(dir, "a.mp3", {}, {"-id3v2_version", "0"});
    if (mp3.empty()) GTEST_SKIP() << "ffmpeg missing";
    media::SongTags tags{.title = "Überall / Nowhere", .artist = "Ärzte", .album = "Album",
                         .albumArtist = "Various", .year = "1998", .track = 3, .trackTotal = 12};
    tags.userTexts["MusicBrainz Album Id"] = "a1b2";
    tags.userTexts["MusicBrainz Disc Id"] = "Wn8eRBtfLDfM0qjYPdxrz.Zjs_U-";
    ASSERT_TRUE(media::WriteMp3Tags(mp3, tags));

    const auto probed = ts::ProbeTags(mp3);
    ASSERT_TRUE(probed);
    EXPECT_EQ(probed->at("title"), tags.title);
    EXPECT_EQ(probed->at("artist"), tags.artist);
    EXPECT_EQ(probed->at("album"), "Album");
    EXPECT_EQ(probed->at("album_artist"), "Various");
    EXPECT_EQ(probed->at("track"), "3/12");
    EXPECT_EQ(probed->at("date"), "1998");
    EXPECT_EQ(probed->at("musicbrainz album id"), "a1b2");
    EXPECT_EQ(probed->at("musicbrainz disc id"), "Wn8eRBtfLDfM0qjYPdxrz.Zjs_U-");

    const auto back = media::ReadTags(mp3);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, tags);
    // Fields written empty remove what was there; untouched user texts stay.
    ASSERT_TRUE(media::WriteMp3Tags(mp3, {.title = "Only", .userTexts = {{"MusicBrainz Album Id", ""}}}));
    const auto cleared = media::ReadTags(mp3);
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->title, "Only");
    EXPECT_EQ(cleared->artist, "");
    EXPECT_EQ(cleared->track, 0);
    EXPECT_EQ(cleared->userTexts.count("MusicBrainz Album Id"), 0u);
    EXPECT_EQ(cleared->userTexts.at("MusicBrainz Disc Id"), "Wn8eRBtfLDfM0qjYPdxrz.Zjs_U-");
}

TEST(MediaTags, CopyCarriesEveryFrameAndTheCoverPictureByteForByte) {
    ts::TempDir dir;
    if (!ts::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    const std::string png = dir.File("cover.png");
    ASSERT_EQ(ts::RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x64",
                           "-frames:v", "1", png}).exitCode, 0);
    for (const std::string version : {"3", "4"}) {
        SCOPED_TRACE("ID3v2." + version);
        const std::string from = FfmpegMp3(
            dir, "from" + version + ".mp3", {"-i", png},
            {"-map", "0:a", "-map", "1:v", "-c:v", "copy", "-id3v2_version", version, "-metadata",
             "title=Song", "-metadata", "artist=Band", "-metadata", "album=Record", "-metadata",
             "comment=kept too", "-metadata:s:v", "comment=Cover (front)"});
        const std::string to = FfmpegMp3(dir, "to" + version + ".mp3", {}, {"-id3v2_version", "0"});
        ASSERT_FALSE(from.empty());
        ASSERT_FALSE(to.empty());
        AppendId3v1(from, "Song v1", "Band v1");

        ASSERT_TRUE(media::CopyMp3Tags(from, to));
        const auto probed = ts::ProbeTags(to);
        ASSERT_TRUE(probed);
        EXPECT_EQ(probed->at("title"), "Song");
        EXPECT_EQ(probed->at("artist"), "Band");
        EXPECT_EQ(probed->at("album"), "Record");
        EXPECT_EQ(probed->at("comment"), "kept too");
        EXPECT_EQ(CoverBytes(dir, to), ts::ReadFile(png));
        EXPECT_EQ(media::ReadId3v1Title(to), "Song v1");
        // The audio is left as it was: ffprobe still finds the tone's length.
        const auto info = ts::Probe(to);
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->duration, 0.5, 0.1);
    }
}

TEST(MediaTags, CopyFromAnUntaggedFileChangesNothingAndMissingFilesFail) {
    ts::TempDir dir;
    const std::string from = FfmpegMp3(dir, "plain.mp3", {}, {"-id3v2_version", "0"});
    const std::string to = FfmpegMp3(dir, "to.mp3", {}, {"-id3v2_version", "0"});
    if (from.empty()) GTEST_SKIP() << "ffmpeg missing";
    const auto before = ts::ReadFile(to);
    EXPECT_TRUE(media::CopyMp3Tags(from, to));
    EXPECT_EQ(ts::ReadFile(to), before);
    EXPECT_FALSE(media::CopyMp3Tags(dir.File("gone.mp3"), to));
    EXPECT_FALSE(media::CopyMp3Tags(from, dir.File("gone.mp3")));
    EXPECT_FALSE(media::WriteMp3Tags(dir.File("gone.mp3"), {.title = "x"}));
    EXPECT_EQ(media::ReadTags(dir.File("gone.mp3")), std::nullopt);
}

TEST(MediaTags, Id3v1FieldsStopAtZeroAreTrimmedAndReadLatin1UnlessUtf8) {
    ts::TempDir dir;
    const std::string mp3 = FfmpegMp3(dir, "v1.mp3", {}, {"-id3v2_version", "0"});
    if (mp3.empty()) GTEST_SKIP() << "ffmpeg missing";
    AppendId3v1(mp3, "  Caf\xe9 au lait\0junk"sv, "Artist");
    EXPECT_EQ(media::ReadId3v1Title(mp3), "Caf\xc3\xa9 au lait");
    EXPECT_EQ(media::ReadMp3Performer(mp3), "Artist");

    const std::string utf8 = FfmpegMp3(dir, "utf8.mp3", {}, {"-id3v2_version", "0"});
    AppendId3v1(utf8, "Caf\xc3\xa9", "   ");
    EXPECT_EQ(media::ReadId3v1Title(utf8), "Caf\xc3\xa9");
    EXPECT_EQ(media::ReadMp3Performer(utf8), "");

    const std::string blank = FfmpegMp3(dir, "blank.mp3", {}, {"-id3v2_version", "0"});
    AppendId3v1(blank, "    ", "");
    EXPECT_EQ(media::ReadId3v1Title(blank), std::nullopt);
    // ID3v2's artist wins over version 1's.
    ASSERT_TRUE(media::WriteMp3Tags(blank, {.artist = "Tagged"}));
    EXPECT_EQ(media::ReadMp3Performer(blank), "Tagged");
}

// Title, artist and album of the other music files ffmpeg writes, a WAV's RIFF INFO list too.
TEST(MediaTags, OtherMusicFilesTellTheirTitleArtistAndAlbum) {
    if (!ts::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    ts::TempDir dir;
    for (const char* name : {"a.flac", "a.ogg", "a.opus", "a.m4a", "a.wav", "a.wma"}) {
        SCOPED_TRACE(name);
        const std::string song =
            FfmpegMp3(dir, name, {},
                      {"-metadata", "title=Caf\xc3\xa9", "-metadata", "artist=Band", "-metadata",
                       "album=Album"});
        ASSERT_FALSE(song.empty());
        const auto tags = media::ReadTags(song);
        ASSERT_TRUE(tags);
        EXPECT_EQ(tags->title, "Caf\xc3\xa9");
        EXPECT_EQ(tags->artist, "Band");
        EXPECT_EQ(tags->album, "Album");
    }
    EXPECT_FALSE(media::ReadTags(dir.path()));
    EXPECT_FALSE(media::ReadTags(dir.File("missing.flac")));
}

TEST(MediaTags, TitlesComeFromTheId3v1TagElseTheNameAndAPipeIsNotWaitedFor) {
    ts::TempDir dir;
    // No tag: the file's name without ".mp3" in any case; other extensions stay.
    const std::string plain = dir.File("Song One.MP3");
    ts::WriteFile(plain, std::vector<uint8_t>(400, 0));
    EXPECT_EQ(media::FindTrackTitle(plain), "Song One");
    EXPECT_EQ(media::TitleFromPath("/music/a.b/Tune.wav"), "Tune.wav");
    EXPECT_EQ(media::TitleFromPath("Tune.mp3"), "Tune");
    EXPECT_EQ(media::TitleFromPath("/music/.mp3"), "");
    // A named pipe that nobody writes to: refused at once (a read would wait forever).
    const std::string pipe = dir.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(media::ReadId3v1Title(pipe), std::nullopt);
    EXPECT_EQ(media::FindTrackTitle(pipe), "pipe");
    EXPECT_EQ(media::ReadTags(pipe), std::nullopt);
}
