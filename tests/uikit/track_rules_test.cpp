#include "uikit/track_rules.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"

using testing_support::TempDir;
using testing_support::WriteFile;
using namespace track_fixtures;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

TEST(TrackTitleRules, NameWithoutMp3ExtensionOnly) {
    EXPECT_EQ(TitleFromPath("/music/a/Song.MP3"), "Song");
    EXPECT_EQ(TitleFromPath("/music/a/Song.mp3"), "Song");
    EXPECT_EQ(TitleFromPath("/music/a/Song.wav"), "Song.wav");
    EXPECT_EQ(TitleFromPath("Song.mp3"), "Song");
    EXPECT_EQ(TitleFromPath("/music/.mp3"), "");
    EXPECT_EQ(TitleFromPath("/music/Song.mp3.bak"), "Song.mp3.bak");
}

TEST(TrackTitleRules, Id3v1TitleTrimmedAndBlankIgnored) {
    TempDir dir;
    const std::string file = dir.File("t.bin");
    WriteFile(file, std::vector<uint8_t>(300, 0x55));
    EXPECT_FALSE(ReadId3v1Title(file));
    AppendId3v1(file, "  My Song \t");
    EXPECT_EQ(ReadId3v1Title(file), "My Song");

    WriteFile(file, std::vector<uint8_t>(300, 0x55));
    AppendId3v1(file, "      ");
    EXPECT_FALSE(ReadId3v1Title(file));

    // A title filling all 30 bytes has no terminator.
    WriteFile(file, {});
    AppendId3v1(file, std::string(30, 'x') + "overflow");
    EXPECT_EQ(ReadId3v1Title(file), std::string(30, 'x'));

    // Tag bytes are Latin-1 unless they are UTF-8.
    WriteFile(file, {});
    AppendId3v1(file, "Caf\xe9");
    EXPECT_EQ(ReadId3v1Title(file), "Caf\xc3\xa9");
    WriteFile(file, {});
    AppendId3v1(file, "Caf\xc3\xa9");
    EXPECT_EQ(ReadId3v1Title(file), "Caf\xc3\xa9");

    // Shorter than a tag, missing, a folder.
    WriteFile(file, Bytes("TAGshort"));
    EXPECT_FALSE(ReadId3v1Title(file));
    EXPECT_FALSE(ReadId3v1Title(dir.File("missing.mp3")));
    EXPECT_FALSE(ReadId3v1Title(dir.path()));
}

TEST(M3uText, TimeWrittenInWholeSeconds) {
    std::vector<TrackEntry> tracks{{"Long", 0, "01:02:03", "/m/Long.mp3"},
                                   {"My Song", 1, "04:05", "/m/My Song.mp3"},
                                   {"Short", 2, "4:05", "/m/Short.mp3"}};
    EXPECT_EQ(BuildM3uText(tracks),
              "#EXTM3U\r\n#EXTINF:3723,Long.mp3\r\n/m/Long.mp3\r\n"
              "#EXTINF:245,My Song.mp3\r\n/m/My Song.mp3\r\n"
              "#EXTINF:245,Short.mp3\r\n/m/Short.mp3\r\n");
}

TEST(M3uText, HeaderMustBeExactAndIsReadFirst) {
    TempDir dir;
    const std::string file = dir.File("list.m3u");
    WriteFile(file, Bytes("#EXTM3U"));
    EXPECT_EQ(ReadM3uFile(file).status, M3uReadStatus::Ok);
    EXPECT_TRUE(ReadM3uFile(file).lines.empty());
    WriteFile(file, Bytes("#EXTM3U\r\na\r\n\r\nb"));
    const M3uContents contents = ReadM3uFile(file);
    EXPECT_EQ(contents.status, M3uReadStatus::Ok);
    EXPECT_EQ(contents.lines, (std::vector<std::string>{"a", "", "b"}));
    WriteFile(file, Bytes("#EXTM3U\n\n"));
    EXPECT_EQ(ReadM3uFile(file).lines, std::vector<std::string>{""});
    WriteFile(file, Bytes("#EXTM3U\r\r\n"));
    EXPECT_EQ(ReadM3uFile(file).status, M3uReadStatus::NotM3u);
    WriteFile(file, Bytes("#EXTM3UX"));
    EXPECT_EQ(ReadM3uFile(file).status, M3uReadStatus::NotM3u);
    WriteFile(file, Bytes("\n#EXTM3U\n"));
    EXPECT_EQ(ReadM3uFile(file).status, M3uReadStatus::NotM3u);
    WriteFile(file, {});
    EXPECT_EQ(ReadM3uFile(file).status, M3uReadStatus::Empty);
    EXPECT_EQ(ReadM3uFile(dir.File("none.m3u")).status, M3uReadStatus::CannotOpen);

    EXPECT_TRUE(IsExtInfLine("#EXTINF:12,x"));
    EXPECT_TRUE(IsExtInfLine("#ExtInf"));
    EXPECT_FALSE(IsExtInfLine("#EXTIN"));
    EXPECT_FALSE(IsExtInfLine(" #EXTINF"));
}

TEST(TrackNumbers, TwoDigitsAndMore) {
    EXPECT_EQ(FormatTrackNumber(1), "01");
    EXPECT_EQ(FormatTrackNumber(99), "99");
    EXPECT_EQ(FormatTrackNumber(100), "100");
    EXPECT_EQ(DurationTextSeconds("01:02:03"), 3723);
    EXPECT_EQ(DurationTextSeconds("4:05"), 245);
}

// A playlist or a tag read from a named pipe would wait for a writer for ever; both are refused
// at once. Should a read hang, the pipe is opened for writing to release it.
TEST(M3uText, NamedPipeIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string pipe = dir.File("list.m3u");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto release = [&] {
        const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    };
    auto playlist = std::async(std::launch::async, [&] { return ReadM3uFile(pipe).status; });
    if (playlist.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        release();
        playlist.wait();
        FAIL() << "reading a playlist from a named pipe waited for a writer";
    }
    EXPECT_EQ(playlist.get(), M3uReadStatus::CannotOpen);

    auto title = std::async(std::launch::async, [&] { return ReadId3v1Title(pipe); });
    if (title.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        release();
        title.wait();
        FAIL() << "reading a tag from a named pipe waited for a writer";
    }
    EXPECT_FALSE(title.get());
}

// A tag title with line ends must not add a line that a reader would take for a path.
TEST(M3uText, LineEndsInTitlesBecomeBlanks) {
    const std::vector<TrackEntry> tracks{{"Evil\r\n/etc/passwd\n", 0, "00:07", "/m/a.mp3"}};
    EXPECT_EQ(BuildM3uText(tracks), "#EXTM3U\r\n#EXTINF:7,Evil  /etc/passwd .mp3\r\n/m/a.mp3\r\n");
}
